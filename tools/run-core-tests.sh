#!/usr/bin/env bash
# run-core-tests.sh: builds the draw engine with warnings as errors in build/ and runs its
# GoogleTest suite.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== GoogleTest suite"
cmake -S . -B build --log-level=WARNING -DPLINX_WARNINGS_AS_ERRORS=ON
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure --no-tests=error -j"$(nproc)"
