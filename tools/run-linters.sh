#!/usr/bin/env bash
# run-linters.sh: the formatters and linters at the versions tools/lint-requirements.txt pins,
# each failing the run on any finding: ruff (lint and format) for the Python,
# clang-format for the C++ and C, clang-tidy for the C++ (engine, module, tests, benchmark).
# Nothing is rewritten; `pre-commit run --all-files` applies the formatters' fixes.
set -euo pipefail
cd "$(dirname "$0")/.."

venv=$(bash tools/make-tools-venv.sh lint)

echo "== ruff"
"$venv/bin/ruff" check --no-cache .
"$venv/bin/ruff" format --no-cache --check .

echo "== clang-format"
git ls-files -z '*.cpp' '*.hpp' '*.c' | xargs -0 "$venv/bin/clang-format" --dry-run --Werror

echo "== clang-tidy"
# The module's sources need the interpreter's headers: any installed CPython will do.
python=$(bash tools/make-venv.sh 3.9)/bin/python
cmake -S . -B build-lint --log-level=WARNING -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DPLINX_BUILD_MODULE=ON -DPython_EXECUTABLE="$python"
"$venv/bin/run-clang-tidy.py" -p build-lint -clang-tidy-binary "$venv/bin/clang-tidy" -quiet \
  -j"$(nproc)" >build-lint/clang-tidy.log 2>&1 ||
  { grep -E -A3 'warning:|error:' build-lint/clang-tidy.log >&2; exit 1; }
echo "clang-tidy: no findings in $(grep -c '"file"' build-lint/compile_commands.json) sources"
