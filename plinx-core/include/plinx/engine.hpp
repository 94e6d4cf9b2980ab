#pragma once

#include <cstdint>
#include <stdexcept>

#include "plinx/bytes.hpp"

namespace plinx {

// A draw that could not complete because the random source failed. what() is the full
// message, "Error: " followed by the source's description of the failure.
class DrawError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The draw engine. It has no state: every draw depends only on its arguments.
class Engine {
 public:
  // Draws a number in [0.0, 1.0] for `destiny`, mixing in 8 fresh bytes from the operating
  // system. Throws DrawError when the random source fails.
  double pull(std::int64_t destiny) const;

  // Draws with the given nonce instead of fresh randomness: a pure function of its arguments.
  double pull(std::int64_t destiny, const Nonce& nonce) const;
};

}  // namespace plinx
