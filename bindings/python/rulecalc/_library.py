"""Finding and loading the rulecalc shared libraries: librulecalc (the
calculator) and librulecalc_batch (the batch engine).

Each library is looked for, in this order:

1. inside this package (an installed package carries its own copies);
2. at the path in an environment variable: RULECALC_LIBRARY for the
   calculator, RULECALC_BATCH_LIBRARY for the batch engine;
3. in a build folder of the source tree (build*/src, build*/src/batch), when
   the package is used straight from a checkout;
4. where the system looks for libraries (librulecalc.so.1,
   librulecalc_batch.so.1, as installed by ``cmake --install`` or the Debian
   package).
"""

import ctypes
import glob
import os
import sys
import threading
from typing import Optional

__all__ = ["library_path", "load_library", "batch_library_path"]

_HERE = os.path.dirname(os.path.abspath(__file__))
_SOURCE_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(_HERE)))


def library_file_name(stem: str = "rulecalc") -> str:
    """The file name of a library on this platform (the one a package carries)."""
    return {"win32": f"{stem}.dll", "darwin": f"lib{stem}.1.dylib"}.get(sys.platform, f"lib{stem}.so.1")


def batch_library_file_name() -> str:
    return library_file_name("rulecalc_batch")


def _find(file_name: str, variable: str, build_folder: str) -> str:
    """The first of: the package's copy, the variable's path, the newest
    source-tree build; else the bare file name (the system's search)."""
    chosen = os.environ.get(variable)
    candidates = [os.path.join(_HERE, file_name)] + ([chosen] if chosen else [])
    if os.path.isfile(os.path.join(_SOURCE_ROOT, "include", "rulecalc.h")):
        built = glob.glob(os.path.join(_SOURCE_ROOT, "build*", build_folder, file_name))
        candidates += sorted(built, key=os.path.getmtime, reverse=True)
    for candidate in candidates:
        if os.path.exists(candidate):
            return candidate
    if chosen:
        raise OSError(f"{variable} names {chosen!r}, which does not exist")
    return file_name


def library_path() -> str:
    """The path of the calculator library this package uses (or would use).

    A bare file name means the system's library search (the dynamic loader's
    path), as nothing was found at a known place.
    """
    return _find(library_file_name(), "RULECALC_LIBRARY", "src")


def batch_library_path() -> str:
    """The path of the batch engine library this package uses (or would use),
    found as library_path finds the calculator's."""
    return _find(batch_library_file_name(), "RULECALC_BATCH_LIBRARY", os.path.join("src", "batch"))


def _declare(library: ctypes.CDLL) -> ctypes.CDLL:
    text_getters = ("GetTokens", "GetNumbers", "GetVarnames", "GetAnalyseError", "GetRuntimeError")
    for name in text_getters:
        getattr(library, name).argtypes = []
        getattr(library, name).restype = ctypes.c_char_p
    library.SetSentence.argtypes = [ctypes.c_char_p]
    library.SetSentence.restype = None
    library.SetVarValue.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int32]
    library.SetVarValue.restype = None
    library.ClearMemory.argtypes = []
    library.ClearMemory.restype = None
    for name in ("Analyse", "Run"):
        getattr(library, name).argtypes = []
        getattr(library, name).restype = ctypes.c_bool
    return library


def _open(path: str, variable: str = "RULECALC_LIBRARY") -> ctypes.CDLL:
    # On 32-bit Windows SetSentence and SetVarValue use the standard calling
    # convention; WinDLL calls every export that way (the others take no arguments).
    try:
        return ctypes.WinDLL(path) if sys.platform == "win32" else ctypes.CDLL(path)  # type: ignore[attr-defined]
    except OSError as error:
        raise OSError(
            f"the rulecalc library could not be loaded from {path!r} ({error}): install the rulecalc "
            f"package with its libraries, install {os.path.basename(path)}, or set {variable} to its path"
        ) from None


_lock = threading.Lock()
_loaded: Optional[ctypes.CDLL] = None


def load_library() -> ctypes.CDLL:
    """The library, with its ten exports declared; loaded once per process, on first use."""
    global _loaded
    with _lock:
        if _loaded is None:
            _loaded = _declare(_open(library_path()))
        return _loaded


_loaded_batch: Optional[ctypes.CDLL] = None


def load_batch_library(declare) -> ctypes.CDLL:
    """The batch engine library, its functions declared by declare(library);
    loaded once per process, on first use."""
    global _loaded_batch
    with _lock:
        if _loaded_batch is None:
            _loaded_batch = declare(_open(batch_library_path(), "RULECALC_BATCH_LIBRARY"))
        return _loaded_batch
