"""Errors of a batch run that stop it."""


class UsageError(Exception):
    """Bad arguments or an unusable file (exit status 64)."""


class ReportError(Exception):
    """The report could not be written (exit status 74)."""
