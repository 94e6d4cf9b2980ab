#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "operators.hpp"

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
  return ::testing::AssertionFailure() << ::testing::PrintToString(actual) << " != "
                                       << ::testing::PrintToString(expected);
}

const std::vector<double> kSamples = {-123.456, -7.25, -0.5, -0.0, 0.0, 1e-10,
                                      0.3,      1.0,   2.5,  33.3, 99.9, 1e30};

// Every index against its formula, so a table entry in the wrong place shows up.
TEST(Operators, BinaryTableMatchesFormulasAtEveryIndex) {
  const auto u64 = [](double v) -> std::uint64_t {
    if (std::isnan(v)) return 0;
    if (std::fabs(v) >= 18446744073709551616.0) return ~std::uint64_t{0};
    return static_cast<std::uint64_t>(std::fabs(v));
  };
  const auto or_a = [](double r, double a) { return std::isfinite(r) ? r : a; };
  const std::vector<std::function<double(double, double)>> formulas = {
      [](double a, double b) { return a + b; },
      [](double a, double b) { return a - b; },
      [](double a, double b) { return a * b; },
      [](double a, double b) { return std::fabs(b) > 1e-10 ? a / b : a; },
      [&](double a, double b) {
        const double m = std::fabs(a);
        const double n = std::trunc(std::fmod(b, 3.0) + 1.0);
        const double r = n == -1 ? 1.0 / m : n == 0 ? 1.0 : n == 1 ? m : n == 2 ? m * m
                                                                            : m * (m * m);
        return or_a(r, a);
      },
      [](double a, double b) { return std::fabs(b) > 1e-10 ? std::fmod(a, b) : a; },
      [](double a, double b) { return b > a ? b : a; },
      [](double a, double b) { return b < a ? b : a; },
      [](double a, double b) { return (a + b) * 0.5; },
      [](double a, double b) { return std::fabs(a - b); },
      [&](double a, double b) { return static_cast<double>(u64(a) ^ u64(b)); },
      [&](double a, double b) { return static_cast<double>(u64(a) & u64(b)); },
      [&](double a, double b) { return static_cast<double>(u64(a) | u64(b)); },
      [&](double a, double b) { return static_cast<double>(u64(a) << (u64(b) & 7)); },
      [&](double a, double b) { return static_cast<double>(u64(a) >> (u64(b) & 7)); },
      [](double a, double b) { return std::atan2(a, b); },
      [](double a, double b) { return std::hypot(a, b); },
      [](double a, double b) { return (a - b) * (a - b); },
      [](double a, double b) { return a * a + b * b; },
      [](double a, double b) { return a * (1.0 - b); },
      [](double a, double b) { return (a - b) * (a + b); },
      [](double a, double b) { return std::fabs(a) * (std::signbit(b) ? -1.0 : 1.0); },
      [&](double a, double b) { return or_a((a * b) * (1.0 - a), a); },
      [&](double a, double b) { return or_a((a < 0.5 ? a : 1.0 - a) * b, a); },
      [&](double a, double b) { return or_a(1.0 - ((a * a) * b), a); },
  };
  ASSERT_EQ(formulas.size(), kOperatorCount);
  for (std::size_t i = 0; i < kOperatorCount; ++i) {
    for (const double a : kSamples) {
      for (const double b : kSamples) {
        EXPECT_TRUE(same_double(kBinaryOperators[i](a, b), formulas[i](a, b)))
            << "binary " << i << " (" << a << ", " << b << ")";
      }
    }
  }
}

