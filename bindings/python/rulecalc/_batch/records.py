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
# A record whose bytes run past this is read on without being kept.
_LONGEST_KEPT = 2 * MAX_RECORD_BYTES + _READ_SIZE


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
                if parse != self._skip_empty_lines and len(self.window.data) - self.pos > _LONGEST_KEPT:
                    self.newlines += self.window.data.count(b"\n", before, self.pos)
                    return self._skip_long_record(parse == self._finish_started_record)
                if self.pos - before > _READ_SIZE:
                    self.newlines += self.window.data.count(b"\n", before, self.pos)
                    self.pos -= self.window.drop_before(self.pos)
                    before = self.pos
                self.window.grow()
        self.newlines += self.window.data.count(b"\n", before, self.pos)
        return result

    def _skip_long_record(self, inside):
        """Reads a record too long to keep to its end, keeping nothing: memory
        stays bounded even for a quote that is never closed."""
        record = Record(self.window.base + self.pos, [], "the record is longer than %d bytes" % MAX_RECORD_BYTES)
        skipper = _LongRecord(self, "quoted" if inside else "field")
        record.problem = skipper.run() or record.problem
        return record

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
        """Moves past empty lines (each one at once, so that a long run of them is not kept)."""
        while True:
            n = self._line_end_length(self.pos)
            if not n:
                return
            self.pos += n

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


class _LongRecord:
    """The CSV grammar run over a record without keeping it, dropping what it
    has read as it goes (and counting its line breaks)."""

    def __init__(self, reader, state):
        self.reader = reader
        self.state = state
        self.problem = ""
        reader.pos -= reader.window.drop_before(reader.pos)   # its line breaks are counted already

    def _available(self, count):
        """At least count bytes from the reader's position, unless the data ends first."""
        reader, window = self.reader, self.reader.window
        while len(window.data) - reader.pos < count and not window.at_end:
            reader.newlines += window.data.count(b"\n", 0, reader.pos)
            reader.pos -= window.drop_before(reader.pos)
            window.grow()
        return len(window.data) - reader.pos >= count

    def _find(self, needles):
        """Moves to the first of needles (returned), or to the end of the data (None)."""
        reader = self.reader
        while True:
            data = reader.window.data
            found = [(data.find(n, reader.pos), n) for n in needles]
            found = [(at, n) for at, n in found if at >= 0]
            if found:
                reader.pos, needle = min(found)
                return needle
            reader.pos = len(data)
            if not self._available(1):
                return None

    def _take(self, count):
        self.reader.pos += count

    def run(self):
        """Reads to the end of the record; the problem found on the way, if any."""
        while self.state != "end":
            getattr(self, "_" + self.state)()
        self.reader.newlines += self.reader.window.data.count(b"\n", 0, self.reader.pos)
        return self.problem

    def _next(self, count=1):
        """The next count bytes (fewer where the data ends)."""
        self._available(count)
        return self.reader.window.data[self.reader.pos:self.reader.pos + count]

    def _field(self):
        if self._next() == b'"':
            self._take(1)
            self.state = "quoted"
        else:
            self.state = "unquoted"

    def _unquoted(self):
        found = self._find((b",", b"\n"))
        if found is not None:
            self._take(1)
        self.state = "field" if found == b"," else "end"

    def _quoted(self):
        if self._find((b'"',)) is None:
            self.problem, self.state = NOT_CLOSED, "end"
            return
        self._take(1)
        if self._next() == b'"':
            self._take(1)
            return
        self.state = "after_quote"

    def _after_quote(self):
        following = self._next()
        if following == b"":
            self.state = "end"
        elif following == b"\n" or self._next(2) == b"\r\n":
            self._take(1 if following == b"\n" else 2)
            self.state = "end"
        elif following == b",":
            self._take(1)
            self.state = "field"
        else:
            self.problem = TEXT_AFTER_QUOTE
            self.state = "rest_of_line"

    def _rest_of_line(self):
        if self._find((b"\n",)) is not None:
            self._take(1)
        self.state = "end"
