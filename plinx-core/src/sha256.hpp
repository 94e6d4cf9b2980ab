#pragma once

#include <array>
#include <cstdint>

#include "plinx/bytes.hpp"

namespace plinx::detail {

using Digest = std::array<std::uint8_t, 32>;

// SHA-256 (FIPS 180-4) of a short byte string.
Digest sha256(ByteSpan input) noexcept;

}  // namespace plinx::detail
