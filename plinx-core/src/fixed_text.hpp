#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace plinx::detail {

// A finite double written with exactly ten decimals, as printf's "%.10f" writes it in the
// "C" locale: exact value correctly rounded (ties to even), every integer digit spelled
// out, and a '-' whenever the sign bit is set, negative zero included.
class FixedText {
 public:
  // '-', the 309 integer digits of the largest double, '.', ten decimals.
  static constexpr std::size_t kMaxLength = 1 + 309 + 1 + 10;

  explicit FixedText(double value);

  std::string_view view() const { return std::string_view(chars_.data(), size_); }

 private:
  // Written before it is read, so not zeroed first: that would cost every draw.
  std::array<char, kMaxLength> chars_;
  std::size_t size_;
};

}  // namespace plinx::detail
