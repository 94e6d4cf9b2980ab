"""Imports the module and draws once. Prints whether the draw lies in [0.0, 1.0]."""

from pure_plinx import Plinx


def main():
    print(0.0 <= Plinx().pull(4290) <= 1.0)


if __name__ == "__main__":
    main()
