"""Evaluate sentences of the rule language from Python.

    >>> import rulecalc
    >>> held, why = rulecalc.evaluate("IF AGE>=18 THEN SCORE>=60;", AGE=20, SCORE=50)
    >>> why
    'SCORE::IF AGE>=18 成立则 SCORE>=60'
    >>> rule = rulecalc.Rule("IF AGE>=18 THEN SCORE>=60;")
    >>> rule.evaluate(AGE=20, SCORE=50).clause
    'IF AGE>=18 成立则 SCORE>=60'

evaluate, check and the listings work on the library's one global calculator,
one call at a time; a Rule has a calculator of its own, and rulecalc.frame
evaluates rules over pandas DataFrames.

The package carries the rulecalc shared library; see rulecalc._library for
where it looks when it does not.
"""

from . import frame
from ._legacy import (
    AnalysisError,
    RulecalcError,
    RunError,
    Value,
    check,
    evaluate,
    numbers,
    tokens,
    varnames,
)
from ._library import library_path, load_library
from ._version import __version__
from .rule import Result, Rule, RuleWarning, Settings, Status

__all__ = [
    "AnalysisError",
    "Result",
    "RulecalcError",
    "Rule",
    "RuleWarning",
    "RunError",
    "Settings",
    "Status",
    "Value",
    "__version__",
    "check",
    "evaluate",
    "frame",
    "library_path",
    "load_library",
    "numbers",
    "tokens",
    "varnames",
]
