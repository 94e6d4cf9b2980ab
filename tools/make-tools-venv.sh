#!/usr/bin/env bash
# make-tools-venv.sh NAME [VERSION]: creates (once) .venv-NAME with the pinned tools of
# tools/NAME-requirements.txt (lint, release), brings them up to those pins and prints its
# path. It is made from python3, or where there is none (as in the Debian unstable root)
# from CPython VERSION.
set -euo pipefail
cd "$(dirname "$0")/.."

name=${1:?usage: make-tools-venv.sh NAME [VERSION]}
venv=.venv-$name
if [ ! -x "$venv/bin/python" ]; then
  base=$(command -v python3 || true)
  [ -n "$base" ] || base="$(bash tools/make-venv.sh "${2:?no python3 here: give a VERSION}")/bin/python"
  "$base" -m venv "$venv" >&2
fi
"$venv/bin/python" -m pip install --quiet --disable-pip-version-check \
  -r "tools/$name-requirements.txt" >&2
echo "$PWD/$venv"
