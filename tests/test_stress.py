"""Draws under pressure from the process around them: many threads on the /dev fallback,
signals arriving all the time, and fork. Each runs in an interpreter of its own."""

import errno
import json

import pytest

# The random source in use: the getrandom system call, or the /dev fallback that a refused
# getrandom (ENOSYS) switches to.
SOURCES = [
    pytest.param(None, id="getrandom"),
    pytest.param(errno.ENOSYS, id="dev fallback"),
]


def one_urandom_descriptor(held):
    assert list(held) == ["/dev/urandom"], held
    assert len(held["/dev/urandom"]) == 1, held
    return held["/dev/urandom"][0]


def test_threads_on_the_fallback_share_one_close_on_exec_descriptor(run_scenario):
    result = run_scenario("threads_on_fallback", deny_getrandom=errno.ENOSYS)
    seen = json.loads(result.stdout)
    assert seen["errors"] == []
    one_urandom_descriptor(seen["held"])
    assert seen["cloexec"] == [True]
    assert seen["held by child"] == {}
    drawn = [value for per_thread in seen["draws"] for value in per_thread]
    assert len(drawn) == 16 * 500
    assert all(0.0 <= value <= 1.0 for value in drawn)
    assert len(set(drawn)) > len(drawn) * 0.99
    assert result.stderr == ""


@pytest.mark.parametrize("deny", SOURCES)
def test_draws_carry_on_while_a_handler_fires_thousands_of_times_a_second(
    run_scenario, helper_binaries, deny
):
    # With a seeded pool, neither getrandom nor a read of /dev/urandom blocks for 8 bytes, and
    # the kernel does not interrupt either for a signal: what this shows is that handlers
    # running between draws, and in the middle of one (inside the destiny's __index__), leave
    # every draw whole. The FIFO test below is the one that forces EINTR into the engine.
    result = run_scenario(
        "draws_under_signals",
        deny_getrandom=deny,
        extra_env={"PLINX_SIGNAL_PROBE": str(helper_binaries["signal_probe"])},
    )
    seen = json.loads(result.stdout)
    # Python installs its handlers without SA_RESTART: a blocked call would see EINTR.
    assert seen["restarting"] is False
    assert seen["handled"] >= 500
    assert seen["delivered"] >= seen["handled"]
    assert seen["in range"]
    assert seen["distinct"] > seen["draws"] * 0.99
    assert result.stderr == ""


# /dev/random and /dev/urandom are named pipes fed by a forked child, slowly: the draw blocks
# in open, poll and read by turns while SIGALRM arrives every millisecond, so those calls do
# fail with EINTR and must be repeated. The feeder hands over a fixed nonce, in two pieces
# per draw, so each draw must equal the one a fixed getrandom gives for that nonce
# (scenarios/fifo_fed.py).
NONCE = "0123456789abcdef"
DESTINIES = list(range(-3, 5))


def test_fallback_repeats_open_poll_and_read_cut_short_by_signals(
    run_scenario, private_dev, helper_binaries
):
    expected = json.loads(run_scenario("fixed_nonce_draws", *DESTINIES, nonce=NONCE).stdout)
    result = run_scenario(
        "fifo_fed",
        NONCE,
        *DESTINIES,
        wrapper=[private_dev, "null=char:1:3", "random=fifo", "urandom=char:1:9", "--"],
        deny_getrandom=errno.ENOSYS,
        extra_env={"PLINX_SIGNAL_PROBE": str(helper_binaries["signal_probe"])},
        timeout=120,
    )
    seen = json.loads(result.stdout)
    assert seen["restarting"] is False
    assert seen["feeder status"] == 0
    # System calls of the draws came back with EINTR, and the draws went on regardless.
    assert seen["interrupted"] > 0
    assert seen["delivered"] >= seen["interrupted"]
    # Short reads and interrupted ones put the nonce together in the order it was written.
    assert seen["draws"] == expected
    assert len(set(expected)) == len(DESTINIES)
    assert result.stderr == ""


@pytest.mark.parametrize("pulled_before_fork", [True, False], ids=["drawn before", "fresh"])
@pytest.mark.parametrize("deny", SOURCES)
def test_child_after_fork_draws_its_own_numbers(run_scenario, deny, pulled_before_fork):
    options = ["--pull-before-fork"] if pulled_before_fork else []
    result = run_scenario("fork", *options, deny_getrandom=deny)
    seen = json.loads(result.stdout)
    assert seen["status"] == 0
    parent, child = seen["parent"]["draws"], seen["child"]["draws"]
    assert all(0.0 <= drawn <= 1.0 for drawn in parent + child)
    # Nothing of the randomness is buffered in the process, where fork would copy it: the
    # same destiny gives the two processes unrelated numbers.
    assert len(set(parent)) == len(set(child)) == 20
    assert set(parent).isdisjoint(child)
    if deny is None:
        assert seen["held before fork"] == seen["parent"]["held"] == seen["child"]["held"] == {}
    elif pulled_before_fork:
        # The child reads the descriptor it inherited instead of opening one of its own.
        fd = one_urandom_descriptor(seen["held before fork"])
        assert one_urandom_descriptor(seen["parent"]["held"]) == fd
        assert one_urandom_descriptor(seen["child"]["held"]) == fd
    else:
        assert seen["held before fork"] == {}
        one_urandom_descriptor(seen["parent"]["held"])
        one_urandom_descriptor(seen["child"]["held"])
    assert result.stderr == ""
