"""Internal failures end to end: a kernel that really refuses getrandom, in a subprocess."""

import errno
import json
import re

import pytest

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
def test_failing_getrandom_raises_panic_exception(run_scenario, error_number, message):
    result = run_scenario("panic_exception", deny_getrandom=error_number)
    seen = json.loads(result.stdout)
    assert seen["message"] == message
    assert seen["args"] == [message]
    assert (seen["module"], seen["name"], seen["qualname"]) == (
        "pyo3_runtime",
        "PanicException",
        "PanicException",
    )
    assert seen["bases"] == ["BaseException"]
    assert "BaseException" in seen["doc"] and "SystemExit" in seen["doc"]
    assert seen["same type next time"] and seen["raised from None"]
    # Only a failure hands the type out: the module has no name for it.
    assert seen["exported as"] == []
    # One report per failed draw, each naming the failure.
    assert reported_messages(result.stderr) == [message, message]


def test_uncaught_panic_ends_the_program_with_a_traceback(run_scenario):
    result = run_scenario("uncaught_panic", deny_getrandom=errno.EIO, check=False)
    assert result.returncode == 1
    assert result.stdout == ""
    assert result.stderr.rstrip().endswith("pyo3_runtime.PanicException: Error: Input/output error")
    assert "Traceback (most recent call last):" in result.stderr


@pytest.mark.parametrize("error_number", [errno.ENOSYS, errno.EPERM])
def test_unavailable_getrandom_falls_back_to_dev_urandom(run_scenario, error_number):
    result = run_scenario("urandom_fallback", deny_getrandom=error_number)
    seen = json.loads(result.stdout)
    assert seen["before"] == [] and len(seen["after"]) == 1
    assert seen["cloexec"]
    assert all(0.0 <= drawn <= 1.0 for drawn in seen["draws"])
    assert len(set(seen["draws"])) > 1990
    assert result.stderr == ""


RESUMING = "--- resuming ---"


def test_panic_from_index_is_resumed(run_scenario):
    result = run_scenario("panic_from_index", "resumed", RESUMING, deny_getrandom=errno.EIO)
    seen = json.loads(result.stdout)
    assert seen == {
        "type is Panic": True,
        "new object": True,
        "message": "boom from __index__",
        "args": ["boom from __index__"],
    }
    resumed_part = result.stderr.split(RESUMING + "\n", 1)[1]
    notice, traceback = resumed_part.split("Traceback (most recent call last):\n", 1)
    assert len(notice.splitlines()) == 2 and "resum" in notice.lower()
    assert "in __index__" in traceback
    assert traceback.rstrip().endswith("pyo3_runtime.PanicException: boom from __index__")
    # The resumed failure has its notice and traceback, not a second report.
    assert reported_messages(resumed_part) == []


def test_panic_without_printable_message_is_resumed_with_a_fixed_one(run_scenario):
    result = run_scenario("panic_from_index", "unprintable", deny_getrandom=errno.EIO)
    assert result.stdout == "Unwrapped panic from Python code\n"


def test_subclass_of_panic_from_index_passes_through(run_scenario):
    result = run_scenario("panic_from_index", "derived", deny_getrandom=errno.EIO)
    assert result.stdout == "True\n"
    assert "Traceback" not in result.stderr.split("Error: Input/output error", 1)[1]


# The next allocation of Python's allocators fails during the call: the result's, once the
# float free list is drained (scenarios/result_allocation_failure.py).
@pytest.mark.parametrize(
    "call",
    [pytest.param("repr", id="repr(plinx)"), pytest.param("pull", id="plinx.pull(4290)")],
)
def test_failing_result_allocation_is_printed_then_raised_as_panic(run_scenario, call):
    result = run_scenario("result_allocation_failure", call)
    assert result.stdout == "pyo3_runtime PanicException ('Python API call failed',)\n"
    printed, report = result.stderr.splitlines()
    assert printed == "MemoryError"
    assert reported_messages(report) == ["Python API call failed"]
