"""Memory, references and threads: what many calls must leave unchanged."""
import errno
import gc
import json
import os
import sys
import threading

import pytest

from destiny_objects import Index, Raising, Yielding
from pure_plinx import Plinx

# Measures what repeating an action leaves behind: bytes on the C heap (mallinfo2 sees the
# C++ runtime's allocations) and blocks of Python's allocator. Shared with subprocesses.
PROBE = """
import ctypes, gc, sys

class _MallInfo2(ctypes.Structure):
    _fields_ = [(field, ctypes.c_size_t) for field in (
        "arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks",
        "uordblks", "fordblks", "keepcost")]

_libc = ctypes.CDLL(None)
_libc.mallinfo2.restype = _MallInfo2

def _heap_bytes():
    info = _libc.mallinfo2()
    return info.uordblks + info.hblkhd

def leftovers(action, repeat):
    for _ in range(1000):
        action()
    gc.collect()
    heap, blocks = _heap_bytes(), sys.getallocatedblocks()
    for _ in range(repeat):
        action()
    gc.collect()
    return _heap_bytes() - heap, sys.getallocatedblocks() - blocks
"""
exec(PROBE)

# Less than one byte and a hundredth of a block per call: any per-call leak is far above.
def assert_flat(growth, repeat):
    heap_bytes, python_blocks = growth
    assert heap_bytes < max(repeat, 65536), f"C heap grew by {heap_bytes} bytes"
    assert python_blocks < repeat // 100, f"{python_blocks} Python blocks left behind"


def attempt(call):
    def action():
        try:
            call()
        except BaseException:
            pass

    return action


def caused_type_error():
    error = TypeError("from __index__")
    error.__cause__ = KeyError("cause")
    return error


PLINX = Plinx()

ERROR_PATHS = {
    "constructor positional": lambda: Plinx(1),
    "constructor keyword": lambda: Plinx(x=1),
    "missing destiny": lambda: PLINX.pull(),
    "too many": lambda: PLINX.pull(1, 2),
    "multiple values": lambda: PLINX.pull(1, destiny=2),
    "unexpected keyword": lambda: PLINX.pull(seed=2),
    "float": lambda: PLINX.pull(1.5),
    "str": lambda: PLINX.pull("4290"),
    "index non-int": lambda: PLINX.pull(Raising(TypeError("plain"))),
    "index type error with cause": lambda: PLINX.pull(Raising(caused_type_error())),
    "index value error": lambda: PLINX.pull(Raising(ValueError("plain"))),
    "overflow": lambda: PLINX.pull(2**63),
    "overflow via index": lambda: PLINX.pull(Raising(OverflowError("big"))),
}


def references():
    """References to the type and to the instance the calls share."""
    # Objects of earlier tests (a kept traceback's frames, say) may still hold some.
    gc.collect()
    return sys.getrefcount(Plinx), sys.getrefcount(PLINX)


@pytest.mark.parametrize("path", ERROR_PATHS, ids=str)
def test_error_paths_leak_nothing(path):
    before = references()
    repeat = 20000
    assert_flat(leftovers(attempt(ERROR_PATHS[path]), repeat), repeat)
    assert references() == before


def test_a_million_pulls_leak_nothing():
    before = references()
    repeat = 1_000_000
    assert_flat(leftovers(lambda: PLINX.pull(4290), repeat), repeat)
    assert references() == before


def test_instances_and_their_type_references_are_released():
    references = sys.getrefcount(Plinx)
    repeat = 100_000
    assert_flat(leftovers(lambda: Plinx().pull(Index(11)) + len(repr(Plinx())), repeat), repeat)
    assert sys.getrefcount(Plinx) == references


def test_held_instances_hold_one_type_reference_each():
    references = sys.getrefcount(Plinx)
    held = [Plinx() for _ in range(1000)]
    assert sys.getrefcount(Plinx) == references + 1000
    del held
    assert sys.getrefcount(Plinx) == references


