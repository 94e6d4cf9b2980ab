"""Prints what this process holds of the random devices (helpers.devices.held_devices)."""

import json

from helpers.devices import held_devices


def main():
    print(json.dumps(held_devices()))


if __name__ == "__main__":
    main()
