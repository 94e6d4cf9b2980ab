"""16 threads drawing at once, each on a shared instance and on one of its own, switching as
often as the interpreter allows. Prints the errors, the draws of each thread, what the
process holds of the random devices, whether each of those descriptors is close-on-exec, and
what a child started without closing anything holds (scenarios.held_devices)."""

import json
import subprocess
import sys
import threading

from destiny_objects import Yielding
from helpers.devices import held_devices, opened_close_on_exec

from pure_plinx import Plinx

THREADS = 16


def main():
    # Switch threads as often as the interpreter allows, and inside pull as well: the
    # destiny's __index__ gives the interpreter lock away while the receiver is borrowed.
    sys.setswitchinterval(1e-6)

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
        [sys.executable, "-m", "scenarios.held_devices"],
        close_fds=False,
        capture_output=True,
        text=True,
        check=True,
    )
    print(
        json.dumps(
            {
                "errors": errors,
                "draws": draws,
                "held": held,
                "cloexec": [opened_close_on_exec(fd) for fds in held.values() for fd in fds],
                "held by child": json.loads(child.stdout),
            }
        )
    )


if __name__ == "__main__":
    main()
