// Costs of one draw and of the work it cannot avoid, measured in one run so they compare
// as ratios: a fixed-nonce pull against the three SHA-256 digests inside it, the worst-case
// draw against a typical one, and a pull from the kernel against a fixed-nonce pull plus one
// bare getrandom (the C library's, and the system call's).
#include <benchmark/benchmark.h>
#include <sys/random.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fixed_text.hpp"
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

// The 8 bytes of a kernel pull, as the engine fetches them: the C library's getrandom, which
// glibc 2.41+ serves from the vDSO.
void BM_Getrandom8(benchmark::State& state) {
  std::array<std::uint8_t, 8> nonce{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(getrandom(nonce.data(), nonce.size(), 0));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Getrandom8);

// The same through the system call itself, which every getrandom was before glibc 2.41.
void BM_GetrandomSystemCall8(benchmark::State& state) {
  std::array<std::uint8_t, 8> nonce{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(syscall(SYS_getrandom, nonce.data(), nonce.size(), 0));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GetrandomSystemCall8);

// The stages of a draw, each on the inputs that real draws give it: destinies from the
// sequence above, with the zero nonce, prepared before timing.
struct StageInputs {
  std::vector<std::int64_t> destinies;
  std::vector<plinx::detail::Digest> seeds;
  std::vector<plinx::detail::Slices> slices;
  std::vector<double> values;
  std::vector<std::string> texts;
};

// Enough inputs that the branch predictors cannot learn the walks by heart, as they do over
// a thousand (the walk then looked 60 ns cheaper than inside a real draw): its branches on
// leaf and operator bytes are coin tosses in real use.
constexpr int kStageInputCount = 65536;
const StageInputs& stage_inputs() {
  static const StageInputs inputs = [] {
    StageInputs made;
    std::int64_t destiny = 4290;
    for (int i = 0; i < kStageInputCount; ++i, destiny = next_destiny(destiny))
      made.destinies.push_back(destiny);
    made.seeds.reserve(made.destinies.size());  // the slices point into the seeds
    for (const std::int64_t d : made.destinies) {
      made.seeds.push_back(plinx::detail::seed_digest(d, plinx::Nonce{}));
      const plinx::detail::Slices slices = plinx::detail::cut_slices(made.seeds.back());
      made.slices.push_back(slices);
      made.values.push_back(
          plinx::detail::tree_value(slices.ops, slices.constants, slices.leaves, d));
      made.texts.emplace_back(plinx::detail::FixedText(made.values.back()).view());
    }
    return made;
  }();
  return inputs;
}

template <typename Stage>
void run_stage(benchmark::State& state, Stage stage) {
  const StageInputs& inputs = stage_inputs();
  std::size_t i = 0;
  for (auto _ : state) {
    stage(inputs, i);
    i = (i + 1) % inputs.destinies.size();
  }
}

void BM_StageSeedDigest(benchmark::State& state) {
  run_stage(state, [](const StageInputs& in, std::size_t i) {
    benchmark::DoNotOptimize(plinx::detail::seed_digest(in.destinies[i], plinx::Nonce{}));
  });
}
BENCHMARK(BM_StageSeedDigest);

void BM_StageCut(benchmark::State& state) {
  run_stage(state, [](const StageInputs& in, std::size_t i) {
    benchmark::DoNotOptimize(plinx::detail::cut_slices(in.seeds[i]));
  });
}
BENCHMARK(BM_StageCut);

void BM_StageTreeVariable(benchmark::State& state) {
  run_stage(state, [](const StageInputs& in, std::size_t i) {
    benchmark::DoNotOptimize(plinx::detail::tree_variable(in.slices[i].ops, in.destinies[i]));
  });
}
BENCHMARK(BM_StageTreeVariable);

// The variable and the walk together; the walk alone is this less the stage above.
void BM_StageTreeValue(benchmark::State& state) {
  run_stage(state, [](const StageInputs& in, std::size_t i) {
    const plinx::detail::Slices& s = in.slices[i];
    benchmark::DoNotOptimize(
        plinx::detail::tree_value(s.ops, s.constants, s.leaves, in.destinies[i]));
  });
}
BENCHMARK(BM_StageTreeValue);

void BM_StageFixedText(benchmark::State& state) {
  run_stage(state, [](const StageInputs& in, std::size_t i) {
    const plinx::detail::FixedText text(in.values[i]);
    benchmark::DoNotOptimize(text.view().data());
  });
}
BENCHMARK(BM_StageFixedText);

void BM_StageResultDigest(benchmark::State& state) {
  run_stage(state, [](const StageInputs& in, std::size_t i) {
    benchmark::DoNotOptimize(plinx::detail::result_digest(in.texts[i], in.seeds[i]));
  });
}
BENCHMARK(BM_StageResultDigest);

// The floor of a draw: three digests of the lengths a draw hashes (a 4290-like destiny's
// seed input, the tree variable's input, a typical result input), each fed by the last.
void BM_ThreeDigestsChained(benchmark::State& state) {
  std::array<std::uint8_t, 23> input{};
  std::int64_t destiny = 4290;
  for (auto _ : state) {
    input[0] = static_cast<std::uint8_t>(destiny);
    const plinx::detail::Digest seed = plinx::detail::sha256(plinx::ByteSpan(input).first(12));
    const plinx::detail::Digest variable = plinx::detail::sha256(plinx::ByteSpan(seed).first(8));
    plinx::detail::Digest result = plinx::detail::sha256(plinx::ByteSpan(variable).first(22));
    benchmark::DoNotOptimize(result);
    destiny = next_destiny(destiny) ^ result[0];
  }
}
BENCHMARK(BM_ThreeDigestsChained);

void BM_Sha256Of28Bytes(benchmark::State& state) {
  std::array<std::uint8_t, 28> input{};
  for (auto _ : state) {
    plinx::detail::Digest digest = plinx::detail::sha256(input);
    benchmark::DoNotOptimize(digest);
    input[0] = digest[0];  // keep the digests dependent, as in a draw
  }
}
BENCHMARK(BM_Sha256Of28Bytes);

}  // namespace

BENCHMARK_MAIN();
