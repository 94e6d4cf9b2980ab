#!/usr/bin/env bash
# Installs the Debian packages that building and testing the project needs.
# Quick when they are present already: apt is consulted only for what is missing.
set -euo pipefail

packages=(cmake make gcc g++ binutils libc6-dev libssl-dev libgtest-dev libbenchmark-dev
          valgrind clang libclang-rt-dev debootstrap pkgconf)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
