"""The release in $PLINX_DIST as users receive it (tools/build-release.sh builds it): every
artefact installs on its own, outside the source tree, and draws.

Wheels are installed where this machine has their architecture and their interpreter; the
release script runs these tests on Debian 12, in the Debian unstable root, so that every
x86_64 wheel meets its own, in the Debian 11 root, the oldest glibc at hand above the
wheels' floor, and in the arm64 root, where the aarch64 wheel for its CPython 3.11 does.
Where a system cannot build from source, PLINX_SOURCE_BUILD_UNAVAILABLE says why, and the
tests that do skip with it."""

import os
import platform
import re
import shutil
import subprocess
import tarfile
import zipfile
from pathlib import Path

import pytest

DIST = Path(os.environ.get("PLINX_DIST", "dist")).resolve()
PROJECT = Path(__file__).resolve().parents[2]
VERSIONS = ["3.9", "3.10", "3.11", "3.12", "3.13", "3.14", "3.15"]
# The architectures with wheels, as the tags and `uname -m` name them, and as readelf does.
MACHINES = {"x86_64": "Advanced Micro Devices X86-64", "aarch64": "AArch64"}
# The oldest glibc the wheels are built for, and the tag pip reads it from (with the older
# name of the same policy that pip before 20.3 knows).
GLIBC_FLOOR = (2, 17)
PLATFORM_TAG = re.compile(
    r"manylinux2014_(?P<arch>\w+)\.manylinux_{}_{}_(?P=arch)".format(*GLIBC_FLOOR)
)
NO_SOURCE_BUILD = os.environ.get("PLINX_SOURCE_BUILD_UNAVAILABLE")
needs_source_build = pytest.mark.skipif(bool(NO_SOURCE_BUILD), reason=NO_SOURCE_BUILD or "")
WORKED_EXAMPLE = "0.058615363915128484"
WHEEL_NAME = re.compile(
    r"pure_plinx-(?P<version>[^-]+)-cp3(?P<minor>\d+)-cp3(?P=minor)-(?P<platform>[\w.]+)\.whl"
)
DRAW = """
import pathlib, sys, importlib.metadata, pure_plinx
drawn = pure_plinx.Plinx().pull(4290)
assert type(drawn) is float and 0.0 <= drawn <= 1.0, drawn
assert pure_plinx.__version__ == importlib.metadata.version("pure_plinx")
print(pathlib.Path(pure_plinx.__file__).resolve())
"""


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options)


def interpreter(version):
    """A CPython `version` on this machine (in the project's venv for it), or None."""
    made = subprocess.run(
        ["bash", str(PROJECT / "tools" / "make-venv.sh"), version],
        capture_output=True,
        text=True,
    )
    return Path(made.stdout.strip()) / "bin" / "python" if made.returncode == 0 else None


def wheel_version(wheel):
    return f"3.{WHEEL_NAME.fullmatch(wheel.name)['minor']}"


def wheel_arch(wheel):
    match = PLATFORM_TAG.fullmatch(WHEEL_NAME.fullmatch(wheel.name)["platform"])
    return match["arch"] if match else None


def extension_name(wheel):
    """The file name of the extension that `wheel` must hold."""
    minor = WHEEL_NAME.fullmatch(wheel.name)["minor"]
    return f"pure_plinx.cpython-3{minor}-{wheel_arch(wheel)}-linux-gnu.so"


def fresh_venv(version, directory):
    """A new virtual environment outside the source tree, with nothing installed."""
    run(str(interpreter(version)), "-m", "venv", str(directory))
    return directory / "bin" / "python"


def draw_in(python, cwd):
    """Imports the module in isolated mode, away from the source tree, and draws."""
    return Path(run(str(python), "-I", "-c", DRAW, cwd=cwd).stdout.strip())


WHEELS = sorted(DIST.glob("*.whl"))
WHEELS_HERE = [
    wheel
    for wheel in WHEELS
    if wheel_arch(wheel) == platform.machine() and interpreter(wheel_version(wheel))
]


