"""What repeating an action leaves behind: bytes on the C heap (mallinfo2 sees the C++
runtime's allocations) and blocks of Python's allocator. Shared by the tests and by the
scenarios they run in subprocesses (import helpers.heap_probe)."""

import ctypes
import gc
import sys


class _MallInfo2(ctypes.Structure):
    _fields_ = [
        (field, ctypes.c_size_t)
        for field in (
            "arena",
            "ordblks",
            "smblks",
            "hblks",
            "hblkhd",
            "usmblks",
            "fsmblks",
            "uordblks",
            "fordblks",
            "keepcost",
        )
    ]


_libc = ctypes.CDLL(None)
_libc.mallinfo2.restype = _MallInfo2


def _heap_bytes():
    info = _libc.mallinfo2()
    return info.uordblks + info.hblkhd


# The interpreter's type attribute cache keeps a reference to the name of each lookup it
# caches, in a slot picked by the name's address. A name made afresh for every lookup, as
# CPython 3.13 does when it prints a traceback, can stay alive in any of thousands of slots:
# a bounded cost of the interpreter's, not something an action leaves behind.
_clear_type_cache = getattr(sys, "_clear_internal_caches", None) or sys._clear_type_cache


def _settle():
    gc.collect()
    _clear_type_cache()


def leftovers(action, repeat):
    """(C heap bytes, Python blocks) gained over `repeat` calls of action, after a warm-up
    that lets caches and free lists settle first."""
    for _ in range(1000):
        action()
    _settle()
    heap, blocks = _heap_bytes(), sys.getallocatedblocks()
    for _ in range(repeat):
        action()
    _settle()
    return _heap_bytes() - heap, sys.getallocatedblocks() - blocks
