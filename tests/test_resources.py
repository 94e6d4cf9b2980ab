"""Memory, references and threads: what many calls must leave unchanged."""

import errno
import gc
import json
import os
import sys
import threading

import pytest
from destiny_objects import Index, Raising, Yielding
from helpers.heap_probe import leftovers

from pure_plinx import Plinx


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


def test_panics_and_resumed_panics_leak_nothing(run_scenario):
    result = run_scenario("panic_leaks", deny_getrandom=errno.EIO)
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


def test_successful_pull_allocates_only_its_float(run_scenario, helper_binaries):
    preload = os.environ.get("LD_PRELOAD", "")
    if "asan" in preload:
        pytest.skip("a sanitizer's allocator leaves no allocation to count")
    counts = json.loads(
        run_scenario(
            "allocations_per_loop",
            extra_env={
                # Every Python object through malloc, where the preloaded counter sees it.
                "PYTHONMALLOC": "malloc",
                "LD_PRELOAD": " ".join(
                    filter(None, [preload, str(helper_binaries["count_allocations"])])
                ),
            },
        ).stdout
    )
    floats = counts.pop("negations")
    # Nearly one allocation per float: only the float free list's few saved ones are reused.
    assert 9800 <= floats <= 10000
    # Free lists may differ by a few between loops; one allocation more per draw is 10000.
    assert {call: abs(count - floats) < 100 for call, count in counts.items()} == {
        "positional": True,
        "keyword": True,
        "by_index": True,
    }, counts
