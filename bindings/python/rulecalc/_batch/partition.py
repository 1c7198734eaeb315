"""Evaluating the rows of one block (runs on a worker)."""

import os
from dataclasses import dataclass, field
from typing import List, Tuple

from .columns import NUMBER, number_value, to_text
from .records import ByteWindow, RecordReader
from .verdicts import compiled_rule, rule_types, verdict

REPORT_HEADING = b"row,rule,result,explanation\r\n"


@dataclass(frozen=True)
class BatchJob:
    """What every block of a run shares."""
    columns: tuple
    rules: tuple                  # (BatchRule, variables: tuple of column indexes), analysable ones only
    failed_only: bool = False


@dataclass(frozen=True)
class BlockTask:
    path: str                     # to open
    shown_path: str               # in diagnostics
    start: int
    stop: int
    inside: bool                  # the block starts inside a quoted field
    first_row: int                # the number of its first record
    lines_before: int             # line breaks in the file before start


@dataclass
class BlockResult:
    report: bytes = b""           # CSV lines, UTF-8
    diagnostics: str = ""         # skipped rows
    tallies: List[List[int]] = field(default_factory=list)   # held, failed, errors per job rule
    evaluated: int = 0
    skipped: int = 0


def _csv_field(text):
    if not any(c in text for c in ',"\r\n'):
        return text
    return '"' + text.replace('"', '""') + '"'


def row_problem(record, columns):
    """Why a record is skipped, or None; the values as texts otherwise."""
    if record.problem:
        return record.problem, None
    if len(record.fields) != len(columns):
        return "it has %d fields where the header has %d" % (len(record.fields), len(columns)), None
    texts = []
    for column, value in zip(columns, record.fields):
        text, bad = to_text(value)
        if bad is not None:
            return ("the value of %s cannot be converted to GBK at byte %d: it is not valid UTF-8 or has a "
                    "character GBK lacks" % (column.name, bad + 1)), None
        texts.append(text)
    return None, texts


def variable_value(column, text):
    return number_value(text) if column.type == NUMBER else text


class _BlockEvaluator:
    def __init__(self, job):
        self.job = job
        types = rule_types(job.columns)
        self.rules = [(rule, variables, compiled_rule(rule.sentence, types)) for rule, variables in job.rules]
        self.result = BlockResult(tallies=[[0, 0, 0] for _ in job.rules])
        self.lines = []

    def row(self, number, texts):
        self.result.evaluated += 1
        columns = self.job.columns
        for k, (rule, variables, compiled) in enumerate(self.rules):
            values = {columns[i].name: variable_value(columns[i], texts[i]) for i in variables}
            word, text = verdict(compiled.evaluate(values))
            self.result.tallies[k][("true", "false", "error").index(word)] += 1
            if word == "true" and self.job.failed_only:
                continue
            self.lines.append("%d,%s,%s,%s\r\n" % (number, _csv_field(rule.id), word, _csv_field(text)))

    def skip(self, task, record, number, problem):
        self.result.skipped += 1
        self.result.diagnostics += "%s:%d: row %d skipped: %s\n" % (
            task.shown_path, task.lines_before + record.line + 1, number, problem)


def write_part(path, heading, report):
    """Writes a part of the report whole or not at all (a worker may die while writing)."""
    temporary = "%s.tmp-%d" % (path, os.getpid())
    with open(temporary, "wb") as file:
        file.write(heading + report)
    os.replace(temporary, path)


def evaluate_block(task, job, part_path=None):
    """The report lines, skipped rows and counts of one block. With part_path
    the lines go into that file (a part of a report folder) instead."""
    evaluator = _BlockEvaluator(job)
    with open(task.path, "rb") as file:
        records = RecordReader(ByteWindow(file, task.start), task.stop, task.inside)
        for number, record in enumerate(records, start=task.first_row):
            problem, texts = row_problem(record, job.columns)
            if problem is None:
                evaluator.row(number, texts)
            else:
                evaluator.skip(task, record, number, problem)
    report = "".join(evaluator.lines).encode("utf-8")
    if part_path is None:
        evaluator.result.report = report
    else:
        write_part(part_path, REPORT_HEADING, report)
    return evaluator.result
