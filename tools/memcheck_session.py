"""A short session for valgrind's memcheck: the import, draws and every error path a caller
can reach, a few hundred times each. Run by tools/run-memcheck.sh, once as it is and once
with the random source failing, so that the panic paths are covered too.

The one argument is how every draw must end: "ok", or the name of the exception it raises."""

import sys

import pure_plinx
from pure_plinx import Plinx


class Index:
    def __init__(self, result):
        self.result = result

    def __index__(self):
        if isinstance(self.result, BaseException):
            raise self.result
        return self.result


class Unprintable(Exception):
    def __str__(self):
        raise ValueError("no text")


CALLS = [
    lambda p: p.pull(4290),
    lambda p: p.pull(destiny=-1),
    lambda p: p.pull(True),
    lambda p: p.pull(Index(7)),
    lambda p: p.pull(2**63 - 1),
    lambda p: repr(p),
    lambda p: Plinx(1),
    lambda p: Plinx(x=1),
    lambda p: p.pull(),
    lambda p: p.pull(1, 2),
    lambda p: p.pull(1, destiny=2),
    lambda p: p.pull(seed=2, destiny=3),
    lambda p: p.pull(1.5),
    lambda p: p.pull("4290"),
    lambda p: p.pull(None),
    lambda p: p.pull(2**63),
    lambda p: p.pull(-(2**70)),
    lambda p: p.pull(Index("7")),
    lambda p: p.pull(Index(TypeError(Unprintable()))),
    lambda p: p.pull(Index(ValueError("plain"))),
    lambda p: p.pull(Index(OverflowError("big"))),
]

outcomes = {}
for _ in range(200):
    plinx = Plinx()
    for number, call in enumerate(CALLS):
        try:
            call(plinx)
            outcome = "ok"
        except BaseException as error:  # the panic paths raise PanicException
            outcome = type(error).__name__
        outcomes.setdefault(number, set()).add(outcome)

expected = {sys.argv[1]}
draw_outcomes = [outcomes[number] for number in (0, 1, 2, 3, 4)]
assert all(outcome == expected for outcome in draw_outcomes), draw_outcomes
print(f"pure_plinx {pure_plinx.__version__}: {len(CALLS)} calls x 200, draws {sys.argv[1]}")
