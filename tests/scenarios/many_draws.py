"""500 draws on fresh instances, and what the process holds of the random devices then."""

import json

from helpers.devices import held_devices

from pure_plinx import Plinx


def main():
    draws = [Plinx().pull(destiny) for destiny in range(500)]
    print(json.dumps({"draws": draws, "held": held_devices()}))


if __name__ == "__main__":
    main()
