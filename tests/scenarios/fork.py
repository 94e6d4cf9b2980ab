"""Twenty draws for the same destiny in a parent and in its forked child:

    python -m scenarios.fork [--pull-before-fork]

With --pull-before-fork the parent draws once before forking, so that its random source is
set up by then. Prints the child's wait status, what the parent held of the random devices
before the fork, and the draws and held devices of parent and child after it.
"""

import json
import os
import sys

from helpers.devices import held_devices

from pure_plinx import Plinx


def main(*options):
    if set(options) - {"--pull-before-fork"}:
        sys.exit(f"unknown options {options!r}")
    plinx = Plinx()
    if "--pull-before-fork" in options:
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
            report = json.dumps({"draws": draw_twenty(), "held": held_devices()}).encode()
            with os.fdopen(write_end, "wb") as pipe:
                pipe.write(report)
            status = 0
        finally:
            os._exit(status)
    os.close(write_end)
    parent = {"draws": draw_twenty(), "held": held_devices()}
    with os.fdopen(read_end, "rb") as pipe:
        child_report = pipe.read()
    _, status = os.waitpid(child, 0)
    print(
        json.dumps(
            {
                "status": status,
                "held before fork": held_before_fork,
                "parent": parent,
                "child": json.loads(child_report) if child_report else None,
            }
        )
    )


if __name__ == "__main__":
    main(*sys.argv[1:])
