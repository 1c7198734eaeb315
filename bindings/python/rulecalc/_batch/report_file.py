"""Where the report goes: standard output, one file, or a folder of parts.

The messages and statuses are the tool's: a report that cannot be started
is a usage error, one that cannot be written an output error, and a report
file is replaced only once the report is complete.
"""

import contextlib
import errno
import glob
import os
import stat
import sys
import tempfile

from .problems import ReportError, UsageError


def _same_file(one, other):
    try:
        return os.path.samefile(one, other)
    except OSError:
        return False


def _same_as_descriptor(path, descriptor):
    """Only a regular file: a terminal, a pipe or /dev/null is never the same as an input."""
    try:
        opened = os.fstat(descriptor)
        return stat.S_ISREG(opened.st_mode) and os.path.samestat(opened, os.stat(path))
    except OSError:
        return False


def refuse_overwriting(output, inputs):
    """A report may not replace an input, through any path or link: (what, path) pairs."""
    for what, path in inputs:
        if output and _same_file(output, path):
            raise UsageError("the output '%s' is %s '%s' (the same file); choose another output, nothing was "
                             "written" % (output, what, path))
        if not output and _same_as_descriptor(path, sys.stdout.fileno()):
            raise UsageError("standard output is %s '%s' (the same file); the report would be written into it: "
                             "redirect it elsewhere or use --output" % (what, path))


def is_folder(output):
    return bool(output) and (output.endswith(os.sep) or os.path.isdir(output))


def _is_special(path):
    """A device, a pipe or a socket: written in place, as a rename would replace the special file itself."""
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
    """Standard output; a file, written beside its place and renamed into it
    when complete (through a link, the file it points to); or a device, pipe
    or socket, written in place. The heading, each part's report and the end
    are written one after another."""

    def __init__(self, output):
        self.output = output
        self.target = os.path.realpath(output) if output else None
        self.in_place = bool(output) and _is_special(self.target)
        self.temporary = None
        self.file = sys.stdout.buffer if not output else self._open()

    def _open(self):
        try:
            if self.in_place:
                return open(self.target, "wb")
            if os.path.isfile(self.target) and not os.stat(self.target).st_mode & stat.S_IWUSR:
                raise UsageError("cannot write the output file '%s': it is read-only; make it writable (chmod u+w) "
                                 "or choose another output, nothing was written" % self.output)
            folder, name = os.path.split(self.target)
            descriptor, self.temporary = tempfile.mkstemp(dir=folder, prefix="." + name + ".")
            return os.fdopen(descriptor, "wb")
        except OSError as error:
            raise UsageError("cannot write the output file '%s': %s" % (self.target, error.strerror)) from None

    def _failed(self, what, error):
        if not self.output:
            if error.errno == errno.EPIPE:
                return ReportError(None)
            return ReportError("%s to standard output: %s" % (what, error.strerror))
        kept = "" if self.in_place else "; '%s' is left as it was" % self.output
        return ReportError("%s to '%s': %s%s" % (what, self.output, error.strerror, kept))

    def add(self, data):
        try:
            self.file.write(data)
        except OSError as error:
            raise self._failed("cannot write the report", error) from None

    start = end = add

    def commit(self):
        try:
            self.file.flush()
            if self.output:
                if self.temporary:
                    os.chmod(self.temporary, _mode_for(self.target))
                self.file.close()
        except OSError as error:
            raise self._failed("cannot write the report", error) from None
        if self.temporary:
            try:
                os.replace(self.temporary, self.target)
            except OSError as error:
                raise self._failed("cannot put the report in place", error) from None
            self.temporary = None

    def abandon(self):
        """Leaves the previous report as it was (a special file keeps what reached it)."""
        if self.output:
            with contextlib.suppress(OSError):
                self.file.close()
        if self.temporary:
            with contextlib.suppress(OSError):
                os.remove(self.temporary)


class ReportFolder:
    """A folder of parts, one per block, part-00000.csv on, each whole with
    the report's heading (the report's end, when it has one, is the last
    part): each written to a temporary name and renamed."""

    def __init__(self, output, extension):
        self.output, self.extension = output, extension
        self.heading, self.parts = b"", 0
        try:
            os.makedirs(output, exist_ok=True)
            for stale in glob.glob(os.path.join(output, "part-*." + extension)):
                os.remove(stale)
        except OSError as error:
            raise UsageError("cannot write the output folder '%s': %s" % (output, error.strerror)) from None

    def start(self, heading):
        self.heading = heading

    def add(self, data):
        path = os.path.join(self.output, "part-%05d.%s" % (self.parts, self.extension))
        temporary = "%s.tmp-%d" % (path, os.getpid())
        try:
            with open(temporary, "wb") as file:
                file.write(self.heading + data)
            os.replace(temporary, path)
        except OSError as error:
            with contextlib.suppress(OSError):
                os.remove(temporary)
            raise ReportError("cannot write the report to '%s': %s" % (path, error.strerror)) from None
        self.parts += 1

    def end(self, data):
        if data:
            self.add(data)

    def commit(self):
        pass

    abandon = commit
