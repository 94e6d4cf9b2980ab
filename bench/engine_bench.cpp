// Costs of one draw and of the work it cannot avoid, measured in one run so they compare
// as ratios: a fixed-nonce pull against the three SHA-256 digests inside it, and a pull from
// the kernel against a fixed-nonce pull plus one bare getrandom.
#include <benchmark/benchmark.h>
#include <sys/random.h>

#include <array>
#include <cstdint>

#include "plinx/engine.hpp"
#include "sha256.hpp"

namespace {

// A different tree on every iteration, as in real use, without branch predictors learning
// one walk: the next value of a small linear congruential sequence.
std::int64_t next_destiny(std::int64_t destiny) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(destiny) * 6364136223846793005u +
                                    1442695040888963407u) >> 20);
}

void BM_PullFixedNonce(benchmark::State& state) {
  const plinx::Engine engine;
  const plinx::Nonce nonce{};
  std::int64_t destiny = 4290;
  for (auto _ : state) {
    benchmark::DoNotOptimize(engine.pull(destiny, nonce));
    destiny = next_destiny(destiny);
  }
}
BENCHMARK(BM_PullFixedNonce);

void BM_PullFromKernel(benchmark::State& state) {
  const plinx::Engine engine;
  std::int64_t destiny = 4290;
  for (auto _ : state) {
    benchmark::DoNotOptimize(engine.pull(destiny));
    destiny = next_destiny(destiny);
  }
}
BENCHMARK(BM_PullFromKernel);

void BM_Getrandom8(benchmark::State& state) {
  std::array<std::uint8_t, 8> nonce;
  for (auto _ : state) {
    benchmark::DoNotOptimize(getrandom(nonce.data(), nonce.size(), 0));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Getrandom8);

void BM_Sha256Of28Bytes(benchmark::State& state) {
  std::array<std::uint8_t, 28> input{};
  for (auto _ : state) {
    const plinx::detail::Digest digest = plinx::detail::sha256(input);
    benchmark::DoNotOptimize(digest);
    input[0] = digest[0];  // keep the digests dependent, as in a draw
  }
}
BENCHMARK(BM_Sha256Of28Bytes);

}  // namespace

BENCHMARK_MAIN();
