"""One independent calculator of the shared library, reached through its handle functions.

The handle functions use the C calling convention on every platform, so they
are loaded with ctypes.CDLL even where the ten flat exports use another one.
ctypes releases the GIL around each call: handles used on different threads
run in parallel.
"""

import ctypes
import functools
import threading
import weakref
from typing import List, Optional, Tuple

from ._library import library_path

_HANDLE = ctypes.c_void_p
_LENGTH = ctypes.POINTER(ctypes.c_size_t)

# name: (result type, argument types)
_SIGNATURES = {
    "rulecalc_version": (ctypes.c_char_p, []),
    "rulecalc_open": (_HANDLE, []),
    "rulecalc_close": (None, [_HANDLE]),
    "rulecalc_set_sentence": (None, [_HANDLE, ctypes.c_char_p]),
    "rulecalc_varnames": (ctypes.c_char_p, [_HANDLE, _LENGTH]),
    "rulecalc_clear": (None, [_HANDLE]),
    "rulecalc_set_variable": (None, [_HANDLE, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int32]),
    "rulecalc_analyse": (ctypes.c_int, [_HANDLE]),
    "rulecalc_analyse_error": (ctypes.c_char_p, [_HANDLE, _LENGTH]),
    "rulecalc_run": (ctypes.c_int, [_HANDLE]),
    "rulecalc_runtime_error": (ctypes.c_char_p, [_HANDLE, _LENGTH]),
    "rulecalc_set_date_order": (ctypes.c_int, [_HANDLE, ctypes.c_int]),
    "rulecalc_set_date_separator": (ctypes.c_int, [_HANDLE, ctypes.c_char]),
    "rulecalc_set_current_year": (ctypes.c_int, [_HANDLE, ctypes.c_int]),
    "rulecalc_set_language": (ctypes.c_int, [_HANDLE, ctypes.c_int]),
    "rulecalc_warning_count": (ctypes.c_size_t, [_HANDLE]),
    "rulecalc_warning": (ctypes.c_char_p, [_HANDLE, ctypes.c_size_t, ctypes.POINTER(ctypes.c_int32), _LENGTH]),
    # The arrays go as addresses (ctypes arrays or numpy buffers).
    "rulecalc_run_rows": (ctypes.c_int, [_HANDLE, ctypes.c_size_t, ctypes.c_size_t, ctypes.c_void_p,
                                         ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p]),
    "rulecalc_row_text": (ctypes.c_char_p, [_HANDLE, ctypes.c_size_t, _LENGTH]),
    "rulecalc_failed_clause_count": (ctypes.c_size_t, [_HANDLE]),
    "rulecalc_failed_clause": (ctypes.c_int, [_HANDLE, ctypes.c_size_t, _LENGTH, _LENGTH, _LENGTH, _LENGTH]),
}

# The values rulecalc_run returns.
HELD, FAILED, RUNTIME_ERROR = 0, 1, 2

_loaded = None
_loading = threading.Lock()


def functions():
    """The library with the handle functions declared, loaded on first use."""
    global _loaded
    with _loading:
        if _loaded is None:
            library = ctypes.CDLL(library_path())
            for name, (result, arguments) in _SIGNATURES.items():
                function = getattr(library, name)
                function.restype, function.argtypes = result, arguments
            _loaded = library
        return _loaded


@functools.lru_cache(maxsize=None)
def _row_functions():
    """rulecalc_set_variable, rulecalc_run and rulecalc_runtime_error for the loop
    over rows, declared for ready ctypes values (c_void_p handle, bytes, int):
    without argument conversion a call costs about half as much. They keep the
    GIL: handing it to another thread and back costs more than they take."""
    keeping = ctypes.PyDLL(library_path())
    found = []
    for name in ("rulecalc_set_variable", "rulecalc_run", "rulecalc_runtime_error"):
        function = keeping[name]
        function.restype = _SIGNATURES[name][0]
        found.append(function)
    return tuple(found)


def failed_clauses(pointer, explanation: bytes) -> List[Tuple[bytes, List[bytes]]]:
    """(text, variable names) of each failed clause of the last run's explanation,
    as the library made it (not found by splitting the text)."""
    lib = functions()
    spans = [ctypes.c_size_t() for _ in range(4)]
    found = []
    for index in range(lib.rulecalc_failed_clause_count(pointer)):
        if lib.rulecalc_failed_clause(pointer, index, *(ctypes.byref(span) for span in spans)) != 0:
            break
        text_start, text_length, names_start, names_length = (span.value for span in spans)
        names = explanation[names_start:names_start + names_length]
        found.append((explanation[text_start:text_start + text_length], names.split(b",") if names else []))
    return found


