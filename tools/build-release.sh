#!/usr/bin/env bash
# build-release.sh: a complete release in dist/, checked:
#   - the sdist (what building needs, nothing more);
#   - a manylinux wheel for each CPython from 3.9 to 3.15 and each of x86_64 and aarch64,
#     built from the sdist alone: for 3.9 to 3.13 here (Debian 12), for 3.14 and 3.15 the
#     same way in the Debian unstable root of tools/in-debian.sh unstable; the aarch64 ones
#     cross-compiled, with Debian 12's arm64 OpenSSL unpacked from its packages
#     (tools/stage-packages.sh); libcrypto is linked statically into each;
#   - twine check on every artefact, and the tests of tests/release: each wheel installs
#     alone into a fresh environment and draws, needs no libcrypto and exports one symbol;
#     the sdist builds and draws; the C++ package installs and a consumer draws with it;
#     on Debian 12, Debian unstable and Debian 11 (x86_64), and Debian 12 on aarch64.
# Needs root, for the Debian roots.
set -euo pipefail
cd "$(dirname "$0")/.."

host_versions=(3.9 3.10 3.11 3.12 3.13)
unstable_versions=(3.14 3.15)

bash tools/install-deps.sh
tools=$(bash tools/make-tools-venv.sh release)
rm -rf dist
mkdir dist

echo "== sdist"
"$tools/bin/python" -m build --sdist --outdir dist . >/dev/null
sdist=$(ls dist/*.tar.gz)

# Every aarch64 wheel links Debian 12's libcrypto for arm64: Debian unstable's is compiled
# against glibc 2.38's headers and calls their __isoc23_strtoul, which glibc 2.17 lacks.
aarch64_target=build/target-aarch64
rm -rf "$aarch64_target"
bash tools/stage-packages.sh arm64 bookworm "$aarch64_target" libssl-dev
bash tools/build-wheels.sh x86_64 "$sdist" "${host_versions[@]}"
PLINX_TARGET_ROOT=$PWD/$aarch64_target bash tools/build-wheels.sh aarch64 "$sdist" "${host_versions[@]}"
bash tools/in-debian.sh unstable bash -c '
  set -euo pipefail
  sdist=$1 target=$2 && shift 2
  bash tools/build-wheels.sh x86_64 "$sdist" "$@"
  rm -rf "$target"
  bash tools/stage-packages.sh arm64 bookworm "$target" libssl-dev
  # The pyconfig.h of Debian here includes the target one through the multiarch path.
  python_headers=()
  for version; do python_headers+=("libpython$version-dev"); done
  bash tools/stage-packages.sh arm64 sid "$target" "${python_headers[@]}"
  PLINX_TARGET_ROOT=$PWD/$target bash tools/build-wheels.sh aarch64 "$sdist" "$@"
' - "$sdist" "$aarch64_target" "${unstable_versions[@]}"

echo "== twine check"
"$tools/bin/twine" check --strict dist/*

echo "== the artefacts, on Debian 12"
PLINX_DIST=$PWD/dist "$tools/bin/python" -m pytest -p no:cacheprovider tests/release
echo "== the artefacts, on Debian unstable"
bash tools/in-debian.sh unstable bash -c \
  'PLINX_DIST=$PWD/dist "$(bash tools/make-tools-venv.sh release 3.14)/bin/python" -m pytest -p no:cacheprovider tests/release'

echo "== the artefacts, on Debian 11"
bash tools/test-debian-bullseye.sh
echo "== the artefacts, on Debian 12 for aarch64"
bash tools/in-debian.sh arm64 bash -c \
  'PLINX_DIST=$PWD/dist "$(bash tools/make-tools-venv.sh release)/bin/python" -m pytest -p no:cacheprovider tests/release'

echo "== dist/"
expected=$((1 + 2 * (${#host_versions[@]} + ${#unstable_versions[@]})))
count=$(find dist -maxdepth 1 -type f | wc -l)
ls -l dist | awk 'NR > 1 {printf "%9d  %s\n", $5, $9}'
if [ "$count" -ne "$expected" ]; then
  echo "build-release.sh: $count artefacts in dist/, expected $expected" >&2
  exit 1
fi
