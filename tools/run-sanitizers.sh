#!/usr/bin/env bash
# run-sanitizers.sh: the engine's GoogleTest suite and the Python suite (CPython 3.9), built
# with AddressSanitizer and UndefinedBehaviorSanitizer. Every sanitizer report ends the
# process that made it, so any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== GoogleTest suite with ASan, UBSan and LeakSanitizer"
cmake -S . -B build-sanitized --log-level=WARNING -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$sanitize" -DPLINX_WARNINGS_AS_ERRORS=ON \
  -DPLINX_BUILD_BENCHMARKS=OFF -DPLINX_BUILD_EXAMPLES=OFF
cmake --build build-sanitized -j2
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-sanitized --output-on-failure \
  --no-tests=error -j2

echo "== Python suite on CPython 3.9 with the module built with ASan and UBSan"
# Without UBSan's vptr check, which the GoogleTest run above keeps: it probes memory through
# a pipe, which fails, and is then reported as a bad object, in the tests that fill the
# descriptor table on purpose.
interpreter=$(bash tools/make-venv.sh 3.9)/bin/python
venv=.venv-3.9-sanitized
[ -x "$venv/bin/python" ] || "$interpreter" -m venv "$venv"
"$venv/bin/python" -m pip install --quiet --disable-pip-version-check -r tests/requirements.txt
"$venv/bin/python" -m pip install --quiet --disable-pip-version-check . \
  --config-settings=build-dir=build/sanitized-{wheel_tag} \
  --config-settings=cmake.build-type=RelWithDebInfo \
  --config-settings=install.strip=false \
  --config-settings=cmake.define.PLINX_WARNINGS_AS_ERRORS=ON \
  --config-settings="cmake.define.CMAKE_CXX_FLAGS=$sanitize -fno-sanitize=vptr" \
  --config-settings="cmake.define.CMAKE_MODULE_LINKER_FLAGS=-fsanitize=address,undefined"

# The interpreter itself is not instrumented, so the runtimes must be loaded before it
# starts. Its own allocations outlive it on purpose, hence no leak detection here: the
# suite's leak tests and the memcheck run cover the module's.
preload="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libubsan.so)"
# The wheel tests build and type-check with other tools, which need no sanitizer.
LD_PRELOAD="$preload" ASAN_OPTIONS=detect_leaks=0 \
  "$venv/bin/python" -X dev -m pytest --ignore=tests/test_wheel.py -p no:cacheprovider
