#!/usr/bin/env bash
# test-debian-arm64.sh: the engine's GoogleTest suite and the whole Python suite on aarch64,
# in the arm64 Debian 12 root that tools/in-debian.sh keeps, whose programs run under
# qemu-user: everything builds there natively (under emulation), and the Python suite runs
# on that root's CPython 3.11 in development mode. Any skipped test fails the run there.
set -euo pipefail
cd "$(dirname "$0")/.."

exec bash tools/in-debian.sh arm64 bash -c '
  set -euo pipefail
  echo "== Debian 12 on $(uname -m): $(ldd --version | head -n 1), $(g++ --version | head -n 1), $(openssl version)"
  bash tools/run-core-tests.sh
  PLINX_FORBID_SKIPS=1 bash tools/test-pythons.sh 3.11'
