"""The batch engine (librulecalc_batch) through ctypes.

A Batch is one engine handle: options, the rules file, the data files, and
the block protocol (plan, scan, fold_scans, prepare, block, evaluate, then
heading, take and finish in file order). Every call is one native call, made
without the GIL, so the threads of a process evaluate blocks side by side on
handles of their own (a handle is used by one thread at a time).

Texts come back as the engine's bytes, in its output encoding (UTF-8 unless
the "output-encoding" option says otherwise).
"""

import ctypes
import os
from ctypes import POINTER, byref, c_char_p, c_int, c_size_t, c_uint64, c_void_p

from ._library import load_batch_library

OK, UNUSABLE, READ_ERROR, OUT_OF_MEMORY, STOPPED, BAD_CALL, CANNOT_RUN = range(7)
NUMBER, TEXT = 0, 1

_handle = c_void_p
_text_out = POINTER(c_void_p)
_size_out = POINTER(c_size_t)
_bytes_out = [_text_out, _size_out]

# name: (result, arguments), without the "rulecalc_batch_" prefix.
_FUNCTIONS = {
    "new": (_handle, []),
    "free": (None, [_handle]),
    "message": (c_void_p, [_handle, _size_out]),
    "set_option": (c_int, [_handle, c_char_p, c_char_p]),
    "read_rules": (c_int, [_handle, c_char_p]),
    "read_rules_text": (c_int, [_handle, c_char_p, c_size_t, c_char_p]),
    "rule_count": (c_size_t, [_handle]),
    "rule": (c_int, [_handle, c_size_t, _text_out, _text_out, _text_out, _size_out]),
    "rules_date_order": (c_char_p, [_handle]),
    "rules_date_separator": (c_char_p, [_handle]),
    "rules_language": (c_char_p, [_handle]),
    "add_data": (c_int, [_handle, c_char_p]),
    "file_count": (c_size_t, [_handle]),
    "file": (c_int, [_handle, c_size_t, _text_out, _text_out, POINTER(c_uint64), POINTER(c_uint64)]),
    "column_count": (c_size_t, [_handle]),
    "column": (c_int, [_handle, c_size_t, _text_out, POINTER(c_int), POINTER(c_int), _text_out]),
    "plan": (c_int, [_handle] + _bytes_out),
    "from_plan": (_handle, [c_char_p, c_size_t]),
    "scan": (c_int, [_handle, c_size_t, c_uint64, c_uint64] + _bytes_out),
    "fold_scans": (c_int, [_handle, c_size_t, POINTER(c_char_p), POINTER(c_size_t)]),
    "prepare": (c_int, [_handle]),
    "block_count": (c_size_t, [_handle]),
    "block": (c_int, [_handle, c_size_t] + _bytes_out),
    "evaluate": (c_int, [_handle, c_char_p, c_size_t] + _bytes_out),
    "heading": (c_int, [_handle] + _bytes_out),
    "take": (c_int, [_handle, c_char_p, c_size_t] + _bytes_out),
    "finish": (c_int, [_handle] + _bytes_out),
    "failed_rows_heading": (c_int, [_handle] + _bytes_out),
    "failed_rows_taken": (c_int, [_handle] + _bytes_out),
    "notes": (c_int, [_handle] + _bytes_out),
    "diagnostic_count": (c_size_t, [_handle]),
    "diagnostic": (c_void_p, [_handle, c_size_t, _size_out]),
    "clear_diagnostics": (None, [_handle]),
    "summary_text": (c_void_p, [_handle, _size_out]),
    "exit_status": (c_int, [_handle]),
}


def _declare(library):
    for name, (result, arguments) in _FUNCTIONS.items():
        function = getattr(library, "rulecalc_batch_" + name)
        function.restype, function.argtypes = result, arguments
    return library


def _native():
    return load_batch_library(_declare)


def _text(address, length):
    return ctypes.string_at(address, length) if address and length else b""


