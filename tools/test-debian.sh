#!/usr/bin/env bash
# test-debian.sh SUITE VERSION...: the engine's GoogleTest suite and the whole Python suite,
# in development mode on each CPython VERSION, in the Debian root that tools/in-debian.sh
# SUITE keeps, where everything builds natively (under qemu-user for arm64). Any skipped test
# fails the run there, since the roots have every tool the tests need. The test command runs
#   bash tools/test-debian.sh unstable 3.14 3.15 3.14d   # glibc 2.43, GCC 16, OpenSSL 3.6
#   bash tools/test-debian.sh arm64 3.11                 # Debian 12 on aarch64
set -euo pipefail
cd "$(dirname "$0")/.."

suite=${1:?usage: test-debian.sh SUITE VERSION...}
shift
[ $# -gt 0 ] || { echo "usage: test-debian.sh SUITE VERSION..." >&2; exit 2; }

exec bash tools/in-debian.sh "$suite" bash -c '
  set -euo pipefail
  echo "== Debian $(cat /etc/debian_version) on $(uname -m): $(ldd --version | head -n 1), $(g++ --version | head -n 1), $(openssl version)"
  bash tools/run-core-tests.sh
  PLINX_FORBID_SKIPS=1 bash tools/test-pythons.sh "$@"' - "$@"
