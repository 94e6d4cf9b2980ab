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


def test_threads_on_the_fallback_share_one_close_on_exec_descriptor(run_python):
    result = run_python(
        """
        import json, subprocess, sys, threading
        from destiny_objects import Yielding
        from helpers.devices import held_devices, opened_close_on_exec
        from pure_plinx import Plinx

        # Switch threads as often as the interpreter allows, and inside pull as well: the
        # destiny's __index__ gives the interpreter lock away while the receiver is borrowed.
        sys.setswitchinterval(1e-6)

        THREADS = 16
        shared = Plinx()
        start = threading.Barrier(THREADS)
        draws = [None] * THREADS
        errors = []

        def work(slot):
            try:
                own = Plinx()
                start.wait()
                drawn = []
                for destiny in range(250):
                    drawn.append(shared.pull(Yielding(destiny)))
                    drawn.append(own.pull(4290))
                draws[slot] = drawn
            except BaseException as error:
                errors.append(repr(error))

        threads = [threading.Thread(target=work, args=(slot,)) for slot in range(THREADS)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        held = held_devices()
        # A program started without closing anything inherits every descriptor that is not
        # close-on-exec.
        child = subprocess.run(
            [sys.executable, "-c",
             "import json; from helpers.devices import held_devices; print(json.dumps(held_devices()))"],
            close_fds=False, capture_output=True, text=True, check=True,
        )
        print(json.dumps({
            "errors": errors,
            "draws": draws,
            "held": held,
            "cloexec": [opened_close_on_exec(fd) for fds in held.values() for fd in fds],
            "held by child": json.loads(child.stdout),
        }))
        """,
        deny_getrandom=errno.ENOSYS,
    )
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


# A Python handler for SIGALRM, wrapped by a C-level counter (helpers/signal_probe.c) that
# sees every delivery, including those the interpreter coalesces into one call of the Python
# handler, and those that cut a system call short.
SIGNALS = """
    import ctypes, json, os, signal

    probe = ctypes.CDLL(os.environ["PLINX_SIGNAL_PROBE"])
    handled = 0

    def count(signal_number, frame):
        global handled
        handled += 1

    def start_signals(interval):
        signal.signal(signal.SIGALRM, count)
        flags = probe.signal_probe_install(signal.SIGALRM)
        assert flags != -1
        signal.setitimer(signal.ITIMER_REAL, interval, interval)
        return bool(flags & probe.signal_probe_restart_flag())

    def stop_signals():
        signal.setitimer(signal.ITIMER_REAL, 0, 0)
        probe.signal_probe_remove()
        signal.signal(signal.SIGALRM, signal.SIG_IGN)

    def deliveries():
        return {"delivered": probe.signal_probe_delivered(),
                "interrupted": probe.signal_probe_interrupted()}
"""


