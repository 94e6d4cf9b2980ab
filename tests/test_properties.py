"""Generated calls of Plinx() and Plinx.pull(): every call draws a float in [0.0, 1.0] or
raises exactly the exception the binding and conversion rules give for its arguments.

Each generated destiny carries the outcome it must have, worked out from those rules when
the object is built; the calls' positional and keyword mixes then decide which argument, if
any, is converted at all."""

import tempfile
import warnings
from collections import namedtuple
from pathlib import Path

import pytest
from hypothesis import HealthCheck, event, given, settings
from hypothesis import strategies as st
from hypothesis.configuration import set_hypothesis_home_dir
from interpreter_texts import index_error, index_warning, overflow_error

from pure_plinx import Plinx

INT64_MIN = -(2**63)
INT64_MAX = 2**63 - 1

# Reproducible from run to run, and nothing written into the working tree: no example
# database, and Hypothesis keeps its caches in the temporary directory.
set_hypothesis_home_dir(Path(tempfile.gettempdir()) / "pure_plinx-hypothesis")
PROPERTIES = settings(
    max_examples=300,
    deadline=None,
    derandomize=True,
    database=None,
    suppress_health_check=[HealthCheck.too_slow],
)

# A destiny and what converting it must give:
#   ("draw",)                    a float in [0.0, 1.0]
#   ("overflow", n)              the interpreter's OverflowError for n
#   ("type error", text, cause)  TypeError "argument 'destiny': " + text, __cause__ is cause
#   ("same", error)              that very exception object, unchanged
#   ("subclass", n)              __index__ returned an int subclass: the interpreter's
#                                DeprecationWarning, raised unchanged when warnings are
#                                errors ("same type" below), else recorded, and a draw for n
Case = namedtuple("Case", "value outcome")
DRAW = ("draw",)


def for_int(number):
    return DRAW if INT64_MIN <= number <= INT64_MAX else ("overflow", number)


def refused(destiny):
    """A destiny the interpreter will not convert, with its own message for it."""
    return Case(destiny, ("type error", index_error(destiny), None))


class NeverIndexed(int):
    """An int subclass is read by its int value; its own __index__ must not be called."""

    def __index__(self):
        raise AssertionError("the __index__ of an int subclass was called")


class TypeErrorSubclass(TypeError):
    pass


class Unprintable:
    def __str__(self):
        raise ValueError("no text")


class RenamedKey(str):
    """A keyword name whose str() is not its text: messages show the str()."""

    def __str__(self):
        return "renamed " + str.__str__(self)


ints = st.one_of(
    st.integers(),
    st.integers(INT64_MIN - 3, INT64_MIN + 3),
    st.integers(INT64_MAX - 3, INT64_MAX + 3),
    st.integers(-(2**200), 2**200),
    st.sampled_from([0, 1, -1]),
)
class_names = st.from_regex(r"\A[A-Za-z_][A-Za-z0-9_]{0,30}\Z")


def with_index(name, base, behaviour):
    """An instance of a new class `name` (derived from `base`) whose __index__ runs behaviour."""
    return type(name, (base,), {"__index__": lambda self: behaviour()})()


def returning(value):
    return lambda: value


def raising(error):
    def behaviour():
        raise error

    return behaviour


def type_error_case(args, cause):
    error = TypeError(*args)
    error.__cause__ = cause
    return Case(
        with_index("RaisesTypeError", object, raising(error)), ("type error", str(error), cause)
    )


def passing_case(kind, text):
    error = kind(text)
    return Case(with_index("RaisesOther", object, raising(error)), ("same", error))


def index_case(name, base, value, outcome):
    destiny = with_index(name, base, returning(value))
    return Case(destiny, outcome(value) if outcome else refused(destiny).outcome)


def returns(values, outcome=None):
    """An __index__ on a new class derived from one of several built-in types; without an
    outcome, one whose result the interpreter refuses."""
    return st.builds(
        index_case,
        class_names,
        st.sampled_from([object, float, str, bytes, list, tuple, dict, complex]),
        values,
        st.just(outcome),
    )


type_error_arguments = st.lists(st.one_of(st.text(max_size=20), st.integers()), max_size=3)