def run_rows(rows, analysed_for, with_clauses: bool = False):
    """(status, run-time text) for each row of (name, value, type code) triples,
    and with_clauses the failed clauses (see failed_clauses) as a third item.

    analysed_for(index, row, signature) gives the ctypes handle (Handle.as_argument)
    analysed for the row's signature, the tuple of its (name, type code) pairs;
    per row the variables are replaced and the code run, each run from a clean
    machine."""
    set_variable, run, runtime_text = _row_functions()
    answers = []
    last_signature, pointer = None, None
    for row in rows:
        row = tuple(row)
        signature = tuple((name, type_code) for name, _, type_code in row)
        if signature != last_signature:
            pointer, last_signature = analysed_for(len(answers), row, signature), signature
        for name, value, type_code in row:
            set_variable(pointer, name, value, type_code)
        status = run(pointer)
        text = runtime_text(pointer, None) if status else b""
        if not with_clauses:
            answers.append((status, text))
        else:
            answers.append((status, text, failed_clauses(pointer, text) if status == FAILED else []))
    return answers


class AnalysisFailed(Exception):
    """A row did not analyse: its index, its triples and the analyser's message."""

    def __init__(self, index: int, row, message: bytes):
        super().__init__(index, row, message)
        self.index, self.row, self.message = index, row, message


class Handle:
    """Owns one calculator: closed by close(), by a with block, or when collected.

    A handle serves one call at a time; its owner serialises the calls.
    """

    def __init__(self):
        self.lib = functions()
        self.pointer = self.lib.rulecalc_open()
        if not self.pointer:
            raise MemoryError("the rulecalc library could not make a calculator")
        self._finalizer = weakref.finalize(self, self.lib.rulecalc_close, self.pointer)
        self.as_argument = ctypes.c_void_p(self.pointer)

    def close(self) -> None:
        """Frees the calculator now; later calls on this handle raise ValueError."""
        self._finalizer()
        self.pointer = self.as_argument = None

    def __enter__(self):
        return self

    def __exit__(self, *exc_info) -> None:
        self.close()

    def checked(self):
        if not self.pointer:
            raise ValueError("the calculator was closed")
        return self.pointer

    def varnames(self, sentence: bytes) -> List[bytes]:
        pointer = self.checked()
        self.lib.rulecalc_set_sentence(pointer, sentence)
        listing = self.lib.rulecalc_varnames(pointer, None)
        return listing.split(b";") if listing else []

    def analyse(self, sentence: bytes, variables) -> Optional[bytes]:
        """Clears the calculator, sets the variables (name, value, type) and the
        sentence and analyses it; None when it compiled, else the analyser's message."""
        pointer = self.checked()
        lib = self.lib
        lib.rulecalc_clear(pointer)
        for name, value, type_code in variables:
            lib.rulecalc_set_variable(pointer, name, value, type_code)
        lib.rulecalc_set_sentence(pointer, sentence)
        if lib.rulecalc_analyse(pointer):
            return None
        return lib.rulecalc_analyse_error(pointer, None)

    def run(self) -> Tuple[int, bytes]:
        """Runs the analysed code: the status and the explanation or run-time error."""
        pointer = self.checked()
        status = self.lib.rulecalc_run(pointer)
        return status, (b"" if status == HELD else self.lib.rulecalc_runtime_error(pointer, None))

    def run_table(self, rows: int, columns: int, names, types, values, statuses) -> int:
        """rulecalc_run_rows: names, types, values (row-major) and statuses are addresses
        of ready arrays. The GIL is released during the call, so handles on other
        threads run at the same time."""
        return self.lib.rulecalc_run_rows(self.checked(), rows, columns, names, types, values, statuses)

    def row_text(self, row: int) -> bytes:
        """The run-time text of a row of the last run_table ("" for a row that held)."""
        return self.lib.rulecalc_row_text(self.checked(), row, None)

    def warnings(self) -> List[Tuple[bytes, int]]:
        """(message, byte position) of each warning of the last successful analysis."""
        pointer = self.checked()
        position = ctypes.c_int32()
        found = []
        for index in range(self.lib.rulecalc_warning_count(pointer)):
            message = self.lib.rulecalc_warning(pointer, index, ctypes.byref(position), None)
            found.append((message or b"", position.value))
        return found

    def configure(self, date_order: Optional[int], date_separator: Optional[bytes], current_year: Optional[int],
                  language: int = 0):
        """Applies the settings that are not None and the language; False when the library refused one."""
        pointer = self.checked()
        answers = [self.lib.rulecalc_set_language(pointer, language)]
        if date_order is not None:
            answers.append(self.lib.rulecalc_set_date_order(pointer, date_order))
        if date_separator is not None:
            answers.append(self.lib.rulecalc_set_date_separator(pointer, date_separator))
        if current_year is not None:
            answers.append(self.lib.rulecalc_set_current_year(pointer, current_year))
        return all(answer == 0 for answer in answers)


def version() -> str:
    """The library's version, e.g. "1.1.0"."""
    return functions().rulecalc_version().decode("ascii")
