"""Evaluating the rows of one block (runs on a worker)."""

import contextlib
import functools
import os
import re
from dataclasses import dataclass, field
from typing import List

from .columns import NUMBER, reads_as_number
from ..values import folded
from .encoding import gbk_value
from .explained_values import explained_values
from .problems import report_error
from .records import ByteWindow, RecordReader
from .verdicts import WORDS, RuleOnColumns



def report_heading(key_name=None, show_values=False, bom=False, raw_cells=False):
    """The CSV report's first line: row, the key column's name with --key,
    rule, result, explanation, and values with --show-values."""
    key = _csv_field(key_name, raw_cells) + "," if key_name else ""
    values = ",values" if show_values else ""
    return ("\ufeff" * bom + "row," + key + "rule,result,explanation" + values + "\r\n").encode("utf-8")


def job_heading(job):
    return report_heading(None if job.key is None else job.columns[job.key].name, job.show_values, job.bom,
                          job.raw_cells)



@dataclass(frozen=True)
class BatchJob:
    """What every block of a run shares."""
    columns: tuple
    rules: tuple                  # (BatchRule, variables: tuple of column indexes), analysable ones only
    failed_only: bool = False
    settings: object = None       # rulecalc.Settings of every rule
    key: int = None               # the place of the column that names each record in the report
    nulls: frozenset = frozenset()  # GBK texts that mean an empty value
    show_values: bool = False     # a column with the values of the variables each explanation names
    bom: bool = False             # the report starts with a UTF-8 byte-order mark
    raw_cells: bool = False       # cells that look like formulas are written as they are


@dataclass(frozen=True)
class BlockTask:
    path: str                     # to open
    shown_path: str               # in diagnostics
    start: int
    stop: int
    inside: bool                  # the block starts inside a quoted field
    encoding: str                 # of the file
    first_row: int                # the number of its first record
    lines_before: int             # line breaks in the file before start


@dataclass
class BlockResult:
    report: bytes = b""           # CSV lines, UTF-8
    diagnostics: str = ""         # skipped rows
    tallies: List[List[int]] = field(default_factory=list)   # held, failed, errors per job rule
    explanations: List[dict] = field(default_factory=list)   # per job rule: GBK text of failures and errors -> times
    evaluated: int = 0
    skipped: int = 0


# A cell starting with one of these is a formula to a spreadsheet, unless it
# is a plain number ("-5", "+2.5"), which a spreadsheet reads as a number.
_FORMULA_STARTS = ("=", "+", "-", "@", "\t", "\r")
_PLAIN_NUMBER = re.compile(r"[-+]?[0-9]+(\.[0-9]*)?")


def _looks_like_formula(text):
    return text.startswith(_FORMULA_STARTS) and not (len(text) > 1 and _PLAIN_NUMBER.fullmatch(text))


def _csv_field(text, raw=False):
    """A field as RFC 4180 writes it: quoted when it holds a comma, a quote or a
    line break. Unless raw, a text a spreadsheet would take for a formula is
    quoted with a ' before it, so that it shows as the text it is."""
    if not raw and _looks_like_formula(text):
        return "\"'" + text.replace('"', '""') + '"'
    if not text or not any(c in text for c in ',"\r\n'):
        return text
    return '"' + text.replace('"', '""') + '"'


def row_problem(record, columns, encoding):
    """Why a record is skipped, or None; the values as GBK otherwise."""
    if record.problem:
        return record.problem, None
    if len(record.fields) != len(columns):
        return "it has %d fields where the header has %d" % (len(record.fields), len(columns)), None
    values = []
    for column, value in zip(columns, record.fields):
        gbk, bad = gbk_value(value, encoding)
        if bad is not None:
            return ("the value of %s cannot be converted to GBK at byte %d: it is not valid %s or has a character "
                    "GBK lacks (is the file in another encoding? --data-encoding names it)"
                    % (column.name, bad + 1, encoding)), None
        values.append(gbk)
    return None, values


