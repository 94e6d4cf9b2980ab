#!/usr/bin/env bash
# Runs the whole suite, warnings as errors throughout:
#   0. the formatters and linters (ruff, clang-format, clang-tidy), which change nothing;
#   1. the engine's GoogleTest suite;
#   2. the Python suite, in development mode, against the module as pip installs it, on
#      every CPython from 3.9 to 3.15 found on this machine;
#   3. both suites on a current Debian (unstable) with CPython 3.14, 3.15 and 3.14's debug
#      build, in a debootstrap root;
#   4. both suites on aarch64, in an arm64 Debian 12 root under qemu-user, with its CPython 3.11;
#   5. the release: the sdist and a manylinux wheel per CPython from 3.9 to 3.15 and per
#      architecture (x86_64, aarch64) in dist/, each checked, installed where an interpreter
#      for it is at hand, and the C++ package installed and used;
#   6. both suites again with AddressSanitizer and UndefinedBehaviorSanitizer;
#   7. a valgrind memcheck session of the module;
#   8. the engine's fuzzers, FUZZ_SECONDS (30 by default) each.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

bash tools/run-linters.sh
bash tools/run-core-tests.sh
bash tools/test-pythons.sh
bash tools/test-debian.sh unstable 3.14 3.15 3.14d
bash tools/test-debian.sh arm64 3.11
bash tools/build-release.sh
bash tools/run-sanitizers.sh
echo "== valgrind memcheck"
bash tools/run-memcheck.sh
echo "== fuzzers"
bash tools/run-fuzzers.sh "${FUZZ_SECONDS:-30}"
echo "== all passed"
