// Costs of one draw and of the work it cannot avoid, measured in one run so they compare
// as ratios: a fixed-nonce pull against the three SHA-256 digests inside it, the worst-case
// draw against a typical one, and a pull from the kernel against a fixed-nonce pull plus one
// bare getrandom.
#include <benchmark/benchmark.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>

#include "pipeline.hpp"
#include "plinx/engine.hpp"
#include "sha256.hpp"
#include "tree.hpp"

namespace {

// A different tree on every iteration, as in real use, without branch predictors learning
// one walk: the next value of a small linear congruential sequence.
std::int64_t next_destiny(std::int64_t destiny) {
  return static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(destiny) * 6364136223846793005u + 1442695040888963407u) >> 20);
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

// A worst case for rendering and hashing: the tree value -1.1435515396534966e+161 (the
// double -0x1.0448ca0d877f2p+535), whose fixed text is 174 characters against about 15 for a
// typical draw, so the result digest spans three SHA-256 blocks instead of one and the text
// comes from the general decimal conversion rather than the integer route. Found by walking
// the trees of destiny 4290 for the nonces 0 to 20 million (as little-endian 64-bit counts)
// and keeping the one with the longest fixed text.
constexpr std::int64_t kHugeDestiny = 4290;
constexpr plinx::Nonce kHugeNonce{0xa2, 0xb3, 0x30, 0x01, 0x00, 0x00, 0x00, 0x00};

void BM_PullHugeTreeValue(benchmark::State& state) {
  const plinx::detail::Digest seed = plinx::detail::seed_digest(kHugeDestiny, kHugeNonce);
  const plinx::detail::Slices slices = plinx::detail::cut_slices(seed);
  const double value =
      plinx::detail::tree_value(slices.ops, slices.constants, slices.leaves, kHugeDestiny);
  if (!(std::fabs(value) >= 1e100)) {
    state.SkipWithError("the chosen destiny and nonce no longer give a huge tree value");
    return;
  }
  const plinx::Engine engine;
  for (auto _ : state) {
    benchmark::DoNotOptimize(engine.pull(kHugeDestiny, kHugeNonce));
  }
}
BENCHMARK(BM_PullHugeTreeValue);

void BM_PullFromKernel(benchmark::State& state) {
  const plinx::Engine engine;
  std::int64_t destiny = 4290;
  for (auto _ : state) {
    benchmark::DoNotOptimize(engine.pull(destiny));
    destiny = next_destiny(destiny);
  }
}
BENCHMARK(BM_PullFromKernel);

// The system call a kernel pull makes, as the engine makes it.
void BM_Getrandom8(benchmark::State& state) {
  std::array<std::uint8_t, 8> nonce{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(syscall(SYS_getrandom, nonce.data(), nonce.size(), 0));
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
