#!/usr/bin/env bash
# run-memcheck.sh: runs tools/memcheck_session.py under valgrind's memcheck against the module
# installed in the CPython 3.9 virtual environment, once with a working random source and
# once with getrandom failing with EIO (the panic paths), then in three interpreters started
# and finalized one after another in one process, as an application that embeds CPython may
# run them. Any invalid access, use of
# uninitialised memory or definitely lost block fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

venv=$(bash tools/make-venv.sh 3.9)
helpers=build/memcheck
mkdir -p "$helpers"
"$venv/bin/python" tests/helpers/build.py "$helpers"

# The system allocator instead of Python's pools, so that memcheck sees every block.
export PYTHONMALLOC=malloc
# Python seeds its hashes from getrandom at start-up unless given a seed.
export PYTHONHASHSEED=0
memcheck() {
  local log=$helpers/$1.log
  shift
  if ! valgrind --quiet --log-file="$log" --trace-children=yes --leak-check=full --show-leak-kinds=definite \
         --errors-for-leak-kinds=definite --error-exitcode=99 "$@"; then
    cat "$log" >&2
    echo "run-memcheck.sh: memcheck failed, log: $log" >&2
    exit 1
  fi
}

memcheck working "$venv/bin/python" tools/memcheck_session.py ok
# Every failing draw writes a report line to standard error; the session's stdout says enough.
memcheck failing "$helpers/deny_getrandom" 5 "$venv/bin/python" tools/memcheck_session.py \
  PanicException 2>/dev/null
# The embedded interpreters find the standard library and the module as the venv's does.
session="import sys, runpy; sys.argv = ['memcheck_session', 'ok']
runpy.run_path('tools/memcheck_session.py', run_name='__main__')"
PYTHONHOME=$("$venv/bin/python" -c 'import sys; print(sys.base_prefix)') \
PYTHONPATH=$("$venv/bin/python" -c 'import os, pure_plinx; print(os.path.dirname(pure_plinx.__file__))') \
  memcheck reinitialised "$helpers/reinitialise" 3 "$session"