class _BlockEvaluator:
    """Evaluates a block's rows in runs of ROWS_AT_ONCE, each rule over a whole run at a time."""

    ROWS_AT_ONCE = 4096

    def __init__(self, task, job):
        self.task = task
        self.job = job
        self.cell = functools.partial(_csv_field, raw=job.raw_cells)
        self.rules = [(self.cell(rule.id), RuleOnColumns(rule.sentence, variables, job.columns, job.settings))
                      for rule, variables in job.rules]
        self.declared_numbers = [i for i, c in enumerate(job.columns) if c.declared == NUMBER]
        self.places = {folded(c.name): i for i, c in enumerate(job.columns)}
        self.problems = []
        self.result = BlockResult(tallies=[[0, 0, 0] for _ in job.rules], explanations=[{} for _ in job.rules])
        self.lines = []
        self.numbers, self.rows, self.problems = [], [], []

    def add(self, number, record):
        problem, values = row_problem(record, self.job.columns, self.task.encoding)
        if problem is not None:
            self._skip(record, number, problem)
            return
        self.numbers.append(number)
        self.rows.append(values)
        problems = self._value_problems(values)
        if b"\0" in b"".join(record.fields):
            problems.update(self._nul_problems(record.fields))
        self.problems.append(problems)
        if len(self.rows) >= self.ROWS_AT_ONCE:
            self.flush()

    def _values(self, explanation, r):
        if not self.job.show_values:
            return ""
        return "," + self.cell(explained_values(explanation, self.places, self.rows[r]).decode("gbk", "replace"))

    def _value_problems(self, values):
        """Empties the values that mean empty; {column: why} for values their
        declared column cannot take (an error for the rules that read them)."""
        if self.job.nulls:
            values[:] = [b"" if v in self.job.nulls else v for v in values]
        problems = {}
        for i in self.declared_numbers:
            if not reads_as_number(values[i]):
                problems[i] = self.job.columns[i].name.encode("gbk") + b"=" + values[i] + b" is not a number"
        return problems

    def _nul_problems(self, fields):
        """{column: why} for the values holding a NUL byte, which the library
        would take for their end: an error for the rules that read them."""
        return {i: ("the value of %s has a NUL byte at byte %d, which no rule can read"
                    % (self.job.columns[i].name, field.index(b"\0") + 1)).encode("gbk")
                for i, field in enumerate(fields) if b"\0" in field}

    def _verdict(self, r, rule, rule_verdicts):
        """(status, GBK text) of rule on row r: a value its column cannot take is an error."""
        problems = self.problems[r]
        for i in rule.columns if problems else ():
            if i in problems:
                return 2, problems[i]
        return rule_verdicts[r]

    def flush(self):
        """Evaluates the rows gathered so far and writes their lines."""
        if not self.rows:
            return
        verdicts = [rule.verdicts(self.rows) for _, rule in self.rules]
        failed_only, key = self.job.failed_only, self.job.key
        held_end = ",true,,\r\n" if self.job.show_values else ",true,\r\n"
        for r, number in enumerate(self.numbers):
            named = str(number) if key is None else "%d,%s" % (number, self.cell(self.rows[r][key].decode("gbk")))
            for (shown_id, rule), tally, counts, rule_verdicts in zip(
                    self.rules, self.result.tallies, self.result.explanations, verdicts):
                status, text = self._verdict(r, rule, rule_verdicts)
                tally[status] += 1
                if status == 0:
                    if not failed_only:
                        self.lines.append(named + "," + shown_id + held_end)
                    continue
                counts[text] = counts.get(text, 0) + 1
                self.lines.append("%s,%s,%s,%s%s\r\n" % (
                    named, shown_id, WORDS[status], self.cell(text.decode("gbk", "replace")), self._values(text, r)))
        self.result.evaluated += len(self.rows)
        self.numbers, self.rows, self.problems = [], [], []

    def _skip(self, record, number, problem):
        self.result.skipped += 1
        self.result.diagnostics += "%s:%d: row %d skipped: %s\n" % (
            self.task.shown_path, self.task.lines_before + record.line + 1, number, problem)


def write_part(path, heading, report):
    """Writes a part of the report whole or not at all (a worker may die while writing)."""
    temporary = "%s.tmp-%d" % (path, os.getpid())
    try:
        with open(temporary, "wb") as file:
            file.write(heading + report)
        os.replace(temporary, path)
    except OSError as error:
        with contextlib.suppress(OSError):
            os.remove(temporary)
        raise report_error(path, error) from None


def evaluate_block(task, job, part_path=None):
    """The report lines, skipped rows and counts of one block. With part_path
    the lines go into that file (a part of a report folder) instead."""
    evaluator = _BlockEvaluator(task, job)
    with open(task.path, "rb") as file:
        records = RecordReader(ByteWindow(file, task.start), task.stop, task.inside)
        for number, record in enumerate(records, start=task.first_row):
            evaluator.add(number, record)
    evaluator.flush()
    report = "".join(evaluator.lines).encode("utf-8")
    if part_path is None:
        evaluator.result.report = report
    else:
        write_part(part_path, job_heading(job), report)
    return evaluator.result
