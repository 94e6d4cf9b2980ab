// Input: the nonce (8 bytes), then the destiny (8 bytes, host order); the rest is ignored.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plinx/engine.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  plinx::Nonce nonce;
  std::int64_t destiny = 0;
  if (size < nonce.size() + sizeof destiny) return 0;
  std::memcpy(nonce.data(), data, nonce.size());
  std::memcpy(&destiny, data + nonce.size(), sizeof destiny);

  const double drawn = plinx::Engine{}.pull(destiny, nonce);
  // Written so that NaN fails it too.
  if (!(drawn >= 0.0 && drawn <= 1.0)) {
    std::fprintf(stderr, "pipeline_fuzz: drawn %.17g is outside [0, 1]\n", drawn);
    std::abort();
  }
  return 0;
}
