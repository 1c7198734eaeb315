"""A batch run on a Dask cluster: plan, first pass, rules check, evaluation in order."""

import dataclasses
import os

from distributed import as_completed

import rulecalc

from .._rule_cache import compiled
from ..values import folded
from .blocks import Evidence, plan_blocks, scan_block
from .columns import TEXT, column_named
from .data_files import data_paths, read_header, same_columns
from .encoding import data_encoding
from .partition import BatchJob, BlockTask, evaluate_block
from .summary import ExplanationCount
from .verdicts import analysis_error, rule_types


@dataclasses.dataclass
class Summary:
    evaluated: int = 0
    skipped: int = 0
    tallies: list = dataclasses.field(default_factory=list)    # per rule of the file, None when left out
    analysis_errors: list = dataclasses.field(default_factory=list)
    explanations: list = dataclasses.field(default_factory=list)   # per rule: ExplanationCount


def _files_and_columns(data, requested_encoding, notice):
    files, columns = [], None
    for path in data_paths(data):
        encoding, guessed = data_encoding(path, requested_encoding)
        if guessed:
            notice(guessed)
        file_columns, data_start, lines = read_header(path, encoding)
        if columns is None:
            columns = file_columns
        same_columns(columns, file_columns, path)
        files.append((path, encoding, data_start, lines))
    return files, columns


def _blocks_of(files, block_bytes):
    blocks = []
    for path, encoding, data_start, lines in files:
        size = os.path.getsize(path)
        blocks.extend((path, lines, b) for b in plan_blocks(path, encoding, data_start, size, block_bytes))
    return blocks


def _chain(blocks, scans):
    """Settles each block's start, first row and line; returns the tasks and
    the evidence of the columns whose type is inferred, over all rows."""
    tasks, evidence, row, path, inside, lines = [], None, 1, None, False, 0
    for (file_path, header_lines, block), scan in zip(blocks, scans):
        if file_path != path:
            path, inside, lines = file_path, False, header_lines
        reading = scan.readings[inside]
        tasks.append(BlockTask(os.path.abspath(file_path), file_path, scan.start, scan.stop, inside, block.encoding,
                               row, lines))
        if evidence is None:
            evidence = {i: Evidence() for i in reading.evidence}
        evidence = {i: seen.after(row - 1, reading.evidence[i]) for i, seen in evidence.items()}
        row, lines, inside = row + reading.rows, lines + scan.newlines, reading.ends_inside
    return tasks, evidence or {}


def _typed(columns, evidence):
    """The columns with the inferred types: text as soon as one value is not a number."""
    return [dataclasses.replace(c, type=TEXT) if i in evidence and evidence[i].texts else c
            for i, c in enumerate(columns)]


def _mixed_columns_notices(columns, evidence, data_path):
    """Why a column that holds mostly numbers is text, and what to do about it."""
    for i, seen in sorted(evidence.items()):
        if seen.texts == 0 or seen.texts >= seen.numbers:
            continue
        name = columns[i].name
        examples = "".join(' row %d "%s"' % (row, value.decode("gbk")) for row, value in seen.first_texts)
        more = " ..." if seen.texts > len(seen.first_texts) else ""
        yield ("%s: column %s is read as text because %d of its %d values are not numbers:%s%s\n"
               "  declare it as %s:num in the header (such values are then errors for their row only), "
               "or name the texts that mean empty with --null-values"
               % (data_path, name, seen.texts, seen.texts + seen.numbers, examples, more, name))


def _rules_to_run(request, columns, summary, warn):
    types = rule_types(columns)
    by_name = {folded(c.name): i for i, c in enumerate(columns)}
    job_rules = []
    for rule in request.rules:
        error = analysis_error(rule.sentence, types, request.settings)
        summary.analysis_errors.append(error)
        if error is not None:
            warn("%s:%d: rule %s is left out: %s" % (request.rules_path, rule.line, rule.id, error))
            continue
        for warning in compiled(rule.sentence, types, request.settings).warnings:
            warn("%s:%d: rule %s: warning: %s" % (request.rules_path, rule.line, rule.id, warning.message))
        job_rules.append((rule, tuple(_variables(rule.sentence, by_name))))
    return tuple(job_rules)


