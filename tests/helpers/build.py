"""Builds the C test helpers: programs that set up a process and exec the interpreter, a
program that embeds the running CPython, and libraries preloaded into it. The test suite
builds them once per session; other tools build them the same way from the command line:

    python tests/helpers/build.py OUT_DIR

which prints nothing when all went well.
"""

import shutil
import subprocess
import sys
import sysconfig
from pathlib import Path

SOURCES = Path(__file__).resolve().parent
PROGRAMS = ("deny_getrandom", "private_dev")
PRELOADS = ("fixed_nonce", "count_allocations", "signal_probe")
# Linked against the CPython that runs this script.
EMBEDDING_PROGRAMS = ("reinitialise",)


def embedding_flags():
    """The compiler and linker flags of a program that embeds this CPython, from its own
    pythonX.Y-config (the base interpreter's, when this runs in a virtual environment)."""
    config = (
        Path(sysconfig.get_config_var("BINDIR"))
        / f"python{sysconfig.get_config_var('LDVERSION')}-config"
    )
    flags = subprocess.run(
        [config, "--cflags", "--embed", "--ldflags"], capture_output=True, text=True, check=True
    ).stdout.split()
    # Some distributions' flags compile without PIE (Debian 11's, through dpkg's specs) but
    # leave the link to the compiler's default; a non-PIE link takes either kind of object.
    # The rpath finds a shared libpython outside the loader's search path, as pyenv installs it.
    return [*flags, "-no-pie", f"-Wl,-rpath,{sysconfig.get_config_var('LIBDIR')}"]


def build_helpers(out_dir):
    """Compiles every helper into out_dir (made if missing) and maps each name without
    extension to the file built: NAME for programs, NAME.so for preloaded libraries."""
    compiler = shutil.which("cc") or shutil.which("gcc")
    if compiler is None:
        raise RuntimeError("a C compiler (cc or gcc) is needed to build the test helpers")
    out = Path(out_dir)
    out.mkdir(parents=True, exist_ok=True)
    built = {}
    for name in PROGRAMS:
        built[name] = out / name
        subprocess.run([compiler, "-O2", "-o", built[name], SOURCES / f"{name}.c"], check=True)
    for name in PRELOADS:
        built[name] = out / f"{name}.so"
        subprocess.run(
            [compiler, "-O2", "-shared", "-fPIC", "-o", built[name], SOURCES / f"{name}.c"],
            check=True,
        )
    for name in EMBEDDING_PROGRAMS:
        built[name] = out / name
        subprocess.run(
            [compiler, "-o", built[name], SOURCES / f"{name}.c", *embedding_flags()], check=True
        )
    return built


def main(arguments):
    if len(arguments) != 1:
        sys.exit("usage: python tests/helpers/build.py OUT_DIR")
    try:
        build_helpers(arguments[0])
    except (RuntimeError, subprocess.CalledProcessError) as error:
        # The compiler has already said what went wrong with a source.
        sys.exit(f"build.py: {error}")


if __name__ == "__main__":
    main(sys.argv[1:])
