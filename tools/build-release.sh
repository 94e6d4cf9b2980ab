#!/usr/bin/env bash
# build-release.sh: a complete release in dist/, checked:
#   - the sdist (what building needs, nothing more);
#   - a manylinux wheel for each CPython from 3.9 to 3.13, built here (Debian 12) from the
#     sdist alone, and for 3.14 and 3.15, built the same way in the Debian unstable root of
#     tools/in-debian.sh unstable; libcrypto is linked statically into each;
#   - twine check on every artefact, and the tests of tests/release: each wheel installs
#     alone into a fresh environment and draws, needs no libcrypto and exports one symbol;
#     the sdist builds and draws; the C++ package installs and a consumer draws with it.
# Needs root, for the Debian unstable root.
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

bash tools/build-wheels.sh "$sdist" "${host_versions[@]}"
bash tools/in-debian.sh unstable bash tools/build-wheels.sh "$sdist" "${unstable_versions[@]}"

echo "== twine check"
"$tools/bin/twine" check --strict dist/*

echo "== the artefacts, on Debian 12"
PLINX_DIST=$PWD/dist "$tools/bin/python" -m pytest -p no:cacheprovider tests/release
echo "== the artefacts, on Debian unstable"
bash tools/in-debian.sh unstable bash -c \
  'PLINX_DIST=$PWD/dist "$(bash tools/make-tools-venv.sh release 3.14)/bin/python" -m pytest -p no:cacheprovider tests/release'

echo "== the artefacts, on Debian 11"
bash tools/test-debian-bullseye.sh

echo "== dist/"
expected=$((1 + ${#host_versions[@]} + ${#unstable_versions[@]}))
count=$(find dist -maxdepth 1 -type f | wc -l)
ls -l dist | awk 'NR > 1 {printf "%9d  %s\n", $5, $9}'
if [ "$count" -ne "$expected" ]; then
  echo "build-release.sh: $count artefacts in dist/, expected $expected" >&2
  exit 1
fi
