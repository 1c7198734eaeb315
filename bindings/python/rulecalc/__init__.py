"""Evaluate sentences of the rule language from Python.

    >>> import rulecalc
    >>> held, why = rulecalc.evaluate("IF AGE>=18 THEN SCORE>=60;", AGE=20, SCORE=50)
    >>> why
    'SCORE::IF AGE>=18 成立则 SCORE>=60'

The package carries the rulecalc shared library; see rulecalc._library for
where it looks when it does not.
"""

from . import _legacy
from ._legacy import *  # noqa: F401,F403  (evaluate, check, the listings, the errors, Result, Value)
from ._library import library_path, load_library
from ._version import __version__

__all__ = sorted({*_legacy.__all__, "library_path", "load_library", "__version__"})
