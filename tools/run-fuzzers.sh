#!/usr/bin/env bash
# run-fuzzers.sh [SECONDS]: builds the draw engine's libFuzzer targets with clang, ASan and
# UBSan in build-fuzz/ and runs each for SECONDS (30 by default) from its seed corpus.
# Exits non-zero on any crash, failed check or sanitizer report; the input that caused it is
# kept in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: run-fuzzers.sh [SECONDS]" >&2
  exit 2
fi

# clang and libclang-rt-dev (libFuzzer and the sanitizer runtimes) come with the rest.
bash tools/install-deps.sh

sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
cmake -S . -B build-fuzz --log-level=WARNING -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="$sanitize" \
  -DPLINX_BUILD_FUZZERS=ON -DPLINX_WARNINGS_AS_ERRORS=ON -DPLINX_BUILD_TESTS=OFF \
  -DPLINX_BUILD_BENCHMARKS=OFF -DPLINX_BUILD_EXAMPLES=OFF -DPLINX_BUILD_MODULE=OFF
cmake --build build-fuzz -j"$(nproc)" --target plinx-tree_fuzz plinx-pipeline_fuzz

# libFuzzer adds what it finds to its first corpus directory: work on a copy.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=$PWD/build-fuzz/artifacts
rm -rf "$artifacts"
mkdir -p "$artifacts"
export UBSAN_OPTIONS=print_stacktrace=1

status=0
# target, then the longest input whose every byte can matter (tree: header, two slices of
# up to 255 bytes, the 16 leaves of the deepest tree)
for run in "tree 536" "pipeline 16"; do
  read -r target max_len <<<"$run"
  cp -r "plinx-core/fuzz/corpus/$target" "$work/$target"
  log=build-fuzz/$target.log
  if build-fuzz/plinx-core/fuzz/plinx-${target}_fuzz -max_total_time="$seconds" \
       -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
       "$work/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "$target: $runs runs, $rate exec/s, no failures"
  else
    tail -n 60 "$log" >&2
    echo "$target: FAILED (log: $log, inputs: $artifacts/)" >&2
    status=1
  fi
done
exit $status