def _c_text(address):
    return ctypes.string_at(address) if address else b""


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
        self._native = _native()
        self.encoding = "utf-8"
        made = self._call("new") if plan is None else self._call("from_plan", plan, len(plan))
        if not made:
            raise EngineError(BAD_CALL if plan else OUT_OF_MEMORY,
                              b"not a plan of this library" if plan else b"out of memory")
        self._handle = made

    def __del__(self):
        self.close()

    def close(self):
        if getattr(self, "_handle", None):
            self._call("free", self._handle)
            self._handle = None

    def _call(self, name, *arguments):
        return getattr(self._native, "rulecalc_batch_" + name)(*arguments)

    def _require(self, status):
        if status != OK:
            length = c_size_t()
            message = _text(self._call("message", self._handle, byref(length)), length.value)
            raise EngineError(status, message, self.encoding)

    def _bytes(self, name, *arguments):
        address, length = c_void_p(), c_size_t()
        self._require(self._call(name, self._handle, *arguments, byref(address), byref(length)))
        return _text(address.value, length.value)

    # ---- options, rules, data
    def set_option(self, name, value):
        """value: bytes as given (an argument), or str in the output encoding."""
        written = value if isinstance(value, bytes) else value.encode(self.encoding)
        self._require(self._call("set_option", self._handle, name.encode(), written))
        if name == "output-encoding" and value:
            self.encoding = os.fsdecode(value)

    def read_rules(self, path):
        self._require(self._call("read_rules", self._handle, os.fsencode(path)))

    def read_rules_text(self, text, path):
        self._require(self._call("read_rules_text", self._handle, text, len(text), os.fsencode(path)))

    def rules(self):
        """[(id, description, GBK sentence, line)] of the rules read, ids and descriptions as str."""
        found = []
        for index in range(self._call("rule_count", self._handle)):
            rule_id, description, sentence, line = c_void_p(), c_void_p(), c_void_p(), c_size_t()
            self._call("rule", self._handle, index, byref(rule_id), byref(description), byref(sentence), byref(line))
            found.append((_decoded(_c_text(rule_id.value), self.encoding),
                          _decoded(_c_text(description.value), self.encoding),
                          _c_text(sentence.value), line.value))
        return found

    def rules_date_reading(self):
        """The rules file's date order and separator, "" where it names none."""
        return (self._call("rules_date_order", self._handle).decode(),
                _decoded(self._call("rules_date_separator", self._handle), self.encoding))

    def rules_language(self):
        """The language the rules file's '@language' names, "" where it names none."""
        return self._call("rules_language", self._handle).decode()

    def add_data(self, path):
        self._require(self._call("add_data", self._handle, os.fsencode(path)))

    def files(self):
        """[(path, encoding, data start, size)] of the data files added."""
        found = []
        for index in range(self._call("file_count", self._handle)):
            path, encoding, start, size = c_void_p(), c_void_p(), c_uint64(), c_uint64()
            self._call("file", self._handle, index, byref(path), byref(encoding), byref(start), byref(size))
            found.append((os.fsdecode(_c_text(path.value)), _c_text(encoding.value).decode(),
                          start.value, size.value))
        return found

    def columns(self):
        """[(name, NUMBER or TEXT, declared, date reading)] of the header."""
        found = []
        for index in range(self._call("column_count", self._handle)):
            name, kind, declared, date = c_void_p(), c_int(), c_int(), c_void_p()
            self._call("column", self._handle, index, byref(name), byref(kind), byref(declared), byref(date))
            found.append((_decoded(_c_text(name.value), self.encoding), kind.value, bool(declared.value),
                          _c_text(date.value).decode()))
        return found

    # ---- blocks
    def plan(self):
        return self._bytes("plan")

    def scan(self, file, start, stop):
        return self._bytes("scan", file, start, stop)

    def fold_scans(self, scans):
        count = len(scans)
        self._require(self._call("fold_scans", self._handle, count, (c_char_p * count)(*scans),
                                 (c_size_t * count)(*map(len, scans))))

    def prepare(self):
        self._require(self._call("prepare", self._handle))

    def blocks(self):
        return [self._bytes("block", index) for index in range(self._call("block_count", self._handle))]

    def evaluate(self, block):
        return self._bytes("evaluate", block, len(block))

    def heading(self):
        return self._bytes("heading")

    def take(self, part):
        return self._bytes("take", part, len(part))

    def finish(self):
        return self._bytes("finish")

    def failed_rows_heading(self):
        return self._bytes("failed_rows_heading")

    def failed_rows_taken(self):
        """The failed rows of the part taken last."""
        return self._bytes("failed_rows_taken")

    # ---- after the run
    def diagnostics(self):
        """The diagnostics gathered since the last call (bytes, each ending with a line break)."""
        found = []
        for index in range(self._call("diagnostic_count", self._handle)):
            length = c_size_t()
            found.append(_text(self._call("diagnostic", self._handle, index, byref(length)), length.value))
        self._call("clear_diagnostics", self._handle)
        return found

    def notes(self):
        """The finished run's problems and fallbacks as CSV records."""
        return self._bytes("notes")

    def summary_text(self):
        length = c_size_t()
        return _text(self._call("summary_text", self._handle, byref(length)), length.value)

    def exit_status(self):
        return self._call("exit_status", self._handle)
