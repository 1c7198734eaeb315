"""A sentence analysed once and evaluated against many sets of values, on its own calculator."""

import contextlib
import dataclasses
import enum
import itertools
import operator
import threading
import weakref
from typing import Iterable, List, Mapping, Optional, Tuple

from . import values as _values
from ._handle import FAILED, HELD, AnalysisFailed, Handle, is_handle
from ._library import native
from ._legacy import AnalysisError

# Untyped variables up to this many are tried in every combination of types
# when a sentence is analysed before any value is known.
_MOST_TYPE_COMBINATIONS = 10

_DATE_ORDERS = {"MDY": 0, "DMY": 1, "YMD": 2}

_LANGUAGES = {"classic": 0, "extended": 1}

# Calculators a Rule keeps analysed, one per combination of its variables'
# types (and presence) met in the rows; beyond this many the oldest is closed.
_MOST_ANALYSED = 32

class Status(enum.IntEnum):
    """How a run ended."""

    HELD = 0  # the sentence holds
    FAILED = 1  # it does not: the explanation says why
    ERROR = 2  # a run-time error stopped it


@dataclasses.dataclass(frozen=True)
class Result:
    """The outcome of one evaluation; true exactly when the sentence holds.

    explanation is the library's text when the sentence does not hold (else "");
    clause is the first failed clause in it and variables the names of every
    failed clause; error is the run-time error's message (else "").
    """

    held: bool
    status: Status
    explanation: str = ""
    clause: str = ""
    variables: Tuple[str, ...] = ()
    error: str = ""

    def __bool__(self) -> bool:
        return self.held


@dataclasses.dataclass(frozen=True)
class RuleWarning:
    """A place where the sentence mixes types: message, and the character position in the sentence."""

    message: str
    position: int


@dataclasses.dataclass(frozen=True)
class Settings:
    """A calculator's language and date settings; a date setting of None keeps the platform's.

    date_order: "MDY", "DMY" or "YMD", the order TODATE reads and TOCHAR writes;
    date_separator: one printable character, neither a letter, a digit nor a blank;
    current_year: 1 to 9999, the year TODATE assumes and two-digit years centre on;
    language: "classic" (the default) or "extended", the rule language the sentence is in.
    """

    date_order: Optional[str] = None
    date_separator: Optional[str] = None
    current_year: Optional[int] = None
    language: str = "classic"

    def library_values(self) -> Tuple[Optional[int], Optional[bytes], Optional[int], int]:
        """The date order's code, the separator's byte, the year and the language's code, as the handle takes them."""
        if self.language not in _LANGUAGES:
            raise ValueError(f"language must be one of {', '.join(_LANGUAGES)}, not {self.language!r}")
        order, separator = self.date_order, self.date_separator
        if order is not None and str(order).upper() not in _DATE_ORDERS:
            raise ValueError(f"date_order must be one of {', '.join(_DATE_ORDERS)}, not {order!r}")
        if separator is not None and (not isinstance(separator, str) or len(separator) != 1 or not separator.isascii()):
            raise ValueError(f"date_separator must be one ASCII character, not {separator!r}")
        return (None if order is None else _DATE_ORDERS[str(order).upper()],
                None if separator is None else separator.encode("ascii"), self._year(), _LANGUAGES[self.language])

    def _year(self) -> Optional[int]:
        """current_year as an int of 1 to 9999 (a numpy integer too); TypeError or ValueError otherwise."""
        year = self.current_year
        if year is None:
            return None
        if isinstance(year, bool) or not hasattr(year, "__index__"):
            raise TypeError(f"current_year must be a whole number, not {year!r}")
        if not 1 <= operator.index(year) <= 9999:
            raise ValueError(f"current_year must be 1 to 9999, not {year!r}")
        return operator.index(year)

    @classmethod
    def of(cls, settings) -> "Settings":
        if settings is None or isinstance(settings, cls):
            return settings or cls()
        return cls(**dict(settings))


def with_note(error: Exception, note: str) -> None:
    """Exception.add_note, also before Python 3.11 (where tracebacks do not show it)."""
    if hasattr(error, "add_note"):
        error.add_note(note)
    else:
        error.__notes__ = getattr(error, "__notes__", []) + [note]


