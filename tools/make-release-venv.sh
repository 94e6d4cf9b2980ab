#!/usr/bin/env bash
# make-release-venv.sh [VERSION]: creates (once) .venv-release with the tools of
# tools/release-requirements.txt and prints its path. It is made from python3, or where there
# is none (as in the Debian unstable root) from CPython VERSION.
set -euo pipefail
cd "$(dirname "$0")/.."

venv=.venv-release
if [ ! -x "$venv/bin/python" ]; then
  base=$(command -v python3 || true)
  [ -n "$base" ] || base="$(bash tools/make-venv.sh "${1:?no python3 here: give a VERSION}")/bin/python"
  "$base" -m venv "$venv" >&2
fi
"$venv/bin/python" -m pip install --quiet --disable-pip-version-check \
  -r tools/release-requirements.txt >&2
echo "$PWD/$venv"
