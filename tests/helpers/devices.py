"""What a process holds open of the random devices, as /proc shows it. Shared by the tests
and by the scenarios they run in subprocesses (import helpers.devices)."""

import os

RANDOM_DEVICES = ("/dev/random", "/dev/urandom")


def held_devices():
    """Maps each random device this process has open to its descriptor numbers, sorted."""
    held = {}
    for name in os.listdir("/proc/self/fd"):
        try:
            target = os.readlink(f"/proc/self/fd/{name}")
        except OSError:
            # The descriptor listdir read the directory through, closed by now.
            continue
        if target in RANDOM_DEVICES:
            held.setdefault(target, []).append(int(name))
    return {path: sorted(fds) for path, fds in sorted(held.items())}


def opened_close_on_exec(fd):
    """Whether the descriptor's open flags, as the kernel lists them, include O_CLOEXEC."""
    with open(f"/proc/self/fdinfo/{fd}") as info:
        for line in info:
            if line.startswith("flags:"):
                return bool(int(line.split()[1], 8) & os.O_CLOEXEC)
    raise AssertionError(f"no flags line in /proc/self/fdinfo/{fd}")
