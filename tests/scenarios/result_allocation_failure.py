"""A call with the next allocation of Python's allocators made to fail:

    python -m scenarios.result_allocation_failure repr|pull

repr calls repr(plinx), pull calls plinx.pull(4290). Prints the module, name and args of
what the call raised, or "no failure".

_testcapi.set_nomemory(0, 1) makes the next allocation fail. The floats held alive first
drain the float free list, so the result float needs an allocation. The calls are written
out in place: calling them through a function would allocate a frame, which would take the
failing allocation instead.
"""

import _testcapi
import sys

from pure_plinx import Plinx


def main(call):
    if call not in ("repr", "pull"):
        sys.exit(f"unknown call {call!r}")
    pull = call == "pull"
    plinx = Plinx()
    floats = [number + 0.5 for number in range(1000)]  # noqa: F841 (held alive on purpose)
    try:
        _testcapi.set_nomemory(0, 1)
        if pull:
            plinx.pull(4290)
        else:
            repr(plinx)
    except BaseException as error:
        _testcapi.remove_mem_hooks()
        print(type(error).__module__, type(error).__name__, error.args)
    else:
        _testcapi.remove_mem_hooks()
        print("no failure")


if __name__ == "__main__":
    main(*sys.argv[1:])
