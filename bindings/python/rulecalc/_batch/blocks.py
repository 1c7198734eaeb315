"""Cutting data files into blocks that workers read on their own.

A block is a byte range of a file that starts just after a line break. The
records a block owns are those that start inside it; the last one may run
past its end. Whether a block starts at a record or inside a quoted field
(a field with a line break, cut by the block's start) depends on everything
before it, so a first pass reads every block twice, once under each
assumption, and the client chains the answers from the first block on. The
two readings meet at the first record start they share, usually within a
line, and are one reading from there: the first pass costs one reading.
"""

import os
from dataclasses import dataclass, field
from typing import Dict, List, Tuple

from .columns import reads_as_number
from .encoding import gbk_value
from .records import ByteWindow, RecordReader


@dataclass(frozen=True)
class Block:
    path: str
    hint: int           # the block starts at the first line start from here on
    stop_hint: int      # ... and ends at the first line start from here on
    exact: bool         # hint is a record start itself (the first block after the header)
    encoding: str       # of the file


EXAMPLES = 3      # text values kept per column to show why it is text


@dataclass
class Evidence:
    """What a column's values were, among well-formed rows (empty ones left out)."""
    numbers: int = 0
    texts: int = 0
    first_texts: List[Tuple[int, bytes]] = field(default_factory=list)   # (row from the reading's first, GBK value)

    def after(self, earlier_rows, then):
        """These values followed by then's, whose rows come earlier_rows later."""
        shifted = [(row + earlier_rows, value) for row, value in then.first_texts]
        return Evidence(self.numbers + then.numbers, self.texts + then.texts,
                        (self.first_texts + shifted)[:EXAMPLES])


@dataclass
class Reading:
    """What a block holds, under one assumption about its start."""
    rows: int = 0
    ends_inside: bool = False            # the next block starts inside a quoted field
    evidence: Dict[int, Evidence] = field(default_factory=dict)   # per column whose type is inferred


@dataclass
class BlockScan:
    start: int
    stop: int
    newlines: int                        # line breaks in [start, stop)
    readings: List[Reading]              # [at a record start, inside a quoted field]


def plan_blocks(path, encoding, data_start, size, block_bytes):
    """The blocks of a file whose records start at data_start."""
    hints = list(range(data_start, size, block_bytes)) or [data_start]
    return [Block(path, hint, hints[i + 1] if i + 1 < len(hints) else size, i == 0, encoding)
            for i, hint in enumerate(hints)]


def line_start_from(file, hint, size):
    """The first offset at or after hint that follows a line break (or the end)."""
    if hint <= 0:
        return 0
    position = hint - 1
    file.seek(position)
    while position < size:
        piece = file.read(1 << 16)
        if not piece:
            break
        newline = piece.find(b"\n")
        if newline >= 0:
            return position + newline + 1
        position += len(piece)
    return size


def block_bounds(file, block):
    size = os.fstat(file.fileno()).st_size
    start = block.hint if block.exact else line_start_from(file, block.hint, size)
    return start, max(start, line_start_from(file, block.stop_hint, size))


def count_newlines(file, start, stop):
    file.seek(start)
    count, left = 0, stop - start
    while left > 0:
        piece = file.read(min(left, 1 << 20))
        if not piece:
            break
        count += piece.count(b"\n")
        left -= len(piece)
    return count


class _Observer:
    """Counts a reading's records and what the values of the columns to infer are."""

    def __init__(self, columns, encoding, nulls):
        self.encoding, self.nulls = encoding, nulls
        self.width = len(columns)
        self.reading = Reading(evidence={i: Evidence() for i, c in enumerate(columns) if not c.declared})

    def add(self, record):
        self.reading.rows += 1
        if not self.reading.evidence or record.problem or len(record.fields) != self.width:
            return
        values = [gbk_value(f, self.encoding) for f in record.fields]
        if any(bad is not None for _, bad in values):
            return
        for i, seen in self.reading.evidence.items():
            value = values[i][0]
            if not value or value in self.nulls:
                continue
            if reads_as_number(value):
                seen.numbers += 1
                continue
            seen.texts += 1
            if seen.texts <= EXAMPLES:
                seen.first_texts.append((self.reading.rows, value))


def _merged(first, then, ends_inside):
    evidence = {i: seen.after(first.rows, then.evidence[i]) for i, seen in first.evidence.items()}
    return Reading(first.rows + then.rows, ends_inside, evidence)


def _read_all(records, observer, head=None):
    if head is not None:
        observer.add(head)
    for record in records:
        observer.add(record)
    return observer.reading


def _one_reading(file, start, stop, columns, encoding, nulls):
    reader = RecordReader(ByteWindow(file, start), stop)
    reading = _read_all(reader, _Observer(columns, encoding, nulls))
    reading.ends_inside = reader.end > stop
    return reading


def _two_readings(files, start, stop, columns, encoding, nulls):
    """Both readings, advanced record by record until they meet."""
    readers = [RecordReader(ByteWindow(f, start), stop, inside) for f, inside in zip(files, (False, True))]
    streams = [iter(r) for r in readers]
    observers = [_Observer(columns, encoding, nulls), _Observer(columns, encoding, nulls)]
    heads = [next(s, None) for s in streams]
    while None not in heads and heads[0].offset != heads[1].offset:
        k = 0 if heads[0].offset < heads[1].offset else 1
        observers[k].add(heads[k])
        heads[k] = next(streams[k], None)
    if None in heads:
        readings = [_read_all(streams[k], observers[k], heads[k]) for k in (0, 1)]
        for k in (0, 1):
            readings[k].ends_inside = readers[k].end > stop
        return readings
    shared = _read_all(streams[0], _Observer(columns, encoding, nulls), heads[0])
    return [_merged(observers[k].reading, shared, readers[0].end > stop) for k in (0, 1)]


def scan_block(block, columns, nulls=frozenset()):
    """Reads a block under both assumptions about its start (runs on a worker)."""
    with open(block.path, "rb") as f0, open(block.path, "rb") as f1:
        start, stop = block_bounds(f0, block)
        newlines = count_newlines(f0, start, stop)
        if block.exact:
            reading = _one_reading(f0, start, stop, columns, block.encoding, nulls)
            return BlockScan(start, stop, newlines, [reading, reading])
        return BlockScan(start, stop, newlines, _two_readings((f0, f1), start, stop, columns, block.encoding, nulls))
