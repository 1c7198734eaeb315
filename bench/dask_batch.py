#!/usr/bin/python3
"""rulecalc-dask with two local workers against `rulecalc batch --jobs 2`, and the figures for scaling out.

    bench/dask_batch.py [ROWS] [--cli build/cli/rulecalc] [--block-size 16M]

Makes ROWS rows (default 2,000,000) of the example data with
examples/make_applicants.py and measures in one run, with the nine example
rules, both writing the CSV report to a file:
- the tool's `batch --jobs 2 --format csv` (the baseline);
- rulecalc-dask on a local cluster of two worker processes (one per core),
  end to end and without the cluster's start;
- per block (one task of each pass), from the scheduler's task stream: rows,
  seconds of the first pass and of the evaluation, rows per second;
- the scheduler's cost per task: a thousand tasks that do nothing, run on the
  same cluster.
It checks that both reports are identical. Needs Debian's python3-dask,
python3-distributed and python3-pandas; the library is found as the package
finds it (RULECALC_LIBRARY, or the build tree).
"""

import argparse
import filecmp
import logging
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "bindings", "python"))

from distributed import Client, LocalCluster, get_task_stream  # noqa: E402

from rulecalc import dask_batch  # noqa: E402

RULES = os.path.join(ROOT, "examples", "applicants.rules")
NOOP_TASKS = 1000


def seconds(work):
    started = time.perf_counter()
    work()
    return time.perf_counter() - started


def make_rows(rows, path):
    with open(path, "wb") as out:
        subprocess.run([sys.executable, os.path.join(ROOT, "examples", "make_applicants.py"), str(rows)],
                       stdout=out, check=True)


def compute_seconds(task):
    return sum(s["stop"] - s["start"] for s in task["startstops"] if s["action"] == "compute")


def per_block(stream, prefix):
    return [compute_seconds(t) for t in stream if t["key"].startswith(prefix)]


def nothing(_):
    return None


def scheduler_cost_per_task(client):
    client.gather(client.map(nothing, range(10), pure=False))
    return seconds(lambda: client.gather(client.map(nothing, range(NOOP_TASKS), pure=False))) / NOOP_TASKS


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("rows", nargs="?", type=int, default=2_000_000)
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "cli", "rulecalc"))
    parser.add_argument("--block-size", default="16M")
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        data = os.path.join(folder, "rows.csv")
        make_rows(options.rows, data)
        size = os.path.getsize(data)
        cli_report, dask_report = os.path.join(folder, "cli.csv"), os.path.join(folder, "dask.csv")
        cli = seconds(lambda: subprocess.run(
            [options.cli, "batch", "--rules", RULES, "--data", data, "--format", "csv", "--jobs", "2",
             "--output", cli_report], check=True, stderr=subprocess.DEVNULL))
        whole = seconds(lambda: dask_batch.main(["--rules", RULES, "--data", data, "--workers", "2",
                                                 "--block-size", options.block_size, "--output", dask_report]))
        started = time.perf_counter()
        with LocalCluster(n_workers=2, threads_per_worker=1, host="127.0.0.1", dashboard_address="127.0.0.1:0",
                          silence_logs=logging.ERROR) as cluster, Client(cluster) as client:
            start = time.perf_counter() - started
            with get_task_stream(client) as stream:
                run = seconds(lambda: dask_batch.main(["--rules", RULES, "--data", data, "--scheduler",
                                                       cluster.scheduler_address, "--block-size",
                                                       options.block_size, "--output", dask_report]))
            per_task = scheduler_cost_per_task(client)
        same = filecmp.cmp(cli_report, dask_report, shallow=False)
    scans, evaluations = per_block(stream.data, "scan_block"), per_block(stream.data, "evaluate_block")
    rows_per_block = options.rows / len(evaluations)
    block_cost = statistics.mean(scans) + statistics.mean(evaluations)
    print(f"{options.rows:,} rows, {size / 1e6:.0f} MB, blocks of {options.block_size}: {len(evaluations)} blocks; "
          f"reports identical: {same}")
    print(f"rulecalc batch --jobs 2:              {cli:7.1f} s  {options.rows / cli:9,.0f} rows/s  (x1.00)")
    print(f"rulecalc-dask, 2 workers, end to end: {whole:7.1f} s  {options.rows / whole:9,.0f} rows/s  "
          f"(x{cli / whole:.2f})")
    print(f"rulecalc-dask on a started cluster:   {run:7.1f} s  {options.rows / run:9,.0f} rows/s  "
          f"(x{cli / run:.2f}); starting the cluster {start:.1f} s")
    print(f"per block: {rows_per_block:,.0f} rows, first pass {statistics.mean(scans):.2f} s, evaluation "
          f"{statistics.mean(evaluations):.2f} s: {rows_per_block / block_cost:,.0f} rows/s per worker")
    print(f"scheduler: {per_task * 1e3:.2f} ms per task ({NOOP_TASKS} tasks that do nothing)")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
