"""Where the report goes: standard output, one file, or a folder of parts."""

import glob
import os
import stat
import sys
import tempfile

from .problems import UsageError, report_error


def _same_file(one, other):
    try:
        return os.path.samefile(one, other)
    except OSError:
        return False


def refuse_overwriting(output, inputs):
    """A report may not replace an input, through any path or link: (what, path) pairs."""
    for what, path in inputs:
        if output and _same_file(output, path):
            raise UsageError("the output '%s' is %s '%s' (the same file); choose another output, nothing was "
                             "written" % (output, what, path))


def _is_special(path):
    """True for a device, a pipe or a socket: written in place, as a rename
    would replace the special file itself."""
    try:
        return not stat.S_ISREG(os.stat(path).st_mode)
    except OSError:
        return False


def _mode_for(target):
    """The mode of the file the report replaces, else that of a new file."""
    try:
        return stat.S_IMODE(os.stat(target).st_mode)
    except OSError:
        umask = os.umask(0)
        os.umask(umask)
        return 0o666 & ~umask


class ReportFile:
    """The report's destination: standard output; a file, written beside its
    place and renamed into it when complete (through a link, the file it
    points to); a device, pipe or socket, written in place; or a folder (an
    existing one, or a path ending in a separator) of parts that the workers
    write."""

    def __init__(self, output):
        self.output = output
        self.folder = bool(output) and (output.endswith(os.sep) or os.path.isdir(output))
        self.in_place = bool(output) and not self.folder and _is_special(output)
        self.target = output if self.in_place or not output else os.path.realpath(output)
        self.file = None

    def open(self, parts, heading):
        """Starts the report; returns the paths of the parts for a folder, else None."""
        try:
            return self._open(parts, heading)
        except OSError as error:
            raise report_error(self.output, error, not self.in_place) from None

    def _open(self, parts, heading):
        if self.folder:
            os.makedirs(self.output, exist_ok=True)
            for stale in glob.glob(os.path.join(self.output, "part-*.csv")):
                os.remove(stale)
            return [os.path.abspath(os.path.join(self.output, "part-%05d.csv" % i)) for i in range(parts)]
        if self.in_place:
            self.file = open(self.target, "wb")
        elif self.output:
            folder = os.path.dirname(self.target)
            self.file = tempfile.NamedTemporaryFile(dir=folder, prefix=".rulecalc-dask-", delete=False)
        else:
            self.file = sys.stdout.buffer
        self.file.write(heading)
        return None

    def write(self, report):
        try:
            if self.file is not None:
                self.file.write(report)
        except OSError as error:
            raise report_error(self.output, error, not self.in_place) from None

    def finish(self):
        try:
            self._finish()
        except OSError as error:
            raise report_error(self.output, error, not self.in_place) from None

    def _finish(self):
        if self.folder:
            for temporary in glob.glob(os.path.join(self.output, "part-*.csv.tmp-*")):
                os.remove(temporary)
        elif self.in_place:
            self.file.close()
        elif self.output:
            self.file.close()
            os.chmod(self.file.name, _mode_for(self.target))
            os.replace(self.file.name, self.target)
        else:
            self.file.flush()

    def abandon(self):
        """Leaves the previous report as it was (a special file keeps what reached it)."""
        if self.file is None or not self.output or self.folder:
            return
        try:
            self.file.close()
        except OSError:
            pass  # what could not be written is reported already
        if not self.in_place:
            os.remove(self.file.name)
