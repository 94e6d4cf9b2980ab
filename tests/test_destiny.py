"""Conversion of the destiny argument, and the numbers drawn for it."""

import json
import math
import operator

import pytest
from destiny_objects import Index, IntWithOwnIndex, Raising
from interpreter_texts import index_error, overflow_error

from pure_plinx import Plinx

INT64_MIN = -(2**63)
INT64_MAX = 2**63 - 1


class TypeErrorSubclass(TypeError):
    pass


class UnprintableTypeErrorArgument:
    def __str__(self):
        raise ValueError("no text")


@pytest.mark.parametrize(
    "destiny",
    [0, 1, -1, 4290, INT64_MIN, INT64_MAX, True, False, IntWithOwnIndex(3), Index(7), Index(-1)],
    ids=repr,
)
def test_valid_destinies_draw_a_float_in_the_unit_interval(destiny):
    drawn = Plinx().pull(destiny)
    assert type(drawn) is float
    assert 0.0 <= drawn <= 1.0


def test_many_draws_stay_in_the_unit_interval_and_differ():
    plinx = Plinx()
    draws = [plinx.pull(destiny) for destiny in range(-5000, 5000)]
    assert all(type(drawn) is float and 0.0 <= drawn <= 1.0 for drawn in draws)
    assert len(set(draws)) > 9990


def test_equal_destinies_give_different_numbers():
    draws = {Plinx().pull(4290) for _ in range(1000)}
    assert len(draws) > 990


@pytest.mark.parametrize(
    "destiny",
    [1.0, "5", None, b"\x05", Index(2.5), Index("7")],
    ids=repr,
)
def test_type_errors_of_the_interpreter_name_the_argument(destiny):
    with pytest.raises(TypeError) as caught:
        Plinx().pull(destiny)
    assert type(caught.value) is TypeError
    assert str(caught.value) == "argument 'destiny': " + index_error(destiny)


@pytest.mark.parametrize(
    "destiny, message",
    [
        (Raising(TypeError("own words")), "own words"),
        (Raising(TypeError(UnprintableTypeErrorArgument())), "<exception str() failed>"),
    ],
    ids=repr,
)
def test_type_errors_of_index_name_the_argument(destiny, message):
    with pytest.raises(TypeError) as caught:
        Plinx().pull(destiny)
    assert type(caught.value) is TypeError
    assert str(caught.value) == "argument 'destiny': " + message


def test_renamed_type_error_keeps_the_cause():
    cause = KeyError("root")
    error = TypeError("with a cause")
    error.__cause__ = cause
    with pytest.raises(TypeError) as caught:
        Plinx().pull(Raising(error))
    assert caught.value is not error
    assert caught.value.__cause__ is cause


@pytest.mark.parametrize(
    "error",
    [
        ValueError("plain"),
        TypeErrorSubclass("subclass of TypeError"),
        OverflowError("from __index__"),
        KeyboardInterrupt(),
    ],
    ids=repr,
)
def test_other_errors_of_index_pass_through_unchanged(error):
    with pytest.raises(BaseException) as caught:
        Plinx().pull(Raising(error))
    assert caught.value is error


@pytest.mark.parametrize(
    "destiny",
    [INT64_MAX + 1, INT64_MIN - 1, 10**100, -(10**100), Index(2**63), IntWithOwnIndex(2**64)],
    ids=repr,
)
def test_out_of_range_destinies_raise_the_interpreters_overflow_error(destiny):
    with pytest.raises(OverflowError) as caught:
        Plinx().pull(destiny)
    assert type(caught.value) is OverflowError
    assert str(caught.value) == overflow_error(operator.index(destiny))


def test_conversion_never_uses_int():
    class OnlyInt:
        def __int__(self):
            return 5

    with pytest.raises(TypeError, match=r"^argument 'destiny': 'OnlyInt' object cannot be"):
        Plinx().pull(OnlyInt())


# With getrandom answering a fixed nonce, a draw depends on the destiny alone, which shows the
# destiny each form of argument really delivered (scenarios/fixed_draws.py).
@pytest.fixture(scope="module")
def fixed_draws(run_scenario):
    output = run_scenario("fixed_draws", nonce="0000000000000000").stdout
    return {name: float(text) for name, text in json.loads(output).items()}


def test_known_draw_for_destiny_4290_with_a_zero_nonce(fixed_draws):
    # The worked example: leading word 251751071 / 4294967295.
    assert fixed_draws["4290"] == 0.058615363915128484
    assert fixed_draws["4290 again"] == fixed_draws["4290"]


@pytest.mark.parametrize(
    "form, plain",
    [
        ("destiny=5", "5"),
        ("Index(5)", "5"),
        ("True", "1"),
        ("False", "0"),
        ("IntWithOwnIndex(3)", "3"),
        ("Index(-1)", "-1"),
    ],
)
def test_every_form_of_a_destiny_draws_like_the_plain_int(fixed_draws, form, plain):
    assert fixed_draws[form] == fixed_draws[plain]


def test_distinct_destinies_draw_distinct_numbers(fixed_draws):
    plain = ["4290", "5", "1", "0", "3", "99", "-1", "min", "max"]
    values = [fixed_draws[name] for name in plain]
    assert len(set(values)) == len(values)
    assert all(0.0 <= value <= 1.0 and math.isfinite(value) for value in values)
