"""Imports the module and draws once, the way an application that embeds the interpreter
would. Prints the module's names, an instance's repr and the draw's repr, or the exception
that the draw raised, with its type's module."""

import pure_plinx
from pure_plinx import Plinx


def main():
    try:
        outcome = repr(Plinx().pull(4290))
    except BaseException as error:  # a failing random source raises PanicException
        outcome = f"{type(error).__module__}.{type(error).__name__}: {error}"
    print(pure_plinx.__all__, repr(Plinx()), outcome)


if __name__ == "__main__":
    main()
