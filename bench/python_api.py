#!/usr/bin/env python3
"""The Python API's cost per verdict against the command-line tool's batch, and 1 vs 2 threads.

    bench/python_api.py [ROWS] [--cli build/cli/rulecalc]

Makes ROWS rows (default 20,000) of the example data with
examples/make_applicants.py, then measures in one run, on that data and the
nine example rules: the tool's `batch --jobs 1` (the baseline), the DataFrame
path (rulecalc.frame.evaluate), Rule.evaluate_many over dicts, and frame.evaluate on 1
and 2 threads (each thread its own Rule objects, half of the rows each),
beside the tool's own `--jobs 2` (what two cores give on this machine now),
and the throughput of 1 and 2 threads on a rule whose analysis takes long.
Needs python3-pandas; the library is found as the package finds it
(RULECALC_LIBRARY, or the build tree).
"""

import argparse
import os
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "bindings", "python"))

import rulecalc  # noqa: E402
from rulecalc import frame  # noqa: E402


def seconds(work) -> float:
    started = time.perf_counter()
    work()
    return time.perf_counter() - started


def best_of(repeats: int, work) -> float:
    return min(seconds(work) for _ in range(repeats))


def evaluate_many(rules, rows) -> None:
    for rule in rules:
        rule.evaluate_many(rows)


def on_threads(work, parts) -> float:
    """Seconds for work(part) on one thread per part (each call makes its own Rules)."""
    threads = [threading.Thread(target=work, args=(part,)) for part in parts]
    started = time.perf_counter()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return time.perf_counter() - started


# A rule whose analysis takes long: forty comparisons with arithmetic.
LONG_RULE = " AND ".join(f"A + B * {i} - C / 4 >= {i} - 100" for i in range(40)) + ";"


def long_rule_on_threads(count: int, rows) -> float:
    """Seconds for count threads, each evaluating the long rule on all rows with a Rule of its own."""
    return on_threads(lambda part: rulecalc.Rule(LONG_RULE).evaluate_many(part), [rows] * count)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("rows", type=int, nargs="?", default=20000)
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "cli", "rulecalc"))
    parser.add_argument("--repeats", type=int, default=3)
    options = parser.parse_args()

    rules_path = os.path.join(ROOT, "examples", "applicants.rules")
    with tempfile.TemporaryDirectory() as folder:
        data_path = os.path.join(folder, "applicants.csv")
        with open(data_path, "w", encoding="utf-8") as data:
            subprocess.run([sys.executable, os.path.join(ROOT, "examples", "make_applicants.py"), str(options.rows)],
                           stdout=data, check=True)
        cli = [options.cli, "batch", "--rules", rules_path, "--data", data_path, "--format", "csv", "--jobs"]
        tool = {jobs: best_of(options.repeats, lambda: subprocess.run(cli + [jobs], stdout=subprocess.DEVNULL,
                                                                       stderr=subprocess.DEVNULL, check=False))
                for jobs in ("1", "2")}
        df = frame.read_data(data_path)

    rules_text = frame.read_rules(rules_path)
    types = frame.column_types(df)
    rows = df.astype(object).where(df.notna(), None).to_dict("records")
    rules = [rulecalc.Rule(sentence, types=types) for sentence in rules_text.values()]
    verdicts = len(df) * len(rules_text)
    whole, halves = [df], [df.iloc[: len(df) // 2], df.iloc[len(df) // 2:]]
    on_frame = lambda part: frame.evaluate(part, rules_text)
    figures = [
        ("tool batch --jobs 1 (baseline)", tool["1"]),
        ("tool batch --jobs 2", tool["2"]),
        ("frame.evaluate", best_of(options.repeats, lambda: frame.evaluate(df, rules_text))),
        ("Rule.evaluate_many (dicts)", best_of(options.repeats, lambda: evaluate_many(rules, rows))),
        ("frame.evaluate, 1 thread", min(on_threads(on_frame, whole) for _ in range(options.repeats))),
        ("frame.evaluate, 2 threads", min(on_threads(on_frame, halves) for _ in range(options.repeats))),
    ]
    print(f"{len(df)} rows x {len(rules_text)} rules = {verdicts} verdicts, best of {options.repeats}")
    print(f"{'path':34} {'seconds':>8} {'us/verdict':>11} {'x tool':>7}")
    for name, taken in figures:
        print(f"{name:34} {taken:8.3f} {taken / verdicts * 1e6:11.2f} {taken / tool['1']:7.2f}")
    print(f"2 threads over 1: Python {figures[4][1] / figures[5][1]:.2f}x, the tool {tool['1'] / tool['2']:.2f}x")
    long_rows = [{"A": i, "B": i % 7, "C": 3.5} for i in range(options.rows // 10)]
    one = min(long_rule_on_threads(1, long_rows) for _ in range(options.repeats))
    two = min(long_rule_on_threads(2, long_rows) for _ in range(options.repeats))
    print(f"a rule of 40 comparisons, {len(long_rows)} rows per thread: 1 thread {one:.3f} s, "
          f"2 threads {two:.3f} s for twice the rows: throughput {2 * one / two:.2f}x")


if __name__ == "__main__":
    main()
