"""CSV records read from a byte range of a file, the way the rulecalc tool reads them.

RFC 4180: fields separated by commas, records by LF or CRLF (a lone CR is
data), double-quoted fields may hold commas, line breaks and doubled quotes;
a quote inside an unquoted field is an ordinary character; empty lines between
records are skipped. Text after a closing quote makes the record malformed and
the rest of its line is skipped. A record whose fields hold more than
MAX_RECORD_BYTES bytes is read to its end and kept only as a malformed record.

A reader starts at an offset where a record starts, or (inside=True) inside a
quoted field whose record started before; in that case the rest of that record
is read and dropped, and the first record returned is the next one. Records
that start before `stop` are returned in full, however far past `stop` they run.
"""

from dataclasses import dataclass, field
from typing import List

MAX_RECORD_BYTES = 1 << 20
NOT_CLOSED = "a quoted field is not closed before the end of the file"
TEXT_AFTER_QUOTE = "text follows the closing quote of a field"
_READ_SIZE = 1 << 20


@dataclass
class Record:
    offset: int                    # of the file, where the record starts
    fields: List[bytes] = field(default_factory=list)
    problem: str = ""              # why the record is malformed; empty when well formed
    line: int = 0                  # line breaks between the reader's start and the record


class _NeedMore(Exception):
    """The buffer ends before the record does, and the file goes on."""


class ByteWindow:
    """Bytes of an open binary file from `base` on, read as far as needed."""

    def __init__(self, file, base):
        self.file = file
        self.base = base
        file.seek(base)
        self.data = b""
        self.at_end = False

    def grow(self, at_least=_READ_SIZE):
        more = self.file.read(max(at_least, len(self.data)))
        if not more:
            self.at_end = True
        self.data += more

    def drop_before(self, position):
        """Forgets bytes before position (relative); returns how far it moved."""
        self.data = self.data[position:]
        self.base += position
        return position


class RecordReader:
    """Reads records from window, starting at its first byte. After each
    record, `end` is the file offset after it (or after the dropped rest of
    a started record)."""

    def __init__(self, window, stop, inside=False):
        self.window = window
        self.stop = stop
        self.pos = 0
        self.inside = inside
        self.newlines = 0          # line breaks between the first byte and pos
        self.end = window.base

    def __iter__(self):
        if self.inside:
            self._step(self._finish_started_record)
            self.end = self.window.base + self.pos
        while True:
            self._step(self._skip_empty_lines)
            if self.window.base + self.pos >= self.stop or self._at_data_end():
                return
            line = self.newlines
            record = self._step(self._record)
            record.line = line
            self.end = self.window.base + self.pos
            yield record

    def _at_data_end(self):
        return self.pos >= len(self.window.data) and self.window.at_end

    def _step(self, parse):
        """Runs parse from the current position, reading more until it fits,
        and counts the line breaks it went over."""
        if self.pos > _READ_SIZE:
            self.pos -= self.window.drop_before(self.pos)
        before = self.pos
        while True:
            try:
                result = parse()
                break
            except _NeedMore:
                self.window.grow()
        self.newlines += self.window.data.count(b"\n", before, self.pos)
        return result

    # Each parse step reads from self.pos and moves it only when it succeeds.
    def _byte(self, i):
        data = self.window.data
        if i < len(data):
            return data[i:i + 1]
        if self.window.at_end:
            return b""
        raise _NeedMore

    def _line_end_length(self, i):
        """2 for CRLF at i, 1 for LF, 0 otherwise."""
        c = self._byte(i)
        if c == b"\n":
            return 1
        if c == b"\r" and self._byte(i + 1) == b"\n":
            return 2
        return 0

    def _skip_empty_lines(self):
        i = self.pos
        while True:
            n = self._line_end_length(i)
            if not n:
                break
            i += n
        self.pos = i

    def _finish_started_record(self):
        record = Record(0)
        self.pos = self._rest_of_record(self._quoted_rest(self.pos, record, []), record, [])

    def _record(self):
        start = self.pos
        record = Record(self.window.base + start)
        after = self._plain_line(start, record)
        self.pos = after if after is not None else self._fields(start, record)
        kept = sum(map(len, record.fields))
        if not record.problem and kept > MAX_RECORD_BYTES:
            record.problem = "the record is longer than %d bytes" % MAX_RECORD_BYTES
        return record

    def _plain_line(self, start, record):
        """A line without quotes, split at once; None when it has a quote."""
        data = self.window.data
        newline = data.find(b"\n", start)
        if newline < 0 and not self.window.at_end:
            raise _NeedMore
        line_end = len(data) if newline < 0 else newline
        line = data[start:line_end]
        if b'"' in line:
            return None
        if newline >= 0 and line.endswith(b"\r"):
            line = line[:-1]
        record.fields = line.split(b",")
        return line_end + (newline >= 0)

    def _fields(self, i, record):
        """Reads the fields from i; returns the position after the record."""
        return self._rest_of_record(i, record, record.fields, first=True)

    def _rest_of_record(self, i, record, fields, first=False):
        """Reads fields from i, where a field starts (first) or a quoted field
        has just been read; returns the position after the record."""
        if not first:
            i, ends = self._after_quoted_field(i, record)
            if ends:
                return i
        while True:
            if self._byte(i) == b'"':
                i, ends = self._after_quoted_field(self._quoted_rest(i + 1, record, fields), record)
            else:
                i, ends = self._unquoted(i, fields)
            if ends:
                return i

    def _quoted_rest(self, i, record, fields):
        """Reads a quoted field from after its opening quote; returns the position after it."""
        data = self.window.data
        parts = []
        while True:
            quote = data.find(b'"', i)
            if quote < 0:
                if not self.window.at_end:
                    raise _NeedMore
                parts.append(data[i:])
                fields.append(b"".join(parts))
                record.problem = NOT_CLOSED
                return len(data)
            parts.append(data[i:quote])
            if self._byte(quote + 1) != b'"':
                fields.append(b"".join(parts))
                return quote + 1
            parts.append(b'"')
            i = quote + 2

    def _after_quoted_field(self, i, record):
        """After a closing quote a comma goes on to the next field; a line end
        or the end of the data ends the record; anything else makes it
        malformed and the rest of its line is skipped. Returns the position
        after what was read and whether the record ends."""
        if record.problem:
            return i, True
        n = self._line_end_length(i)
        if n or self._byte(i) == b"":
            return i + n, True
        if self._byte(i) == b",":
            return i + 1, False
        record.problem = TEXT_AFTER_QUOTE
        newline = self.window.data.find(b"\n", i)
        if newline < 0 and not self.window.at_end:
            raise _NeedMore
        return (len(self.window.data) if newline < 0 else newline + 1), True

    def _unquoted(self, i, fields):
        """Reads an unquoted field; returns the position after it and whether the record ends."""
        data = self.window.data
        comma = data.find(b",", i)
        newline = data.find(b"\n", i)
        if newline < 0 and comma < 0 and not self.window.at_end:
            raise _NeedMore
        if comma >= 0 and (newline < 0 or comma < newline):
            fields.append(data[i:comma])
            return comma + 1, False
        if newline < 0:
            fields.append(data[i:])
            return len(data), True
        end = newline - 1 if newline > i and data[newline - 1:newline] == b"\r" else newline
        fields.append(data[i:end])
        return newline + 1, True
