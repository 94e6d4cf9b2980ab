"""A Python handler for SIGALRM, wrapped by a C-level counter (helpers/signal_probe.c, loaded
from PLINX_SIGNAL_PROBE) that sees every delivery, including those the interpreter coalesces
into one call of the Python handler, and those that cut a system call short."""

import ctypes
import os
import signal


class Alarms:
    def __init__(self):
        self.probe = ctypes.CDLL(os.environ["PLINX_SIGNAL_PROBE"])
        self.handled = 0

    def _count(self, signal_number, frame):
        self.handled += 1

    def start(self, interval):
        """Fires SIGALRM every `interval` seconds; True if the handler restarts system calls."""
        signal.signal(signal.SIGALRM, self._count)
        flags = self.probe.signal_probe_install(signal.SIGALRM)
        assert flags != -1
        signal.setitimer(signal.ITIMER_REAL, interval, interval)
        return bool(flags & self.probe.signal_probe_restart_flag())

    def stop(self):
        signal.setitimer(signal.ITIMER_REAL, 0, 0)
        self.probe.signal_probe_remove()
        signal.signal(signal.SIGALRM, signal.SIG_IGN)

    def deliveries(self):
        return {
            "delivered": self.probe.signal_probe_delivered(),
            "interrupted": self.probe.signal_probe_interrupted(),
        }