# Every kind of destiny, each with the outcome its conversion must have.
DESTINY_KINDS = {
    "int": ints.map(lambda n: Case(n, for_int(n))),
    "bool": st.booleans().map(lambda b: Case(b, DRAW)),
    "int subclass": ints.map(lambda n: Case(NeverIndexed(n), for_int(n))),
    "built-in without __index__": st.one_of(
        st.floats(),
        st.text(max_size=10),
        st.binary(max_size=10),
        st.binary(max_size=10).map(bytearray),
        st.none(),
        st.lists(st.integers(), max_size=3),
        st.tuples(st.integers()),
        st.dictionaries(st.text(max_size=3), st.integers(), max_size=2),
        st.complex_numbers(),
        st.frozensets(st.integers(), max_size=3),
        st.sampled_from([Ellipsis, int, range(3)]),
    ).map(refused),
    "class without __index__": st.one_of(
        class_names.map(lambda name: type(name, (), {})()),
        # __int__ and __float__ are no substitute for __index__.
        class_names.map(
            lambda name: type(
                name, (), {"__int__": lambda self: 5, "__float__": lambda self: 5.0}
            )()
        ),
    ).map(refused),
    "__index__ returns an int": returns(ints, for_int),
    "__index__ returns an int subclass": st.one_of(
        returns(st.booleans(), lambda b: ("subclass", int(b))),
        returns(ints.map(NeverIndexed), lambda n: ("subclass", int(n))),
    ),
    "__index__ returns a non-int": st.one_of(
        returns(st.floats()),
        returns(st.text(max_size=5)),
        returns(st.none()),
        returns(st.binary(max_size=5)),
        returns(class_names.map(lambda name: type(name, (), {"__index__": lambda self: 1})())),
    ),
    "__index__ raises TypeError": st.one_of(
        st.builds(type_error_case, type_error_arguments, st.none()),
        st.just(None).map(
            lambda _: Case(
                with_index("Unprintable", object, raising(TypeError(Unprintable()))),
                ("type error", "<exception str() failed>", None),
            )
        ),
    ),
    "__index__ raises TypeError with a cause": st.builds(
        type_error_case,
        type_error_arguments,
        st.builds(
            lambda kind, text: kind(text),
            st.sampled_from([KeyError, TypeError]),
            st.text(max_size=5),
        ),
    ),
    "__index__ raises something else": st.builds(
        passing_case,
        st.sampled_from(
            [
                ValueError,
                OverflowError,
                TypeErrorSubclass,
                ArithmeticError,
                KeyError,
                RuntimeError,
                LookupError,
                MemoryError,
                KeyboardInterrupt,
                SystemExit,
                UnicodeError,
                DeprecationWarning,
            ]
        ),
        st.text(max_size=10),
    ),
}


def evenly(strategies):
    """Each strategy as likely as the next (one_of would favour its first branches)."""
    return st.sampled_from(strategies).flatmap(lambda chosen: chosen)


destinies = evenly(list(DESTINY_KINDS.values()))

keyword_names = st.one_of(
    st.sampled_from(["destiny", "seed", "Destiny", "self", "destiny_", "x"]),
    st.text(max_size=12),
    st.sampled_from(["destiny", "seed"]).map(RenamedKey),
)


def positional_lists(values):
    return st.one_of(st.just([]), st.lists(values, max_size=3))


def keyword_lists(values):
    return st.one_of(
        st.just([]),
        st.lists(
            st.tuples(keyword_names, values),
            max_size=3,
            unique_by=lambda pair: str.__str__(pair[0]),
        ),
    )


def expected_binding(callable_name, parameters, positional, keywords):
    """The TypeError message binding gives, or None and the bound argument (if any)."""
    full = f"Plinx.{callable_name}()"
    given_count = len(positional)
    if given_count > len(parameters):
        verb = "was" if given_count == 1 else "were"
        return (
            f"{full} takes {len(parameters)} positional arguments but {given_count} {verb} given",
            None,
        )
    bound = positional[0] if positional else None
    for name, value in keywords:
        if str.__str__(name) not in parameters:
            return f"{full} got an unexpected keyword argument '{name!s}'", None
        if bound is not None:
            return f"{full} got multiple values for argument '{name!s}'", None
        bound = value
    if parameters and bound is None:
        return f"{full} missing 1 required positional argument: 'destiny'", None
    return None, bound


def call(form, receiver, positional, keywords):
    args = [case.value for case in positional]
    kwargs = {name: case.value for name, case in keywords}
    return form(receiver, args, kwargs)


