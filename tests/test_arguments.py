"""Binding of the arguments of Plinx() and Plinx.pull(), with Python's own messages."""

import ctypes
import re

import pytest

from pure_plinx import Plinx


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        ((1,), {}, "Plinx.__new__() takes 0 positional arguments but 1 was given"),
        ((1, 2), {}, "Plinx.__new__() takes 0 positional arguments but 2 were given"),
        ((), {"x": 1}, "Plinx.__new__() got an unexpected keyword argument 'x'"),
        ((), {"destiny": 1}, "Plinx.__new__() got an unexpected keyword argument 'destiny'"),
        # Positional arguments are checked before keywords.
        ((1,), {"x": 1}, "Plinx.__new__() takes 0 positional arguments but 1 was given"),
        # The first keyword in call order is the one reported.
        ((), {"b": 1, "a": 2}, "Plinx.__new__() got an unexpected keyword argument 'b'"),
    ],
)
def test_constructor_binding_errors(args, kwargs, message):
    with pytest.raises(TypeError) as caught:
        Plinx(*args, **kwargs)
    assert str(caught.value) == message
    assert type(caught.value) is TypeError


def test_constructor_accepts_empty_argument_containers():
    assert repr(Plinx(*())) == "Plinx()"


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        ((), {}, "Plinx.pull() missing 1 required positional argument: 'destiny'"),
        ((1, 2), {}, "Plinx.pull() takes 1 positional arguments but 2 were given"),
        ((1, 2, 3), {}, "Plinx.pull() takes 1 positional arguments but 3 were given"),
        ((1,), {"destiny": 2}, "Plinx.pull() got multiple values for argument 'destiny'"),
        ((1,), {"seed": 2, "destiny": 3}, "Plinx.pull() got an unexpected keyword argument 'seed'"),
        (
            (1,),
            {"destiny": 3, "seed": 2},
            "Plinx.pull() got multiple values for argument 'destiny'",
        ),
        ((), {"seed": 2}, "Plinx.pull() got an unexpected keyword argument 'seed'"),
        ((), {"Destiny": 2}, "Plinx.pull() got an unexpected keyword argument 'Destiny'"),
        (
            (),
            {"destiny\u00e9": 2},
            "Plinx.pull() got an unexpected keyword argument 'destiny\u00e9'",
        ),
        # Too many positional arguments win over a bad keyword.
        ((1, 2), {"seed": 3}, "Plinx.pull() takes 1 positional arguments but 2 were given"),
        # Binding comes before conversion: the bad destiny is never looked at.
        (("x",), {"seed": 3}, "Plinx.pull() got an unexpected keyword argument 'seed'"),
    ],
)
def test_pull_binding_errors(args, kwargs, message):
    with pytest.raises(TypeError) as caught:
        Plinx().pull(*args, **kwargs)
    assert str(caught.value) == message
    assert type(caught.value) is TypeError


def test_pull_binding_through_the_unbound_method():
    with pytest.raises(TypeError, match=re.escape("missing 1 required positional argument")):
        Plinx.pull(Plinx())
    assert 0.0 <= Plinx.pull(Plinx(), destiny=3) <= 1.0


# Direct calls of the slot functions, the only way to hand them a receiver that is not a
# Plinx: Python's own call paths check the receiver before the module sees it.
POINTER = ctypes.sizeof(ctypes.c_void_p)
TP_REPR_OFFSET = 11 * POINTER  # PyTypeObject: var header (3 words), then 8 fields before tp_repr
DESCRIPTOR_METHOD_OFFSET = (
    5 * POINTER
)  # PyMethodDescrObject: header (2), d_type, d_name, d_qualname
REPR_FUNCTION = ctypes.PYFUNCTYPE(ctypes.py_object, ctypes.py_object)
PULL_FUNCTION = ctypes.PYFUNCTYPE(
    ctypes.py_object, ctypes.py_object, ctypes.c_void_p, ctypes.c_ssize_t, ctypes.c_void_p
)


def read_pointer(address):
    return ctypes.c_void_p.from_address(address).value


def repr_slot():
    return REPR_FUNCTION(read_pointer(id(Plinx) + TP_REPR_OFFSET))


def pull_slot():
    method_def = read_pointer(id(Plinx.__dict__["pull"]) + DESCRIPTOR_METHOD_OFFSET)
    return PULL_FUNCTION(read_pointer(method_def + POINTER))


def call_pull_slot(receiver, *args):
    vector = (ctypes.py_object * max(len(args), 1))(*args)
    return pull_slot()(receiver, ctypes.cast(vector, ctypes.c_void_p), len(args), None)


class NamelessMeta(type):
    def __getattribute__(cls, name):
        if name == "__qualname__":
            raise RuntimeError("no name today")
        return super().__getattribute__(name)


class Nameless(metaclass=NamelessMeta):
    pass


def test_slots_found_by_offset_are_the_real_ones():
    assert repr_slot()(Plinx()) == "Plinx()"
    assert 0.0 <= call_pull_slot(Plinx(), 5) <= 1.0


@pytest.mark.parametrize(
    "receiver, name",
    [
        (object(), "object"),
        (3, "int"),
        (Plinx, "type"),
        (Nameless(), "<failed to extract type name>"),
    ],
)
def test_foreign_receiver_is_refused(receiver, name):
    message = f"'{name}' object cannot be converted to 'Plinx'"
    with pytest.raises(TypeError) as from_repr:
        repr_slot()(receiver)
    assert str(from_repr.value) == message
    with pytest.raises(TypeError) as from_pull:
        call_pull_slot(receiver, 5)
    assert str(from_pull.value) == message


def test_pull_binds_before_it_examines_the_receiver():
    with pytest.raises(TypeError) as caught:
        call_pull_slot(object())
    assert str(caught.value) == "Plinx.pull() missing 1 required positional argument: 'destiny'"


def test_pull_examines_the_receiver_before_the_destiny():
    with pytest.raises(TypeError) as caught:
        call_pull_slot(object(), "not a destiny")
    assert str(caught.value) == "'object' object cannot be converted to 'Plinx'"
