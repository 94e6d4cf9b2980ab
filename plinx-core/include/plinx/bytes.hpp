#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace plinx {

// The eight bytes of operating-system randomness that make every draw fresh.
using Nonce = std::array<std::uint8_t, 8>;

// Read-only bytes: hash inputs, digests and the slices cut from them.
using ByteSpan = std::span<const std::uint8_t>;

}  // namespace plinx
