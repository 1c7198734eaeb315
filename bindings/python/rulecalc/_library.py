"""Loading the extension module rulecalc._native, linked with the rulecalc
shared libraries: librulecalc (the calculator) and librulecalc_batch (the
batch engine); and where those libraries are.

An installed package carries the module and both libraries side by side; in a
checkout the module RULECALC_NATIVE names is used, else the one of the newest
build folder (build*/python/rulecalc), with the libraries of its build. library_path and batch_library_path
tell where a library is looked for, in this order:

1. inside this package (an installed package carries its own copies);
2. at the path in an environment variable: RULECALC_LIBRARY for the
   calculator, RULECALC_BATCH_LIBRARY for the batch engine;
3. in a build folder of the source tree (build*/src, build*/src/batch), when
   the package is used straight from a checkout;
4. where the system looks for libraries (librulecalc.so.1,
   librulecalc_batch.so.1, as installed by ``cmake --install`` or the Debian
   package).
"""

import glob
import importlib.machinery
import importlib.util
import os
import sys
import threading

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


def _built_modules():
    """The module RULECALC_NATIVE names, then those built in a build folder of
    the source tree, newest first."""
    chosen = os.environ.get("RULECALC_NATIVE")
    if chosen:
        return [chosen]
    if not os.path.isfile(os.path.join(_SOURCE_ROOT, "include", "rulecalc.h")):
        return []
    suffixes = importlib.machinery.EXTENSION_SUFFIXES
    built = [path for suffix in suffixes
             for path in glob.glob(os.path.join(_SOURCE_ROOT, "build*", "python", "rulecalc", "_native" + suffix))]
    return sorted(built, key=os.path.getmtime, reverse=True)


def _load_native():
    try:
        from . import _native
        return _native
    except ImportError as error:
        missing = error
    for path in _built_modules():
        # A build that cannot load here (a sanitized one, which needs its
        # runtime in the process) gives way to the next newest.
        module_spec = importlib.util.spec_from_file_location(f"{__package__}._native", path)
        try:
            module = importlib.util.module_from_spec(module_spec)
            module_spec.loader.exec_module(module)
        except ImportError as error:
            missing = error
            continue
        sys.modules[module_spec.name] = module
        return module
    raise ImportError(f"the rulecalc extension module could not be loaded ({missing}): install the rulecalc "
                      "package, or build the source tree (cmake --build) to use it from a checkout") from None


_lock = threading.Lock()
_loaded = None


def native():
    """rulecalc._native: the package's extension module, else the one of the
    newest source-tree build (build*/python/rulecalc); loaded on first use."""
    global _loaded
    with _lock:
        if _loaded is None:
            _loaded = _load_native()
        return _loaded


def load_library():
    """The library's ten flat exports (SetSentence, GetTokens, ... Run,
    GetRuntimeError), as functions of the extension module that take and give bytes."""
    return native()
