"""The module's panic exception, caught for real: its type is not exported, so the only way
to it is a draw that fails. For scenarios run with getrandom denied (deny_getrandom)."""

import sys

from pure_plinx import Plinx


def capture_panic(destiny):
    """The exception a failing draw raises, which must not be an Exception."""
    try:
        Plinx().pull(destiny)
    except Exception:
        sys.exit("the failure was caught as an Exception")
    except BaseException as error:
        return error
    sys.exit("the draw did not fail")


def outcome(destiny):
    """Whatever a draw for destiny raises, or None."""
    try:
        Plinx().pull(destiny)
    except BaseException as error:
        return error
    return None
