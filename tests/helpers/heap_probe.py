"""What repeating an action leaves behind: bytes on the C heap (mallinfo2, or mallinfo
before glibc 2.33, sees the C++ runtime's allocations) and blocks of Python's allocator.
Shared by the tests and by the scenarios they run in subprocesses (import
helpers.heap_probe)."""

import ctypes
import gc
import sys

_FIELDS = (
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


def _mallinfo(name, field_type):
    """glibc's `name` (mallinfo2, or the older mallinfo with int fields), or None."""
    function = getattr(ctypes.CDLL(None), name, None)
    if function is not None:
        function.restype = type(
            "MallInfo",
            (ctypes.Structure,),
            {"_fields_": [(field, field_type) for field in _FIELDS]},
        )
    return function


# mallinfo's int fields wrap past 2 GiB, far beyond what these tests allocate.
_heap_info = _mallinfo("mallinfo2", ctypes.c_size_t) or _mallinfo("mallinfo", ctypes.c_int)


def _heap_bytes():
    info = _heap_info()
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
