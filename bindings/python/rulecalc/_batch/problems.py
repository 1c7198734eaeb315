"""Errors of a batch run that stop it before any row is evaluated."""


class UsageError(Exception):
    """Bad arguments or an unusable rules or data file (exit status 64)."""


class ReportError(Exception):
    """The report could not be written (exit status 74); the previous one is left as it was."""


def report_error(path, error, replaced=True):
    """replaced: the report was to replace a file, which is left as it was."""
    if not path:
        return ReportError("cannot write the report to standard output: %s" % (error.strerror or error))
    kept = "; the previous report is left as it was" if replaced else ""
    return ReportError("cannot write the report '%s': %s%s" % (path, error.strerror or error, kept))
