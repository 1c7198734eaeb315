"""The header of a data file: column names and types, and how values become variables."""

import re
from dataclasses import dataclass
from typing import Optional

from ..values import folded
from .encoding import gbk_value
from .problems import UsageError

NUMBER = "number"
TEXT = "text"
_SUFFIX_TYPES = {"num": NUMBER, "text": TEXT}
_UTF8_BOM = b"\xef\xbb\xbf"
# The library's number syntax with the point as decimal separator: blanks,
# a sign, digits with an optional fraction, an optional exponent, blanks.
_NUMBER = re.compile(r" *[+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eE][+-]?[0-9]+)? *")


@dataclass
class Column:
    name: str                    # as written, without the type suffix
    declared: Optional[str]      # NUMBER or TEXT from a ":num" / ":text" suffix
    type: str = NUMBER           # declared, or inferred from the values


def _trim_blanks(text):
    return text.strip(" \t")


def _typed_column(written):
    name, colon, suffix = written.rpartition(":")
    if not colon:
        name, suffix = written, None
    name = _trim_blanks(name)
    declared = None
    if suffix is not None and _trim_blanks(suffix).lower().startswith("date"):
        raise UsageError("'%s': rulecalc-dask does not read date columns; leave the type out and read the "
                         "dates with TODATE, or use rulecalc batch" % written)
    if suffix is not None:
        declared = _SUFFIX_TYPES.get(_trim_blanks(suffix).lower())
        if declared is None:
            raise UsageError("'%s': the type must be ':num' or ':text'" % written)
    if not name:
        raise UsageError("'%s': the variable name is missing" % written)
    return Column(name, declared, declared or NUMBER)


def _column_at(written, index, where, encoding):
    """The column written in the header's place index; its mistakes say file, line and column."""
    place = "%scolumn %d of the header: " % (where, index + 1)
    gbk, problem = gbk_value(written, encoding)
    if problem is not None:
        raise UsageError(place + "the column name '%s' cannot be converted to GBK at byte %d" % (
            written.decode(encoding, "replace"), problem + 1))
    try:
        return _typed_column(gbk.decode("gbk"))
    except UsageError as error:
        raise UsageError(place + str(error)) from None


def columns_of_header(record, encoding, path):
    """The columns a header record of the file at path names; UsageError when it is unusable."""
    where = "%s:%d: " % (path, record.line + 1)
    if record.problem:
        raise UsageError(where + "the header is malformed: " + record.problem)
    columns = []
    for i, written in enumerate(record.fields):
        if i == 0 and written.startswith(_UTF8_BOM):
            written = written[len(_UTF8_BOM):]
        column = _column_at(written, i, where, encoding)
        if any(folded(c.name) == folded(column.name) for c in columns):
            raise UsageError(where + "the header names the column '%s' twice" % column.name)
        columns.append(column)
    return columns


def reads_as_number(value):
    """Whether bytes read as a number the way the library reads numbers (a
    value too large for a double does not); empty counts, as the null number."""
    if not value:
        return True
    if not value.isascii() or _NUMBER.fullmatch(value.decode("ascii")) is None:
        return False
    return abs(float(value)) != float("inf")


def column_named(columns, name):
    """The place of the column called name (letter case folded as the library folds it)."""
    for i, column in enumerate(columns):
        if folded(column.name) == folded(name):
            return i
    raise UsageError("the data has no column '%s' (its columns: %s)" % (name, ", ".join(c.name for c in columns)))


def all_declared(columns):
    return all(c.declared for c in columns)
