"""Request documents of every data type, built from the description of the
library's descriptor table, so the member names are never typed by hand."""

from __future__ import annotations

import os
from collections import abc
from typing import Any, Dict, Iterable, List, Mapping, Optional, Sequence, Union

from ._description import DATA_TYPES, STAGED_DATA_TYPES

PathLike = Union[str, "os.PathLike[str]"]
Copies = Union[Sequence[PathLike], Mapping[str, Sequence[PathLike]]]

# Members of the request documents, as the library reads them.
PACKAGE_TYPE = "package_type"
TEMP_FOLDER = "temp_folder"
PRIMARY_FILES = "primary_file_object"
SECOND_FILES = "second_file_objects"
OTHER_INFO = "other_info"
ADDITIONAL_PARAM = "addtional_param"
MANIFEST_FILE = "manifest_file_path"
CONFIG_FOLDER = "configer_file_path"


def _path(path: PathLike) -> str:
    return os.path.abspath(os.fspath(path))


class DataType:
    """One data type of the library: its row of the descriptor table and,
    for the staged ones, its staged packager."""

    def __init__(self, number: int) -> None:
        row = DATA_TYPES.get(number, {})
        staged = STAGED_DATA_TYPES.get(number)
        if not row and staged is None:
            raise ValueError(f"no data type {number} in the library")
        self.number = number
        # The output folder kxpackage gives it ("ios_messages").
        self.name: str = row.get("name") or (staged or {}).get("name", "")
        self.packager_name: str = row.get("packager_name", "")
        self.filter_name: str = row.get("filter_name", "")
        self.has_filter: bool = row.get("has_filter", False)
        self.has_package: bool = row.get("has_package", False)
        self.result_kind: int = row.get("result_kind", -1)
        # The members of "primary_file_object" kxpackage fills, the main
        # store first (empty for the types kxpackage does not package); a
        # packager may read further optional ones.
        self.primary_file_keys: List[str] = list(row.get("primary_file_keys", []))
        self.second_file_keys: List[str] = list(row.get("second_file_keys", []))
        self.staged_primary_key: Optional[str] = staged["primary_file_key"] if staged else None
        self.staged_result_kind: Optional[int] = staged["result_kind"] if staged else None

    def __repr__(self) -> str:
        return f"DataType({self.number}, {self.name!r})"

    def filter_request(self, temp_folder: PathLike, primary_files: Mapping[str, PathLike],
                       copies: Copies = (), other_info: Optional[Mapping[str, str]] = None,
                       additional_param: Optional[str] = None) -> Dict[str, Any]:
        """The document of KxDataFilter for this data type.

        primary_files maps the packager's keys ("callhistory_file_path", see
        primary_file_keys) to source files; copies are older copies of the source, merged in: a
        list goes to the data type's (first) queue, a mapping names the
        queue of each list. additional_param is the backup folder of the
        iOS data types.
        """
        if not self.has_package:
            raise ValueError(f"data type {self.number} has no package step")
        request: Dict[str, Any] = {
            PACKAGE_TYPE: self.number,
            TEMP_FOLDER: _path(temp_folder),
            PRIMARY_FILES: {key: _path(path) for key, path in primary_files.items()},
        }
        queues = self._queues(copies)
        if queues:
            request[SECOND_FILES] = queues
        if other_info:
            request[OTHER_INFO] = {key: str(value) for key, value in other_info.items()}
        if additional_param is not None:
            request[ADDITIONAL_PARAM] = additional_param
        return request

    def staged_request(self, temp_folder: PathLike, primary_file: PathLike,
                       additional_param: Optional[str] = None,
                       manifest_file: Optional[PathLike] = None,
                       config_folder: Optional[PathLike] = None) -> Dict[str, Any]:
        """The document of KxDataPackageNew for this staged data type. The
        calendar (7) also takes the backup's manifest and the folder of
        KxDataConfiger.db."""
        if self.staged_primary_key is None:
            raise ValueError(f"data type {self.number} has no staged packager")
        primary = {self.staged_primary_key: _path(primary_file)}
        if manifest_file is not None:
            primary[MANIFEST_FILE] = _path(manifest_file)
        request: Dict[str, Any] = {PACKAGE_TYPE: self.number, TEMP_FOLDER: _path(temp_folder),
                                   PRIMARY_FILES: primary}
        if config_folder is not None:
            request[SECOND_FILES] = {CONFIG_FOLDER: _path(config_folder)}
        if additional_param is not None:
            request[ADDITIONAL_PARAM] = additional_param
        return request

    def _queues(self, copies: Copies) -> Dict[str, List[str]]:
        if isinstance(copies, abc.Mapping):
            unknown = [key for key in copies if key not in self.second_file_keys]
            if unknown:
                raise ValueError(f"data type {self.number} merges no {', '.join(unknown)}; "
                                 f"its queues: {', '.join(self.second_file_keys) or 'none'}")
            return {key: [_path(path) for path in paths] for key, paths in copies.items()}
        paths = [_path(path) for path in copies]
        if not paths:
            return {}
        if not self.second_file_keys:
            raise ValueError(f"data type {self.number} merges no copies")
        return {self.second_file_keys[0]: paths}


def data_type(number_or_name: Union[int, str]) -> DataType:
    """The data type of a number (3) or of its packager's name
    ("AndroidCallhistoryDataPackage")."""
    if isinstance(number_or_name, int):
        return DataType(number_or_name)
    for number, row in DATA_TYPES.items():
        if row["packager_name"] == number_or_name:
            return DataType(number)
    raise ValueError(f"no data type named {number_or_name!r}")


def data_types() -> Iterable[DataType]:
    """Every data type the library packages, in the order of their numbers."""
    numbers = sorted(set(n for n, row in DATA_TYPES.items() if row["has_package"]) |
                     set(STAGED_DATA_TYPES))
    return [DataType(number) for number in numbers]
