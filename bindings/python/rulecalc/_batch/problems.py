"""Errors of a batch run that stop it before any row is evaluated."""


class UsageError(Exception):
    """Bad arguments or an unusable rules or data file (exit status 64)."""
