"""A draw with the descriptor table full, then one with a single free slot. With the /dev
fallback, the first open fails with EMFILE; with one free slot it succeeds, which takes
closing /dev/random before opening /dev/urandom in it. Prints each outcome (True for a draw
in range, else the exception's args) with what the process holds of the random devices, and
the number of the slot freed."""

import errno
import json
import os
import resource

from helpers.devices import held_devices

from pure_plinx import Plinx


def main():
    plinx = Plinx()

    def attempt():
        try:
            return 0.0 <= plinx.pull(4290) <= 1.0
        except BaseException as error:
            return list(error.args)

    resource.setrlimit(resource.RLIMIT_NOFILE, (64, resource.getrlimit(resource.RLIMIT_NOFILE)[1]))
    fillers = []
    while True:
        try:
            fillers.append(os.open("/", os.O_RDONLY))
        except OSError as error:
            assert error.errno == errno.EMFILE
            break
    table_full = attempt()
    freed = fillers.pop()
    os.close(freed)
    # Listing /proc/self/fd takes the free slot for a moment and gives it back.
    held_after_failure = held_devices()
    one_slot = attempt()
    os.close(fillers.pop())
    held_after_success = held_devices()
    for fd in fillers:
        os.close(fd)
    print(
        json.dumps(
            {
                "table full": [table_full, held_after_failure],
                "one slot": [one_slot, held_after_success],
                "freed": freed,
            }
        )
    )


if __name__ == "__main__":
    main()
