"""rulecalc-dask: the batch report of the rulecalc tool, computed on a Dask cluster.

    rulecalc-dask --rules examples/applicants.rules --data examples/applicants.csv

prints the very report of `rulecalc batch` on the same data.
"""

import argparse
import contextlib
import locale
import logging
import os
import re
import sys

from distributed.scheduler import KilledWorker

from ._batch.data_files import data_paths
from ._batch.problems import ReportError, UsageError
from ._batch.progress import Progress
from ._batch.report_file import ReportFile, ReportFolder, is_folder, refuse_overwriting
from ._batch.run import BatchRun
from ._engine import CANNOT_RUN, OUT_OF_MEMORY, Batch, EngineError

EXIT_RULE_ERROR, EXIT_USAGE, EXIT_CLUSTER, EXIT_OUT_OF_MEMORY, EXIT_OUTPUT = 2, 64, 69, 71, 74
DEFAULT_BLOCK = "8M"
_SIZE_UNITS = {"": 1, "K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
_FOLDER_FORMATS = ("csv", "jsonl")

EPILOG = """\
Example:
  rulecalc-dask --rules examples/applicants.rules --data examples/applicants.csv --key ID
  rulecalc-dask --scheduler tcp://10.0.0.1:8786 --rules r.rules --data '/shared/in/*.csv' \\
                --format csv --output /shared/out/

The report, its summary and diagnostics on standard error and the exit status
are those of `rulecalc batch` with the same options; several data files are one
table in name order, rows numbered on across them. Data paths must be valid on
the workers too (on a remote cluster: absolute paths on a shared file system).
Exit status: 0 every rule analysed and no verdict was an error, 1 a threshold
was crossed (--fail-on, --max-failed, @max-failed), 2 a rule did not analyse,
a verdict was an error or a rule names a variable no column has, 3 no row was
evaluated, 64 usage error
or unusable file, 69 the cluster could not be reached or failed, 71 out of
memory, 74 the report could not be written."""


def block_size(text):
    match = re.fullmatch(r"\s*(\d+)\s*([KMG]?)i?B?\s*", text, re.IGNORECASE)
    if not match or int(match.group(1)) == 0:
        raise argparse.ArgumentTypeError("'%s' is not a size such as 64M, 512K or 1000000" % text)
    return int(match.group(1)) * _SIZE_UNITS[match.group(2).upper()]


def parser():
    p = argparse.ArgumentParser(prog="rulecalc-dask", epilog=EPILOG, formatter_class=argparse.RawDescriptionHelpFormatter,
                                description="Evaluate every rule of a rules file against every row of CSV data "
                                            "on a Dask cluster.")
    p.add_argument("--rules", required=True, help="the rules file, as `rulecalc batch` reads it")
    p.add_argument("--data", required=True, help="a CSV file, a glob (quote it) or a folder of .csv files")
    p.add_argument("--output", help="a file for the report, or (csv and jsonl) a folder, an existing one or a path "
                                    "ending in /, of one part per block, part-00000.csv on (a jsonl summary is the "
                                    "last part); default: standard output")
    p.add_argument("--failed-rows", metavar="FILE",
                   help="also write the records that need attention, as read, with failed_rules and "
                        "failed_explanations appended (failed_key first with --key), as rulecalc batch does")
    p.add_argument("--notes", metavar="FILE",
                   help="also write the problems found before the first row and the fallbacks as CSV, as "
                        "rulecalc batch does")
    p.add_argument("--encoding", default="", help="encoding of the messages and the report, and of both input files "
                                                  "(default: the locale's codeset; input files are detected)")
    p.add_argument("--format", default="text", help="report format: text (default), csv, jsonl, html or xlsx")
    for flag in ("all", "failed-only", "show-values", "bom", "raw-cells"):
        p.add_argument("--" + flag, action="store_true", help="as for rulecalc batch")
    p.add_argument("--fresh-calculators", action="store_true", help=argparse.SUPPRESS)
    for option in ("key", "null-values", "data-encoding", "rules-encoding", "date-order", "date-separator",
                   "fail-on", "header-row", "skip-rows", "sheet", "language"):
        p.add_argument("--" + option, default="", help="as for rulecalc batch")
    p.add_argument("--max-failed", action="append", default=[], metavar="RULE=N|P%",
                   help="as for rulecalc batch (repeatable)")
    p.add_argument("--scheduler", metavar="ADDRESS",
                   help="the scheduler of a running cluster (tcp://host:8786); default: a local cluster on "
                        "127.0.0.1 with one worker process per core")
    p.add_argument("--jobs", "--workers", type=int, metavar="N", dest="jobs",
                   help="worker processes of the local cluster (default: cores), one thread each")
    p.add_argument("--block-size", type=block_size, default=block_size(DEFAULT_BLOCK), metavar="SIZE",
                   help="bytes of data per task (default %s)" % DEFAULT_BLOCK)
    p.add_argument("--progress", action="store_true",
                   help="show progress even when standard error is not a terminal (one line per block)")
    return p


def adopt_user_locale():
    """The user's locale, as the tool adopts it: under plain ASCII, characters are those of C.UTF-8."""
    with contextlib.suppress(locale.Error):
        locale.setlocale(locale.LC_ALL, "")
    if _plain_ascii(locale.nl_langinfo(locale.CODESET)):
        with contextlib.suppress(locale.Error):
            locale.setlocale(locale.LC_CTYPE, "C.UTF-8")


def _plain_ascii(codeset):
    return codeset in ("", "ANSI_X3.4-1968", "ASCII", "US-ASCII")


def engine_options(options):
    """The engine's options as the tool gives them, the output encoding first."""
    requested = options.encoding
    codeset = locale.nl_langinfo(locale.CODESET)
    flag = {True: "1", False: "0"}
    values = [("output-encoding", requested or ("UTF-8" if _plain_ascii(codeset) else codeset)),
              ("format", options.format)]
    values += [(name, flag[getattr(options, name.replace("-", "_"))])
               for name in ("all", "failed-only", "show-values", "bom", "raw-cells", "fresh-calculators")]
    values += [(name, getattr(options, name.replace("-", "_"))) for name in ("key", "null-values", "date-order",
                                                                            "date-separator", "fail-on", "header-row",
                                                                            "skip-rows", "sheet", "language")]
    values += [("max-failed", limit) for limit in options.max_failed]
    values += [("failed-rows", flag[bool(options.failed_rows)])]
    values += [(name, getattr(options, name.replace("-", "_")) or requested)
               for name in ("data-encoding", "rules-encoding")]
    return [(name, os.fsencode(value)) for name, value in values]


def connect(options, stack):
    """A client of the cluster that --scheduler names, or of a new local one."""
    from distributed import Client, LocalCluster
    if options.scheduler:
        return stack.enter_context(Client(options.scheduler, timeout="30s"))
    cluster = stack.enter_context(LocalCluster(
        n_workers=options.jobs or os.cpu_count() or 1, threads_per_worker=1, processes=True,
        host="127.0.0.1", dashboard_address="127.0.0.1:0", silence_logs=logging.CRITICAL))
    return stack.enter_context(Client(cluster))


class Run:
    """The client's side of a run: the engine handle, the messages, the report."""

    def __init__(self, options, progress):
        self.options, self.progress = options, progress
        self.batch = Batch()

    def show_diagnostics(self):
        diagnostics = self.batch.diagnostics()
        if diagnostics:
            self.progress.clear()
            sys.stderr.buffer.write(b"".join(b"rulecalc-dask: " + text for text in diagnostics))
            sys.stderr.flush()

    def read_inputs(self):
        for name, value in engine_options(self.options):
            self.batch.set_option(name, value)
        self.batch.read_rules(self.options.rules)
        self.show_diagnostics()
        for path in data_paths(self.options.data):
            self.batch.add_data(path)
            self.show_diagnostics()

    def report(self, client):
        """Evaluates the batch on the cluster and writes the report; the exit status."""
        run = BatchRun(client, self.batch, self.show_diagnostics, self.progress)
        blocks = run.settle(self.options.block_size)
        output = self.options.output
        report = ReportFolder(output, self.options.format) if is_folder(output) else ReportFile(output)
        failed = ReportFile(self.options.failed_rows) if self.options.failed_rows else None
        notes = ReportFile(self.options.notes) if self.options.notes else None
        outputs = [report] + [each for each in (failed, notes) if each]
        try:
            report.start(self.batch.heading())
            if failed:
                failed.start(self.batch.failed_rows_heading())
            run.evaluate(blocks, lambda part: report.add(self.taken(part, failed)))
            report.end(self.taken_last())
            if notes:
                notes.add(self.batch.notes())
            for each in outputs:
                each.commit()
        except BaseException:
            for each in outputs:
                each.abandon()
            raise
        self.progress.clear()
        sys.stderr.buffer.write(self.batch.summary_text())
        self.show_diagnostics()
        return self.batch.exit_status()

    def taken(self, part, failed):
        taken = self.batch.take(part)
        if failed:
            failed.add(self.batch.failed_rows_taken())
        self.show_diagnostics()
        return taken

    def taken_last(self):
        end = self.batch.finish()
        self.show_diagnostics()
        return end


def _drop_unwritable_standard_output():
    """Points standard output at the null device, so that the interpreter's own
    flush at exit does not fail again on what could not be written and turn
    the exit status into its own."""
    null = os.open(os.devnull, os.O_WRONLY)
    os.dup2(null, sys.stdout.fileno())
    os.close(null)


def _refuse_unusable_output(options):
    inputs = [("the rules file", options.rules)] + [("the data file", p) for p in data_paths(options.data)]
    refuse_overwriting(options.output, inputs)
    others = inputs + ([("the report", options.output)] if options.output else [])
    for option, path in (("--failed-rows", options.failed_rows), ("--notes", options.notes)):
        if not path:
            continue
        if path == options.output:
            raise UsageError("%s '%s' is the report's --output; choose another file, nothing was written"
                             % (option, path))
        refuse_overwriting(path, others)
        if options.failed_rows and option == "--notes":
            if path == options.failed_rows:
                raise UsageError("--notes '%s' is the --failed-rows file; choose another file, nothing was written"
                                 % path)
            refuse_overwriting(path, [("the failed rows' file", options.failed_rows)])
    if is_folder(options.output) and options.format not in _FOLDER_FORMATS:
        raise UsageError("--output: a folder of parts ('%s') holds a csv or jsonl report, not %s; name a file or "
                         "choose --format csv or jsonl" % (options.output, options.format))


def main(argv=None):
    adopt_user_locale()
    options = parser().parse_args(argv)
    progress = Progress(options.progress or sys.stderr.isatty(), lines=not sys.stderr.isatty())
    run = None
    try:
        _refuse_unusable_output(options)
        run = Run(options, progress)
        run.read_inputs()
        with contextlib.ExitStack() as stack:
            return run.report(connect(options, stack))
    except EngineError as error:
        if run is not None:
            run.show_diagnostics()
        return _complain(progress, error.message, _EXIT_OF_ENGINE.get(error.status, EXIT_USAGE))
    except UsageError as error:
        return _complain(progress, str(error), EXIT_USAGE)
    except ReportError as error:
        _drop_unwritable_standard_output()
        return _complain(progress, error.args[0], EXIT_OUTPUT)
    except KilledWorker as error:
        return _complain(progress, "the cluster gave up on a block: %s" % error, EXIT_CLUSTER)
    except OSError as error:
        cluster = isinstance(error, (TimeoutError, ConnectionError))
        return _complain(progress, str(error), EXIT_CLUSTER if cluster else EXIT_USAGE)


_EXIT_OF_ENGINE = {OUT_OF_MEMORY: EXIT_OUT_OF_MEMORY, CANNOT_RUN: EXIT_RULE_ERROR}


def _complain(progress, message, status):
    """Shows the message (none for a reader of standard output that went away); the status."""
    progress.clear()
    if message:
        text = message if isinstance(message, bytes) else os.fsencode(message)
        sys.stderr.buffer.write(b"rulecalc-dask: " + text + b"\n")
        sys.stderr.flush()
    return status


if __name__ == "__main__":
    sys.exit(main())
