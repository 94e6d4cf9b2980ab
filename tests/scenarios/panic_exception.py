"""The exception of a draw that fails for good, two draws in a row (4290, then -1), and
where it is reachable from: it must be the failure's alone, not a name of the module."""

import json

from helpers.panics import capture_panic

import pure_plinx


def main():
    panic = capture_panic(4290)
    Panic = type(panic)
    print(
        json.dumps(
            {
                "message": str(panic),
                "args": list(panic.args),
                "module": Panic.__module__,
                "name": Panic.__name__,
                "qualname": Panic.__qualname__,
                "bases": [base.__name__ for base in Panic.__bases__],
                "doc": Panic.__doc__,
                "same type next time": type(capture_panic(-1)) is Panic,
                "raised from None": panic.__cause__ is None and panic.__context__ is None,
                "exported as": sorted(
                    name for name, value in vars(pure_plinx).items() if value is Panic
                ),
            }
        )
    )


if __name__ == "__main__":
    main()