@pytest.mark.parametrize("deny", SOURCES)
def test_draws_carry_on_while_a_handler_fires_thousands_of_times_a_second(
    run_python, helper_binaries, deny
):
    # With a seeded pool, neither getrandom nor a read of /dev/urandom blocks for 8 bytes, and
    # the kernel does not interrupt either for a signal: what this shows is that handlers
    # running between draws, and in the middle of one (inside the destiny's __index__), leave
    # every draw whole. The FIFO test below is the one that forces EINTR into the engine.
    result = run_python(
        SIGNALS
        + """
    from destiny_objects import Index
    from pure_plinx import Plinx

    restarting = start_signals(0.0002)
    plinx = Plinx()
    draws = []
    while handled < 500 or len(draws) < 20000:
        draws.append(plinx.pull(len(draws)))
        draws.append(plinx.pull(Index(-len(draws))))
    stop_signals()
    print(json.dumps({"restarting": restarting, "handled": handled, **deliveries(),
                      "draws": len(draws),
                      "in range": all(type(d) is float and 0.0 <= d <= 1.0 for d in draws),
                      "distinct": len(set(draws))}))
    """,
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
# per draw, so each draw must equal the one a fixed getrandom gives for that nonce.
NONCE = "0123456789abcdef"
DESTINIES = list(range(-3, 5))

FIFO_FED = SIGNALS + f"""
    import signal, time
    from pure_plinx import Plinx

    NONCE = bytes.fromhex({NONCE!r})
    DESTINIES = {DESTINIES!r}

    # A pipe only now that the interpreter is up: some versions read /dev/urandom while
    # starting when getrandom is refused, and would wait on the pipe for good.
    os.unlink("/dev/urandom")
    os.mkfifo("/dev/urandom")

    feeder = os.fork()
    if feeder == 0:
        status = 1
        try:
            signal.alarm(60)  # never outlive a draw that stopped reading
            time.sleep(0.05)  # the draw waits in open("/dev/random") meanwhile
            with open("/dev/random", "wb", buffering=0) as pool:
                time.sleep(0.05)  # ... then in poll
                pool.write(b"ready")
            with open("/dev/urandom", "wb", buffering=0) as source:
                for _ in DESTINIES:
                    for piece in (NONCE[:3], NONCE[3:]):
                        time.sleep(0.01)  # ... then in read, twice per draw
                        source.write(piece)
            status = 0
        finally:
            if status != 0:
                # Whatever went wrong, a draw waiting for a writer gets one that closes at
                # once, and fails instead of waiting for good.
                for path in ("/dev/random", "/dev/urandom"):
                    try:
                        os.close(os.open(path, os.O_WRONLY | os.O_NONBLOCK))
                    except OSError:
                        pass
            os._exit(status)

    restarting = start_signals(0.001)
    plinx = Plinx()
    draws = None
    try:
        before = deliveries()
        draws = [plinx.pull(destiny) for destiny in DESTINIES]
        after = deliveries()
    finally:
        stop_signals()
        if draws is None:
            os.kill(feeder, signal.SIGKILL)  # it may be waiting for a reader that is gone
        _, status = os.waitpid(feeder, 0)
    print(json.dumps({{
        "restarting": restarting,
        "draws": [repr(drawn) for drawn in draws],
        "feeder status": status,
        **{{name: after[name] - before[name] for name in after}},
    }}))
"""

FIXED_NONCE_DRAWS = f"""
    import json
    from pure_plinx import Plinx
    print(json.dumps([repr(Plinx().pull(destiny)) for destiny in {DESTINIES!r}]))
"""


def test_fallback_repeats_open_poll_and_read_cut_short_by_signals(
    run_python, private_dev, helper_binaries
):
    expected = json.loads(run_python(FIXED_NONCE_DRAWS, nonce=NONCE).stdout)
    result = run_python(
        FIFO_FED,
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


FORK = """
    import json, os
    from helpers.devices import held_devices
    from pure_plinx import Plinx

    PULLED_BEFORE_FORK = {pulled_before_fork}
    plinx = Plinx()
    if PULLED_BEFORE_FORK:
        plinx.pull(4290)
    held_before_fork = held_devices()

    def draw_twenty():
        return [plinx.pull(4290) for _ in range(20)]

    read_end, write_end = os.pipe()
    child = os.fork()
    if child == 0:
        status = 1
        try:
            os.close(read_end)
            report = json.dumps({{"draws": draw_twenty(), "held": held_devices()}}).encode()
            with os.fdopen(write_end, "wb") as pipe:
                pipe.write(report)
            status = 0
        finally:
            os._exit(status)
    os.close(write_end)
    parent = {{"draws": draw_twenty(), "held": held_devices()}}
    with os.fdopen(read_end, "rb") as pipe:
        child_report = pipe.read()
    _, status = os.waitpid(child, 0)
    print(json.dumps({{
        "status": status,
        "held before fork": held_before_fork,
        "parent": parent,
        "child": json.loads(child_report) if child_report else None,
    }}))
"""


@pytest.mark.parametrize("pulled_before_fork", [True, False], ids=["drawn before", "fresh"])
@pytest.mark.parametrize("deny", SOURCES)
def test_child_after_fork_draws_its_own_numbers(run_python, deny, pulled_before_fork):
    result = run_python(FORK.format(pulled_before_fork=pulled_before_fork), deny_getrandom=deny)
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
