"""The data files of a batch: a file, a glob or a folder of CSV files, and their headers."""

import glob
import os

from .columns import columns_of_header
from .problems import UsageError
from .records import ByteWindow, RecordReader


def data_paths(data):
    """The files that --data names, in name order: a file, the *.csv files of a folder, or a glob."""
    if os.path.isdir(data):
        paths = sorted(os.path.join(data, name) for name in os.listdir(data) if name.lower().endswith(".csv"))
        if not paths:
            raise UsageError("the folder '%s' holds no .csv files" % data)
        return paths
    if os.path.exists(data) or not glob.has_magic(data):
        return [data]
    paths = sorted(p for p in glob.glob(data) if os.path.isfile(p))
    if not paths:
        raise UsageError("no data file matches '%s'" % data)
    return paths


def read_header(path, encoding):
    """(columns, offset of the first data byte, line breaks before it) of a data file."""
    try:
        with open(path, "rb") as file:
            reader = RecordReader(ByteWindow(file, 0), os.fstat(file.fileno()).st_size)
            header = next(iter(reader), None)
            if header is None:
                raise UsageError("the data file '%s' has no header row" % path)
            return columns_of_header(header, encoding, path), reader.end, reader.newlines
    except OSError:
        raise UsageError("cannot read the data file '%s'" % path) from None


def same_columns(first, other, path):
    """Refuses a file whose header differs from the first file's."""
    if [(c.name, c.declared) for c in first] != [(c.name, c.declared) for c in other]:
        raise UsageError("the header of '%s' differs from the header of the first data file" % path)
