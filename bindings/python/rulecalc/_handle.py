"""One independent calculator of the shared library (rulecalc._native.Calculator).

A calculator serves one call at a time; its owner serialises the calls. Its
analysis and runs release the GIL, so calculators on different threads run in
parallel. close() (or a with block, or collection) frees it; later calls raise
ValueError.
"""

from ._library import native

# The values a run returns.
HELD, FAILED, RUNTIME_ERROR = 0, 1, 2


class AnalysisFailed(Exception):
    """A row did not analyse: its index, its triples and the analyser's message."""

    def __init__(self, index: int, row, message: bytes):
        super().__init__(index, row, message)
        self.index, self.row, self.message = index, row, message


def Handle():  # noqa: N802  (made like a class)
    """A new calculator with the library's default settings."""
    return native().Calculator()


def is_handle(value) -> bool:
    return isinstance(value, native().Calculator)


def version() -> str:
    """The library's version, e.g. "1.1.0"."""
    return native().version()
