"""A draw on a fresh instance for each destiny given on the command line. Prints their
repr() texts."""

import json
import sys

from pure_plinx import Plinx


def main(destinies):
    print(json.dumps([repr(Plinx().pull(destiny)) for destiny in destinies]))


if __name__ == "__main__":
    main([int(argument) for argument in sys.argv[1:]])
