"""Draws from a /dev fallback fed slowly through named pipes, while SIGALRM arrives every
millisecond:

    python -m scenarios.fifo_fed NONCE DESTINY...

Run in a private /dev whose /dev/random is a named pipe (helpers/private_dev.c), with
getrandom refused and PLINX_SIGNAL_PROBE set (helpers.alarms). A forked feeder writes to
/dev/random, then hands over the nonce (hex) through /dev/urandom in two pieces per draw, so
the draw blocks in open, poll and read by turns and the signals cut those calls short.
Prints whether the handler restarts system calls, the repr() of each draw, the feeder's
wait status, and the deliveries and interrupted system calls the probe counted during the
draws.
"""

import json
import os
import signal
import sys
import time

from helpers.alarms import Alarms

from pure_plinx import Plinx


def feed(nonce, destinies):
    """The feeder's part, in the forked child; never returns."""
    status = 1
    try:
        signal.alarm(60)  # never outlive a draw that stopped reading
        time.sleep(0.05)  # the draw waits in open("/dev/random") meanwhile
        with open("/dev/random", "wb", buffering=0) as pool:
            time.sleep(0.05)  # ... then in poll
            pool.write(b"ready")
        with open("/dev/urandom", "wb", buffering=0) as source:
            for _ in destinies:
                for piece in (nonce[:3], nonce[3:]):
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


def main(nonce_hex, *destiny_texts):
    nonce = bytes.fromhex(nonce_hex)
    destinies = [int(text) for text in destiny_texts]
    alarms = Alarms()

    # A pipe only now that the interpreter is up: some versions read /dev/urandom while
    # starting when getrandom is refused, and would wait on the pipe for good.
    os.unlink("/dev/urandom")
    os.mkfifo("/dev/urandom")

    feeder = os.fork()
    if feeder == 0:
        feed(nonce, destinies)

    restarting = alarms.start(0.001)
    plinx = Plinx()
    draws = None
    try:
        before = alarms.deliveries()
        draws = [plinx.pull(destiny) for destiny in destinies]
        after = alarms.deliveries()
    finally:
        alarms.stop()
        if draws is None:
            os.kill(feeder, signal.SIGKILL)  # it may be waiting for a reader that is gone
        _, status = os.waitpid(feeder, 0)
    print(
        json.dumps(
            {
                "restarting": restarting,
                "draws": [repr(drawn) for drawn in draws],
                "feeder status": status,
                **{name: after[name] - before[name] for name in after},
            }
        )
    )


if __name__ == "__main__":
    main(*sys.argv[1:])
