#!/usr/bin/env bash
# Runs the whole suite: the engine's GoogleTest suite, then the Python suite against the
# module as pip installs it, on every CPython from 3.9 to 3.13 found. Warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

cmake -S . -B build -DPLINX_WARNINGS_AS_ERRORS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure --no-tests=error -j2

bash tools/test-pythons.sh
