"""The header of a data file: column names and types, and how values become variables."""

import re
from dataclasses import dataclass
from typing import List, Optional

from ..values import folded
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
    if suffix is not None:
        declared = _SUFFIX_TYPES.get(_trim_blanks(suffix).lower())
        if declared is None:
            raise UsageError("'%s': the type must be ':num' or ':text'" % written)
    if not name:
        raise UsageError("'%s': the variable name is missing" % written)
    return Column(name, declared, declared or NUMBER)


def columns_of_header(record):
    """The columns a header record names; UsageError when it is unusable."""
    if record.problem:
        raise UsageError("the header of the data file is malformed: " + record.problem)
    columns = []
    for i, written in enumerate(record.fields):
        if i == 0 and written.startswith(_UTF8_BOM):
            written = written[len(_UTF8_BOM):]
        text, problem = to_text(written)
        if problem is not None:
            raise UsageError("the column name '%s' cannot be converted to GBK at byte %d" % (
                written.decode("utf-8", "replace"), problem + 1))
        column = _typed_column(text)
        if any(folded(c.name) == folded(column.name) for c in columns):
            raise UsageError("the header names the column '%s' twice" % column.name)
        columns.append(column)
    return columns


def to_text(value):
    """(text, None) for bytes that are UTF-8 and that GBK can hold, else
    (None, the offset of the first byte that cannot be converted)."""
    try:
        text = value.decode("utf-8")
    except UnicodeDecodeError as bad:
        return None, bad.start
    if not text.isascii():
        try:
            text.encode("gbk")
        except UnicodeEncodeError as bad:
            return None, len(text[:bad.start].encode("utf-8"))
    return text, None


def reads_as_number(value):
    """Whether bytes read as a number the way the library reads numbers (a
    value too large for a double does not); empty counts, as the null number."""
    if not value:
        return True
    if not value.isascii() or _NUMBER.fullmatch(value.decode("ascii")) is None:
        return False
    return abs(float(value)) != float("inf")


def all_declared(columns):
    return all(c.declared for c in columns)