def _variables(sentence, by_name):
    """The columns a sentence reads, by their places."""
    return [by_name[folded(name)] for name in rulecalc.varnames(sentence) if folded(name) in by_name]


@dataclasses.dataclass(frozen=True)
class BatchRequest:
    """What a run evaluates and how."""
    rules: tuple                  # BatchRule
    rules_path: str
    data: str                     # a file, a glob or a folder
    block_bytes: int
    failed_only: bool = False
    settings: object = None       # rulecalc.Settings for every rule
    data_encoding: str = None     # of every data file; None: guessed per file
    key: str = None               # the column that names each record in the report
    nulls: frozenset = frozenset()  # GBK texts that mean an empty value
    show_values: bool = False
    bom: bool = False
    raw_cells: bool = False        # formula-looking cells as they are


class BatchRun:
    """One run: plan() reads the headers and makes the first pass, evaluate()
    streams the report. diagnose(text) shows a diagnostic line (without the
    program name), progress(done, total, rows) follows the evaluation."""

    def __init__(self, client, request, diagnose=print, progress=None):
        self.client = client
        self.request = request
        self.diagnose = diagnose
        self.progress = progress or (lambda done, total, rows: None)
        self.summary = Summary()

    def plan(self):
        files, columns = _files_and_columns(self.request.data, self.request.data_encoding, self.diagnose)
        blocks = _blocks_of(files, self.request.block_bytes)
        futures = self.client.map(scan_block, [b for _, _, b in blocks], columns=columns, nulls=self.request.nulls,
                                  pure=False)
        tasks, evidence = _chain(blocks, self.client.gather(futures))
        for notice in _mixed_columns_notices(columns, evidence, self.request.data):
            self.diagnose(notice)
        columns = _typed(columns, evidence)
        rules = _rules_to_run(self.request, columns, self.summary, self.diagnose)
        self.summary.tallies = [None if e else [0, 0, 0] for e in self.summary.analysis_errors]
        self.summary.explanations = [ExplanationCount() for _ in self.summary.analysis_errors]
        key = None if self.request.key is None else column_named(columns, self.request.key)
        return tasks, BatchJob(tuple(columns), rules, self.request.failed_only, self.request.settings, key, self.request.nulls,
                               self.request.show_values, self.request.bom, self.request.raw_cells)

    def evaluate(self, tasks, job, take_report, part_paths=None):
        """Evaluates every block and hands each block's report to take_report
        in input order (with part_paths, the workers write the parts instead)."""
        part_paths = part_paths or [None] * len(tasks)
        futures = [self.client.submit(evaluate_block, task, job, path, pure=False)
                   for task, path in zip(tasks, part_paths)]
        position = {f.key: i for i, f in enumerate(futures)}
        ready, next_index, rows = {}, 0, 0
        for done, future in enumerate(as_completed(futures), start=1):
            result = future.result()
            future.release()
            ready[position[future.key]] = result
            rows += result.evaluated + result.skipped
            self.progress(done, len(futures), rows)
            while next_index in ready:
                self._take(ready.pop(next_index), take_report)
                next_index += 1

    def _take(self, result, take_report):
        for line in result.diagnostics.splitlines():
            self.diagnose(line)
        take_report(result.report)
        self.summary.evaluated += result.evaluated
        self.summary.skipped += result.skipped
        live = [(t, e) for t, e in zip(self.summary.tallies, self.summary.explanations) if t is not None]
        for (tally, explanations), counts, texts in zip(live, result.tallies, result.explanations):
            for k in range(3):
                tally[k] += counts[k]
            explanations.add(texts)
