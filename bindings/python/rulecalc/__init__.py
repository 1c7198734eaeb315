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

The package carries the rulecalc shared libraries (the calculator and the
batch engine); see rulecalc._library for where it looks when it does not.
"""

from . import _legacy, frame
from ._legacy import *  # noqa: F401,F403  (evaluate, check, the listings, the errors, Value)
from ._library import batch_library_path, library_path, load_library
from ._version import __version__
from .rule import Result, Rule, RuleWarning, Settings, Status

# Result is the Rule's result; evaluate's named tuple stays rulecalc._legacy.Result.
__all__ = sorted({*_legacy.__all__, "batch_library_path", "library_path", "load_library", "__version__",
                  "Rule", "RuleWarning", "Settings", "Status", "frame"})
