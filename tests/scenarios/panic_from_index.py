"""A panic exception raised again from inside a draw, by the destiny's __index__.

    python -m scenarios.panic_from_index resumed MARKER
    python -m scenarios.panic_from_index unprintable
    python -m scenarios.panic_from_index derived

The type is taken from a draw that fails first (getrandom denied), since the module does not
export it. `resumed` writes MARKER to stderr once that first failure is reported, then prints
JSON about the resumed exception; `unprintable` prints the message of a resumed panic whose
argument has no str(); `derived` prints whether a subclass instance came back as itself.
"""

import json
import sys

from destiny_objects import Raising
from helpers.panics import capture_panic, outcome


def resumed(Panic, marker):
    print(marker, file=sys.stderr, flush=True)
    original = Panic("boom from __index__")
    again = outcome(Raising(original))
    print(
        json.dumps(
            {
                "type is Panic": type(again) is Panic,
                "new object": again is not original,
                "message": str(again),
                "args": list(again.args),
            }
        )
    )


def unprintable(Panic):
    class Unprintable:
        def __str__(self):
            raise ValueError("cannot print")

    print(str(outcome(Raising(Panic(Unprintable())))))


def derived(Panic):
    class Derived(Panic):
        pass

    original = Derived("derived")
    print(outcome(Raising(original)) is original)


CASES = {"resumed": resumed, "unprintable": unprintable, "derived": derived}


def main(case, *arguments):
    Panic = type(capture_panic(4290))
    CASES[case](Panic, *arguments)


if __name__ == "__main__":
    main(*sys.argv[1:])
