#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "plinx/bytes.hpp"

namespace plinx::detail {

// Assembles a short hash input on the stack: the draw hashes a few dozen bytes at a time
// and should not touch the heap for it.
template <std::size_t Capacity>
class ByteBuilder {  // NOLINT(cppcoreguidelines-pro-type-member-init): see bytes_
 public:
  void append(ByteSpan bytes) { append_raw(bytes.data(), bytes.size()); }

  void append(std::string_view text) { append_raw(text.data(), text.size()); }

  // The base-10 ASCII text of `value`: leading '-' when negative, no padding or plus sign.
  void append_decimal(std::int64_t value) {
    char text[20];  // "-9223372036854775808" is the longest
    const auto end = std::to_chars(std::begin(text), std::end(text), value).ptr;
    append_raw(text, static_cast<std::size_t>(end - text));
  }

  ByteSpan view() const { return ByteSpan(bytes_.data(), size_); }

 private:
  void append_raw(const void* data, std::size_t length) {
    if (length > Capacity - size_) throw std::length_error("hash input exceeds its buffer");
    std::memcpy(bytes_.data() + size_, data, length);
    size_ += length;
  }

  // Written before it is read, so not zeroed first: that would cost every draw.
  std::array<std::uint8_t, Capacity> bytes_;
  std::size_t size_ = 0;
};

}  // namespace plinx::detail
