#!/usr/bin/env bash
# test-debian-bullseye.sh: the release's CPython 3.9 wheel where its tag says it runs, on a
# glibc older than the build's: Debian 11 (glibc 2.31, CPython 3.9), in the root that
# tools/in-debian.sh keeps. The wheel installs offline into a fresh environment, and the whole
# Python suite runs against it in development mode; then tests/release checks the release
# there. Debian 11's GCC 10 cannot build the module (C++20), so the tests that build from
# source skip, saying so. Needs the release in dist/ (tools/build-release.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

exec bash tools/in-debian.sh bullseye bash -c '
  set -euo pipefail
  echo "== Debian 11: $(ldd --version | head -n 1), $(python3 --version)"
  venv=.venv-wheel-3.9
  rm -rf "$venv"
  python3.9 -m venv "$venv"
  "$venv/bin/python" -m pip install --quiet --upgrade pip
  "$venv/bin/python" -m pip install --quiet -r tests/requirements.txt
  "$venv/bin/python" -m pip install --quiet --no-index --only-binary=:all: dist/pure_plinx-*-cp39-*_x86_64.whl
  PLINX_RELEASE_WHEEL=1 "$venv/bin/python" -X dev -m pytest -p no:cacheprovider
  PLINX_DIST=$PWD/dist \
  PLINX_SOURCE_BUILD_UNAVAILABLE="building from source needs C++20 (GCC 11 or newer); this system has GCC 10" \
    "$venv/bin/python" -m pytest -p no:cacheprovider tests/release'
