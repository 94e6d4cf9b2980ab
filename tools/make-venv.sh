#!/usr/bin/env bash
# make-venv.sh VERSION: creates (once) the virtual environment .venv-VERSION for CPython
# VERSION and prints its path. The interpreter is taken from pyenv's versions when present
# (the newest patch release), otherwise from pythonVERSION on the PATH.
set -euo pipefail
cd "$(dirname "$0")/.."

version=${1:?usage: make-venv.sh VERSION (for example 3.9)}
venv=.venv-$version

if [ ! -x "$venv/bin/python" ]; then
  pyenv_root=$(pyenv root 2>/dev/null || echo "${PYENV_ROOT:-$HOME/.pyenv}")
  interpreter=$(ls -d "$pyenv_root"/versions/"$version".*/bin/python"$version" 2>/dev/null |
                sort -V | tail -n 1 || true)
  [ -n "$interpreter" ] || interpreter=$(command -v "python$version" || true)
  if [ -z "$interpreter" ]; then
    echo "make-venv.sh: no CPython $version found" >&2
    exit 1
  fi
  "$interpreter" -m venv "$venv" >&2
fi
echo "$PWD/$venv"
