"""The data files --data names: a file, a glob or a folder of CSV files."""

import glob
import os

from .problems import UsageError


def data_paths(data):
    """The files that --data names, in name order: a file, the *.csv files of a folder, or a glob."""
    if data == "-":
        raise UsageError("--data: the workers cannot read standard input ('-'); save the data to a file they can open")
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
