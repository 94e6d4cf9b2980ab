"""What failing draws leave behind, getrandom denied: 20000 draws that panic, then 5000 whose
destiny's __index__ raises the panic exception again. Prints the leftovers of each
(helpers.heap_probe) and the references to the type, the exception type and the instance
before and after."""

import json
import sys

from helpers.heap_probe import leftovers

from pure_plinx import Plinx


def main():
    plinx = Plinx()
    try:
        plinx.pull(1)
    except BaseException as error:
        Panic = type(error)

    class Raising:
        def __index__(self):
            raise Panic("again")

    def attempt(destiny):
        def action():
            try:
                plinx.pull(destiny)
            except BaseException:
                pass

        return action

    def references():
        return [sys.getrefcount(Plinx), sys.getrefcount(Panic), sys.getrefcount(plinx)]

    before = references()
    panics = leftovers(attempt(4290), 20000)
    resumed = leftovers(attempt(Raising()), 5000)
    after = references()
    print(json.dumps({"panics": panics, "resumed": resumed, "references": [before, after]}))


if __name__ == "__main__":
    main()