def test_dist_holds_the_sdist_and_a_wheel_per_cpython_and_architecture():
    names = sorted(path.name for path in DIST.iterdir())
    sdists = [name for name in names if name.endswith(".tar.gz")]
    assert len(sdists) == 1, names
    version = sdists[0].removeprefix("pure_plinx-").removesuffix(".tar.gz")
    matches = [WHEEL_NAME.fullmatch(wheel.name) for wheel in WHEELS]
    assert all(matches), names
    for match in matches:
        assert match["version"] == version
        # Repaired: a manylinux tag that installers accept, never the bare linux one.
        assert PLATFORM_TAG.fullmatch(match["platform"]), match["platform"]
    built = sorted((wheel_arch(wheel), wheel_version(wheel)) for wheel in WHEELS)
    assert built == sorted((arch, v) for arch in MACHINES for v in VERSIONS)
    assert len(names) == 1 + len(built), names


@pytest.mark.parametrize("wheel", WHEELS, ids=lambda wheel: wheel.name)
def test_wheel_holds_the_extension_its_types_and_the_licences(wheel):
    match = WHEEL_NAME.fullmatch(wheel.name)
    dist_info = f"pure_plinx-{match['version']}.dist-info"
    with zipfile.ZipFile(wheel) as archive:
        # auditwheel writes entries for the directories as well; only files count.
        names = sorted(name for name in archive.namelist() if not name.endswith("/"))
    extension = [name for name in names if name.endswith(".so")]
    assert extension == [extension_name(wheel)]
    assert names == sorted(
        [
            *extension,
            "pure_plinx-stubs/__init__.pyi",
            f"{dist_info}/METADATA",
            f"{dist_info}/RECORD",
            f"{dist_info}/WHEEL",
            f"{dist_info}/licenses/LICENSE",
            f"{dist_info}/licenses/LICENSE-OpenSSL",
        ]
    )


def needed_symbols(extension):
    """(name, version or None, binding) of each symbol the extension takes from elsewhere."""
    table = run("readelf", "--dyn-syms", "--wide", str(extension)).stdout
    needed = []
    for line in table.splitlines():
        fields = line.split()
        if len(fields) >= 8 and fields[6] == "UND" and fields[7]:
            name, _, version = fields[7].partition("@")
            needed.append((name, version or None, fields[4]))
    return needed


def extracted_extension(wheel, directory):
    with zipfile.ZipFile(wheel) as archive:
        return archive.extract(extension_name(wheel), directory)


@pytest.mark.parametrize("wheel", WHEELS, ids=lambda wheel: wheel.name)
def test_wheel_needs_no_more_of_the_c_library_than_its_tag_promises(wheel, tmp_path):
    needed = needed_symbols(extracted_extension(wheel, tmp_path))
    # A function that the target glibc lacks is left undefined without a version, which the
    # tag's check cannot see; only the interpreter's own symbols come unversioned.
    unversioned = [
        name
        for name, version, binding in needed
        if version is None and binding != "WEAK" and not name.startswith(("Py", "_Py"))
    ]
    assert unversioned == []
    glibc = [
        tuple(map(int, v.removeprefix("GLIBC_").split(".")))
        for _, v, _ in needed
        if v and v.startswith("GLIBC_")
    ]
    assert glibc and max(glibc) <= GLIBC_FLOOR, max(glibc)


@pytest.mark.parametrize("wheel", WHEELS, ids=lambda wheel: wheel.name)
def test_wheel_extension_is_built_for_its_tag_and_stripped(wheel, tmp_path):
    extension = extracted_extension(wheel, tmp_path)
    headers = run("readelf", "--file-header", "--section-headers", "--wide", extension).stdout
    assert re.search(rf"^\s*Machine:\s*{MACHINES[wheel_arch(wheel)]}$", headers, re.M), headers
    # Debug information or a full symbol table would make the wheel several times larger.
    assert not re.search(r"\s\.(debug_\w+|symtab)\s", headers), headers


