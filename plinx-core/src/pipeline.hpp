#pragma once

// The steps of a draw, one function each, so tests can check every intermediate value.

#include <cstdint>
#include <string_view>

#include "plinx/bytes.hpp"
#include "sha256.hpp"

namespace plinx::detail {

// SHA-256 of the destiny's decimal text followed by the raw nonce bytes.
Digest seed_digest(std::int64_t destiny, const Nonce& nonce);
Digest seed_digest(std::string_view destiny_text, const Nonce& nonce);

// The three slices of the seed digest that shape the tree. They are contiguous, never
// empty, and cover bytes 0 to 29 exactly; the last byte of the digest sets the cut points.
struct Slices {
  ByteSpan ops;
  ByteSpan constants;
  ByteSpan leaves;
};
Slices cut_slices(const Digest& seed);

// SHA-256 of the tree value's fixed text followed by the seed digest's first 8 bytes.
Digest result_digest(std::string_view fixed_text, const Digest& seed);

// The whole draw for a given nonce: seed digest, slices, tree, fixed text, result digest,
// and its leading word scaled onto [0.0, 1.0].
double draw(std::int64_t destiny, const Nonce& nonce);

}  // namespace plinx::detail
