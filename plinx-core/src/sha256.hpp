#pragma once

#include <array>
#include <cstdint>

#include "plinx/tree.hpp"

namespace plinx::detail {

using Digest = std::array<std::uint8_t, 32>;

// SHA-256 (FIPS 180-4) of a short byte string.
Digest sha256(ByteSpan input) noexcept;

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
