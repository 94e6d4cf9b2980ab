#!/usr/bin/env bash
# Runs the whole suite, warnings as errors throughout:
#   1. the engine's GoogleTest suite;
#   2. the Python suite against the module as pip installs it, on every CPython from 3.9 to
#      3.13 found;
#   3. both suites again with AddressSanitizer and UndefinedBehaviorSanitizer;
#   4. a valgrind memcheck session of the module;
#   5. the engine's fuzzers, FUZZ_SECONDS (30 by default) each.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

echo "== GoogleTest suite"
cmake -S . -B build -DPLINX_WARNINGS_AS_ERRORS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure --no-tests=error -j2

bash tools/test-pythons.sh
bash tools/run-sanitizers.sh
echo "== valgrind memcheck"
bash tools/run-memcheck.sh
echo "== fuzzers"
bash tools/run-fuzzers.sh "${FUZZ_SECONDS:-30}"
echo "== all passed"