def _decoded(text: bytes) -> str:
    return text.decode(_values.ENCODING, errors="replace")


_HOLDS = Result(True, Status.HELD)


def result_of(status: int, text: bytes, clauses=()) -> Result:
    """The Result of a run's status, run-time text and failed clauses ((text,
    names) pairs, GBK): the first clause's text and every clause's variables."""
    if status == HELD:
        return _HOLDS
    message = _decoded(text)
    if status != FAILED:
        return Result(False, Status.ERROR, error=message)
    clause = _decoded(clauses[0][0]).strip() if clauses else message
    names = dict.fromkeys(_decoded(name) for _, clause_names in clauses for name in clause_names)
    return Result(False, Status.FAILED, message, clause, tuple(names))


def _folded_key(row: Mapping, name: str):
    """The row's key that names the variable as the library matches names (a-z as A-Z), or None."""
    wanted = _values.folded(name)
    return next((key for key in row if isinstance(key, str) and _values.folded(key) == wanted), None)


def _analysis_of(rule_reference):
    """The Rule's _analysed_for, reached through a weak reference: the Rule's
    row runner holds it, and must not keep the Rule alive."""
    def analysed_for(index: int, row):
        rule = rule_reference()
        if rule is None:
            raise ValueError("the Rule was collected")
        return rule._analysed_for(index, row)
    return analysed_for


