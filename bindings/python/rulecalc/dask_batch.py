"""rulecalc-dask: the batch report of the rulecalc tool, computed on a Dask cluster.

    rulecalc-dask --rules examples/applicants.rules --data examples/applicants.csv

prints the very report of `rulecalc batch --format csv` on the same data.
"""

import argparse
import contextlib
import logging
import os
import re
import sys

from distributed.scheduler import KilledWorker

from ._batch.partition import job_heading
from ._batch.problems import ReportError, UsageError
from ._batch.report_file import ReportFile, refuse_overwriting
from ._batch.progress import Progress
from ._batch.rules_file import read_rules_file
from ._batch.run import BatchRun, BatchRequest
from ._batch.summary import summary_text
from .rule import Settings

EXIT_HELD, EXIT_RULE_ERROR, EXIT_NO_ROWS, EXIT_USAGE, EXIT_CLUSTER, EXIT_OUTPUT = 0, 2, 3, 64, 69, 74
DEFAULT_BLOCK = "16M"
_SIZE_UNITS = {"": 1, "K": 1 << 10, "M": 1 << 20, "G": 1 << 30}

EPILOG = """\
Example:
  rulecalc-dask --rules examples/applicants.rules --data examples/applicants.csv
  rulecalc-dask --scheduler tcp://10.0.0.1:8786 --rules r.rules --data '/shared/in/*.csv' --output /shared/out/

The report is CSV (row,rule,result,explanation; CRLF line ends), the same as
`rulecalc batch --format csv`; several data files are one table in name order,
rows numbered on across them. Malformed rows are reported on standard error and
skipped; the summary goes to standard error. Exit status: 0 when every rule
analysed and ran, 2 when a rule did not analyse or a run stopped with an error,
3 when no row was evaluated, 64 usage error or unusable file, 69 the cluster
could not be reached or failed, 74 the report could not be written."""


def block_size(text):
    match = re.fullmatch(r"\s*(\d+)\s*([KMG]?)i?B?\s*", text, re.IGNORECASE)
    if not match or int(match.group(1)) == 0:
        raise argparse.ArgumentTypeError("'%s' is not a size such as 64M, 512K or 1000000" % text)
    return int(match.group(1)) * _SIZE_UNITS[match.group(2).upper()]


def date_separator(text):
    if len(text) != 1:
        raise argparse.ArgumentTypeError("one character")
    return text


def null_values(text):
    try:
        return frozenset(t.encode("gbk") for t in text.split(",") if t)
    except UnicodeEncodeError:
        raise argparse.ArgumentTypeError("'%s' has a character GBK lacks" % text) from None


def settings_of(options, rules_file):
    """The calculators' date settings: the options', else the rules file's."""
    order = options.date_order or rules_file.date_order
    return Settings(date_order=order.upper() if order else None,
                    date_separator=options.date_separator or rules_file.date_separator)


def parser():
    p = argparse.ArgumentParser(prog="rulecalc-dask", epilog=EPILOG,
                                formatter_class=argparse.RawDescriptionHelpFormatter,
                                description="Evaluate every rule of a rules file against every row of CSV data "
                                            "on a Dask cluster.")
    p.add_argument("--rules", required=True,
                   help="rules file: 'id: sentence;' or 'id \"description\": sentence;' (a sentence may span lines "
                        "up to its ';'), '#' starts a comment outside texts")
    p.add_argument("--data", required=True,
                   help="a CSV file, a glob (quote it) or a folder of .csv files; the header names the variables, "
                        "'name:num' or 'name:text' fixes a column's type, else it is inferred from the whole column")
    p.add_argument("--output", help="a file for the report, or a folder (an existing one, or a path ending in /) "
                                    "for one part per block, part-00000.csv on; default: standard output")
    p.add_argument("--data-encoding", metavar="NAME",
                   help="encoding of the data files (default: detected per file: UTF-8, else GBK)")
    p.add_argument("--date-order", choices=("ymd", "mdy", "dmy"),
                   help="order TODATE reads dates in (default: the rules file's, else the locale's)")
    p.add_argument("--date-separator", type=date_separator, help="separator TODATE reads dates with")
    p.add_argument("--key", metavar="COLUMN", help="name each record by this column in the report")
    p.add_argument("--null-values", metavar="LIST", type=null_values, default=frozenset(),
                   help="comma-separated texts that mean an empty value, e.g. 'N/A,-' (the empty text always does)")
    p.add_argument("--show-values", action="store_true",
                   help="add the values of the variables each explanation names (SCORE=50, AGE=16)")
    p.add_argument("--bom", action="store_true", help="start the report (each part) with a UTF-8 byte-order mark")
    p.add_argument("--raw-cells", action="store_true",
                   help="write cells that start with = + - @, a tab or a carriage return as they are (by default "
                        "such a cell starts with ' inside its quotes, so that a spreadsheet shows it as text)")
    p.add_argument("--failed-only", action="store_true", help="report only verdicts that are not true")
    p.add_argument("--scheduler", metavar="ADDRESS",
                   help="the scheduler of a running cluster (tcp://host:8786); default: a local cluster on "
                        "127.0.0.1 with one worker process per core")
    p.add_argument("--workers", type=int, metavar="N", help="worker processes of the local cluster (default: cores)")
    p.add_argument("--block-size", type=block_size, default=block_size(DEFAULT_BLOCK), metavar="SIZE",
                   help="bytes of data per task (default %s)" % DEFAULT_BLOCK)
    p.add_argument("--progress", action="store_true",
                   help="show progress even when standard error is not a terminal (one line per block)")
    return p


