"""Rules over a pandas DataFrame: one boolean and one explanation column per rule.

    >>> from rulecalc import frame
    >>> frame.evaluate(df, {"adult": "AGE >= 18;"}, key="ID")

pandas is imported on first use, so the rest of the package works without it.
"""

import datetime
import decimal
import os
import warnings
from typing import Dict, List, Mapping, Optional, Tuple, Union

from . import values as _values
from ._engine import Batch, EngineError
from ._library import native
from .rule import Rule, Settings, Status, with_note

EXPLANATION_SUFFIX = "_explanation"
_NULL = b""
# Days from 30 December 1899, the library's day 0, to 1 January 1970.
_DAYS_BEFORE_1970 = 25569


def _pandas():
    import pandas

    return pandas


def read_rules_and_settings(path: str) -> Tuple[Dict[str, str], Settings]:
    """The rules of a rules file as the command-line tool reads it (a rule runs
    from "id:" or 'id "description":' to its ";" and may span lines; "#" starts
    a comment outside texts), with the settings of its "@date-order",
    "@date-separator" and "@language" lines. ValueError has the tool's message (file, line,
    column) for anything the tool would refuse."""
    batch = Batch()
    try:
        batch.read_rules(path)
    except EngineError as error:
        raise ValueError(str(error)) from None
    rules = {rule_id: sentence.decode(_values.ENCODING) for rule_id, _, sentence, _ in batch.rules()}
    order, separator = batch.rules_date_reading()
    return rules, Settings(date_order=order.upper() or None, date_separator=separator or None,
                           language=batch.rules_language() or "classic")


def read_rules(path: str) -> Dict[str, str]:
    """The rules of a rules file as the command-line tool reads it, without its
    settings (see read_rules_and_settings)."""
    return read_rules_and_settings(path)[0]


# The engine reads a header once it has rules: one that names no column.
_NO_RULES = b"header: 1 = 1;\n"
_DATE_FIELDS = {"y": "%Y", "m": "%m", "d": "%d"}


def _header(path: str, encoding: Optional[str], header_row: int, skip_rows: int):
    """The data file's encoding (the given one, else detected as the tool
    detects it) and its columns: (name, declared type or None, date reading)."""
    batch = Batch()
    try:
        if encoding:
            batch.set_option("data-encoding", encoding)
        batch.set_option("header-row", str(header_row))
        batch.set_option("skip-rows", str(skip_rows))
        batch.read_rules_text(_NO_RULES, "")
        batch.add_data(path)
    except EngineError as error:
        raise ValueError(str(error)) from None
    columns = [(name, kind if declared else None, date) for name, kind, declared, date in batch.columns()]
    return batch.files()[0][1], columns


def _dates(series, name: str, reading: str):
    """A :date column as datetime64: by its format ("ymd-": order, then
    separator), else as pandas reads dates; ValueError names a value that is
    not a date."""
    text = series.fillna("").astype(str).str.strip()
    format_ = None if reading == "date" else reading[3].join(_DATE_FIELDS[field] for field in reading[:3])
    dates = _pandas().to_datetime(text.where(text != ""), format=format_, errors="coerce")
    bad = dates.isna() & (text != "")
    if bad.any():
        label = bad.idxmax()
        raise _failure(name, label, f"{name}={text[label]} is not a date")
    return dates


def read_data(path: str, encoding: Optional[str] = None, header_row: int = 1, skip_rows: int = 0, **options):
    """A CSV file read as the tool reads a data file's header: "IDNO:text",
    "AGE:num", "BIRTH:date" or "BIRTH:date(dd.mm.yyyy)" type a column (the
    suffix after the last ':'), and anything else the tool refuses is a
    ValueError with its message. encoding None: detected as the tool detects
    it. Text columns keep their texts as written (an empty one is ""), date
    columns are datetime64, other empty cells are the null. Columns are named
    without the suffix, and by the rules' name where the header gives one
    ("理赔金额=CLAIM_AMOUNT:num" is the column CLAIM_AMOUNT). header_row: the
    line of the header, from 1, the lines before it left out; skip_rows: the
    rows after it that are no data (a row of units), as --header-row and
    --skip-rows; options go to pandas.read_csv."""
    found, columns = _header(path, encoding, header_row, skip_rows)
    python_encoding = "utf-8-sig" if found.upper().replace("_", "-") in ("UTF-8", "UTF8") else found
    names = [name for name, _, _ in columns]
    dtypes = {name: str for name, kind, date in columns if kind == _values.TEXT or date}
    dtypes.update({name: "float64" for name, kind, date in columns if kind == _values.NUMBER and not date})
    others = {name: [""] for name in names if dtypes.get(name) is not str}
    not_data = list(range(header_row - 1)) + list(range(header_row, header_row + skip_rows))
    df = _pandas().read_csv(path, encoding=python_encoding, header=0, names=names, dtype=dtypes,
                            keep_default_na=False, na_values=others, skiprows=not_data, **options)
    for name, _, date in columns:
        if date:
            df[name] = _dates(df[name], name, date)
    return df