class Rule:
    """One sentence with its own calculator.

    The sentence is analysed when the Rule is made; AnalysisError when it is
    not a sentence for any types of its variables. Variables take their types
    from types= ({"ID": "text"}), else from each value (str is text, the rest
    numbers). The sentence is analysed once for each combination of types the
    rows bring, and each evaluation sets the variables and runs from a clean
    machine, so nothing carries over from the one before. Calls on one Rule
    from several threads take turns; separate Rules run in parallel.
    language= ("classic" or "extended") is the rule language the sentence is
    in, over the settings' own.
    """

    def __init__(self, sentence: str, *, types: Optional[Mapping[str, str]] = None, settings=None,
                 language: Optional[str] = None):
        if not isinstance(sentence, str):
            raise TypeError(f"the sentence must be str, not {type(sentence).__name__}")
        self.sentence = sentence
        self.settings = Settings.of(settings)
        if language is not None:
            self.settings = dataclasses.replace(self.settings, language=language)
        self._gbk = _values.to_gbk(sentence, "the sentence")
        self._declared = _values.declared_types(types)
        self._lock = threading.Lock()
        self._handle = self._configured_handle()
        self._analysed = {}  # signature: analysed calculator, or the AnalysisFailed message
        self._names_gbk = self._handle.varnames(self._gbk)
        self.variables: Tuple[str, ...] = tuple(_decoded(name) for name in self._names_gbk)
        self._kinds = [self._declared.get(_values.folded(name)) for name in self.variables]
        self.warnings: List[RuleWarning] = self._analyse_for_some_types()
        self._runner = native().RowRunner(list(self.variables), self._names_gbk,
                                          [-1 if kind is None else kind for kind in self._kinds],
                                          _values.convert, _folded_key, _analysis_of(weakref.ref(self)), _HOLDS,
                                          result_of)

    def __repr__(self) -> str:
        return f"Rule({self.sentence!r})"

    def __enter__(self):
        return self

    def __exit__(self, *exc_info) -> None:
        self.close()

    def close(self) -> None:
        """Frees the calculator now (it is freed anyway when the Rule is collected)."""
        with self._lock:
            self._handle.close()
            for analysed in self._analysed.values():
                if is_handle(analysed):
                    analysed.close()
            self._analysed.clear()
            self._runner.forget()

    def _configured_handle(self):
        handle = Handle()
        if not handle.configure(*self.settings.library_values()):
            handle.close()
            raise ValueError(f"the library refused the settings {self.settings}")
        return handle

    def _analyse_for_some_types(self) -> List[RuleWarning]:
        """Analyses with the declared types and, for the other variables, the types
        under which the sentence compiles with the fewest warnings (the first such
        choice); AnalysisError with the first message when no choice compiles."""
        first_error, fewest = None, None
        for kinds in self._type_choices():
            error = self._handle.analyse(self._gbk, [(n, b"", k) for n, k in zip(self._names_gbk, kinds)])
            if error is not None:
                first_error = first_error or error
                continue
            found = self._handle.warnings()
            if fewest is None or len(found) < len(fewest):
                fewest = found
            if not fewest:
                break
        if fewest is None:
            raise AnalysisError(_decoded(first_error), self.sentence)
        return [RuleWarning(_decoded(message), self._character_position(place)) for message, place in fewest]

    def _type_choices(self) -> Iterable[List[int]]:
        open_places = [i for i, kind in enumerate(self._kinds) if kind is None]
        yield self._with_types(open_places, [_values.NUMBER] * len(open_places))
        if not open_places:
            return
        yield self._with_types(open_places, [_values.TEXT] * len(open_places))
        if len(open_places) <= _MOST_TYPE_COMBINATIONS:
            for choice in itertools.product((_values.NUMBER, _values.TEXT), repeat=len(open_places)):
                yield self._with_types(open_places, choice)

    def _with_types(self, places, choice) -> List[int]:
        kinds = list(self._kinds)
        for place, kind in zip(places, choice):
            kinds[place] = kind
        return kinds

    def _character_position(self, byte_position: int) -> int:
        return len(self._gbk[:byte_position].decode(_values.ENCODING, errors="replace"))

    def evaluate(self, values: Optional[Mapping] = None, /, **named) -> Result:
        """Evaluates the sentence with the values given as a mapping, as keywords, or both."""
        row = dict(values or {}, **named) if named else (values or {})
        with self._lock:
            try:
                return self._runner.result(row)
            except AnalysisFailed as failed:
                raise self._evaluation_error(failed, numbered=False) from None

    def evaluate_many(self, rows: Iterable[Mapping]) -> List[Result]:
        """Evaluates the sentence once for each mapping of values."""
        with self._lock:
            try:
                return self._runner.run(rows)
            except AnalysisFailed as failed:
                raise self._evaluation_error(failed, numbered=True) from None

    @contextlib.contextmanager
    def analysed(self, names: List[bytes], kinds: List[int]):
        """The calculator analysed for these variables (GBK names, type codes), for the
        caller alone until the with block ends; AnalysisError when the sentence does
        not compile with them."""
        row = tuple((name, b"", kind) for name, kind in zip(names, kinds))
        with self._lock:
            self._handle.checked()
            try:
                analysed = self._analysed_for(0, row)
            except AnalysisFailed as failed:
                raise self._evaluation_error(failed, numbered=False) from None
            yield analysed

    def _analysed_for(self, index: int, row):
        """The calculator analysed with the row's variables ((name, value, type)
        triples); AnalysisFailed when the sentence does not compile with them."""
        self._handle.checked()
        signature = tuple((name, kind) for name, _, kind in row)
        analysed = self._analysed.get(signature)
        if analysed is None:
            if len(self._analysed) >= _MOST_ANALYSED:
                oldest = self._analysed.pop(next(iter(self._analysed)))
                if is_handle(oldest):
                    oldest.close()
            handle = self._configured_handle()
            error = handle.analyse(self._gbk, row)
            if error is not None:
                handle.close()
            analysed = self._analysed[signature] = handle if error is None else error
        if isinstance(analysed, bytes):
            raise AnalysisFailed(index, row, analysed)
        return analysed

    def _evaluation_error(self, failed: AnalysisFailed, numbered: bool) -> AnalysisError:
        """The analysis error of values whose types the sentence does not accept (or a missing one)."""
        error = AnalysisError(_decoded(failed.message), self.sentence)
        row = failed.row if isinstance(failed.row, (list, tuple)) else ()
        kinds = ", ".join(f"{_decoded(name)} as {'text' if kind else 'number'}" for name, _, kind in row)
        where = f"row {failed.index} (counting from 0), " if numbered else ""
        with_note(error, f"{where}with {kinds or 'no variables'}")
        return error
