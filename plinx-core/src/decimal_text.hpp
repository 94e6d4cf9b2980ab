#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace plinx::detail {

// A destiny in base 10 ASCII: a leading '-' when negative, no padding or plus sign. Both the
// seed input and the tree variable's input begin with it, so a draw writes it once.
class DecimalText {
 public:
  explicit DecimalText(std::int64_t value)
      : size_(static_cast<std::size_t>(
            std::to_chars(chars_.data(), chars_.data() + chars_.size(), value).ptr -
            chars_.data())) {}

  std::string_view view() const { return std::string_view(chars_.data(), size_); }

 private:
  std::array<char, 20> chars_{};  // "-9223372036854775808" is the longest
  std::size_t size_;
};

}  // namespace plinx::detail
