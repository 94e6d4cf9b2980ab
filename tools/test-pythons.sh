#!/usr/bin/env bash
# test-pythons.sh [VERSION ...]: for each CPython version (by default every one from 3.9 to
# 3.15 that is installed; "3.14d" names a debug build), pip-installs the module into
# .venv-VERSION with warnings as errors and runs the whole Python suite against it in
# development mode, which adds the allocators' debug hooks and the interpreter's runtime
# checks. Fails if any version fails or none is found.
set -euo pipefail
cd "$(dirname "$0")/.."

versions=("$@")
[ ${#versions[@]} -gt 0 ] || versions=(3.9 3.10 3.11 3.12 3.13 3.14 3.15)

pip_install() {
  "$1/bin/python" -m pip install --quiet --disable-pip-version-check "${@:2}"
}

tested=()
for version in "${versions[@]}"; do
  if ! venv=$(bash tools/make-venv.sh "$version" 2>/dev/null); then
    echo "test-pythons.sh: CPython $version not found, skipped" >&2
    continue
  fi
  echo "== CPython $version"
  pip_install "$venv" -r tests/requirements.txt
  pip_install "$venv" . --config-settings=cmake.define.PLINX_WARNINGS_AS_ERRORS=ON
  "$venv/bin/python" -X dev -m pytest
  tested+=("$version")
done

if [ ${#tested[@]} -eq 0 ]; then
  echo "test-pythons.sh: no CPython found among ${versions[*]}" >&2
  exit 1
fi
echo "== Python suite passed on CPython ${tested[*]}"