PULL_FORMS = {
    "bound method": lambda plinx, args, kwargs: plinx.pull(*args, **kwargs),
    "through the class": lambda plinx, args, kwargs: Plinx.pull(plinx, *args, **kwargs),
    "descriptor": lambda plinx, args, kwargs: Plinx.__dict__["pull"](plinx, *args, **kwargs),
}

PLINX = Plinx()


def pull_and_check(form, positional, keywords, warnings_as_errors):
    message, bound = expected_binding("pull", ["destiny"], positional, keywords)
    with warnings.catch_warnings(record=True) as recorded:
        warnings.simplefilter("error" if warnings_as_errors else "always")
        try:
            outcome = call(PULL_FORMS[form], PLINX, positional, keywords)
        except BaseException as error:
            outcome = error
    expected_warnings = []
    if message is not None:
        event("binding error")
        assert type(outcome) is TypeError, repr(outcome)
        assert outcome.args == (message,)
    else:
        expected = bound.outcome
        if expected[0] == "subclass":
            _, number = expected
            warning = index_warning(bound.value)
            if warnings_as_errors:
                expected = ("same type", DeprecationWarning, warning)
            else:
                expected_warnings = [(DeprecationWarning, warning)]
                expected = for_int(number)
        event(expected[0])
        check_conversion(expected, outcome)
    assert [(type(w.message), str(w.message)) for w in recorded] == expected_warnings


@PROPERTIES
@given(
    form=st.sampled_from(sorted(PULL_FORMS)),
    positional=positional_lists(destinies),
    keywords=keyword_lists(destinies),
    warnings_as_errors=st.booleans(),
)
def test_pull_with_any_argument_mix_binds_then_converts(
    form, positional, keywords, warnings_as_errors
):
    pull_and_check(form, positional, keywords, warnings_as_errors)


@pytest.mark.parametrize("kind", DESTINY_KINDS)
@settings(PROPERTIES, max_examples=50)
@given(
    form=st.sampled_from(sorted(PULL_FORMS)),
    data=st.data(),
    by_keyword=st.booleans(),
    warnings_as_errors=st.booleans(),
)
def test_pull_of_any_destiny_draws_or_raises_its_conversion_error(
    kind, form, data, by_keyword, warnings_as_errors
):
    destiny = data.draw(DESTINY_KINDS[kind], label="destiny")
    positional, keywords = ([], [("destiny", destiny)]) if by_keyword else ([destiny], [])
    pull_and_check(form, positional, keywords, warnings_as_errors)


def check_conversion(expected, outcome):
    kind = expected[0]
    if kind == "draw":
        assert type(outcome) is float, repr(outcome)
        assert 0.0 <= outcome <= 1.0
    elif kind == "overflow":
        assert type(outcome) is OverflowError, repr(outcome)
        assert outcome.args == (overflow_error(expected[1]),)
    elif kind == "type error":
        _, text, cause = expected
        assert type(outcome) is TypeError, repr(outcome)
        assert outcome.args == ("argument 'destiny': " + text,)
        assert outcome.__cause__ is cause
    elif kind == "same":
        assert outcome is expected[1]
    else:
        _, error_type, text = expected
        assert type(outcome) is error_type, repr(outcome)
        assert str(outcome) == text


anything = st.one_of(destinies.map(lambda case: case.value), st.just(PLINX), st.just(Plinx))

NEW_FORMS = {
    "call": lambda cls, args, kwargs: cls(*args, **kwargs),
    "__new__": lambda cls, args, kwargs: cls.__new__(cls, *args, **kwargs),
}


@PROPERTIES
@given(
    form=st.sampled_from(sorted(NEW_FORMS)),
    positional=positional_lists(anything.map(lambda value: Case(value, None))),
    keywords=keyword_lists(anything.map(lambda value: Case(value, None))),
)
def test_constructor_takes_nothing_and_says_what_it_got(form, positional, keywords):
    message, _ = expected_binding("__new__", [], positional, keywords)
    try:
        outcome = call(NEW_FORMS[form], Plinx, positional, keywords)
    except BaseException as error:
        outcome = error
    event("binding error" if message else "instance")
    if message is None:
        assert type(outcome) is Plinx
        assert repr(outcome) == "Plinx()"
        assert 0.0 <= outcome.pull(4290) <= 1.0
    else:
        assert type(outcome) is TypeError, repr(outcome)
        assert outcome.args == (message,)
