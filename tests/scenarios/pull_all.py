"""One instance draws for each destiny given on the command line, in order. Prints the draws
as float.hex() texts, which keep every bit."""

import json
import sys

from pure_plinx import Plinx


def main(destinies):
    plinx = Plinx()
    print(json.dumps([plinx.pull(destiny).hex() for destiny in destinies]))


if __name__ == "__main__":
    main([int(argument) for argument in sys.argv[1:]])
