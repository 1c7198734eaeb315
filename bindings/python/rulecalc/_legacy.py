"""Evaluate sentences of the rule language from Python.

A thin layer over the rulecalc shared library (through the package's
extension module), with nothing else from outside the standard library::

    >>> import rulecalc
    >>> held, why = rulecalc.evaluate("IF AGE>=18 THEN SCORE>=60;", AGE=20, SCORE=50)
    >>> held
    False
    >>> why
    'SCORE::IF AGE>=18 成立则 SCORE>=60'

Variables take their type from their Python values: int, float, Decimal and
bool are numbers, str is text, None is the null number, and datetime.date or
datetime.datetime is a date (a number that counts days from 30 December 1899).
Texts cross into the library as GBK and come back decoded from it.

The library keeps one global state (one sentence, one variable table, one
result buffer), so it can work on one call at a time. Every function here
holds a module-wide lock while it uses the library; threads may call them
freely but run one after another. Code that calls the library's exports by
other means in the same process must not run at the same time.

The library is the one inside this package, else the one the RULECALC_LIBRARY
environment variable names, else one built in the source tree (build*/src),
else the system's librulecalc.so.1 (see rulecalc._library).
"""

import datetime
import decimal
import math
import threading
from typing import Dict, List, NamedTuple, Optional, Tuple, Union

from ._library import library_path, load_library
from .values import own_digits, python_value, to_gbk

# What a variable may be given as.
Value = Union[str, int, float, decimal.Decimal, bool, datetime.date, datetime.datetime, None]

__all__ = [
    "AnalysisError",
    "Result",
    "RulecalcError",
    "RunError",
    "Value",
    "check",
    "evaluate",
    "library_path",
    "numbers",
    "tokens",
    "varnames",
]

_ENCODING = "gbk"
_NUMBER, _TEXT = 0, 1
_DATE_ORIGIN = datetime.datetime(1899, 12, 30)

# The run-time texts that are errors rather than explanations of a false result.
_STACK_ERRORS = (
    "虚拟机运行时发生浮点数堆栈溢出错误!".encode(_ENCODING),
    "虚拟机运行时发生字符串堆栈溢出错误!".encode(_ENCODING),
)
_NO_VALUE_PREFIX = "虚拟机运行时错误,变量".encode(_ENCODING)
_NO_VALUE_SUFFIX = "无初始值!".encode(_ENCODING)


class RulecalcError(Exception):
    """Base of the errors the library reports."""

    def __init__(self, message: str, sentence: str):
        super().__init__(message)
        self.message = message
        self.sentence = sentence


class AnalysisError(RulecalcError):
    """The sentence did not analyse; message is the analyser's (Chinese) text."""


class RunError(RulecalcError):
    """The run stopped: a stack overflow or a variable without value."""


class Result(NamedTuple):
    """The outcome of a sentence: whether it holds and, when not, why.

    It unpacks as (held, explanation) and is true exactly when the sentence holds.
    """

    held: bool
    explanation: str

    def __bool__(self) -> bool:
        return self.held


# ---------------------------------------------------------------- the library


_lock = threading.RLock()
_decimal_separator: Optional[str] = None


def _lib():
    """The loaded library, loaded on first use."""
    return load_library()


# ------------------------------------------------------------------ texts


def _to_gbk(text: str, what: str) -> bytes:
    if not isinstance(text, str):
        raise TypeError(f"{what} must be str, not {type(text).__name__}")
    return to_gbk(text, what)


def _from_gbk(data: Optional[bytes]) -> str:
    # A text cut at the end of the library's buffer may end inside a character.
    return (data or b"").decode(_ENCODING, errors="replace")


# -------------------------------------------------------------- variables


def _library_decimal_separator() -> str:
    """The decimal separator the library reads numbers with (the locale's), found by asking it."""
    global _decimal_separator
    if _decimal_separator is None:
        lib = _lib()
        lib.ClearMemory()
        lib.SetVarValue(b"X", b"0,5", _NUMBER)
        lib.SetSentence(b"X*4=2;")
        _decimal_separator = "," if lib.Analyse() and lib.Run() else "."
    return _decimal_separator


