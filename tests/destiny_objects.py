"""Objects that stand in for a destiny, shared by the tests."""

import time


class Index:
    """Converts through __index__ alone."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class IntWithOwnIndex(int):
    """An int subclass whose __index__ disagrees with its int value."""

    def __index__(self):
        return 99


class Raising:
    """Raises the given exception from __index__."""

    def __init__(self, error):
        self.error = error

    def __index__(self):
        raise self.error


class Yielding:
    """Lets other threads run in the middle of a pull, while the receiver is borrowed."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        time.sleep(0)
        return self.value
