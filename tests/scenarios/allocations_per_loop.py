"""Allocations counted by the preloaded helpers/count_allocations.c (allocation_count) over
loops of 10000 steps, each step making one new float that stays alive: negations, and draws
by position, by keyword and through __index__. Prints {loop: allocations}. Run with
PYTHONMALLOC=malloc so that every Python object goes through the counter."""

import ctypes
import json

from destiny_objects import Index

from pure_plinx import Plinx

allocations = ctypes.c_ulonglong.in_dll(ctypes.CDLL(None), "allocation_count")
plinx = Plinx()
slots = list(range(10000))


def counted(fill):
    results = [None] * len(slots)
    before = allocations.value
    fill(results)
    return allocations.value - before


def negations(results, x=0.5):
    for i in slots:
        results[i] = -x


def positional(results):
    for i in slots:
        results[i] = plinx.pull(4290)


def keyword(results, pull=plinx.pull):
    # Bound once: looking up a method to call it with keywords makes a new bound method
    # object on some versions, which is the interpreter's allocation, not the draw's.
    for i in slots:
        results[i] = pull(destiny=-1)


SEVEN = Index(7)  # made once, outside the counted loop


def by_index(results):
    for i in slots:
        results[i] = plinx.pull(SEVEN)


def main():
    plinx.pull(4290)  # the first draw sets up the process's random source
    counted(negations)
    print(
        json.dumps(
            {fill.__name__: counted(fill) for fill in (negations, positional, keyword, by_index)}
        )
    )


if __name__ == "__main__":
    main()