def test_panics_and_resumed_panics_leak_nothing(run_python):
    result = run_python(
        PROBE
        + """
import json
from pure_plinx import Plinx

plinx = Plinx()
try:
    plinx.pull(1)
except BaseException as error:
    Panic = type(error)

class Raising:
    def __index__(self):
        raise Panic("again")

def attempt(destiny):
    def action():
        try:
            plinx.pull(destiny)
        except BaseException:
            pass
    return action

def references():
    return [sys.getrefcount(Plinx), sys.getrefcount(Panic), sys.getrefcount(plinx)]

before = references()
panics = leftovers(attempt(4290), 20000)
resumed = leftovers(attempt(Raising()), 5000)
after = references()
print(json.dumps({"panics": panics, "resumed": resumed, "references": [before, after]}))
""",
        deny_getrandom=errno.EIO,
    )
    seen = json.loads(result.stdout)
    assert_flat(seen["panics"], 20000)
    assert_flat(seen["resumed"], 5000)
    before, after = seen["references"]
    assert before == after
    assert result.stderr.count("Error: Input/output error") == 1 + 1000 + 20000


def test_threads_pulling_at_once_all_get_valid_floats():
    shared = Plinx()
    results = [[] for _ in range(8)]
    errors = []
    start = threading.Barrier(len(results))

    def work(slot):
        try:
            start.wait()
            own = Plinx()
            for destiny in range(3000):
                slot.append(shared.pull(destiny))
                slot.append(own.pull(Yielding(-destiny)))
                slot.append(shared.pull(destiny=Yielding(destiny)))
        except BaseException as error:
            errors.append(error)

    threads = [threading.Thread(target=work, args=(slot,)) for slot in results]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert errors == []
    drawn = [value for slot in results for value in slot]
    assert len(drawn) == 8 * 3 * 3000
    assert all(type(value) is float and 0.0 <= value <= 1.0 for value in drawn)
    assert len(set(drawn)) > len(drawn) * 0.99
    # The shared instance came back free after every borrow.
    assert repr(shared) == "Plinx()" and 0.0 <= shared.pull(1) <= 1.0


ALLOCATIONS_PER_LOOP = """
import ctypes, json
from destiny_objects import Index
from pure_plinx import Plinx

allocations = ctypes.c_ulonglong.in_dll(ctypes.CDLL(None), "allocation_count")
plinx = Plinx()
plinx.pull(4290)  # the first draw sets up the process's random source
slots = list(range(10000))

def counted(fill):
    results = [None] * len(slots)
    before = allocations.value
    fill(results)
    return allocations.value - before

# The same loop, each step making one new float that stays alive, with and without a draw.
def negations(results, x=0.5):
    for i in slots:
        results[i] = -x

def positional(results):
    for i in slots:
        results[i] = plinx.pull(4290)

def keyword(results, pull=plinx.pull):
    # Bound once: looking up a method to call it with keywords makes a new bound method
    # object on some versions, which is the interpreter's allocation, not the draw's.
    for i in slots:
        results[i] = pull(destiny=-1)

def by_index(results, seven=Index(7)):
    for i in slots:
        results[i] = plinx.pull(seven)

counted(negations)
print(json.dumps({fill.__name__: counted(fill)
                  for fill in (negations, positional, keyword, by_index)}))
"""


def test_successful_pull_allocates_only_its_float(run_python, helper_binaries):
    preload = os.environ.get("LD_PRELOAD", "")
    if "asan" in preload:
        pytest.skip("a sanitizer's allocator leaves no allocation to count")
    counts = json.loads(run_python(ALLOCATIONS_PER_LOOP, extra_env={
        # Every Python object through malloc, where the preloaded counter sees it.
        "PYTHONMALLOC": "malloc",
        "LD_PRELOAD": " ".join(filter(None, [preload, str(helper_binaries["count_allocations"])])),
    }).stdout)
    floats = counts.pop("negations")
    # Nearly one allocation per float: only the float free list's few saved ones are reused.
    assert 9800 <= floats <= 10000
    # Free lists may differ by a few between loops; one allocation more per draw is 10000.
    assert {call: abs(count - floats) < 100 for call, count in counts.items()} == {
        "positional": True, "keyword": True, "by_index": True}, counts
