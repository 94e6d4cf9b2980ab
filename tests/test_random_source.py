"""The /dev fallback of the random source against a /dev that is not what it should be.

Each case runs an interpreter whose getrandom the kernel refuses with ENOSYS, so the draws go
to the devices, inside a mount namespace of its own whose /dev holds only the entries the
case lists (helpers/private_dev.c): a device can be missing, locked, a node for a device no
driver serves, a directory, an empty file or another device.
"""

import errno
import json
import re

import pytest

# Device numbers of the kernel's memory devices.
RANDOM = "char:1:8"
URANDOM = "char:1:9"
NULL = "char:1:3"
NO_DRIVER = "char:1:200"  # a minor number the memory driver does not have: ENXIO on open
LOCKED_RANDOM = "locked:1:8"
LOCKED_URANDOM = "locked:1:9"

REPORT = re.compile(r"^.*thread '[^']+'.* at \S+\.cpp:\d+: (?P<message>.*)$")
# Written to stderr between the two draws of scenarios/two_pulls.py, to tell their reports apart.
SECOND = "--- second pull ---"


def dev_with(private_dev, entries, *, drop_dac=False):
    """The command that puts the interpreter in a private /dev holding `entries`."""
    listed = [f"{name}={kind}" for name, kind in {"null": NULL, **entries}.items()]
    return [private_dev] + (["--drop-dac"] if drop_dac else []) + listed + ["--"]


def single_report(stderr_part):
    """The message of the one report line a failed draw writes, and nothing else."""
    lines = stderr_part.splitlines()
    assert len(lines) == 1, f"expected exactly one report line, got {lines!r}"
    match = REPORT.match(lines[0])
    assert match, f"not a failure report: {lines[0]!r}"
    return match["message"]


# What a broken /dev does to the fallback, step by step: opening /dev/random, then opening
# /dev/urandom, then reading it. The messages carry the system's text, never a bare number.
OPEN_FAILURES = [
    pytest.param(
        {"urandom": URANDOM}, False, "Error: No such file or directory", id="random missing"
    ),
    pytest.param(
        {"random": RANDOM}, False, "Error: No such file or directory", id="urandom missing"
    ),
    # Root passes any file mode; without CAP_DAC_OVERRIDE it meets them like any user.
    pytest.param(
        {"random": LOCKED_RANDOM, "urandom": URANDOM},
        True,
        "Error: Permission denied",
        id="random mode 000",
    ),
    pytest.param(
        {"random": RANDOM, "urandom": LOCKED_URANDOM},
        True,
        "Error: Permission denied",
        id="urandom mode 000",
    ),
    pytest.param(
        {"random": NO_DRIVER, "urandom": URANDOM},
        False,
        "Error: No such device or address",
        id="random without a driver",
    ),
    pytest.param(
        {"random": RANDOM, "urandom": NO_DRIVER},
        False,
        "Error: No such device or address",
        id="urandom without a driver",
    ),
]

READ_FAILURES = [
    # open(O_RDONLY) accepts a directory; read refuses it.
    pytest.param(
        {"random": RANDOM, "urandom": "dir"}, "Error: Is a directory", id="urandom a directory"
    ),
    # End of file at once: a read returning 0 bytes is no error number of the system.
    pytest.param(
        {"random": RANDOM, "urandom": "file"},
        "Error: unexpected situation",
        id="urandom an empty file",
    ),
    pytest.param(
        {"random": RANDOM, "urandom": NULL},
        "Error: unexpected situation",
        id="urandom masked by /dev/null",
    ),
]


@pytest.mark.parametrize("entries, drop_dac, message", OPEN_FAILURES)
def test_device_that_cannot_be_opened_fails_each_draw_and_holds_nothing(
    run_scenario, private_dev, entries, drop_dac, message
):
    result = run_scenario(
        "two_pulls",
        SECOND,
        wrapper=dev_with(private_dev, entries, drop_dac=drop_dac),
        deny_getrandom=errno.ENOSYS,
    )
    first, second = json.loads(result.stdout)
    expected = {"raised": "pyo3_runtime.PanicException", "args": [message], "held": {}}
    # Neither /dev/random (closed in every case) nor a half-opened /dev/urandom stays open,
    # and the second draw tries the whole opening again, failing the same way.
    assert first == expected
    assert second == expected
    before, after = result.stderr.split(SECOND + "\n")
    assert single_report(before) == message
    assert single_report(after) == message


