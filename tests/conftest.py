import os
import shutil
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

HELPERS = Path(__file__).parent / "helpers"


@pytest.fixture(scope="session")
def helper_binaries(tmp_path_factory):
    """Compiles the C test helpers once per session."""
    compiler = shutil.which("cc") or shutil.which("gcc")
    assert compiler, "a C compiler is needed to build the test helpers"
    out = tmp_path_factory.mktemp("helpers")
    deny = out / "deny_getrandom"
    fixed = out / "fixed_nonce.so"
    subprocess.run([compiler, "-O2", "-o", deny, HELPERS / "deny_getrandom.c"], check=True)
    subprocess.run(
        [compiler, "-O2", "-shared", "-fPIC", "-o", fixed, HELPERS / "fixed_nonce.c"], check=True
    )
    return {"deny_getrandom": deny, "fixed_nonce": fixed}


@pytest.fixture(scope="session")
def run_python(helper_binaries):
    """Runs a snippet in a fresh interpreter, since the random source decides once per process.

    deny_getrandom=N makes every getrandom system call fail with errno N (0: return 0 bytes);
    nonce="hex" makes getrandom hand out those bytes instead of randomness.
    """

    def run(code, *, deny_getrandom=None, nonce=None, check=True):
        env = dict(os.environ)
        # Python seeds its hashes from getrandom at start-up unless given a seed.
        env["PYTHONHASHSEED"] = "0"
        # Snippets may import the tests' shared helpers, such as destiny_objects.
        env["PYTHONPATH"] = str(Path(__file__).parent)
        command = [sys.executable, "-c", textwrap.dedent(code)]
        if deny_getrandom is not None:
            command = [str(helper_binaries["deny_getrandom"]), str(deny_getrandom)] + command
        if nonce is not None:
            # After any preload already there, such as a sanitizer's runtime, which must stay first.
            preloads = [env.get("LD_PRELOAD", ""), str(helper_binaries["fixed_nonce"])]
            env["LD_PRELOAD"] = " ".join(filter(None, preloads))
            env["PLINX_TEST_NONCE"] = nonce
        result = subprocess.run(command, env=env, capture_output=True, text=True, timeout=600)
        if check:
            assert result.returncode == 0, result.stderr
        return result

    return run
