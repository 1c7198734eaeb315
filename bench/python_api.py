#!/usr/bin/env python3
"""The Python API's costs against the command-line tool's batch, beside those of an older package.

    bench/python_api.py [ROWS] [--cli build/cli/rulecalc] [--against main] [--repeats 3]

Makes ROWS rows (default 1,000,000) of the example data with
examples/make_applicants.py and measures, in one run, for this tree's package
and for the package of the git revision --against (checked out into a
temporary folder, run over this build's libraries):

- Rule.evaluate of R1 (IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;), per call;
- Rule.evaluate_many of R1 over dicts, per row;
- frame.evaluate of the nine example rules over the ROWS rows, against the
  tool's `batch --jobs 1` over the same rows as CSV (the tool reads the file,
  the frame has its data in memory), the two timed in turn;
- frame.evaluate on two threads (half the rows each, Rules of their own)
  against one thread over all the rows: the speed-up.

Each package is measured in a process of its own, one after the other, with
the load average printed beside the figures: the machine may be shared.
Needs python3-pandas.
"""

import argparse
import glob
import json
import os
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.abspath(os.path.dirname(__file__)))
R1 = "IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;"


def seconds(work) -> float:
    started = time.perf_counter()
    work()
    return time.perf_counter() - started


def best_of(repeats: int, work) -> float:
    return min(seconds(work) for _ in range(repeats))


def on_threads(work, parts) -> float:
    """Seconds for work(part) on one thread per part."""
    threads = [threading.Thread(target=work, args=(part,)) for part in parts]
    started = time.perf_counter()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return time.perf_counter() - started


def tool_batch(cli: str, data_path: str, rules_path: str) -> None:
    subprocess.run([cli, "batch", "--rules", rules_path, "--data", data_path, "--format", "csv", "--jobs", "1"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)


def measure(package: str, cli: str, data_path: str, rules_path: str, repeats: int) -> dict:
    """The figures of the package at this path (run in a process of its own); the
    tool's batch is timed in turn with frame.evaluate, so both meet the same load."""
    sys.path.insert(0, package)
    import rulecalc
    from rulecalc import frame

    rule = rulecalc.Rule(R1)
    calls = 200000
    per_call = best_of(repeats, lambda: [rule.evaluate(AGE=20, SCORE=50) for _ in range(calls)]) / calls
    rows = [{"AGE": i % 40, "SCORE": i % 100} for i in range(calls)]
    per_row = best_of(repeats, lambda: rule.evaluate_many(rows)) / calls
    df, rules = frame.read_data(data_path), frame.read_rules(rules_path)
    whole, tool = [], []
    for _ in range(repeats):
        whole.append(seconds(lambda: frame.evaluate(df, rules)))
        tool.append(seconds(lambda: tool_batch(cli, data_path, rules_path)))
    halves = [df.iloc[: len(df) // 2], df.iloc[len(df) // 2:]]
    on_frame = lambda part: frame.evaluate(part, rules)  # noqa: E731  (Rules of its own per call)
    one = min(on_threads(on_frame, [df]) for _ in range(repeats))
    two = min(on_threads(on_frame, halves) for _ in range(repeats))
    return {"evaluate_us": per_call * 1e6, "evaluate_many_us": per_row * 1e6, "frame_s": min(whole),
            "tool_s": min(tool), "threads_x": one / two, "rows": len(df), "rules": len(rules)}


def measured_in_process(package: str, cli: str, data_path: str, rules_path: str, repeats: int,
                        environment: dict) -> dict:
    answer = subprocess.run([sys.executable, __file__, "--measure", package, cli, data_path, rules_path, str(repeats)],
                            capture_output=True, check=True, env=environment, text=True)
    return json.loads(answer.stdout)


def older_package(folder: str, revision: str) -> str:
    """The Python package of the revision, exported into folder."""
    archive = subprocess.run(["git", "-C", ROOT, "archive", revision, "bindings/python"], capture_output=True,
                             check=True).stdout
    subprocess.run(["tar", "-x", "-C", folder], input=archive, check=True)
    return os.path.join(folder, "bindings", "python")


def show(new: dict, old: dict) -> None:
    lines = [
        ("Rule.evaluate of R1, us per call", new["evaluate_us"], old["evaluate_us"], "<= 1.5"),
        ("Rule.evaluate_many, us per row", new["evaluate_many_us"], old["evaluate_many_us"], "<= 1"),
        ("frame.evaluate, x the tool's batch", new["frame_s"] / new["tool_s"], old["frame_s"] / old["tool_s"], "<= 0.6"),
        ("frame.evaluate, 2 threads over 1", new["threads_x"], old["threads_x"], ">= 1.6"),
    ]
    print(f"{new['rows']} rows x {new['rules']} rules; frame.evaluate {new['frame_s']:.2f} s against the tool's "
          f"batch --jobs 1 {new['tool_s']:.2f} s (before: {old['frame_s']:.2f} s against {old['tool_s']:.2f} s)")
    print(f"{'figure':38} {'now':>8} {'before':>8} {'target':>8}")
    for name, now, before, target in lines:
        print(f"{name:38} {now:8.2f} {before:8.2f} {target:>8}")


def main() -> None:
    if sys.argv[1:2] == ["--measure"]:
        package, cli, data_path, rules_path, repeats = sys.argv[2:7]
        print(json.dumps(measure(package, cli, data_path, rules_path, int(repeats))))
        return
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("rows", type=int, nargs="?", default=1000000)
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "cli", "rulecalc"))
    parser.add_argument("--against", default="main", help="the git revision whose package is measured beside")
    parser.add_argument("--repeats", type=int, default=3)
    options = parser.parse_args()
    build = os.path.dirname(os.path.dirname(os.path.abspath(options.cli)))
    libraries = {"RULECALC_LIBRARY": os.path.join(build, "src", "librulecalc.so.1"),
                 "RULECALC_BATCH_LIBRARY": os.path.join(build, "src", "batch", "librulecalc_batch.so.1")}
    libraries.update(RULECALC_NATIVE=next(iter(glob.glob(os.path.join(build, "python", "rulecalc", "_native*")))))
    rules_path = os.path.join(ROOT, "examples", "applicants.rules")
    print(f"load average at the start: {' '.join(f'{load:.2f}' for load in os.getloadavg())}")
    with tempfile.TemporaryDirectory() as folder:
        data_path = os.path.join(folder, "applicants.csv")
        with open(data_path, "w", encoding="utf-8") as data:
            subprocess.run([sys.executable, os.path.join(ROOT, "examples", "make_applicants.py"), str(options.rows)],
                           stdout=data, check=True)
        environment = dict(os.environ, **libraries)
        new = measured_in_process(os.path.join(ROOT, "bindings", "python"), options.cli, data_path, rules_path,
                                  options.repeats, environment)
        old = measured_in_process(older_package(folder, options.against), options.cli, data_path, rules_path,
                                  options.repeats, environment)
    show(new, old)
    print(f"load average at the end: {' '.join(f'{load:.2f}' for load in os.getloadavg())}")


if __name__ == "__main__":
    main()
