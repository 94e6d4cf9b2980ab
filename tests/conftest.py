import importlib.util
import os
import subprocess
import sys
from pathlib import Path

import pytest
from helpers.build import build_helpers

TESTS = Path(__file__).parent
# Programs for other interpreters and for the type checkers, not tests: importing them here
# would run them.
collect_ignore = ["scenarios", "typing_snippets"]
# Fresh interpreters run in development mode when the suite does.
DEV_MODE = ["-X", "dev"] if sys.flags.dev_mode else []
# The release's artefacts are tested by tools/build-release.sh, which names them.
collect_ignore = [] if os.environ.get("PLINX_DIST") else ["release"]


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
    """The C test helpers (helpers/build.py), built once per session. Keys are the names
    without extension."""
    return build_helpers(tmp_path_factory.mktemp("helpers"))


# A debug build's allocator (mimalloc) seeds itself from getrandom, or /dev/urandom after
# ENOSYS, and says so when it cannot, as in the tests that take randomness away on purpose.
# The line is the interpreter's, not the module's.
ALLOCATOR_WARNING = "mimalloc: warning: unable to use secure randomness\n"


def without_allocator_warnings(stderr):
    return "".join(line for line in stderr.splitlines(keepends=True) if line != ALLOCATOR_WARNING)


def embedded_command(host, name, cycles, env):
    """The command with which the program `host` runs scenarios.NAME in `cycles` embedded
    interpreters; sets in `env` what an embedded interpreter cannot learn from a program of
    its own: where the standard library and the installed module are."""
    env["PYTHONHOME"] = sys.base_prefix
    module_dir = Path(importlib.util.find_spec("pure_plinx").origin).parent
    env["PYTHONPATH"] += os.pathsep + str(module_dir)
    if sys.flags.dev_mode:
        env["PYTHONDEVMODE"] = "1"
    program = f"import runpy; runpy.run_module('scenarios.{name}', run_name='__main__')"
    return [str(host), str(cycles), program]


@pytest.fixture(scope="session")
def run_scenario(helper_binaries):
    """Runs `python -m scenarios.NAME ARGUMENT...` in a fresh interpreter, since the random
    source decides once per process.

    deny_getrandom=N makes every getrandom system call fail with errno N (0: return 0 bytes);
    nonce="hex" makes getrandom hand out those bytes instead of randomness; wrapper is a
    command put in front of everything, extra_env adds variables, timeout bounds a scenario
    that could block for good. embedded_cycles=N runs the scenario in a program that embeds
    this CPython instead, in N interpreters one after the other (helpers/reinitialise.c).
    """

    def run(
        name,
        *arguments,
        deny_getrandom=None,
        nonce=None,
        wrapper=(),
        extra_env=None,
        embedded_cycles=None,
        check=True,
        timeout=600,
    ):
        env = dict(os.environ)
        # Python seeds its hashes from getrandom at start-up unless given a seed.
        env["PYTHONHASHSEED"] = "0"
        # The scenarios, and the tests' shared helpers they import, such as destiny_objects.
        env["PYTHONPATH"] = str(TESTS)
        env.update(extra_env or {})
        command = [sys.executable, *DEV_MODE, "-m", f"scenarios.{name}", *map(str, arguments)]
        if embedded_cycles is not None:
            command = embedded_command(helper_binaries["reinitialise"], name, embedded_cycles, env)
        if deny_getrandom is not None:
            # Under emulation, one built for the host (helpers/deny_getrandom.c says why).
            host_deny = os.environ.get("PLINX_HOST_DENY_GETRANDOM")
            deny = host_deny or helper_binaries["deny_getrandom"]
            if host_deny:
                # Refused getrandom, qemu-user would open /dev/urandom for itself, in the
                # process the tests watch; seeding the little randomness it hands the program
                # (AT_RANDOM) spares that.
                env["QEMU_RAND_SEED"] = "1"
            command = [str(deny), str(deny_getrandom), *command]
        # A wrapper such as private_dev runs first and execs the rest.
        command = [*map(str, wrapper), *command]
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
