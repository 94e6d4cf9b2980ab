"""Draws for every form a destiny can take, run with a fixed nonce: a draw then depends on
the destiny alone, which shows the destiny each form really delivered. Prints
{form: repr(drawn)}."""

import json

from destiny_objects import Index, IntWithOwnIndex

from pure_plinx import Plinx


def main():
    plinx = Plinx()
    draws = {
        "4290": plinx.pull(4290),
        "4290 again": Plinx().pull(4290),
        "5": plinx.pull(5),
        "destiny=5": plinx.pull(destiny=5),
        "Index(5)": plinx.pull(Index(5)),
        "1": plinx.pull(1),
        "True": plinx.pull(True),
        "0": plinx.pull(0),
        "False": plinx.pull(False),
        "3": plinx.pull(3),
        "IntWithOwnIndex(3)": plinx.pull(IntWithOwnIndex(3)),
        "99": plinx.pull(99),
        "-1": plinx.pull(-1),
        "Index(-1)": plinx.pull(Index(-1)),
        "min": plinx.pull(-(2**63)),
        "max": plinx.pull(2**63 - 1),
    }
    print(json.dumps({name: repr(drawn) for name, drawn in draws.items()}))


if __name__ == "__main__":
    main()
