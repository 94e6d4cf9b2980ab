#include "fixed_text.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace plinx::detail {
namespace {

constexpr std::uint64_t kTenToTheTen = 10'000'000'000;

__extension__ using Uint128 = unsigned __int128;

// |value| x 10^10 rounded to the nearest integer, ties to even, when that integer fits in
// 64 bits (|value| < 2^30); nothing for larger values. Exact: |value| = m x 2^e, so the
// product is m x 5^10 x 2^(e + 10), an integer times a power of two.
std::optional<std::uint64_t> scaled_by_ten_to_the_ten(double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const int biased_exponent = static_cast<int>((bits >> 52) & 0x7ff);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = -1074;  // subnormals: m x 2^-1074
  if (biased_exponent != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased_exponent - 1075;
  }
  if (exponent > 30 - 53) return std::nullopt;  // |value| may reach 2^30

  const Uint128 product = static_cast<Uint128>(mantissa) * 9'765'625u;
  const int shift = exponent + 10;
  if (shift >= 0) return static_cast<std::uint64_t>(product << shift);
  const int drop = -shift;
  // product < 2^77, so past 78 dropped bits only a value below one half remains.
  if (drop > 78) return 0;
  const Uint128 quotient = product >> drop;
  const Uint128 remainder = product - (quotient << drop);
  const Uint128 half = Uint128{1} << (drop - 1);
  const bool round_up = remainder > half || (remainder == half && (quotient & 1) != 0);
  return static_cast<std::uint64_t>(quotient) + (round_up ? 1 : 0);
}

}  // namespace

// Two exact routes to printf's "%.10f": integer arithmetic for the moderate values most
// trees produce, std::to_chars for the rest. Neither consults the locale, which would
// otherwise turn the point into a comma for a caller who set LC_NUMERIC.
FixedText::FixedText(double value) {  // NOLINT(cppcoreguidelines-pro-type-member-init)
  if (!std::isfinite(value)) throw std::invalid_argument("fixed text needs a finite value");
  char* out = chars_.data();
  if (const std::optional<std::uint64_t> scaled = scaled_by_ten_to_the_ten(value)) {
    if (std::signbit(value)) *out++ = '-';
    out = std::to_chars(out, chars_.data() + chars_.size(), *scaled / kTenToTheTen).ptr;
    *out++ = '.';
    std::uint64_t decimals = *scaled % kTenToTheTen;
    for (char* digit = out + 9; digit >= out; --digit, decimals /= 10) {
      *digit = static_cast<char>('0' + decimals % 10);
    }
    size_ = static_cast<std::size_t>(out + 10 - chars_.data());
    return;
  }
  const auto result =
      std::to_chars(out, chars_.data() + chars_.size(), value, std::chars_format::fixed, 10);
  size_ = static_cast<std::size_t>(result.ptr - chars_.data());
}

}  // namespace plinx::detail
