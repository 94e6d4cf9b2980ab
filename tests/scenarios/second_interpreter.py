"""Imports the module, then runs import_in_subinterpreter.py in a sub-interpreter with the
legacy settings every version offers, so that the module's own check is what refuses it,
not the interpreter's isolation rules. What the sub-interpreter prints is the output."""

import _testcapi
from pathlib import Path

import pure_plinx  # noqa: F401 (the main interpreter imports it first)

SUBINTERPRETER_PROGRAM = Path(__file__).with_name("import_in_subinterpreter.py")


def main():
    _testcapi.run_in_subinterp(SUBINTERPRETER_PROGRAM.read_text())


if __name__ == "__main__":
    main()
