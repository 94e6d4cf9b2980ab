"""Draws with the module of a fresh install. Run by path in isolated mode (python -I), from a
directory outside the project, so that nothing but the virtual environment is importable;
prints the module's file and the environment's prefix, one a line."""

import sys

import pure_plinx
from pure_plinx import Plinx


def main():
    draws = [Plinx().pull(destiny) for destiny in (4290, -1, 2**63 - 1)]
    assert all(type(d) is float and 0.0 <= d <= 1.0 for d in draws), draws
    print(pure_plinx.__file__)
    print(sys.prefix)


if __name__ == "__main__":
    main()
