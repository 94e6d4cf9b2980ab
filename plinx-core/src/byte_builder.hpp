#pragma once

#include <array>
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
