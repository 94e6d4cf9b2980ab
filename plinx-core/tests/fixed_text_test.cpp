#include "fixed_text.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>

namespace plinx::detail {
namespace {

std::string printf_fixed(double value) {
  char text[400];
  (void)std::snprintf(text, sizeof text, "%.10f", value);
  return text;
}

struct TextCase {
  double value;
  const char* text;
};

class FixedTextCase : public ::testing::TestWithParam<TextCase> {};

TEST_P(FixedTextCase, RendersExactly) {
  EXPECT_EQ(FixedText(GetParam().value).view(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FixedTextCase,
    ::testing::Values(TextCase{638.0, "638.0000000000"}, TextCase{2.5, "2.5000000000"},
                      TextCase{0.5, "0.5000000000"}, TextCase{0.0, "0.0000000000"},
                      TextCase{-0.0, "-0.0000000000"},
                      // Exact ties at the eleventh decimal go to the even digit.
                      TextCase{1.0 / 2048, "0.0004882812"}, TextCase{3.0 / 2048, "0.0014648438"},
                      // Negative values that round to zero keep their sign.
                      TextCase{-1e-11, "-0.0000000000"}, TextCase{-4e-300, "-0.0000000000"},
                      TextCase{1e20, "100000000000000000000.0000000000"},
                      TextCase{-72.23359571589008, "-72.2335957159"},
                      TextCase{0.00000000005, "0.0000000001"},   // just above the tie as a double
                      TextCase{1.23456789015, "1.2345678901"},   // just below the tie as a double
                      TextCase{9.99999999995, "10.0000000000"},  // carries into a new integer digit
                      TextCase{std::numeric_limits<double>::denorm_min(), "0.0000000000"}));

TEST(FixedText, LargestDoubleWritesAllItsDigits) {
  const double largest = std::numeric_limits<double>::max();
  const FixedText text(largest);
  EXPECT_EQ(text.view().size(), 309u + 11u);
  EXPECT_EQ(text.view(), printf_fixed(largest));
  EXPECT_EQ(FixedText(-largest).view().size(), FixedText::kMaxLength);
  EXPECT_EQ(FixedText(-largest).view(), printf_fixed(-largest));
}

// printf's "%.10f" in the "C" locale is the reference for every finite double.
TEST(FixedText, AgreesWithPrintfOnRandomDoubles) {
  std::mt19937_64 bits(20261208);
  std::uniform_real_distribution<double> moderate(-1e6, 1e6);
  std::uniform_real_distribution<double> log_magnitude(-14.0, 14.0);
  for (int i = 0; i < 200000; ++i) {
    // Every magnitude around the switch between integer arithmetic and to_chars (2^30).
    const double spread = std::copysign(std::pow(10.0, log_magnitude(bits)), moderate(bits));
    ASSERT_EQ(FixedText(spread).view(), printf_fixed(spread)) << spread;
    const double any = std::bit_cast<double>(bits());
    if (std::isfinite(any)) {
      ASSERT_EQ(FixedText(any).view(), printf_fixed(any)) << any;
    }
    const double near = moderate(bits);
    ASSERT_EQ(FixedText(near).view(), printf_fixed(near)) << near;
  }
}

TEST(FixedText, AgreesWithPrintfOnTiesAndPowers) {
  for (int k = -2048 * 4; k <= 2048 * 4; ++k) {
    const double tie = k / 2048.0 / 1024.0;  // many exact eleventh-decimal ties
    ASSERT_EQ(FixedText(tie).view(), printf_fixed(tie)) << tie;
  }
  for (int e = -1074; e <= 1023; ++e) {
    const double power = std::ldexp(1.0, e);
    ASSERT_EQ(FixedText(power).view(), printf_fixed(power)) << e;
    const double below = std::nextafter(power, 0.0);
    ASSERT_EQ(FixedText(below).view(), printf_fixed(below)) << e;
  }
  for (int e = -20; e <= 308; ++e) {
    const double power = std::pow(10.0, e);
    ASSERT_EQ(FixedText(power).view(), printf_fixed(power)) << e;
  }
}

TEST(FixedText, RejectsNonFiniteValues) {
  EXPECT_THROW(FixedText{std::numeric_limits<double>::infinity()}, std::invalid_argument);
  EXPECT_THROW(FixedText{-std::numeric_limits<double>::infinity()}, std::invalid_argument);
  EXPECT_THROW(FixedText{std::numeric_limits<double>::quiet_NaN()}, std::invalid_argument);
}

}  // namespace
}  // namespace plinx::detail