@pytest.mark.parametrize("wheel", WHEELS_HERE, ids=lambda wheel: wheel.name)
def test_wheel_installs_alone_draws_and_needs_no_libcrypto(wheel, tmp_path):
    python = fresh_venv(wheel_version(wheel), tmp_path / "venv")
    run(
        str(python),
        "-m",
        "pip",
        "install",
        "--quiet",
        "--disable-pip-version-check",
        "--no-index",
        "--only-binary=:all:",
        str(wheel),
    )
    extension = draw_in(python, tmp_path)
    assert extension.is_relative_to(tmp_path / "venv")
    # libcrypto is inside the extension, so the system's is never loaded for it.
    needed = run("ldd", str(extension)).stdout
    assert "libcrypto" not in needed, needed
    exported = run("nm", "-D", "--defined-only", str(extension)).stdout.split()
    assert exported[1::3] == ["T"] and exported[2::3] == ["PyInit_pure_plinx"], exported


def test_some_wheel_meets_its_interpreter_here():
    assert WHEELS_HERE, f"no interpreter here for any wheel in {DIST}"


@needs_source_build
def test_sdist_alone_builds_a_module_that_draws(tmp_path):
    (sdist,) = DIST.glob("*.tar.gz")
    with tarfile.open(sdist) as archive:
        # The safe filter where this CPython has it (3.11.4 and later, and security releases).
        safe = {"filter": "data"} if hasattr(tarfile, "data_filter") else {}
        archive.extractall(tmp_path / "unpacked", **safe)
    (source,) = (tmp_path / "unpacked").iterdir()
    version = next(v for v in VERSIONS if interpreter(v))
    python = fresh_venv(version, tmp_path / "venv")
    run(str(python), "-m", "pip", "install", "--quiet", "--disable-pip-version-check", str(source))
    assert draw_in(python, tmp_path).is_relative_to(tmp_path / "venv")


CONSUMER = PROJECT / "tests" / "cpp_consumer"


@pytest.fixture(scope="module")
def cpp_prefix(tmp_path_factory):
    """The engine as `cmake --install` puts it into a prefix."""
    work = tmp_path_factory.mktemp("cpp")
    build, prefix = work / "build", work / "prefix"
    run(
        "cmake",
        "-S",
        str(PROJECT),
        "-B",
        str(build),
        "--log-level=WARNING",
        "-DPLINX_BUILD_TESTS=OFF",
        "-DPLINX_BUILD_BENCHMARKS=OFF",
        "-DPLINX_BUILD_EXAMPLES=OFF",
    )
    run("cmake", "--build", str(build), "-j2")
    run("cmake", "--install", str(build), "--prefix", str(prefix), "--component", "development")
    return prefix


@needs_source_build
def test_cpp_package_holds_the_contract_the_library_and_its_descriptions(cpp_prefix):
    installed = sorted(
        str(path.relative_to(cpp_prefix)) for path in cpp_prefix.rglob("*") if path.is_file()
    )
    assert installed == [
        "include/plinx/bytes.hpp",
        "include/plinx/engine.hpp",
        "lib/cmake/plinx/plinxConfig.cmake",
        "lib/cmake/plinx/plinxConfigVersion.cmake",
        "lib/cmake/plinx/plinxTargets-release.cmake",
        "lib/cmake/plinx/plinxTargets.cmake",
        "lib/libplinx-core.a",
        "lib/pkgconfig/plinx.pc",
    ]


@needs_source_build
def test_cmake_consumer_finds_the_package_and_draws_the_known_answer(cpp_prefix, tmp_path):
    run(
        "cmake",
        "-S",
        str(CONSUMER),
        "-B",
        str(tmp_path),
        "--log-level=WARNING",
        f"-DCMAKE_PREFIX_PATH={cpp_prefix}",
    )
    run("cmake", "--build", str(tmp_path))
    assert run(str(tmp_path / "plinx-consumer")).stdout == WORKED_EXAMPLE + "\n"


@needs_source_build
def test_pkg_config_consumer_draws_the_known_answer(cpp_prefix, tmp_path):
    flags = run(
        "pkg-config",
        "--cflags",
        "--libs",
        "plinx",
        env={**os.environ, "PKG_CONFIG_PATH": str(cpp_prefix / "lib" / "pkgconfig")},
    )
    consumer = tmp_path / "consumer"
    run(
        shutil.which("c++") or "g++",
        "-std=c++20",
        str(CONSUMER / "main.cpp"),
        "-o",
        str(consumer),
        *flags.stdout.split(),
    )
    assert run(str(consumer)).stdout == WORKED_EXAMPLE + "\n"