# What pandas.api.types.infer_dtype calls columns of Python objects that hold
# only numbers (dates included) and nulls.
_NUMBER_OBJECTS = {"integer", "floating", "mixed-integer-float", "decimal", "boolean", "date", "datetime",
                   "datetime64"}
# Names of non-numbers shown when a column of mixed values is read as text.
_EXAMPLES = 3


def _is_number(value) -> bool:
    value = _values.python_value(value)
    if isinstance(value, str):
        return _values.reads_as_number(value)
    return isinstance(value, (int, float, decimal.Decimal, datetime.date))


def _kind_of_objects(values, name: str) -> str:
    """"number" when the non-null values are all numbers (dates, or numbers in
    str mixed among them, included), else "text": a column of str stays text;
    numbers mixed with other texts are text, with a warning naming those texts."""
    api = _pandas().api.types
    inferred = api.infer_dtype(values, skipna=True)
    if inferred in _NUMBER_OBJECTS:
        return "number"
    if inferred not in ("mixed", "mixed-integer"):
        return "text"
    present = values[~_pandas().isna(values)]
    others = [(label, value) for label, value in present.items() if not _is_number(value)]
    if not others:
        return "number"
    if len(others) < len(present):
        shown = ", ".join(f"row {label!r} {value!r}" for label, value in others[:_EXAMPLES])
        warnings.warn(f"column {name} is read as text because {len(others)} of its {len(present)} values are not "
                      f"numbers: {shown}{' ...' if len(others) > _EXAMPLES else ''}; give its type with types= "
                      "to have them refused by name", RuntimeWarning, stacklevel=4)
    return "text"


def _kind_of_column(series, name: str) -> str:
    api = _pandas().api.types
    dtype = series.dtype
    if isinstance(dtype, _pandas().CategoricalDtype):
        return _kind_of_column(_pandas().Series(dtype.categories), name)
    if api.is_numeric_dtype(dtype) or api.is_bool_dtype(dtype) or api.is_datetime64_any_dtype(dtype):
        return "number"
    return _kind_of_objects(series, name) if dtype == object else "text"


def column_types(df, types: Optional[Mapping[str, str]] = None) -> Dict[str, str]:
    """The type of each column: numbers, booleans and dates are numbers, the rest text;
    a column of Python objects is numbers when every non-null value is a number (a
    categorical column goes by its categories); types= overrides (names folded as
    the library folds them). Columns named by something other than str are left out."""
    declared = {_values.folded(name) for name in (types or {})}
    found = {}
    for name, series in df.items():
        if isinstance(name, str):
            found[name] = "text" if _values.folded(name) in declared else _kind_of_column(series, name)
    by_folded_name = {_values.folded(name): name for name in found}
    for name, kind in (types or {}).items():
        found[by_folded_name.get(_values.folded(name), name)] = kind
    return found


def _failure(column: str, label, message: str) -> ValueError:
    return ValueError(f"column {column}, row {label!r}: {message}")


def _numbers_as_texts(array) -> list:
    """Numbers as the library's texts, without a Python loop per value."""
    import numpy

    texts = array.astype("S")
    separator = _values.decimal_separator()
    if separator != ".":
        texts = numpy.char.replace(texts, b".", separator.encode("ascii"))
    return texts.tolist()


def _float_texts(series, column: str) -> list:
    import numpy

    array = series.to_numpy(dtype="float64")
    missing = numpy.isnan(array)
    infinite = numpy.isinf(array)
    if infinite.any():
        label = series.index[int(numpy.argmax(infinite))]
        raise _failure(column, label, f"{array[infinite][0]} is not a number the library can hold")
    texts = _numbers_as_texts(numpy.where(missing, 0.0, array))
    return [_NULL if gone else text for text, gone in zip(texts, missing.tolist())] if missing.any() else texts