@pytest.mark.parametrize("entries, message", READ_FAILURES)
def test_device_that_cannot_be_read_keeps_its_one_descriptor(
    run_scenario, private_dev, entries, message
):
    result = run_scenario(
        "two_pulls", SECOND, wrapper=dev_with(private_dev, entries), deny_getrandom=errno.ENOSYS
    )
    first, second = json.loads(result.stdout)
    assert first["raised"] == "pyo3_runtime.PanicException"
    assert first["args"] == [message]
    held = first["held"]
    assert list(held) == ["/dev/urandom"] and len(held["/dev/urandom"]) == 1
    # The descriptor is the process's for good: the second draw reads the same one again
    # rather than opening another.
    assert second == first
    before, after = result.stderr.split(SECOND + "\n")
    assert single_report(before) == message
    assert single_report(after) == message


@pytest.mark.parametrize(
    "random_entry",
    [
        pytest.param(NULL, id="random masked by /dev/null"),
        pytest.param("dir", id="random a directory"),
        pytest.param("file", id="random an empty file"),
        pytest.param(URANDOM, id="random with the urandom device number"),
    ],
)
def test_any_poll_that_returns_ends_the_wait_on_dev_random(run_scenario, private_dev, random_entry):
    # /dev/random is only waited on, never read: anything that opens and polls will do.
    result = run_scenario(
        "many_draws",
        wrapper=dev_with(private_dev, {"random": random_entry, "urandom": URANDOM}),
        deny_getrandom=errno.ENOSYS,
    )
    seen = json.loads(result.stdout)
    assert all(0.0 <= drawn <= 1.0 for drawn in seen["draws"])
    assert len(set(seen["draws"])) > 495
    assert list(seen["held"]) == ["/dev/urandom"] and len(seen["held"]["/dev/urandom"]) == 1
    assert result.stderr == ""


@pytest.mark.parametrize(
    "entries, drop_dac, repair, message",
    [
        pytest.param(
            {"urandom": URANDOM},
            False,
            "create-random",
            "Error: No such file or directory",
            id="random created",
        ),
        pytest.param(
            {"random": RANDOM},
            False,
            "create-urandom",
            "Error: No such file or directory",
            id="urandom created",
        ),
        pytest.param(
            {"random": RANDOM, "urandom": LOCKED_URANDOM},
            True,
            "unlock-urandom",
            "Error: Permission denied",
            id="urandom unlocked",
        ),
    ],
)
def test_failed_opening_is_tried_again_once_the_device_is_back(
    run_scenario, private_dev, entries, drop_dac, repair, message
):
    result = run_scenario(
        "repaired_device",
        repair,
        wrapper=dev_with(private_dev, entries, drop_dac=drop_dac),
        deny_getrandom=errno.ENOSYS,
    )
    seen = json.loads(result.stdout)
    assert seen["failure"] == [message]
    assert all(0.0 <= drawn <= 1.0 for drawn in seen["draws"])
    assert len(set(seen["draws"])) > 95
    assert list(seen["held"]) == ["/dev/urandom"] and len(seen["held"]["/dev/urandom"]) == 1
    assert seen["cloexec"] == [True]
    assert single_report(result.stderr) == message


# With the descriptor table full, the fallback's first open fails with EMFILE. With a single
# free slot it succeeds, which takes closing /dev/random before opening /dev/urandom in it
# (scenarios/descriptors_run_out.py).
def test_full_descriptor_table_fails_the_fallback_until_a_slot_is_free(run_scenario):
    result = run_scenario("descriptors_run_out", deny_getrandom=errno.ENOSYS)
    seen = json.loads(result.stdout)
    assert seen["table full"] == [["Error: Too many open files"], {}]
    assert seen["one slot"] == [True, {"/dev/urandom": [seen["freed"]]}]
    assert single_report(result.stderr) == "Error: Too many open files"


def test_getrandom_needs_no_descriptor(run_scenario):
    result = run_scenario("descriptors_run_out")
    seen = json.loads(result.stdout)
    assert seen["table full"] == [True, {}]
    assert seen["one slot"] == [True, {}]
    assert result.stderr == ""
