"""Progress of the evaluation on standard error, block by block as the tasks finish."""

import sys


class Progress:
    """On a terminal one line rewritten in place; with lines=True (standard
    error is not a terminal) one line per finished block."""

    def __init__(self, enabled, lines=False, stream=None):
        self.stream = stream or sys.stderr
        self.enabled = enabled
        self.lines = lines
        self.shown = False

    def __call__(self, done, total):
        if not self.enabled:
            return
        text = "rulecalc-dask: evaluating: %d of %d blocks done" % (done, total)
        if self.lines:
            self.stream.write(text + "\n")
        else:
            self.stream.write("\r" + text + "\033[K")
            self.shown = True
        self.stream.flush()

    def clear(self):
        if self.shown:
            self.stream.write("\r\033[K")
            self.stream.flush()
            self.shown = False
