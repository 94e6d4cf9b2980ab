"""Two draws in a row, each with what the process holds of the random devices afterwards,
and MARKER (the one argument) written to stderr between them, so that the test can tell the
reports of the two apart. Prints [first, second]."""

import json
import sys

from helpers.devices import held_devices

from pure_plinx import Plinx


def attempt():
    try:
        drawn = Plinx().pull(4290)
    except Exception as error:
        return {"caught as an Exception": repr(error)}
    except BaseException as error:
        kind = type(error)
        return {
            "raised": f"{kind.__module__}.{kind.__name__}",
            "args": list(error.args),
            "held": held_devices(),
        }
    return {"drawn": drawn, "held": held_devices()}


def main(marker):
    first = attempt()
    print(marker, file=sys.stderr, flush=True)
    second = attempt()
    print(json.dumps([first, second]))


if __name__ == "__main__":
    main(*sys.argv[1:])
