"""Texts the interpreter words for itself, read from the running interpreter: they change
between versions, and the module passes them on as they are."""

import ctypes
import operator
import warnings

_as_long = ctypes.pythonapi.PyLong_AsLong
_as_long.argtypes = [ctypes.py_object]
_as_long.restype = ctypes.c_long


def index_error(value):
    """The TypeError message of operator.index(value), which converts as the module does."""
    try:
        operator.index(value)
    except TypeError as error:
        return str(error)
    raise AssertionError(f"{value!r} converts to an integer")


def index_warning(value):
    """The DeprecationWarning operator.index(value) gives for an int subclass from __index__."""
    with warnings.catch_warnings(record=True) as recorded:
        warnings.simplefilter("always")
        operator.index(value)
    (warning,) = recorded
    assert warning.category is DeprecationWarning
    return str(warning.message)


def overflow_error(value):
    """The OverflowError message of reading `value` as a C long, as the module reads it."""
    try:
        _as_long(value)
    except OverflowError as error:
        return str(error)
    raise AssertionError(f"{value!r} fits in a C long")
