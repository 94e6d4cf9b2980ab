#!/usr/bin/env bash
# Runs the whole suite: the engine's GoogleTest suite, then the Python suite against the
# module as pip installs it into a CPython 3.9 virtual environment. Warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

cmake -S . -B build -DPLINX_WARNINGS_AS_ERRORS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure --no-tests=error -j2

venv=$(bash tools/make-venv.sh 3.9)
"$venv/bin/python" -m pip install --quiet --disable-pip-version-check -r tests/requirements.txt
"$venv/bin/python" -m pip install --quiet --disable-pip-version-check . \
  --config-settings=cmake.define.PLINX_WARNINGS_AS_ERRORS=ON
"$venv/bin/python" -m pytest
