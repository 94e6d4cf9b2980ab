#pragma once

// How a digest becomes a number: the drawn number and the tree variable both start from a
// digest's leading word.

#include <cstdint>

#include "sha256.hpp"

namespace plinx::detail {

// The digest's first four bytes as a big-endian unsigned integer.
constexpr std::uint32_t leading_word(const Digest& digest) noexcept {
  return (std::uint32_t{digest[0]} << 24) | (std::uint32_t{digest[1]} << 16) |
         (std::uint32_t{digest[2]} << 8) | std::uint32_t{digest[3]};
}

// Maps a 32-bit word onto [0.0, 1.0] with both ends reachable: 2^32 - 1, not 2^32.
constexpr double unit_interval(std::uint32_t word) noexcept {
  return static_cast<double>(word) / 4294967295.0;
}

}  // namespace plinx::detail