def _day_numbers(series):
    """A datetime64 column as the library's day numbers (float64, NaN for NaT)."""
    import numpy

    if getattr(series.dt, "tz", None) is not None:
        series = series.dt.tz_localize(None)
    stamps = series.to_numpy()
    unit, _ = numpy.datetime_data(stamps.dtype)
    per_day = int(numpy.timedelta64(1, "D") / numpy.timedelta64(1, unit))
    # Whole days and the rest apart, as a date's distance from 1899 overflows int64 nanoseconds.
    ticks = stamps.view("int64")
    days = (ticks // per_day + _DAYS_BEFORE_1970) + (ticks % per_day) / per_day
    days[numpy.isnat(stamps)] = numpy.nan
    return days


def _each_value(series, column: str, kind: int) -> list:
    """One value at a time, for columns of Python objects; NaN, NaT and None are the null."""
    missing = _pandas().isna(series).tolist()
    if kind == _values.TEXT:
        try:
            texts = [_NULL if gone else value.encode(_values.ENCODING) for value, gone in zip(series.tolist(), missing)]
            if not any(b"\0" in text for text in texts):
                return texts
        except (AttributeError, UnicodeEncodeError):
            pass  # not all str, not all GBK, or a NUL: the loop below converts or names the value
    texts = []
    for label, value, gone in zip(series.index, series.tolist(), missing):
        try:
            texts.append(_NULL if gone else _values.convert(column, value, kind)[0])
        except (TypeError, ValueError) as error:
            raise _failure(column, label, str(error)) from None
    return texts


def column_texts(series, column: str, kind: int) -> List[bytes]:
    """The library's value texts of a column that does not go as numbers (see
    _column_numbers): Python objects, or numbers and booleans for a text variable."""
    pandas = _pandas()
    dtype = series.dtype
    if pandas.api.types.is_extension_array_dtype(dtype) or dtype == object:
        return _each_value(series, column, kind)
    if pandas.api.types.is_bool_dtype(dtype):
        return [b"1" if value else b"0" for value in series.tolist()]
    if pandas.api.types.is_integer_dtype(dtype):
        return series.to_numpy().astype("S").tolist()
    if pandas.api.types.is_float_dtype(dtype):
        return _float_texts(series, column)
    return _each_value(series, column, kind)


def _columns_by_name(df) -> Dict[str, str]:
    """{folded name: column}; ValueError for a name given twice, or two names
    that are one variable to the library (a-z folded to A-Z)."""
    if not df.columns.is_unique:
        raise ValueError(f"the DataFrame names the column {df.columns[df.columns.duplicated()][0]!r} twice")
    found = {}
    for name in df.columns:
        if not isinstance(name, str):
            continue
        other = found.setdefault(_values.folded(name), name)
        if other != name:
            raise ValueError(f"the columns {other!r} and {name!r} are one variable to the library "
                             "(it folds a-z to A-Z in names): rename one")
    return found


def _refuse_colliding_results(key, rule_ids) -> None:
    """ValueError when two result columns would have one name (a rule and the
    key, or a rule and another rule's explanation)."""
    taken = {} if key is None else {key: f"the key column {key!r}"}
    for rule_id in rule_ids:
        for name, what in ((rule_id, f"rule {rule_id!r}"), (f"{rule_id}{EXPLANATION_SUFFIX}",
                                                             f"the explanation of rule {rule_id!r}")):
            if name in taken:
                raise ValueError(f"{what} and {taken[name]} would both be the result's column {name!r}")
            taken[name] = what


def _rules_of(rules: Mapping[str, Union[str, Rule]], types: Dict[str, str], settings) -> Dict[str, Rule]:
    if not isinstance(rules, Mapping):
        raise TypeError("rules must be a mapping from rule ids to sentences (or Rules)")
    made = {}
    for rule_id, rule in rules.items():
        try:
            made[rule_id] = rule if isinstance(rule, Rule) else Rule(rule, types=types, settings=settings)
        except Exception as error:
            with_note(error, f"rule {rule_id}")
            raise
    return made


def _pointers(texts: List[bytes]):
    """The texts in one buffer, each followed by a NUL, and the offset of each."""
    import numpy

    lengths = numpy.fromiter(map(len, texts), dtype=numpy.intp, count=len(texts))
    starts = numpy.concatenate(([0], numpy.cumsum(lengths + 1)[:-1])).astype(numpy.intp)
    return numpy.frombuffer(b"\0".join(texts) + b"\0", dtype=numpy.uint8), starts.astype(numpy.int64)


def _column_texts(series, column: str, kind: int):
    """The library's value texts of one column, in one buffer, with their offsets."""
    if kind == _values.TEXT and (series.dtype == object or _pandas().api.types.is_string_dtype(series.dtype)):
        cells = series.to_numpy(dtype=object) if series.dtype == object else series.to_numpy(dtype=object, na_value=None)
        converted = native().gbk_texts(cells)
        if converted is not None:
            return converted
    return _pointers(column_texts(series, column, kind))


def _finite_numbers(array, series, column: str):
    import numpy

    infinite = numpy.isinf(array)
    if infinite.any():
        label = series.index[int(numpy.argmax(infinite))]
        raise _failure(column, label, f"{array[infinite][0]} is not a number the library can hold")
    return array


def _column_numbers(series, column: str):
    """A column of numbers, booleans or dates as float64 (NaN the null); None
    for the other columns, whose values go as texts."""
    import numpy

    api, dtype = _pandas().api.types, series.dtype
    if api.is_datetime64_any_dtype(dtype):
        return _day_numbers(series)
    if isinstance(dtype, _pandas().CategoricalDtype) or not (api.is_numeric_dtype(dtype) or api.is_bool_dtype(dtype)):
        return None
    if api.is_extension_array_dtype(dtype):
        return _finite_numbers(series.to_numpy(dtype="float64", na_value=numpy.nan), series, column)
    return _finite_numbers(numpy.ascontiguousarray(series.to_numpy(), dtype="float64"), series, column)


def _column_spec(name_gbk: bytes, series, column: str, kind: int):
    """(GBK name, type code, numbers or None, text buffer or None, text offsets or None) of one column."""
    if kind == _values.TEXT and _pandas().api.types.is_datetime64_any_dtype(series.dtype):
        raise _failure(column, series.index[0], "a date column cannot be a text variable")
    numbers = _column_numbers(series, column) if kind == _values.NUMBER else None
    if numbers is not None:
        return name_gbk, kind, numbers, None, None
    return (name_gbk, kind, None) + _column_texts(series, column, kind)


def _checked_columns(rule_id, rule: Rule, columns: Dict[str, str], types) -> List[Tuple[str, bytes, int]]:
    """(column, GBK name, type code) of each variable of the rule, the rule
    analysed for those types (AnalysisError, with a note, when it does not compile)."""
    found = []
    for name in rule.variables:
        column = columns.get(_values.folded(name))
        if column is None:
            raise KeyError(f"rule {rule_id} uses {name}, which is not a column")
        found.append((column, _values.to_gbk(name, "a variable name"), _values.type_code(column, types[column])))
    with rule.analysed([name for _, name, _ in found], [kind for _, _, kind in found]):
        pass
    return found


def _verdicts_of_set(df, made: Dict[str, Rule], needed, count: int):
    """Every rule of one set of settings over every row: the statuses (rules x
    rows, numpy uint8) and one explanation array per rule (objects, "" where
    the rule held)."""
    import numpy

    specs, seen = [], set()
    for found in needed.values():
        for column, name_gbk, kind in found:
            if column not in seen:
                seen.add(column)
                specs.append(_column_spec(name_gbk, df[column], column, kind))
    statuses = numpy.zeros((len(made), count), dtype=numpy.uint8)
    explanations = [numpy.full(count, "", dtype=object) for _ in made]
    if count:
        sentences = [(str(index).encode("ascii"), rule._gbk) for index, rule in enumerate(made.values())]
        with next(iter(made.values()))._configured_handle() as settings:
            native().evaluate_table(settings, sentences, specs, count, statuses, explanations)
    return statuses, explanations


def _by_settings(made: Dict[str, Rule]) -> List[Dict[str, Rule]]:
    """The rules in groups of one Settings each (a set's rules share their settings)."""
    groups: Dict[Settings, Dict[str, Rule]] = {}
    for rule_id, rule in made.items():
        groups.setdefault(rule.settings, {})[rule_id] = rule
    return list(groups.values())


def evaluate(df, rules: Union[str, "os.PathLike[str]", Mapping[str, Union[str, Rule]]], key: Optional[str] = None,
             *, types: Optional[Mapping[str, str]] = None, settings=None):
    """Evaluates every rule on every row of df.

    rules maps rule ids to sentences (or Rules), or is the path of a rules
    file (read as read_rules_and_settings reads it; its date settings and
    language apply unless settings is given); each sentence is analysed once.
    The result has df's index, the key column first when key is given, then per
    rule a column named by its id (nullable boolean: True held, False failed, <NA>
    a run-time error) and one named id + "_explanation" (the explanation, the
    run-time error's message, or ""). A variable is the column of its name
    (letter case as the library folds it); NaN, NaT and None are the null.
    """
    pandas = _pandas()
    if isinstance(rules, (str, os.PathLike)):
        rules, from_file = read_rules_and_settings(os.fspath(rules))
        settings = from_file if settings is None else settings
    columns = _columns_by_name(df)
    if isinstance(rules, Mapping):
        _refuse_colliding_results(key, rules)
    all_types = column_types(df, types)
    made = _rules_of(rules, all_types, settings)
    result = pandas.DataFrame(index=df.index)
    if key is not None:
        result[key] = df[key]
    needed = {rule_id: _checked_columns(rule_id, rule, columns, all_types) for rule_id, rule in made.items()}
    verdicts = {}
    for group in _by_settings(made):
        statuses, explanations = _verdicts_of_set(df, group, {rule_id: needed[rule_id] for rule_id in group}, len(df))
        verdicts.update(zip(group, zip(statuses, explanations)))
    for rule_id in made:
        statuses, explanations = verdicts[rule_id]
        result[rule_id] = pandas.arrays.BooleanArray(statuses == Status.HELD, statuses == Status.ERROR)
        result[f"{rule_id}{EXPLANATION_SUFFIX}"] = explanations
    return result
