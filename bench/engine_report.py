"""Runs the engine's Google Benchmark and prints its medians with the ratios that matter.

    python -m bench.engine_report [BENCHMARK_BINARY] [--repetitions N] [--markdown]

BENCHMARK_BINARY defaults to build/bench/plinx-core-bench. Every benchmark runs N times
(15 by default) in one process; the figures are the medians. The ratios compare parts of
one run with each other, so they hold however fast the machine is: a fixed-nonce pull
against one SHA-256 of 28 bytes and against the three chained digests a draw cannot avoid,
the worst-case tree value against a typical pull, and a pull from the kernel against a
fixed-nonce pull plus a bare getrandom.
"""

import argparse
import json
import subprocess
from pathlib import Path

STAGES = [
    ("BM_StageSeedDigest", "seed digest (decimal text and nonce, SHA-256)"),
    ("BM_StageCut", "cut into slices"),
    ("BM_StageTreeVariable", "tree variable (SHA-256)"),
    ("BM_StageTreeValue", "tree variable and walk"),
    ("BM_StageFixedText", "fixed text"),
    ("BM_StageResultDigest", "result digest (SHA-256)"),
]


def medians(binary, repetitions):
    output = subprocess.run(
        [
            str(binary),
            f"--benchmark_repetitions={repetitions}",
            "--benchmark_report_aggregates_only=true",
            "--benchmark_format=json",
        ],
        check=True,
        capture_output=True,
        text=True,
    ).stdout
    return {
        run["run_name"]: run["real_time"]
        for run in json.loads(output)["benchmarks"]
        if run.get("aggregate_name") == "median"
    }


def ratios(m):
    sha = m["BM_Sha256Of28Bytes"]
    fixed = m["BM_PullFixedNonce"]
    return [
        ("fixed-nonce pull / one SHA-256 of 28 bytes", fixed / sha, ""),
        ("fixed-nonce pull / three chained digests", fixed / m["BM_ThreeDigestsChained"], "≤ 2.2"),
        ("worst-case tree value / fixed-nonce pull", m["BM_PullHugeTreeValue"] / fixed, "≤ 3"),
        (
            "kernel pull / (fixed-nonce pull + bare getrandom)",
            m["BM_PullFromKernel"] / (fixed + m["BM_Getrandom8"]),
            "",
        ),
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("binary", nargs="?", default="build/bench/plinx-core-bench", type=Path)
    parser.add_argument("--repetitions", type=int, default=15)
    parser.add_argument("--markdown", action="store_true")
    arguments = parser.parse_args()
    m = medians(arguments.binary, arguments.repetitions)
    bar = "|" if arguments.markdown else ""
    print(f"{bar} benchmark {bar} median ns {bar}")
    if arguments.markdown:
        print("|---|---:|")
    names = [name for name in m if not name.startswith("BM_Stage")]
    for name in names:
        print(f"{bar} `{name}` {bar} {m[name]:,.1f} {bar}")
    print()
    print(f"{bar} stage of a fixed-nonce pull {bar} median ns {bar}")
    if arguments.markdown:
        print("|---|---:|")
    for name, label in STAGES:
        print(f"{bar} {label} {bar} {m[name]:,.1f} {bar}")
    walk = m["BM_StageTreeValue"] - m["BM_StageTreeVariable"]
    print(f"{bar} walk alone (the two rows above it, subtracted) {bar} {walk:,.1f} {bar}")
    print()
    print(f"{bar} ratio {bar} value {bar} target {bar}")
    if arguments.markdown:
        print("|---|---:|---|")
    for label, value, target in ratios(m):
        print(f"{bar} {label} {bar} {value:.2f} {bar} {target} {bar}")


if __name__ == "__main__":
    main()
