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
    "rulecalc_warning_count": (ctypes.c_size_t, [_HANDLE]),
    "rulecalc_warning": (ctypes.c_char_p, [_HANDLE, ctypes.c_size_t, ctypes.POINTER(ctypes.c_int32), _LENGTH]),
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
def _cycle_functions():
    """The functions of one evaluation, declared for the loop that passes ready
    ctypes values (c_void_p handle, bytes, int): without argument conversion a
    call costs about half as much. Only the analysis, the one step that takes
    long, lets go of the GIL; the short steps keep it, since handing the GIL
    to another thread and back costs more than they do."""
    releasing, keeping = functions(), ctypes.PyDLL(library_path())
    found = []
    for name in ("rulecalc_clear", "rulecalc_set_variable", "rulecalc_set_sentence",
                 "rulecalc_analyse", "rulecalc_run", "rulecalc_runtime_error"):
        function = (releasing if name == "rulecalc_analyse" else keeping)[name]
        function.restype = _SIGNATURES[name][0]
        found.append(function)
    return tuple(found)


class AnalysisFailed(Exception):
    """A row of Handle.cycle did not analyse: its index, its triples and the analyser's message."""

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

    def cycle(self, sentence: bytes, rows):
        """(status, run-time text) for each row of (name, value, type code) triples:
        per row a cleared calculator, the variables, the sentence, analysis and run.
        Stops at the first row that does not analyse: AnalysisFailed."""
        self.checked()
        pointer = self.as_argument
        clear, set_variable, set_sentence, analyse, run, runtime_text = _cycle_functions()
        answers = []
        for row in rows:
            clear(pointer)
            for name, value, type_code in row:
                set_variable(pointer, name, value, type_code)
            set_sentence(pointer, sentence)
            if not analyse(pointer):
                raise AnalysisFailed(len(answers), row, self.lib.rulecalc_analyse_error(self.pointer, None))
            status = run(pointer)
            answers.append((status, runtime_text(pointer, None) if status else b""))
        return answers

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

    def warnings(self) -> List[Tuple[bytes, int]]:
        """(message, byte position) of each warning of the last successful analysis."""
        pointer = self.checked()
        position = ctypes.c_int32()
        found = []
        for index in range(self.lib.rulecalc_warning_count(pointer)):
            message = self.lib.rulecalc_warning(pointer, index, ctypes.byref(position), None)
            found.append((message or b"", position.value))
        return found

    def configure(self, date_order: Optional[int], date_separator: Optional[bytes], current_year: Optional[int]):
        """Applies the settings that are not None; False when the library refused one."""
        pointer = self.checked()
        answers = []
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
