#!/usr/bin/env bash
# test-debian-unstable.sh: the engine's GoogleTest suite and the whole Python suite on a
# current Debian, in the root that tools/in-debian.sh unstable keeps: CPython 3.14, 3.15 and
# the debug build of 3.14, each in development mode. Any skipped test fails the run there,
# since the root has every tool the tests need.
set -euo pipefail
cd "$(dirname "$0")/.."

exec bash tools/in-debian.sh unstable bash -c '
  set -euo pipefail
  echo "== Debian unstable: $(ldd --version | head -n 1), $(g++ --version | head -n 1), $(openssl version)"
  bash tools/run-core-tests.sh
  PLINX_FORBID_SKIPS=1 bash tools/test-pythons.sh 3.14 3.15 3.14d'
