"""A draw that fails on a broken /dev, the repair named on the command line, then 100 draws
more on the same instance:

    python -m scenarios.repaired_device create-random|create-urandom|unlock-urandom

Prints the first failure's args (or null), the later draws, what the process holds of the
random devices and whether each /dev/urandom descriptor is close-on-exec.
"""

import json
import os
import stat
import sys

from helpers.devices import held_devices, opened_close_on_exec

from pure_plinx import Plinx

# A device comes back as the kernel's own: random is char 1:8, urandom char 1:9.
REPAIRS = {
    "create-random": lambda: os.mknod("/dev/random", stat.S_IFCHR | 0o666, os.makedev(1, 8)),
    "create-urandom": lambda: os.mknod("/dev/urandom", stat.S_IFCHR | 0o666, os.makedev(1, 9)),
    "unlock-urandom": lambda: os.chmod("/dev/urandom", 0o666),
}


def main(repair):
    repair = REPAIRS[repair]
    plinx = Plinx()
    try:
        plinx.pull(1)
    except BaseException as error:
        failure = list(error.args)
    else:
        failure = None
    repair()
    draws = [plinx.pull(destiny) for destiny in range(100)]
    held = held_devices()
    print(
        json.dumps(
            {
                "failure": failure,
                "draws": draws,
                "held": held,
                "cloexec": [opened_close_on_exec(fd) for fd in held.get("/dev/urandom", [])],
            }
        )
    )


if __name__ == "__main__":
    main(*sys.argv[1:])
