"""The batch engine (librulecalc_batch) through the extension module.

A Batch is one engine handle: options, the rules file, the data files, and
the block protocol (plan, scan, fold_scans, prepare, block, evaluate, then
heading, take and finish in file order). Every call is one call into the
extension module; those that take time (reading, scanning, preparing,
evaluating blocks, taking parts) run without the GIL, so the threads of a
process evaluate blocks side by side on handles of their own (a handle is
used by one thread at a time).

Texts come back as the engine's bytes, in its output encoding (UTF-8 unless
the "output-encoding" option says otherwise).
"""

import os

from ._library import native

OK, UNUSABLE, READ_ERROR, OUT_OF_MEMORY, STOPPED, BAD_CALL, CANNOT_RUN = range(7)
NUMBER, TEXT = 0, 1


def _decoded(text, encoding):
    """Engine text as str, whatever encoding name iconv took that Python does not know."""
    try:
        return text.decode(encoding, "replace")
    except LookupError:
        return text.decode("utf-8", "replace")


class EngineError(Exception):
    """A call the engine refused: status (UNUSABLE, READ_ERROR, ...) and its one-line message (bytes)."""

    def __init__(self, status, message, encoding="utf-8"):
        super().__init__(status, message, encoding)
        self.status, self.message, self.encoding = status, message, encoding

    def __str__(self):
        return _decoded(self.message, self.encoding)


class Batch:
    """One engine handle: a new one, or one made from a plan (on a worker)."""

    def __init__(self, plan=None):
        self.encoding = "utf-8"
        made = native().Engine.open(plan)
        if made is None:
            raise EngineError(BAD_CALL if plan else OUT_OF_MEMORY,
                              b"not a plan of this library" if plan else b"out of memory")
        self._engine = made

    def __del__(self):
        self.close()

    def close(self):
        if getattr(self, "_engine", None) is not None:
            self._engine.close()
            self._engine = None

    def _require(self, status):
        if status != OK:
            raise EngineError(status, self._engine.message(), self.encoding)

    def _bytes(self, answer):
        status, found = answer
        self._require(status)
        return found

    # ---- options, rules, data
    def set_option(self, name, value):
        """value: bytes as given (an argument), or str in the output encoding."""
        written = value if isinstance(value, bytes) else value.encode(self.encoding)
        self._require(self._engine.set_option(name.encode(), written))
        if name == "output-encoding" and value:
            self.encoding = os.fsdecode(value)

    def read_rules(self, path):
        self._require(self._engine.read_rules(os.fsencode(path)))

    def read_rules_text(self, text, path):
        self._require(self._engine.read_rules_text(text, os.fsencode(path)))

    def rules(self):
        """[(id, description, GBK sentence, line)] of the rules read, ids and descriptions as str."""
        return [(_decoded(rule_id, self.encoding), _decoded(description, self.encoding), sentence, line)
                for rule_id, description, sentence, line in self._engine.rules()]

    def rules_date_reading(self):
        """The rules file's date order and separator, "" where it names none."""
        return (self._engine.rules_date_order().decode(),
                _decoded(self._engine.rules_date_separator(), self.encoding))

    def rules_language(self):
        """The language the rules file's '@language' names, "" where it names none."""
        return self._engine.rules_language().decode()

    def add_data(self, path):
        self._require(self._engine.add_data(os.fsencode(path)))

    def files(self):
        """[(path, encoding, data start, size)] of the data files added."""
        return [(os.fsdecode(path), encoding.decode(), start, size)
                for path, encoding, start, size in self._engine.files()]

    def columns(self):
        """[(name, NUMBER or TEXT, declared, date reading)] of the header."""
        return [(_decoded(name, self.encoding), kind, declared, date.decode())
                for name, kind, declared, date in self._engine.columns()]

    # ---- blocks
    def plan(self):
        return self._bytes(self._engine.plan())

    def scan(self, file, start, stop):
        return self._bytes(self._engine.scan(file, start, stop))

    def fold_scans(self, scans):
        self._require(self._engine.fold_scans(list(scans)))

    def prepare(self):
        self._require(self._engine.prepare())

    def blocks(self):
        return [self._bytes(self._engine.block(index)) for index in range(self._engine.block_count())]

    def evaluate(self, block):
        return self._bytes(self._engine.evaluate(block))

    def heading(self):
        return self._bytes(self._engine.heading())

    def take(self, part):
        return self._bytes(self._engine.take(part))

    def finish(self):
        return self._bytes(self._engine.finish())

    def failed_rows_heading(self):
        return self._bytes(self._engine.failed_rows_heading())

    def failed_rows_taken(self):
        """The failed rows of the part taken last."""
        return self._bytes(self._engine.failed_rows_taken())

    # ---- after the run
    def diagnostics(self):
        """The diagnostics gathered since the last call (bytes, each ending with a line break)."""
        return self._engine.diagnostics()

    def notes(self):
        """The finished run's problems and fallbacks as CSV records."""
        return self._bytes(self._engine.notes())

    def summary_text(self):
        return self._engine.summary_text()

    def exit_status(self):
        return self._engine.exit_status()
