"""kxdatapackage: the library that turns the data files of phone
applications into JSON data packages, from Python.

    from kxdatapackage import Library, data_type

    library = Library(log_dir="/tmp/kx-logs")
    calls = data_type(3)  # Android call history
    library.filter(calls.filter_request("/tmp/kx-out", {"callhistory_file_path": "calllog.db"}))
    kind, document = library.package_ex(3)

The module loads the shared library with ctypes (libkxdatapackage.so.1, or
the file $KXDATAPACKAGE_LIBRARY names); package_backup and package_folder
run the installed kxpackage tool.
"""

from ._description import LIBRARY_VERSION, STATUS_CODES
from ._loader import LibraryNotFoundError, load_library
from .host import KxPackageError, package_backup, package_folder
from .library import KxError, Library, Result
from .readers import JsonStreamError, Message, batch_files, iter_messages, iter_records
from .requests import DataType, data_type, data_types

__version__ = LIBRARY_VERSION
__all__ = [
    "DataType", "JsonStreamError", "KxError", "KxPackageError", "LIBRARY_VERSION", "Library",
    "LibraryNotFoundError", "Message", "Result", "STATUS_CODES", "batch_files", "data_type",
    "data_types", "iter_messages", "iter_records", "load_library", "package_backup",
    "package_folder",
]
