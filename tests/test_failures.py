"""Internal failures end to end: a kernel that really refuses getrandom, in a subprocess."""
import errno
import json
import re

import pytest

FIRST_PANIC = """
    import json, sys
    from pure_plinx import Plinx

    def capture_panic(destiny):
        try:
            Plinx().pull(destiny)
        except Exception:
            sys.exit("the failure was caught as an Exception")
        except BaseException as error:
            return error
        sys.exit("the draw did not fail")

    panic = capture_panic(4290)
    Panic = type(panic)
"""

REPORT = re.compile(r"^.*thread '[^']+'.* at \S+\.cpp:\d+: (?P<message>.*)$", re.MULTILINE)


def reported_messages(stderr):
    return [match["message"] for match in REPORT.finditer(stderr)]


@pytest.mark.parametrize(
    "error_number, message",
    [
        (errno.EIO, "Error: Input/output error"),
        (errno.EFAULT, "Error: Bad address"),
        (errno.EAGAIN, "Error: Resource temporarily unavailable"),
        (errno.ENOMEM, "Error: Cannot allocate memory"),
        # strerror_r knows no text for it and says so with EINVAL.
        (4095, "Error: OS Error: 4095"),
        # A return of 0 bytes, which no healthy kernel gives for a non-empty request.
        (0, "Error: unexpected situation"),
    ],
)
def test_failing_getrandom_raises_panic_exception(run_python, error_number, message):
    result = run_python(
        FIRST_PANIC
        + """
    print(json.dumps({
        "message": str(panic),
        "args": list(panic.args),
        "module": Panic.__module__,
        "name": Panic.__name__,
        "qualname": Panic.__qualname__,
        "bases": [base.__name__ for base in Panic.__bases__],
        "doc": Panic.__doc__,
        "same type next time": type(capture_panic(-1)) is Panic,
        "raised from None": panic.__cause__ is None and panic.__context__ is None,
    }))
    """,
        deny_getrandom=error_number,
    )
    seen = json.loads(result.stdout)
    assert seen["message"] == message
    assert seen["args"] == [message]
    assert (seen["module"], seen["name"], seen["qualname"]) == (
        "pyo3_runtime", "PanicException", "PanicException",
    )
    assert seen["bases"] == ["BaseException"]
    assert "BaseException" in seen["doc"] and "SystemExit" in seen["doc"]
    assert seen["same type next time"] and seen["raised from None"]
    # One report per failed draw, each naming the failure.
    assert reported_messages(result.stderr) == [message, message]


def test_uncaught_panic_ends_the_program_with_a_traceback(run_python):
    result = run_python(
        """
        from pure_plinx import Plinx
        try:
            Plinx().pull(7)
        except Exception:
            print("handled")
        """,
        deny_getrandom=errno.EIO,
        check=False,
    )
    assert result.returncode == 1
    assert result.stdout == ""
    assert result.stderr.rstrip().endswith("pyo3_runtime.PanicException: Error: Input/output error")
    assert "Traceback (most recent call last):" in result.stderr


@pytest.mark.parametrize("error_number", [errno.ENOSYS, errno.EPERM])
def test_unavailable_getrandom_falls_back_to_dev_urandom(run_python, error_number):
    result = run_python(
        """
        import json
        from helpers.devices import held_devices, opened_close_on_exec
        from pure_plinx import Plinx

        def urandom_descriptors():
            return held_devices().get("/dev/urandom", [])

        before = urandom_descriptors()
        draws = [Plinx().pull(destiny) for destiny in range(2000)]
        after = urandom_descriptors()
        print(json.dumps({"before": before, "after": after, "draws": draws,
                          "cloexec": opened_close_on_exec(after[0])}))
        """,
        deny_getrandom=error_number,
    )
    seen = json.loads(result.stdout)
    assert seen["before"] == [] and len(seen["after"]) == 1
    assert seen["cloexec"]
    assert all(0.0 <= drawn <= 1.0 for drawn in seen["draws"])
    assert len(set(seen["draws"])) > 1990
    assert result.stderr == ""


RESUME = """
    from destiny_objects import Raising

    def outcome(destiny):
        try:
            Plinx().pull(destiny)
        except BaseException as error:
            return error
"""


def test_panic_from_index_is_resumed(run_python):
    result = run_python(
        FIRST_PANIC
        + RESUME
        + """
    print("--- resuming ---", file=sys.stderr, flush=True)
    original = Panic("boom from __index__")
    resumed = outcome(Raising(original))
    print(json.dumps({
        "type is Panic": type(resumed) is Panic,
        "new object": resumed is not original,
        "message": str(resumed),
        "args": list(resumed.args),
    }))
    """,
        deny_getrandom=errno.EIO,
    )
    seen = json.loads(result.stdout)
    assert seen == {
        "type is Panic": True,
        "new object": True,
        "message": "boom from __index__",
        "args": ["boom from __index__"],
    }
    resumed_part = result.stderr.split("--- resuming ---\n", 1)[1]
    notice, traceback = resumed_part.split("Traceback (most recent call last):\n", 1)
    assert len(notice.splitlines()) == 2 and "resum" in notice.lower()
    assert "in __index__" in traceback
    assert traceback.rstrip().endswith("pyo3_runtime.PanicException: boom from __index__")
    # The resumed failure has its notice and traceback, not a second report.
    assert reported_messages(resumed_part) == []


def test_panic_without_printable_message_is_resumed_with_a_fixed_one(run_python):
    result = run_python(
        FIRST_PANIC
        + RESUME
        + """
    class Unprintable:
        def __str__(self):
            raise ValueError("cannot print")

    print(str(outcome(Raising(Panic(Unprintable())))))
    """,
        deny_getrandom=errno.EIO,
    )
    assert result.stdout == "Unwrapped panic from Python code\n"


def test_subclass_of_panic_from_index_passes_through(run_python):
    result = run_python(
        FIRST_PANIC
        + RESUME
        + """
    class Derived(Panic):
        pass

    original = Derived("derived")
    print(outcome(Raising(original)) is original)
    """,
        deny_getrandom=errno.EIO,
    )
    assert result.stdout == "True\n"
    assert "Traceback" not in result.stderr.split("Error: Input/output error", 1)[1]


# _testcapi.set_nomemory(0, 1) makes the next allocation of Python's allocators fail. The
# floats held alive first drain the float free list, so the result float needs an allocation.
@pytest.mark.parametrize(
    "call",
    ["repr(plinx)", "plinx.pull(4290)"],
)
def test_failing_result_allocation_is_printed_then_raised_as_panic(run_python, call):
    result = run_python(
        f"""
        import _testcapi
        from pure_plinx import Plinx

        plinx = Plinx()
        floats = [number + 0.5 for number in range(1000)]
        try:
            _testcapi.set_nomemory(0, 1)
            {call}
        except BaseException as error:
            _testcapi.remove_mem_hooks()
            print(type(error).__module__, type(error).__name__, error.args)
        else:
            _testcapi.remove_mem_hooks()
            print("no failure")
        """
    )
    assert result.stdout == "pyo3_runtime PanicException ('Python API call failed',)\n"
    printed, report = result.stderr.splitlines()
    assert printed == "MemoryError"
    assert reported_messages(report) == ["Python API call failed"]
