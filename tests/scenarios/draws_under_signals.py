"""Draws, plain and through __index__, while SIGALRM fires every 0.2 ms, until at least 20000
draws and 500 handler calls. Needs PLINX_SIGNAL_PROBE (helpers.alarms). Prints whether the
handler restarts system calls, the handler calls, the deliveries the probe counted, the
number of draws, whether all are floats in range, and how many are distinct."""

import json

from destiny_objects import Index
from helpers.alarms import Alarms

from pure_plinx import Plinx


def main():
    alarms = Alarms()
    restarting = alarms.start(0.0002)
    plinx = Plinx()
    draws = []
    while alarms.handled < 500 or len(draws) < 20000:
        draws.append(plinx.pull(len(draws)))
        draws.append(plinx.pull(Index(-len(draws))))
    alarms.stop()
    print(
        json.dumps(
            {
                "restarting": restarting,
                "handled": alarms.handled,
                **alarms.deliveries(),
                "draws": len(draws),
                "in range": all(type(d) is float and 0.0 <= d <= 1.0 for d in draws),
                "distinct": len(set(draws)),
            }
        )
    )


if __name__ == "__main__":
    main()
