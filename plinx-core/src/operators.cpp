#include "operators.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

// Every formula below is evaluated exactly as written, one rounding per operation; the
// build disables floating-point contraction so that no a * b + c becomes a fused
// multiply-add. The transcendental functions are the C library's own.

namespace plinx::detail {
namespace {

// Below this magnitude a divisor counts as zero. The literal is the double 0x3DDB7CDFD9D7BDBB.
constexpr double kTiny = 1e-10;

// 180 / pi, the double 0x404CA5DC1A63C1F8.
constexpr double kDegreesPerRadian = 57.29577951308232;

// |v| as an unsigned 64-bit integer: truncated, saturated at 2^64 - 1, NaN as 0.
std::uint64_t magnitude_u64(double v) {
  if (std::isnan(v)) return 0;
  const double magnitude = std::fabs(v);
  if (magnitude >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(magnitude);
}

// Truncation toward zero into 32 bits, saturating at the limits, NaN as 0.
std::int32_t truncate_i32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

// +1.0 or -1.0 by the sign bit alone, so -0.0 counts as negative; NaN stays NaN.
double sign_of(double b) {
  if (std::isnan(b)) return b;
  return std::signbit(b) ? -1.0 : 1.0;
}

// A few operators fall back to their left operand rather than to the tree variable.
double or_left(double result, double a) { return std::isfinite(result) ? result : a; }

// |a| to a small integer power by repeated multiplication: pow() rounds differently.
double small_power(double a, double b) {
  const double m = std::fabs(a);
  switch (truncate_i32(std::fmod(b, 3.0) + 1.0)) {
    case -1: return 1.0 / m;
    case 0: return 1.0;
    case 1: return m;
    case 2: return m * m;
    default: return m * (m * m);  // fmod(b, 3.0) + 1.0 < 4, so this is n = 3
  }
}

double add(double a, double b) { return a + b; }
double subtract(double a, double b) { return a - b; }
double multiply(double a, double b) { return a * b; }
double divide(double a, double b) { return std::fabs(b) > kTiny ? a / b : a; }
double power(double a, double b) { return or_left(small_power(a, b), a); }
double remainder(double a, double b) { return std::fabs(b) > kTiny ? std::fmod(a, b) : a; }
double maximum(double a, double b) { return b > a ? b : a; }
double minimum(double a, double b) { return b < a ? b : a; }
double midpoint(double a, double b) { return (a + b) * 0.5; }
double distance(double a, double b) { return std::fabs(a - b); }
double bit_xor(double a, double b) {
  return static_cast<double>(magnitude_u64(a) ^ magnitude_u64(b));
}
double bit_and(double a, double b) {
  return static_cast<double>(magnitude_u64(a) & magnitude_u64(b));
}
double bit_or(double a, double b) {
  return static_cast<double>(magnitude_u64(a) | magnitude_u64(b));
}
double shift_left(double a, double b) {
  return static_cast<double>(magnitude_u64(a) << (magnitude_u64(b) & 7));
}
double shift_right(double a, double b) {
  return static_cast<double>(magnitude_u64(a) >> (magnitude_u64(b) & 7));
}
double angle(double a, double b) { return std::atan2(a, b); }
double hypotenuse(double a, double b) { return std::hypot(a, b); }
double squared_difference(double a, double b) { return (a - b) * (a - b); }
double sum_of_squares(double a, double b) { return a * a + b * b; }
double scale_complement(double a, double b) { return a * (1.0 - b); }
double difference_of_squares(double a, double b) { return (a - b) * (a + b); }
double copy_sign(double a, double b) { return std::fabs(a) * sign_of(b); }
double logistic_step(double a, double b) { return or_left((a * b) * (1.0 - a), a); }
double tent(double a, double b) {
  const double t = a < 0.5 ? a : 1.0 - a;
  return or_left(t * b, a);
}
double one_minus_square_scaled(double a, double b) { return or_left(1.0 - ((a * a) * b), a); }

double sine(double x) { return std::sin(x); }
double cosine(double x) { return std::cos(x); }
double tangent(double x) { return std::tan(x); }
double folded_sine(double x) { return std::asin(std::sin(x)); }
double folded_cosine(double x) { return std::acos(std::cos(x)); }
double arc_tangent(double x) { return std::atan(x); }
// fmin, not a comparison: it takes the smaller of the two and ignores a NaN.
double clamped_sinh(double x) { return std::sinh(std::fmin(std::fabs(x), 10.0)); }
double clamped_cosh(double x) { return std::cosh(std::fmin(std::fabs(x), 10.0)); }
double hyperbolic_tangent(double x) { return std::tanh(x); }
double natural_log1(double x) { return std::log(std::fabs(x) + 1.0); }
double binary_log1(double x) { return std::log2(std::fabs(x) + 1.0); }
double decimal_log1(double x) { return std::log10(std::fabs(x) + 1.0); }
double wrapped_exp(double x) { return std::exp(std::fmod(x, 10.0)); }
double root_of_magnitude(double x) { return std::sqrt(std::fabs(x)); }
double absolute(double x) { return std::fabs(x); }
double negate(double x) { return -x; }
double reciprocal(double x) { return std::fabs(x) > kTiny ? 1.0 / x : x; }
double square(double x) { return x * x; }
double cube(double x) { return x * (x * x); }
double floor_mod_100(double x) { return std::fmod(std::floor(x), 100.0); }
double ceil_mod_100(double x) { return std::fmod(std::ceil(x), 100.0); }
double sigmoid(double x) { return 1.0 / (1.0 + std::exp(-x)); }
double logistic(double x) { return x * (1.0 - x); }
double degrees_mod_360(double x) { return std::fmod(x * kDegreesPerRadian, 360.0); }
double scaled_sine(double x) { return std::sin(x) * std::fabs(x); }

}  // namespace

const std::array<BinaryOperator, kOperatorCount> kBinaryOperators = {
    add,                      //  0
    subtract,                 //  1
    multiply,                 //  2
    divide,                   //  3
    power,                    //  4
    remainder,                //  5
    maximum,                  //  6
    minimum,                  //  7
    midpoint,                 //  8
    distance,                 //  9
    bit_xor,                  // 10
    bit_and,                  // 11
    bit_or,                   // 12
    shift_left,               // 13
    shift_right,              // 14
    angle,                    // 15
    hypotenuse,               // 16
    squared_difference,       // 17
    sum_of_squares,           // 18
    scale_complement,         // 19
    difference_of_squares,    // 20
    copy_sign,                // 21
    logistic_step,            // 22
    tent,                     // 23
    one_minus_square_scaled,  // 24
};

const std::array<UnaryOperator, kOperatorCount> kUnaryOperators = {
    sine,                // 0
    cosine,              // 1
    tangent,             // 2
    folded_sine,         // 3
    folded_cosine,       // 4
    arc_tangent,         // 5
    clamped_sinh,        // 6
    clamped_cosh,        // 7
    hyperbolic_tangent,  // 8
    natural_log1,        // 9
    binary_log1,         // 10
    decimal_log1,        // 11
    wrapped_exp,         // 12
    root_of_magnitude,   // 13
    absolute,            // 14
    negate,              // 15
    reciprocal,          // 16
    square,              // 17
    cube,                // 18
    floor_mod_100,       // 19
    ceil_mod_100,        // 20
    sigmoid,             // 21
    logistic,            // 22
    degrees_mod_360,     // 23
    scaled_sine,         // 24
};

}  // namespace plinx::detail
