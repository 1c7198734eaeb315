"""Errors of a batch run that stop it before any row is evaluated."""


class UsageError(Exception):
    """Bad arguments or an unusable rules or data file (exit status 64)."""


class ReportError(Exception):
    """The report could not be written (exit status 74); the previous one is left as it was."""


def report_error(path, error):
    if not path:
        return ReportError("cannot write the report to standard output: %s" % (error.strerror or error))
    return ReportError("cannot write the report '%s': %s; the previous report is left as it was"
                       % (path, error.strerror or error))
