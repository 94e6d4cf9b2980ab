#include "operators.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace plinx::detail {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kU64Max = 18446744073709551615.0;  // rounds to 2^64

double binary(int index, double a, double b) {
  return kBinaryOperators[static_cast<std::size_t>(index)](a, b);
}
double unary(int index, double x) { return kUnaryOperators[static_cast<std::size_t>(index)](x); }

// Hides a constant from the optimiser. The compiler folds libm calls on constants with its
// own correctly rounded arithmetic, which can differ in the last bit from the C library
// that the operators call at run time.
[[gnu::noinline]] double opaque(double v) {
  volatile double hidden = v;
  return hidden;
}

// Equal bit for bit, so 0.0 and -0.0 differ; any NaN equals any NaN.
::testing::AssertionResult same_double(double actual, double expected) {
  if (std::isnan(actual) && std::isnan(expected)) return ::testing::AssertionSuccess();
  if (std::bit_cast<std::uint64_t>(actual) == std::bit_cast<std::uint64_t>(expected)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << ::testing::PrintToString(actual) << " != " << ::testing::PrintToString(expected);
}

// One row per operator index with its results at three points, so that an entry in the
// wrong place or a formula grouped differently shows up. The values were computed with
// CPython's math module, which calls the same C library functions, from each operator's
// formula written out independently.
struct KnownAnswers {
  int index;
  double first, second, third;
};

TEST(Operators, BinaryKnownAnswers) {
  // At (2.5, -0.7), (0.3, 7.25) and (45.9, 3.2).
  const std::vector<KnownAnswers> rows = {
      {0, 1.8, 7.55, 49.1},
      {1, 3.2, -6.95, 42.699999999999996},
      {2, -1.75, 2.175, 146.88},
      {3, -3.5714285714285716, 0.041379310344827586, 14.343749999999998},
      {4, 1.0, 0.09, 45.9},
      {5, 0.40000000000000013, 0.3, 1.099999999999996},
      {6, 2.5, 7.25, 45.9},
      {7, -0.7, 0.3, 3.2},
      {8, 0.9, 3.775, 24.55},
      {9, 3.2, 6.95, 42.699999999999996},
      {10, 2.0, 7.0, 46.0},
      {11, 0.0, 0.0, 1.0},
      {12, 2.0, 7.0, 47.0},
      {13, 2.0, 0.0, 360.0},
      {14, 2.0, 0.0, 5.0},
      {15, 1.843805029881607, 0.04135571737381214, 1.5011921740817649},
      {16, 2.596150997149434, 7.2562042418884545, 46.01141162798638},
      {17, 10.240000000000002, 48.3025, 1823.2899999999997},
      {18, 6.74, 52.6525, 2117.0499999999997},
      {19, 4.25, -1.875, -100.98},
      {20, 5.760000000000001, -52.4725, 2096.5699999999997},
      {21, -2.5, 0.3, 45.9},
      {22, 2.625, 1.5224999999999997, -6594.911999999999},
      {23, 1.0499999999999998, 2.175, -143.68},
      {24, 5.375, 0.34750000000000003, -6740.792},
  };
  ASSERT_EQ(rows.size(), kOperatorCount);
  for (const KnownAnswers& row : rows) {
    EXPECT_TRUE(same_double(binary(row.index, 2.5, -0.7), row.first)) << row.index;
    EXPECT_TRUE(same_double(binary(row.index, 0.3, 7.25), row.second)) << row.index;
    EXPECT_TRUE(same_double(binary(row.index, 45.9, 3.2), row.third)) << row.index;
  }
}

TEST(Operators, UnaryKnownAnswers) {
  // At 0.7, -23.6 and 3.0.
  const std::vector<KnownAnswers> rows = {
      {0, 0.644217687237691, 0.9992759921366277, 0.1411200080598672},
      {1, 0.7648421872844885, 0.03804591356977048, -0.9899924966004454},
      {2, 0.8422883804630794, 26.265001898406403, -0.1425465430742778},
      {3, 0.7, 1.5327412287183442, 0.14159265358979323},
      {4, 0.6999999999999998, 1.5327412287183444, 2.9999999999999996},
      {5, 0.6107259643892086, -1.5284487777743208, 1.2490457723982544},
      {6, 0.7585837018395334, 11013.232874703393, 10.017874927409903},
      {7, 1.255169005630943, 11013.232920103324, 10.067661995777765},
      {8, 0.6043677771171636, -1.0, 0.9950547536867305},
      {9, 0.5306282510621704, 3.202746442938317, 1.3862943611198906},
      {10, 0.765534746362977, 4.620586410451877, 2.0},
      {11, 0.2304489213782739, 1.390935107103379, 0.6020599913279624},
      {12, 2.0137527074704766, 0.02732372244729252, 20.085536923187668},
      {13, 0.8366600265340756, 4.857983120596447, 1.7320508075688772},
      {14, 0.7, 23.6, 3.0},
      {15, -0.7, 23.6, -3.0},
      {16, 1.4285714285714286, -0.0423728813559322, 0.3333333333333333},
      {17, 0.48999999999999994, 556.96, 9.0},
      {18, 0.3429999999999999, -13144.256000000001, 27.0},
      {19, 0.0, -24.0, 3.0},
      {20, 1.0, -23.0, 3.0},
      {21, 0.6681877721681662, 5.6318389497570955e-11, 0.9525741268224334},
      {22, 0.21000000000000002, -580.5600000000001, -6.0},
      {23, 40.10704565915762, -272.1803965087429, 171.88733853924697},
      {24, 0.4509523810663837, 23.582913414424414, 0.4233600241796016},
  };
  ASSERT_EQ(rows.size(), kOperatorCount);
  for (const KnownAnswers& row : rows) {
    EXPECT_TRUE(same_double(unary(row.index, 0.7), row.first)) << row.index;
    EXPECT_TRUE(same_double(unary(row.index, -23.6), row.second)) << row.index;
    EXPECT_TRUE(same_double(unary(row.index, 3.0), row.third)) << row.index;
  }
}

struct BinaryCase {
  int index;
  double a, b, expected;
};

class BinaryEdge : public ::testing::TestWithParam<BinaryCase> {};

TEST_P(BinaryEdge, GivesExactResult) {
  const BinaryCase c = GetParam();
  EXPECT_TRUE(same_double(binary(c.index, c.a, c.b), c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BinaryEdge,
    ::testing::Values(
        // Division and remainder treat |b| <= 1e-10 as zero, strictly.
        BinaryCase{3, 6.0, 1e-10, 6.0}, BinaryCase{3, 6.0, -1e-10, 6.0},
        BinaryCase{3, 6.0, 2e-10, 6.0 / 2e-10}, BinaryCase{3, 6.0, 0.0, 6.0},
        BinaryCase{5, 7.5, 2.0, 1.5}, BinaryCase{5, -7.5, 2.0, -1.5},
        BinaryCase{5, 7.5, 1e-10, 7.5},
        // Small powers: n = trunc(fmod(b, 3) + 1) of |a|.
        BinaryCase{4, 2.0, 0.0, 2.0}, BinaryCase{4, 2.0, 1.5, 4.0}, BinaryCase{4, 2.0, -2.5, 0.5},
        BinaryCase{4, 2.0, 2.9, 8.0}, BinaryCase{4, 2.0, -0.5, 1.0}, BinaryCase{4, -3.0, 1.0, 9.0},
        BinaryCase{4, 2.0, kNan, 1.0}, BinaryCase{4, 2.0, kInf, 1.0},
        BinaryCase{4, 0.0, -2.5, 0.0},     // 1 / 0 is infinite: the left operand
        BinaryCase{4, -0.0, -2.5, -0.0},   // ... sign and all
        BinaryCase{4, 1e200, 2.0, 1e200},  // (1e200)^3 overflows: the left operand
        // Maximum and minimum keep the left operand on equality.
        BinaryCase{6, -0.0, 0.0, -0.0}, BinaryCase{7, -0.0, 0.0, -0.0},
        BinaryCase{6, 0.0, -0.0, 0.0}, BinaryCase{6, 1.0, 2.0, 2.0}, BinaryCase{7, 1.0, 2.0, 1.0},
        // (a + b) * 0.5 overflows where a * 0.5 + b * 0.5 would not.
        BinaryCase{8, 1e308, 1e308, kInf},
        // Bit operators work on saturated magnitudes.
        BinaryCase{10, 5.7, -3.2, 6.0}, BinaryCase{11, 6.9, -3.1, 2.0},
        BinaryCase{12, -4.0, 1.0, 5.0}, BinaryCase{13, 1.0, 9.0, 2.0},
        BinaryCase{14, 256.0, 3.5, 32.0}, BinaryCase{10, 1e30, 0.0, kU64Max},
        BinaryCase{11, 1e30, 5.0, 5.0}, BinaryCase{10, -kInf, 0.0, kU64Max},
        BinaryCase{12, kNan, 3.0, 3.0}, BinaryCase{11, 18446744073709551616.0, 7.0, 7.0},
        BinaryCase{11, 18446744073709549568.0, 4095.0, 2048.0},  // largest below 2^64
        BinaryCase{13, 1e30, 1.0, 18446744073709551614.0},       // top bit dropped
        BinaryCase{14, 1e30, 7.0, 144115188075855871.0},
        // atan2 takes a as y.
        BinaryCase{15, 1.0, 0.0, std::atan2(opaque(1.0), opaque(0.0))},
        BinaryCase{15, 0.0, 1.0, 0.0}, BinaryCase{16, 3.0, -4.0, 5.0},
        BinaryCase{17, 3.0, 5.0, 4.0}, BinaryCase{19, 3.0, 0.25, 2.25},
        BinaryCase{20, 5.0, 3.0, 16.0},
        // Sign of b is its sign bit.
        BinaryCase{21, -3.0, -0.0, -3.0}, BinaryCase{21, -3.0, 0.0, 3.0},
        BinaryCase{21, 3.0, -2.0, -3.0}, BinaryCase{21, 3.0, kNan, kNan},
        // Guarded operators fall back to a.
        BinaryCase{22, 1e200, 1e200, 1e200}, BinaryCase{22, 0.5, 4.0, 1.0},
        BinaryCase{23, 0.25, 4.0, 1.0}, BinaryCase{23, 0.75, 4.0, 1.0},
        BinaryCase{23, 0.5, 4.0, 2.0}, BinaryCase{23, -1e300, 1e300, -1e300},
        BinaryCase{24, 1e200, 1.0, 1e200}, BinaryCase{24, 2.0, 0.5, -1.0},
        BinaryCase{24, kNan, 1.0, kNan}));

struct UnaryCase {
  int index;
  double x, expected;
};

class UnaryEdge : public ::testing::TestWithParam<UnaryCase> {};

TEST_P(UnaryEdge, GivesExactResult) {
  const UnaryCase c = GetParam();
  EXPECT_TRUE(same_double(unary(c.index, c.x), c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnaryEdge,
    ::testing::Values(
        UnaryCase{6, -50.0, std::sinh(opaque(10.0))}, UnaryCase{6, -2.0, std::sinh(opaque(2.0))},
        UnaryCase{7, -50.0, std::cosh(opaque(10.0))}, UnaryCase{9, -1.0, std::log(opaque(2.0))},
        UnaryCase{10, -3.0, 2.0}, UnaryCase{11, 99.0, 2.0},
        UnaryCase{12, 25.5, std::exp(opaque(5.5))}, UnaryCase{12, -25.5, std::exp(opaque(-5.5))},
        UnaryCase{13, -16.0, 4.0}, UnaryCase{14, -0.0, 0.0}, UnaryCase{15, 0.0, -0.0},
        UnaryCase{15, -2.5, 2.5}, UnaryCase{16, 1e-10, 1e-10}, UnaryCase{16, -1e-10, -1e-10},
        UnaryCase{16, -4.0, -0.25}, UnaryCase{16, 2e-10, 1.0 / 2e-10}, UnaryCase{19, -0.5, -1.0},
        UnaryCase{19, 250.7, 50.0}, UnaryCase{19, -250.7, -51.0}, UnaryCase{20, -250.7, -50.0},
        UnaryCase{20, 0.2, 1.0}, UnaryCase{20, -0.2, -0.0}, UnaryCase{21, 0.0, 0.5},
        UnaryCase{21, -1000.0, 0.0}, UnaryCase{22, 3.0, -6.0},
        // The multiplier is exactly 0x404CA5DC1A63C1F8.
        UnaryCase{23, 1.0, std::bit_cast<double>(std::uint64_t{0x404CA5DC1A63C1F8})},
        UnaryCase{23, -10.0, std::fmod(-10.0 * 57.29577951308232, 360.0)},
        UnaryCase{24, -2.0, std::sin(opaque(-2.0)) * 2.0}));

// The build must not contract a * a + b * b into a fused multiply-add.
TEST(Operators, SumOfSquaresRoundsEachProduct) {
  const double a = 1.004, b = 0.4;
  volatile double aa = a * a;
  volatile double bb = b * b;
  const double unfused = aa + bb;
  ASSERT_NE(std::fma(a, a, bb), unfused);  // otherwise these inputs prove nothing
  EXPECT_TRUE(same_double(binary(18, a, b), unfused));
}

// Products grouped as written: (a * b) * (1 - a), (a * a) * b, x * (x * x).
TEST(Operators, ProductsGroupAsWritten) {
  const double a = 0.1, b = 3.3;
  volatile double ab = a * b;
  volatile double one_minus_a = 1.0 - a;
  EXPECT_TRUE(same_double(binary(22, a, b), ab * one_minus_a));
  volatile double aa = a * a;
  EXPECT_TRUE(same_double(binary(24, a, b), 1.0 - aa * b));
  const double x = 1.1;
  volatile double xx = x * x;
  EXPECT_TRUE(same_double(unary(18, x), x * xx));
}

}  // namespace
}  // namespace plinx::detail
