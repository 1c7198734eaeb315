#!/usr/bin/python3
"""rulecalc-dask on two local workers against `rulecalc batch --jobs 2`, in one run.

    bench/dask_batch.py [ROWS] [--cli build/cli/rulecalc] [--block-size 16M ...]

Makes ROWS rows (default 1,000,000) of the example data with
examples/make_applicants.py and, with the nine example rules, both writing
the CSV report to a file, times:
- the tool's `batch --jobs 2 --format csv` (the baseline);
- rulecalc-dask on an already started local cluster of two worker processes
  with one thread each, once per block size given (default: the command's
  own default).
It checks that the reports are identical and prints rows per second of both
and their ratio, the scheduler's cost per block (a block is two tasks, its
scan and its evaluation; measured with a thousand tasks that do nothing on
the same cluster), the native time per block measured on the workers, and
each worker's peak memory. Needs Debian's python3-dask, python3-distributed
and python3-pandas; the libraries are found as the package finds them
(RULECALC_LIBRARY, RULECALC_BATCH_LIBRARY, or the build tree).
"""

import argparse
import contextlib
import filecmp
import logging
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "bindings", "python"))

from distributed import Client, LocalCluster  # noqa: E402

from rulecalc import dask_batch  # noqa: E402
from rulecalc._batch import tasks  # noqa: E402

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


def nothing(_):
    return None


def scheduler_cost_per_task(client):
    client.gather(client.map(nothing, range(10), pure=False))
    return seconds(lambda: client.gather(client.map(nothing, range(NOOP_TASKS), pure=False))) / NOOP_TASKS


def peak_memory_kib():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def dask_run(client, cluster, data, block_size, report):
    """Seconds of one rulecalc-dask run, and the native seconds of each block."""
    client.run(tasks.native_seconds)
    status = []
    with open(os.devnull, "w") as null, contextlib.redirect_stderr(null):
        taken = seconds(lambda: status.append(dask_batch.main(
            ["--rules", RULES, "--data", data, "--format", "csv", "--scheduler", cluster.scheduler_address,
             "--block-size", block_size, "--output", report])))
    if status != [0]:
        sys.exit("rulecalc-dask ended with status %s" % status)
    native = [s for per_worker in client.run(tasks.native_seconds).values() for s in per_worker]
    return taken, native


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("rows", nargs="?", type=int, default=1_000_000)
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "cli", "rulecalc"))
    parser.add_argument("--block-size", nargs="+", default=[dask_batch.DEFAULT_BLOCK])
    options = parser.parse_args()
    identical = True
    with tempfile.TemporaryDirectory() as folder:
        data = os.path.join(folder, "rows.csv")
        make_rows(options.rows, data)
        cli_report, dask_report = os.path.join(folder, "cli.csv"), os.path.join(folder, "dask.csv")
        cli = seconds(lambda: subprocess.run(
            [options.cli, "batch", "--rules", RULES, "--data", data, "--format", "csv", "--jobs", "2",
             "--output", cli_report], check=True, stderr=subprocess.DEVNULL))
        print(f"{options.rows:,} rows, {os.path.getsize(data) / 1e6:.0f} MB of CSV, 9 rules")
        print(f"rulecalc batch --jobs 2:       {cli:6.2f} s {options.rows / cli:10,.0f} rows/s")
        with LocalCluster(n_workers=2, threads_per_worker=1, host="127.0.0.1", dashboard_address="127.0.0.1:0",
                          silence_logs=logging.ERROR) as cluster, Client(cluster) as client:
            per_task = scheduler_cost_per_task(client)
            for block_size in options.block_size:
                taken, native = dask_run(client, cluster, data, block_size, dask_report)
                same = filecmp.cmp(cli_report, dask_report, shallow=False)
                identical = identical and same
                print(f"rulecalc-dask, blocks of {block_size:>4}: {taken:6.2f} s {options.rows / taken:10,.0f} rows/s"
                      f"  ratio {cli / taken:.2f}  {len(native)} blocks, native {statistics.mean(native):.3f} s "
                      f"per block; reports identical: {same}")
            memory = client.run(peak_memory_kib)
        print(f"scheduler: {2 * per_task * 1e3:.2f} ms per block (two tasks; {NOOP_TASKS} tasks that do nothing)")
        print("peak memory of the workers: " + ", ".join(f"{kib / 1024:.0f} MiB" for kib in memory.values()))
    return 0 if identical else 1


if __name__ == "__main__":
    sys.exit(main())
