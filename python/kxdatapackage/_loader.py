"""Finds and loads the shared library, and checks that it is the one this
module speaks to."""

from __future__ import annotations

import ctypes
import os
import re
import sys
from typing import List, Optional

from ._description import LIBRARY_VERSION

# The six exports, as include/kxdatapackage.h declares them.
RESULT_CALLBACK = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_int, ctypes.c_void_p, ctypes.c_int)
_EXPORTS = {
    "InitKxDataPackage": (None, [ctypes.c_char_p, ctypes.c_char_p]),
    "KxDataFilter": (ctypes.c_int, [ctypes.c_char_p, ctypes.c_int]),
    "KxDataPackage": (ctypes.c_int, [RESULT_CALLBACK]),
    "KxDataPackageEx": (ctypes.c_int, [RESULT_CALLBACK, ctypes.c_int]),
    "KxDataPackageNew": (ctypes.c_int, [ctypes.c_char_p, ctypes.c_int, RESULT_CALLBACK]),
    "KxDataPackageStop": (None, []),
}

LIBRARY_ENV = "KXDATAPACKAGE_LIBRARY"
_MAJOR = LIBRARY_VERSION.split(".")[0]


class LibraryNotFoundError(OSError):
    """The shared library is missing, or it is not of the version this
    module was built for. The message names what was looked for."""


def library_file_name() -> str:
    """The file name this module loads: the library of its major version."""
    if sys.platform == "win32":
        return "kxdatapackage.dll"
    if sys.platform == "darwin":
        return f"libkxdatapackage.{_MAJOR}.dylib"
    return f"libkxdatapackage.so.{_MAJOR}"


def _candidates(path: Optional[str]) -> List[str]:
    if path:
        return [path]
    if os.environ.get(LIBRARY_ENV):
        return [os.environ[LIBRARY_ENV]]
    return [library_file_name()]


def _version_of(path: str) -> Optional[str]:
    """The version in the real file name (libkxdatapackage.so.1.1.0), or None."""
    match = re.search(r"kxdatapackage\.so\.([0-9.]+)$", os.path.basename(os.path.realpath(path)))
    return match.group(1) if match else None


def load_library(path: Optional[str] = None) -> ctypes.CDLL:
    """Loads the library from `path`, else from $KXDATAPACKAGE_LIBRARY, else
    by its versioned name through the system's loader. Raises
    LibraryNotFoundError naming what was looked for."""
    tried = _candidates(path)
    errors = []
    for candidate in tried:
        try:
            library = ctypes.CDLL(candidate)
        except OSError as error:
            errors.append(str(error))
            continue
        version = _version_of(candidate) if os.path.sep in candidate else None
        if version is not None and version.split(".")[0] != _MAJOR:
            raise LibraryNotFoundError(
                f"{candidate} is kxdatapackage {version}; this module needs major version "
                f"{_MAJOR} ({library_file_name()}, built as {LIBRARY_VERSION})")
        missing = [name for name in _EXPORTS if not hasattr(library, name)]
        if missing:
            raise LibraryNotFoundError(
                f"{candidate} is not kxdatapackage {LIBRARY_VERSION}: it lacks "
                f"{', '.join(missing)}")
        for name, (result, arguments) in _EXPORTS.items():
            function = getattr(library, name)
            function.restype = result
            function.argtypes = arguments
        library._kx_path = candidate  # type: ignore[attr-defined]
        return library
    raise LibraryNotFoundError(
        f"kxdatapackage library not found: looked for {' and '.join(tried)} "
        f"(set ${LIBRARY_ENV} to its path): {'; '.join(errors)}")


def loaded_path(library: ctypes.CDLL) -> Optional[str]:
    """Where the loaded library lies on disk, when that can be told."""
    path = getattr(library, "_kx_path", None)
    if path and os.path.sep in path:
        return os.path.realpath(path)
    try:
        with open("/proc/self/maps", encoding="utf-8", errors="replace") as maps:
            for line in maps:
                if library_file_name().split(".so")[0] in line and "/" in line:
                    return line[line.index("/"):].strip()
    except OSError:
        pass
    return None
