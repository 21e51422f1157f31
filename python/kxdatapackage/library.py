"""The six exports of the library as one Python object."""

from __future__ import annotations

import ctypes
import json
import os
from typing import Any, Callable, Dict, List, NamedTuple, Optional, Union

from ._description import STATUS_CODES
from ._loader import RESULT_CALLBACK, load_library, loaded_path

Request = Union[Dict[str, Any], str]
OnResult = Optional[Callable[["Result"], None]]


class KxError(Exception):
    """A call answered a status other than 0. `status` is the library's
    code, `name` its name in kxdatapackage.h (KX_STATUS_STOPPED, ...)."""

    def __init__(self, call: str, status: int) -> None:
        self.call = call
        self.status = status
        self.name, self.meaning = STATUS_CODES.get(status, (f"KX_STATUS_{status}", "unknown status"))
        super().__init__(f"{call} answered {status} ({self.name}: {self.meaning})")


class Result(NamedTuple):
    """One result document: the result kind the packager passed, and the
    parsed JSON text."""

    kind: int
    document: Any


class _Collector:
    """The callback of one call. An exception raised while a document is
    taken never reaches the library: it is kept and raised after the call."""

    def __init__(self, on_result: OnResult) -> None:
        self.results: List[Result] = []
        self.error: Optional[BaseException] = None
        self.on_result = on_result
        self.function = RESULT_CALLBACK(self._receive)

    def _receive(self, kind: int, text: Optional[int], length: int) -> int:
        try:
            data = ctypes.string_at(text, length) if text and length > 0 else b""
            result = Result(kind, json.loads(data.decode("utf-8")))
            self.results.append(result)
            if self.on_result is not None:
                self.on_result(result)
        except BaseException as error:  # noqa: B902 - nothing may cross into C
            if self.error is None:
                self.error = error
        return 0

    def finish(self, call: str, status: int) -> List[Result]:
        if self.error is not None:
            if status != 0:
                raise self.error from KxError(call, status)
            raise self.error
        if status != 0:
            raise KxError(call, status)
        return self.results


def _request_bytes(request: Request) -> bytes:
    """The request as the library reads it. The temp folder a request
    document names is created first, as the packagers write into it."""
    if isinstance(request, str):
        return request.encode("utf-8")
    folder = request.get("temp_folder") if isinstance(request, dict) else None
    if isinstance(folder, str) and folder:
        os.makedirs(folder, exist_ok=True)
    return json.dumps(request, ensure_ascii=False).encode("utf-8")


class Library:
    """The loaded kxdatapackage library, initialised.

    The library keeps one state per process: creating a second Library
    initialises it again (and forgets every filtered data type). Calls may
    run on several threads as the C interface allows; `stop` may be called
    from any thread while another call runs.
    """

    def __init__(self, log_dir: Union[str, os.PathLike], config_dir: Optional[Union[str, os.PathLike]] = None,
                 library_path: Optional[str] = None) -> None:
        """Loads the library (see load_library) and calls InitKxDataPackage.

        log_dir receives KxDataPackage.log (created when missing);
        config_dir holds KxDataConfiger.db, by default the folder of the
        loaded library, where the build and the packages install it.
        """
        self._library = load_library(library_path)
        self.path: Optional[str] = loaded_path(self._library)
        if config_dir is None:
            config_dir = os.path.dirname(self.path) if self.path else "."
        self.log_dir = os.fspath(log_dir)
        self.config_dir = os.fspath(config_dir)
        os.makedirs(self.log_dir, exist_ok=True)
        self._library.InitKxDataPackage(self.log_dir.encode("utf-8"), self.config_dir.encode("utf-8"))

    def filter(self, request: Request) -> None:
        """KxDataFilter: stages the files a filter request names and merges
        the further copies. Raises KxError on a status other than 0."""
        text = _request_bytes(request)
        status = self._library.KxDataFilter(text, len(text))
        if status != 0:
            raise KxError("KxDataFilter", status)

    def package_ex(self, data_type: int, on_result: OnResult = None) -> Optional[Result]:
        """KxDataPackageEx: packages one filtered data type. None when the
        library had nothing to run (the type is not in the filtered state).

        on_result, when given, is called with the result while the library
        waits; an exception it raises is kept and raised after the call."""
        collector = _Collector(on_result)
        status = self._library.KxDataPackageEx(collector.function, int(data_type))
        results = collector.finish("KxDataPackageEx", status)
        return results[0] if results else None

    def package(self, on_result: OnResult = None) -> List[Result]:
        """KxDataPackage: packages every filtered data type, one result each
        (on_result as for package_ex)."""
        collector = _Collector(on_result)
        status = self._library.KxDataPackage(collector.function)
        return collector.finish("KxDataPackage", status)

    def package_new(self, request: Request, on_result: OnResult = None) -> Optional[Result]:
        """KxDataPackageNew: runs a staged packager from one request
        document. None when the request's data type is not a staged one
        (on_result as for package_ex)."""
        collector = _Collector(on_result)
        text = _request_bytes(request)
        status = self._library.KxDataPackageNew(text, len(text), collector.function)
        results = collector.finish("KxDataPackageNew", status)
        return results[0] if results else None

    def stop(self) -> None:
        """KxDataPackageStop: asks running work to stop and returns at once.
        Later calls raise KxError 1111 until the next Library is made."""
        self._library.KxDataPackageStop()
