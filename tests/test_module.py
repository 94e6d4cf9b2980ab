"""The module and the Plinx class as Python sees them."""

import errno
import importlib
import importlib.metadata
import inspect
import os
import re
import subprocess
import sys

import pytest

import pure_plinx
from pure_plinx import Plinx

CLASS_DOC = "Python 側の `Plinx` クラス。"
PULL_DOC = "`destiny` を元に 0.0〜1.0 の浮動小数値を 1 つ引く。"


def test_module_attributes():
    assert pure_plinx.__all__ == ["Plinx", "__version__"]
    assert type(pure_plinx.__all__) is list
    # The build hands the module the version the package metadata carries.
    assert pure_plinx.__version__ == importlib.metadata.version("pure_plinx")
    assert re.fullmatch(r"\d+\.\d+\.\d+", pure_plinx.__version__)
    assert pure_plinx.__doc__ == ""
    assert pure_plinx.Plinx is Plinx
    public = {name for name in vars(pure_plinx) if not name.startswith("__")}
    assert public == {"Plinx"}
    # The module body sets __all__ first, then each name it lists, in order.
    set_by_body = {"__all__", "Plinx", "__version__"}
    assert [name for name in vars(pure_plinx) if name in set_by_body] == [
        "__all__",
        "Plinx",
        "__version__",
    ]


def test_module_is_the_installed_extension():
    assert pure_plinx.__file__.endswith(".so")
    assert "site-packages" in pure_plinx.__file__


def test_only_the_init_function_is_exported_and_libcrypto_is_linked_as_built():
    def run(*command):
        return subprocess.run(command, capture_output=True, text=True, check=True).stdout

    exported = run("nm", "-D", "--defined-only", pure_plinx.__file__)
    assert [line.split()[-1] for line in exported.splitlines()] == ["PyInit_pure_plinx"]
    # Shared in a development build; inside the extension in a release wheel.
    release_wheel = bool(os.environ.get("PLINX_RELEASE_WHEEL"))
    assert ("libcrypto.so" in run("ldd", pure_plinx.__file__)) != release_wheel


def test_reimport_returns_the_same_module_without_running_the_body_again():
    pure_plinx.__all__.append("marker")
    try:
        del sys.modules["pure_plinx"]
        again = importlib.import_module("pure_plinx")
        assert again is pure_plinx
        assert again.Plinx is Plinx
        assert again.__all__ == ["Plinx", "__version__", "marker"]
    finally:
        sys.modules["pure_plinx"] = pure_plinx
        pure_plinx.__all__.remove("marker")


def test_second_interpreter_cannot_import(run_scenario):
    # A sub-interpreter with the legacy settings every version offers, so that the module's
    # own check is what refuses it, not the interpreter's isolation rules.
    result = run_scenario("second_interpreter")
    assert result.stdout == (
        "ImportError: pure_plinx does not yet support sub-interpreters, see the section "
        '"Sub-interpreters" of the README of pure_plinx\n'
    )


@pytest.mark.parametrize("allocator", ["default", "debug"])
@pytest.mark.parametrize(
    "source", [{"nonce": "0123456789abcdef"}, {"deny_getrandom": errno.EIO}], ids=["works", "fails"]
)
def test_every_reinitialised_interpreter_gets_a_module_of_its_own(run_scenario, allocator, source):
    # Embedding applications may finalise the interpreter and start another; CPython gives
    # each new main interpreter the id 0 again. Every cycle must draw (or panic) as a lone
    # interpreter does, with objects of its own runtime.
    extra_env = {"PYTHONMALLOC": allocator}
    alone = run_scenario("draw_after_import", extra_env=extra_env, **source).stdout
    cycles = run_scenario("draw_after_import", embedded_cycles=3, extra_env=extra_env, **source)
    assert cycles.stdout == "".join(f"cycle {cycle}\n{alone}" for cycle in (1, 2, 3))


def test_import_fails_when_the_interpreter_has_no_room_for_an_exit_callback(run_scenario):
    result = run_scenario("exit_callbacks_exhausted")
    assert result.stdout == (
        "ImportError: pure_plinx cannot import: the interpreter has no room left for the exit "
        "callback (Py_AtExit) that tells it when this interpreter is finalized\n"
    )


@pytest.mark.parametrize(
    "attribute, expected",
    [
        ("__name__", "Plinx"),
        ("__qualname__", "Plinx"),
        ("__module__", "pure_plinx"),
        ("__doc__", CLASS_DOC),
        ("__text_signature__", "()"),
        ("__basicsize__", 24),
        ("__itemsize__", 0),
        ("__bases__", (object,)),
    ],
)
def test_class_attributes(attribute, expected):
    assert getattr(Plinx, attribute) == expected


@pytest.mark.parametrize(
    "attribute, expected",
    [
        ("__name__", "pull"),
        ("__qualname__", "Plinx.pull"),
        ("__doc__", PULL_DOC),
        ("__text_signature__", "($self, destiny)"),
    ],
)
def test_pull_attributes(attribute, expected):
    assert getattr(Plinx.pull, attribute) == expected


def test_signatures_are_introspectable():
    assert str(inspect.signature(Plinx)) == "()"
    assert str(inspect.signature(Plinx.pull)) == "(self, /, destiny)"
    assert str(inspect.signature(Plinx().pull)) == "(destiny)"


def test_class_has_only_its_own_members():
    own = set(vars(Plinx)) - {"__doc__", "__module__"}
    assert own == {"__new__", "__repr__", "pull"}
    # Comparison and hashing are object's: identity.
    first, second = Plinx(), Plinx()
    assert first != second and first == first
    assert hash(first) == object.__hash__(first)


def test_cannot_be_subclassed():
    # The interpreter's own words for a final type, as it says them of bool.
    with pytest.raises(TypeError) as refused:
        type("Sub", (bool,), {})
    with pytest.raises(TypeError) as caught:
        type("Sub", (Plinx,), {})
    assert str(caught.value) == str(refused.value).replace("'bool'", "'pure_plinx.Plinx'")


def test_instances_take_no_attributes_but_the_class_does():
    instance = Plinx()
    with pytest.raises(AttributeError):
        instance.seed = 1
    assert not hasattr(instance, "__dict__")
    assert not hasattr(instance, "__weakref__")
    Plinx.extra = 42
    try:
        assert instance.extra == 42
    finally:
        del Plinx.extra


def test_repr_and_str():
    instances = [Plinx() for _ in range(3)]
    assert {repr(instance) for instance in instances} == {"Plinx()"}
    assert {str(instance) for instance in instances} == {"Plinx()"}


def test_imports_and_draws_with_the_allocators_debug_hooks(run_scenario):
    # The hooks check that each block goes back to the allocator domain it came from.
    result = run_scenario("draw_in_range", extra_env={"PYTHONMALLOC": "debug"})
    assert result.stdout == "True\n"