def _number_text(value: Union[int, float, decimal.Decimal]) -> str:
    if isinstance(value, bool):
        return "1" if value else "0"
    if isinstance(value, float) and not math.isfinite(value):
        raise ValueError(f"{value!r} is not a number the library can hold")
    return own_digits(value).replace(".", _library_decimal_separator())


def _date_number(value: Union[datetime.date, datetime.datetime]) -> str:
    if not isinstance(value, datetime.datetime):
        value = datetime.datetime(value.year, value.month, value.day)
    days = (value.replace(tzinfo=None) - _DATE_ORIGIN) / datetime.timedelta(days=1)
    return _number_text(float(days))


def _typed_value(name: str, value: Value) -> Tuple[bytes, int]:
    """The library's value text and type code for a Python value."""
    value = python_value(value)
    if value is None:
        return b"", _NUMBER
    if isinstance(value, str):
        return _to_gbk(value, f"the value of {name}"), _TEXT
    if isinstance(value, (datetime.date, datetime.datetime)):
        return _date_number(value).encode("ascii"), _NUMBER
    if isinstance(value, (bool, int, float, decimal.Decimal)):
        return _number_text(value).encode("ascii"), _NUMBER
    raise TypeError(f"the value of {name} must be str, a number, a date or None, not {type(value).__name__}")


def _set_variables(lib, variables: Dict[str, Value]) -> None:
    for name, value in variables.items():
        text, type_code = _typed_value(name, value)
        lib.SetVarValue(_to_gbk(name, "a variable name"), text, type_code)


# --------------------------------------------------------------- the calls


def _analyse(lib, sentence: str, variables: Dict[str, Value]) -> None:
    """Clears the library, sets the variables and the sentence, and analyses it."""
    lib.ClearMemory()
    _set_variables(lib, variables)
    lib.SetSentence(_to_gbk(sentence, "the sentence"))
    if not lib.Analyse():
        raise AnalysisError(_from_gbk(lib.GetAnalyseError()), sentence)


def _is_run_error(text: bytes) -> bool:
    return text in _STACK_ERRORS or (text.startswith(_NO_VALUE_PREFIX) and text.endswith(_NO_VALUE_SUFFIX))


def evaluate(sentence: str, **variables: Value) -> Result:
    """Analyses and runs the sentence with the given variables.

    Returns Result(held, explanation); the explanation names the failed clause
    and its variables and is empty when the sentence holds. Raises
    AnalysisError when the sentence does not analyse and RunError when the
    run stops; ValueError for text GBK cannot hold.
    """
    with _lock:
        lib = _lib()
        _library_decimal_separator()
        _analyse(lib, sentence, variables)
        if lib.Run():
            return Result(True, "")
        text = lib.GetRuntimeError() or b""
        if _is_run_error(text):
            raise RunError(_from_gbk(text), sentence)
        return Result(False, _from_gbk(text))


def check(sentence: str, **variables: Value) -> None:
    """Analyses the sentence without running it; raises AnalysisError when it does not analyse."""
    with _lock:
        lib = _lib()
        _library_decimal_separator()
        _analyse(lib, sentence, variables)


def _listing(sentence: str, getter_name: str) -> str:
    with _lock:
        lib = _lib()
        lib.SetSentence(_to_gbk(sentence, "the sentence"))
        return _from_gbk(getattr(lib, getter_name)())


def _split_terminated(listing: str) -> List[str]:
    """Items each followed by ";": a token has at least one character, and a
    string literal runs to its closing quote (it may hold ";")."""
    items, start = [], 0
    while start < len(listing):
        search_from = start + 1
        if listing[start] == '"':
            closing = listing.find('"', start + 1)
            if closing != -1:
                search_from = closing
        end = listing.find(";", search_from)
        end = len(listing) if end == -1 else end
        items.append(listing[start:end])
        start = end + 1
    return items


def tokens(sentence: str) -> List[str]:
    """Every token of the sentence, white space after a token left out."""
    return _split_terminated(_listing(sentence, "GetTokens"))


def numbers(sentence: str) -> List[str]:
    """The number literals of the sentence, as written, repeats included."""
    return _split_terminated(_listing(sentence, "GetNumbers"))


def varnames(sentence: str) -> List[str]:
    """The distinct variable names, as first written (letter case does not make a new name)."""
    listing = _listing(sentence, "GetVarnames")
    return listing.split(";") if listing else []
