"""Python values as the library takes them: a GBK text and a type code.

A variable's type is "number" (numbers and dates) or "text". By default it
follows the value: str is text, everything else a number. A value the library
cannot hold as it is written (a number beyond the range of a double, NaN, an
infinity, a text GBK cannot encode, a text that is not a number for a numeric
variable, a text holding a NUL) raises ValueError naming the variable: nothing turns into the null
number unseen. None is the null: the null number, or the empty text.
"""

import datetime
import decimal
import functools
import math
import re
from typing import Mapping, Optional, Tuple

NUMBER, TEXT = 0, 1
ENCODING = "gbk"

_TYPE_NAMES = {"number": NUMBER, "num": NUMBER, "text": TEXT}
_DATE_ORIGIN = datetime.datetime(1899, 12, 30)
_ONE_DAY = datetime.timedelta(days=1)


def type_code(name: str, declared) -> int:
    """The type code of "number" or "text" (letter case ignored)."""
    code = _TYPE_NAMES.get(str(declared).lower())
    if code is None:
        raise ValueError(f"the type of {name} must be 'number' or 'text', not {declared!r}")
    return code


def folded(name: str) -> str:
    """A variable name as the library compares it: a-z as capitals, nothing else changed."""
    return "".join(chr(ord(c) - 32) if "a" <= c <= "z" else c for c in name)


def declared_types(types: Optional[Mapping[str, str]]) -> dict:
    """{folded name: type code} of a types= mapping."""
    return {folded(name): type_code(name, kind) for name, kind in (types or {}).items()}


def to_gbk(text: str, what: str) -> bytes:
    """The GBK bytes of a text for the library; ValueError naming what for a
    character GBK lacks, or a NUL (the library would end the text there)."""
    try:
        encoded = text.encode(ENCODING)
    except UnicodeEncodeError as error:
        raise ValueError(f"{what} has a character GBK lacks: {text[error.start:error.end]!r}") from None
    if b"\0" in encoded:
        raise ValueError(f"{what} holds a NUL character at position {text.index(chr(0))}, where the library "
                         "would end it")
    return encoded


@functools.lru_cache(maxsize=None)
def decimal_separator() -> str:
    """The decimal separator the library reads numbers with (the process locale's), found by asking it."""
    from ._handle import Handle

    with Handle() as handle:
        if handle.analyse(b"X*4=2;", [(b"X", b"0,5", NUMBER)]) is None:
            status, _ = handle.run()
            return "," if status == 0 else "."
    return "."


def python_value(value):
    """numpy scalars as the Python values they stand for."""
    if type(value).__module__ != "numpy":
        return value
    if type(value).__name__ == "datetime64":
        return value.astype("datetime64[us]").item()
    return value.item()


def _finite(name: str, value, number: float) -> None:
    if not math.isfinite(number):
        raise ValueError(f"the value of {name} is {value!r}, which the library cannot hold as a number")


def day_number(value: datetime.date) -> float:
    """Days since 30 December 1899, the time of day as the fraction (a time zone is ignored)."""
    if not isinstance(value, datetime.datetime):
        value = datetime.datetime(value.year, value.month, value.day)
    return (value.replace(tzinfo=None) - _DATE_ORIGIN) / _ONE_DAY


def own_digits(value) -> str:
    """The digits of an int, float or Decimal by its numeric type, whatever
    str() of a subclass (an int Enum) says."""
    if isinstance(value, float):
        return float.__repr__(value)
    if isinstance(value, decimal.Decimal):
        return decimal.Decimal.__str__(value)
    return int.__repr__(value)


def _number_digits(name: str, value) -> str:
    """A number's text with a point, for a non-str, non-None value."""
    if isinstance(value, bool):
        return "1" if value else "0"
    if isinstance(value, int):
        try:
            float(value)
        except OverflowError:
            raise ValueError(f"the value of {name} is too large for the library's numbers") from None
        return own_digits(value)
    if isinstance(value, float):
        _finite(name, value, value)
        return own_digits(value)
    if isinstance(value, decimal.Decimal):
        _finite(name, value, float(value))
        return own_digits(value)
    if isinstance(value, datetime.date):
        number = day_number(value)
        _finite(name, value, number)
        return repr(number)
    raise TypeError(f"the value of {name} must be str, a number, a date or None, not {type(value).__name__}")


def _number_pattern(separator: str):
    point = re.escape(separator)
    return re.compile(rf" *[+-]?(?:\d+(?:{point}\d*)?|{point}\d+)(?:[eE][+-]?\d+)? *")


def reads_as_number(text: str) -> bool:
    """True when the library reads the text as a number (with its decimal separator)."""
    return bool(_number_pattern(decimal_separator()).fullmatch(text))


def _text_as_number(name: str, value: str) -> bytes:
    separator = decimal_separator()
    if value and not reads_as_number(value):
        raise ValueError(f"the value of {name} is {value!r}, which is not a number")
    if value:
        _finite(name, value, float(value.replace(separator, ".")))
    return value.encode("ascii")


def number_text(name: str, value) -> bytes:
    """The library's text of a numeric variable's value."""
    digits = _number_digits(name, value)
    separator = decimal_separator()
    return (digits if separator == "." else digits.replace(".", separator)).encode("ascii")


def convert(name: str, value, declared: Optional[int] = None) -> Tuple[bytes, int]:
    """The value text and type code of one variable; declared overrides the value's own type."""
    value = python_value(value)
    kind = declared if declared is not None else (TEXT if isinstance(value, str) else NUMBER)
    if value is None:
        return b"", kind
    if isinstance(value, str):
        return (to_gbk(value, f"the value of {name}") if kind == TEXT else _text_as_number(name, value)), kind
    if kind == TEXT:
        if isinstance(value, datetime.date):
            raise TypeError(f"the value of {name} is a date, which a text variable cannot take")
        return _number_digits(name, value).encode("ascii"), kind
    return number_text(name, value), kind
