#!/usr/bin/env bash
# quick-test.sh [VERSION] [PYTEST ARGUMENT...]: the inner loop for the module. Rebuilds it
# incrementally in build/<wheel tag> (only what changed is recompiled), reinstalls it into
# .venv-VERSION (3.9 by default) without build isolation or dependency checks, and runs
# pytest in development mode with the given arguments, for example
#   bash tools/quick-test.sh 3.13 -x -k destiny
# The test requirements are installed only when the virtual environment has no pytest yet.
set -euo pipefail
cd "$(dirname "$0")/.."

version=3.9
if [[ ${1:-} =~ ^3\.[0-9]+d?$ ]]; then
  version=$1
  shift
fi
venv=$(bash tools/make-venv.sh "$version")
pip=("$venv/bin/python" -m pip install --quiet --disable-pip-version-check)

"$venv/bin/python" -c "import pytest" 2>/dev/null || "${pip[@]}" -r tests/requirements.txt
"$venv/bin/python" -c "import scikit_build_core" 2>/dev/null || "${pip[@]}" scikit-build-core
"${pip[@]}" --no-deps --no-build-isolation . \
  --config-settings=cmake.define.PLINX_WARNINGS_AS_ERRORS=ON
"$venv/bin/python" -X dev -m pytest "$@"
