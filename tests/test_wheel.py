"""The wheel as a user receives it: its contents, its symbols, a fresh install and its types."""

import importlib.metadata
import json
import os
import shutil
import subprocess
import sys
import sysconfig
import zipfile
from pathlib import Path

import pytest

# These build the development wheel from source. Where the suite runs against an installed
# release wheel instead (as on systems too old to build the module), tests/release checks it.
pytestmark = pytest.mark.skipif(
    bool(os.environ.get("PLINX_RELEASE_WHEEL")),
    reason="builds the development wheel from source; tests/release checks the release wheel",
)

TESTS = Path(__file__).resolve().parent
PROJECT = TESTS.parent
# Sources the type checkers read; bad_use.py is wrong on purpose, line by line.
GOOD_USE = TESTS / "typing_snippets" / "good_use.py"
BAD_USE = TESTS / "typing_snippets" / "bad_use.py"
EXTENSION = "pure_plinx" + sysconfig.get_config_var("EXT_SUFFIX")
DIST_INFO = f"pure_plinx-{importlib.metadata.version('pure_plinx')}.dist-info"


def run(*command, **options):
    result = subprocess.run(command, capture_output=True, text=True, **options)
    assert result.returncode == 0, result.stdout + result.stderr
    return result.stdout


@pytest.fixture(scope="module")
def wheel(tmp_path_factory):
    out = tmp_path_factory.mktemp("wheel")
    run(
        sys.executable,
        "-m",
        "pip",
        "wheel",
        "--no-deps",
        "--disable-pip-version-check",
        "--quiet",
        "--wheel-dir",
        str(out),
        str(PROJECT),
    )
    [built] = out.glob("*.whl")
    return built


@pytest.fixture(scope="module")
def fresh_python(wheel, tmp_path_factory):
    """The interpreter of a new virtual environment with only the wheel installed."""
    venv = tmp_path_factory.mktemp("fresh") / "venv"
    run(sys.executable, "-m", "venv", str(venv))
    python = venv / "bin" / "python"
    run(
        str(python),
        "-m",
        "pip",
        "install",
        "--no-index",
        "--disable-pip-version-check",
        "--quiet",
        str(wheel),
    )
    return python


def test_wheel_holds_the_extension_the_types_and_the_licences_only(wheel):
    with zipfile.ZipFile(wheel) as archive:
        names = sorted(archive.namelist())
        assert names == sorted(
            [
                EXTENSION,
                "pure_plinx-stubs/__init__.pyi",
                f"{DIST_INFO}/licenses/LICENSE",
                f"{DIST_INFO}/licenses/LICENSE-OpenSSL",
                f"{DIST_INFO}/METADATA",
                f"{DIST_INFO}/RECORD",
                f"{DIST_INFO}/WHEEL",
            ]
        )
        for licence in ("LICENSE", "LICENSE-OpenSSL"):
            shipped = archive.read(f"{DIST_INFO}/licenses/{licence}")
            assert shipped == (PROJECT / licence).read_bytes()
        stub = archive.read("pure_plinx-stubs/__init__.pyi")
        assert stub == (PROJECT / "module" / "pure_plinx.pyi").read_bytes()


def test_wheel_extension_exports_only_the_init_function(wheel, tmp_path):
    with zipfile.ZipFile(wheel) as archive:
        extension = archive.extract(EXTENSION, tmp_path)
    exported = run("nm", "-D", "--defined-only", extension)
    assert [line.split()[-1] for line in exported.splitlines()] == ["PyInit_pure_plinx"]


def test_fresh_install_imports_and_draws(fresh_python, tmp_path):
    # Isolated mode and a directory outside the project: nothing but the venv is importable,
    # not even the directory of the script.
    out = run(str(fresh_python), "-I", str(TESTS / "scenarios" / "fresh_install.py"), cwd=tmp_path)
    module_file, prefix = out.splitlines()
    assert Path(module_file).name == EXTENSION
    assert Path(module_file).is_relative_to(prefix)
    assert not Path(module_file).is_relative_to(PROJECT)


@pytest.mark.parametrize(
    "source, expected_errors",
    [
        (GOOD_USE, []),
        (
            BAD_USE,
            [
                '4: error: Argument 1 to "pull" of "Plinx" has incompatible type "str"; '
                'expected "SupportsIndex"  [arg-type]',
                '5: error: Argument 1 to "pull" of "Plinx" has incompatible type "float"; '
                'expected "SupportsIndex"  [arg-type]',
                '6: error: Incompatible types in assignment (expression has type "float", '
                'variable has type "int")  [assignment]',
                '7: error: Too many arguments for "Plinx"  [call-arg]',
            ],
        ),
    ],
    ids=["correct use", "wrong argument types"],
)
def test_mypy_reads_the_installed_types(fresh_python, tmp_path, source, expected_errors):
    snippet = tmp_path / "snippet.py"
    snippet.write_text(source.read_text())
    result = subprocess.run(
        [
            sys.executable,
            "-m",
            "mypy",
            "--strict",
            "--no-incremental",
            "--python-executable",
            str(fresh_python),
            "snippet.py",
        ],
        capture_output=True,
        text=True,
        cwd=tmp_path,
    )
    errors = [
        line.split(":", 1)[1].strip()
        for line in result.stdout.splitlines()
        if line.startswith("snippet.py:")
    ]
    assert errors == expected_errors, result.stdout + result.stderr
    assert result.returncode == (1 if expected_errors else 0)


@pytest.mark.parametrize(
    "source, expected_lines",
    [(GOOD_USE, []), (BAD_USE, [4, 5, 6, 7])],
    ids=["correct use", "wrong argument types"],
)
def test_pyright_reads_the_installed_types(fresh_python, tmp_path, source, expected_lines):
    if shutil.which("node") is None:
        pytest.skip("pyright needs Node.js, which this machine lacks")
    snippet = tmp_path / "snippet.py"
    snippet.write_text(source.read_text())
    result = subprocess.run(
        [
            sys.executable,
            "-m",
            "pyright",
            "--outputjson",
            "--pythonpath",
            str(fresh_python),
            "snippet.py",
        ],
        capture_output=True,
        text=True,
        cwd=tmp_path,
    )
    report = json.loads(result.stdout)
    errors = [d for d in report["generalDiagnostics"] if d["severity"] == "error"]
    # pyright counts lines from 0.
    assert [d["range"]["start"]["line"] + 1 for d in errors] == expected_lines, errors
    assert report["summary"]["filesAnalyzed"] == 1