TEST(Operators, UnaryTableMatchesFormulasAtEveryIndex) {
  const std::vector<std::function<double(double)>> formulas = {
      [](double x) { return std::sin(x); },
      [](double x) { return std::cos(x); },
      [](double x) { return std::tan(x); },
      [](double x) { return std::asin(std::sin(x)); },
      [](double x) { return std::acos(std::cos(x)); },
      [](double x) { return std::atan(x); },
      [](double x) { return std::sinh(std::fabs(x) < 10.0 ? std::fabs(x) : 10.0); },
      [](double x) { return std::cosh(std::fabs(x) < 10.0 ? std::fabs(x) : 10.0); },
      [](double x) { return std::tanh(x); },
      [](double x) { return std::log(std::fabs(x) + 1.0); },
      [](double x) { return std::log2(std::fabs(x) + 1.0); },
      [](double x) { return std::log10(std::fabs(x) + 1.0); },
      [](double x) { return std::exp(std::fmod(x, 10.0)); },
      [](double x) { return std::sqrt(std::fabs(x)); },
      [](double x) { return std::fabs(x); },
      [](double x) { return -x; },
      [](double x) { return std::fabs(x) > 1e-10 ? 1.0 / x : x; },
      [](double x) { return x * x; },
      [](double x) { return x * (x * x); },
      [](double x) { return std::fmod(std::floor(x), 100.0); },
      [](double x) { return std::fmod(std::ceil(x), 100.0); },
      [](double x) { return 1.0 / (1.0 + std::exp(-x)); },
      [](double x) { return x * (1.0 - x); },
      [](double x) { return std::fmod(x * 57.29577951308232, 360.0); },
      [](double x) { return std::sin(x) * std::fabs(x); },
  };
  ASSERT_EQ(formulas.size(), kOperatorCount);
  for (std::size_t i = 0; i < kOperatorCount; ++i) {
    for (const double x : kSamples) {
      EXPECT_TRUE(same_double(kUnaryOperators[i](x), formulas[i](x))) << "unary " << i
                                                                        << " (" << x << ")";
    }
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
        BinaryCase{4, 2.0, 0.0, 2.0}, BinaryCase{4, 2.0, 1.5, 4.0},
        BinaryCase{4, 2.0, -2.5, 0.5}, BinaryCase{4, 2.0, 2.9, 8.0},
        BinaryCase{4, 2.0, -0.5, 1.0}, BinaryCase{4, -3.0, 1.0, 9.0},
        BinaryCase{4, 2.0, kNan, 1.0}, BinaryCase{4, 2.0, kInf, 1.0},
        BinaryCase{4, 0.0, -2.5, 0.0},       // 1 / 0 is infinite: the left operand
        BinaryCase{4, -0.0, -2.5, -0.0},     // ... sign and all
        BinaryCase{4, 1e200, 2.0, 1e200},    // (1e200)^3 overflows: the left operand
        // Maximum and minimum keep the left operand on equality.
        BinaryCase{6, -0.0, 0.0, -0.0}, BinaryCase{7, -0.0, 0.0, -0.0},
        BinaryCase{6, 0.0, -0.0, 0.0}, BinaryCase{6, 1.0, 2.0, 2.0},
        BinaryCase{7, 1.0, 2.0, 1.0},
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
        BinaryCase{15, 1.0, 0.0, std::atan2(opaque(1.0), opaque(0.0))}, BinaryCase{15, 0.0, 1.0, 0.0},
        BinaryCase{16, 3.0, -4.0, 5.0}, BinaryCase{17, 3.0, 5.0, 4.0},
        BinaryCase{19, 3.0, 0.25, 2.25}, BinaryCase{20, 5.0, 3.0, 16.0},
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
        UnaryCase{13, -16.0, 4.0}, UnaryCase{14, -0.0, 0.0},
        UnaryCase{15, 0.0, -0.0}, UnaryCase{15, -2.5, 2.5},
        UnaryCase{16, 1e-10, 1e-10}, UnaryCase{16, -1e-10, -1e-10},
        UnaryCase{16, -4.0, -0.25}, UnaryCase{16, 2e-10, 1.0 / 2e-10},
        UnaryCase{19, -0.5, -1.0}, UnaryCase{19, 250.7, 50.0},
        UnaryCase{19, -250.7, -51.0}, UnaryCase{20, -250.7, -50.0},
        UnaryCase{20, 0.2, 1.0}, UnaryCase{20, -0.2, -0.0},
        UnaryCase{21, 0.0, 0.5}, UnaryCase{21, -1000.0, 0.0},
        UnaryCase{22, 3.0, -6.0},
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
