"""2000 draws on a fresh process, with the /dev/urandom descriptors it holds before and
after, and whether the one it opened is close-on-exec."""

import json

from helpers.devices import held_devices, opened_close_on_exec

from pure_plinx import Plinx


def urandom_descriptors():
    return held_devices().get("/dev/urandom", [])


def main():
    before = urandom_descriptors()
    draws = [Plinx().pull(destiny) for destiny in range(2000)]
    after = urandom_descriptors()
    print(
        json.dumps(
            {
                "before": before,
                "after": after,
                "draws": draws,
                "cloexec": opened_close_on_exec(after[0]),
            }
        )
    )


if __name__ == "__main__":
    main()