def connect(options, stack):
    """A client of the cluster that --scheduler names, or of a new local one."""
    from distributed import Client, LocalCluster
    if options.scheduler:
        return stack.enter_context(Client(options.scheduler, timeout="30s"))
    cluster = stack.enter_context(LocalCluster(
        n_workers=options.workers or os.cpu_count() or 1, threads_per_worker=1, processes=True,
        host="127.0.0.1", dashboard_address="127.0.0.1:0", silence_logs=logging.CRITICAL))
    return stack.enter_context(Client(cluster))


def run(options, rules_file, client, progress):
    """Plans and evaluates the batch; the exit status."""

    def diagnose(text):
        progress.clear()
        sys.stderr.write("rulecalc-dask: " + text + "\n")

    request = BatchRequest(rules_file.rules, options.rules, options.data, options.block_size, options.failed_only,
                     settings_of(options, rules_file), options.data_encoding, options.key, options.null_values,
                     options.show_values, options.bom, options.raw_cells)
    batch = BatchRun(client, request, diagnose, progress)
    tasks, job = batch.plan()
    report = ReportFile(options.output)
    heading = job_heading(job)
    try:
        batch.evaluate(tasks, job, report.write, report.open(len(tasks), heading))
    except BaseException:
        report.abandon()
        raise
    report.finish()
    progress.clear()
    sys.stderr.write(summary_text(rules_file.rules, batch.summary))
    return exit_status(batch.summary, options.data, diagnose)


def exit_status(summary, data, diagnose):
    if summary.evaluated == 0:
        diagnose("no row of '%s' was evaluated%s" % (
            data, " (every row was skipped)" if summary.skipped else " (it has no rows)"))
        return EXIT_NO_ROWS
    errors = any(e is not None for e in summary.analysis_errors)
    errors = errors or any(t is not None and t[2] > 0 for t in summary.tallies)
    return EXIT_RULE_ERROR if errors else EXIT_HELD


def _drop_unwritable_standard_output():
    """Points standard output at the null device, so that the interpreter's own
    flush at exit does not fail again on what could not be written and turn
    the exit status into its own."""
    null = os.open(os.devnull, os.O_WRONLY)
    os.dup2(null, sys.stdout.fileno())
    os.close(null)


def main(argv=None):
    options = parser().parse_args(argv)
    progress = Progress(options.progress or sys.stderr.isatty(), lines=not sys.stderr.isatty())
    try:
        refuse_overwriting(options.output, [("the rules file", options.rules), ("the data file", options.data)])
        rules_file = read_rules_file(options.rules)
        with contextlib.ExitStack() as stack:
            return run(options, rules_file, connect(options, stack), progress)
    except UsageError as error:
        progress.clear()
        sys.stderr.write("rulecalc-dask: %s\n" % error)
        return EXIT_USAGE
    except ReportError as error:
        progress.clear()
        sys.stderr.write("rulecalc-dask: %s\n" % error)
        _drop_unwritable_standard_output()
        return EXIT_OUTPUT
    except OSError as error:
        progress.clear()
        sys.stderr.write("rulecalc-dask: %s\n" % error)
        return EXIT_CLUSTER if isinstance(error, (TimeoutError, ConnectionError)) else EXIT_USAGE
    except KilledWorker as error:
        progress.clear()
        sys.stderr.write("rulecalc-dask: the cluster gave up on a block: %s\n" % error)
        return EXIT_CLUSTER


if __name__ == "__main__":
    sys.exit(main())
