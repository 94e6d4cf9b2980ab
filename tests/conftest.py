import os
import shutil
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

HELPERS = Path(__file__).parent / "helpers"
# Fresh interpreters run in development mode when the suite does.
DEV_MODE = ["-X", "dev"] if sys.flags.dev_mode else []


def pytest_sessionfinish(session):
    """With PLINX_FORBID_SKIPS set, a skipped test fails the run: a test leg that promises to
    run everything must not pass on what it quietly left out."""
    reporter = session.config.pluginmanager.get_plugin("terminalreporter")
    skipped = reporter.stats.get("skipped", []) if reporter else []
    if os.environ.get("PLINX_FORBID_SKIPS") and skipped:
        reporter.write_line(f"PLINX_FORBID_SKIPS: {len(skipped)} tests skipped", red=True)
        session.exitstatus = pytest.ExitCode.TESTS_FAILED


@pytest.fixture(scope="session")
def helper_binaries(tmp_path_factory):
    """Compiles the C test helpers once per session: programs that set up a process and exec
    the interpreter, and libraries preloaded into it. Keys are the names without extension."""
    compiler = shutil.which("cc") or shutil.which("gcc")
    assert compiler, "a C compiler is needed to build the test helpers"
    out = tmp_path_factory.mktemp("helpers")
    built = {}
    for name in ("deny_getrandom", "private_dev"):
        built[name] = out / name
        subprocess.run([compiler, "-O2", "-o", built[name], HELPERS / f"{name}.c"], check=True)
    for name in ("fixed_nonce", "count_allocations", "signal_probe"):
        built[name] = out / f"{name}.so"
        subprocess.run(
            [compiler, "-O2", "-shared", "-fPIC", "-o", built[name], HELPERS / f"{name}.c"],
            check=True,
        )
    return built


# A debug build's allocator (mimalloc) seeds itself from getrandom, or /dev/urandom after
# ENOSYS, and says so when it cannot, as in the tests that take randomness away on purpose.
# The line is the interpreter's, not the module's.
ALLOCATOR_WARNING = "mimalloc: warning: unable to use secure randomness\n"


def without_allocator_warnings(stderr):
    return "".join(line for line in stderr.splitlines(keepends=True) if line != ALLOCATOR_WARNING)


@pytest.fixture(scope="session")
def run_python(helper_binaries):
    """Runs a snippet in a fresh interpreter, since the random source decides once per process.

    deny_getrandom=N makes every getrandom system call fail with errno N (0: return 0 bytes);
    nonce="hex" makes getrandom hand out those bytes instead of randomness; wrapper is a
    command put in front of everything, extra_env adds variables, timeout bounds a snippet
    that could block for good.
    """

    def run(code, *, deny_getrandom=None, nonce=None, wrapper=(), extra_env=None, check=True,
            timeout=600):
        env = dict(os.environ)
        # Python seeds its hashes from getrandom at start-up unless given a seed.
        env["PYTHONHASHSEED"] = "0"
        # Snippets may import the tests' shared helpers, such as destiny_objects.
        env["PYTHONPATH"] = str(Path(__file__).parent)
        env.update(extra_env or {})
        command = [sys.executable, *DEV_MODE, "-c", textwrap.dedent(code)]
        if deny_getrandom is not None:
            command = [str(helper_binaries["deny_getrandom"]), str(deny_getrandom)] + command
        # A wrapper such as private_dev runs first and execs the rest.
        command = [str(part) for part in wrapper] + command
        if nonce is not None:
            # After any preload already there, such as a sanitizer's runtime, which must stay first.
            preloads = [env.get("LD_PRELOAD", ""), str(helper_binaries["fixed_nonce"])]
            env["LD_PRELOAD"] = " ".join(filter(None, preloads))
            env["PLINX_TEST_NONCE"] = nonce
        result = subprocess.run(command, env=env, capture_output=True, text=True, timeout=timeout)
        result.stderr = without_allocator_warnings(result.stderr)
        if check:
            assert result.returncode == 0, result.stderr
        return result

    return run


@pytest.fixture(scope="session")
def private_dev(helper_binaries):
    """The private_dev helper, once it has shown that this machine lets it build a namespace."""
    helper = str(helper_binaries["private_dev"])
    trial = subprocess.run(
        [helper, "null=char:1:3", "random=char:1:8", "--", "sh", "-c", "test -c /dev/random"],
        capture_output=True,
        text=True,
    )
    if trial.returncode == 77:
        pytest.skip(f"no private mount namespace here: {trial.stderr.strip()}")
    assert trial.returncode == 0, trial.stderr
    return helper
