"""Finding and loading the rulecalc shared library.

The library is looked for, in this order:

1. inside this package (an installed package carries its own copy);
2. at the path in the RULECALC_LIBRARY environment variable;
3. in a build folder of the source tree (build*/src), when the package is
   used straight from a checkout;
4. where the system looks for libraries (librulecalc.so.1, as installed by
   ``cmake --install`` or the Debian package).
"""

import ctypes
import glob
import os
import sys
import threading
from typing import List, Optional

__all__ = ["library_path", "load_library"]

_HERE = os.path.dirname(os.path.abspath(__file__))
_SOURCE_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(_HERE)))


def library_file_name() -> str:
    """The file name of the library on this platform (the one a package carries)."""
    return {"win32": "rulecalc.dll", "darwin": "librulecalc.1.dylib"}.get(sys.platform, "librulecalc.so.1")


def _packaged() -> List[str]:
    return [os.path.join(_HERE, library_file_name())]


def _from_environment() -> List[str]:
    chosen = os.environ.get("RULECALC_LIBRARY")
    return [chosen] if chosen else []


def _source_tree_builds() -> List[str]:
    if not os.path.isfile(os.path.join(_SOURCE_ROOT, "include", "rulecalc.h")):
        return []
    built = glob.glob(os.path.join(_SOURCE_ROOT, "build*", "src", library_file_name()))
    return sorted(built, key=os.path.getmtime, reverse=True)


def library_path() -> str:
    """The path of the shared library this package uses (or would use).

    A bare file name means the system's library search (the dynamic loader's
    path), as nothing was found at a known place.
    """
    for candidate in _packaged() + _from_environment() + _source_tree_builds():
        if os.path.exists(candidate):
            return candidate
    environment = _from_environment()
    if environment:
        raise OSError(f"RULECALC_LIBRARY names {environment[0]!r}, which does not exist")
    return library_file_name()


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


def _open(path: str) -> ctypes.CDLL:
    # On 32-bit Windows SetSentence and SetVarValue use the standard calling
    # convention; WinDLL calls every export that way (the others take no arguments).
    try:
        return ctypes.WinDLL(path) if sys.platform == "win32" else ctypes.CDLL(path)  # type: ignore[attr-defined]
    except OSError as error:
        raise OSError(
            f"the rulecalc library could not be loaded from {path!r} ({error}): install the rulecalc "
            "package with its library, install librulecalc.so.1, or set RULECALC_LIBRARY to its path"
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
