"""A build backend that needs nothing from a package index: the module is
pure Python, so its wheel is a zip of the package and its metadata.
`pip install ./python` runs it without reaching any registry."""

from __future__ import annotations

import base64
import hashlib
import os
import zipfile
from pathlib import Path
from typing import Dict, List, Optional

_ROOT = Path(__file__).resolve().parent.parent
_PACKAGE = "kxdatapackage"
_TAG = "py3-none-any"


def _version() -> str:
    import json
    with open(_ROOT / _PACKAGE / "data_types.json", encoding="utf-8") as description:
        return json.load(description)["library_version"]


def _metadata() -> str:
    return (f"Metadata-Version: 2.1\nName: {_PACKAGE}\nVersion: {_version()}\n"
            "Summary: Turns the data files of phone applications into JSON data packages\n"
            "Requires-Python: >=3.9\n")


def _files() -> List[Path]:
    return sorted(path for path in (_ROOT / _PACKAGE).rglob("*")
                  if path.is_file() and "__pycache__" not in path.parts)


def _record_line(name: str, data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def get_requires_for_build_wheel(config_settings: Optional[Dict] = None) -> List[str]:
    return []


def get_requires_for_build_sdist(config_settings: Optional[Dict] = None) -> List[str]:
    return []


def build_wheel(wheel_directory: str, config_settings: Optional[Dict] = None,
                metadata_directory: Optional[str] = None) -> str:
    name = f"{_PACKAGE}-{_version()}-{_TAG}.whl"
    info = f"{_PACKAGE}-{_version()}.dist-info"
    entries = [(path.relative_to(_ROOT).as_posix(), path.read_bytes()) for path in _files()]
    entries.append((f"{info}/METADATA", _metadata().encode()))
    entries.append((f"{info}/WHEEL", f"Wheel-Version: 1.0\nGenerator: kx_wheel\n"
                                     f"Root-Is-Purelib: true\nTag: {_TAG}\n".encode()))
    record = [_record_line(entry, data) for entry, data in entries] + [f"{info}/RECORD,,"]
    entries.append((f"{info}/RECORD", ("\n".join(record) + "\n").encode()))
    with zipfile.ZipFile(os.path.join(wheel_directory, name), "w", zipfile.ZIP_DEFLATED) as wheel:
        for entry, data in entries:
            wheel.writestr(entry, data)
    return name


def build_sdist(sdist_directory: str, config_settings: Optional[Dict] = None) -> str:
    import tarfile
    base = f"{_PACKAGE}-{_version()}"
    name = f"{base}.tar.gz"
    with tarfile.open(os.path.join(sdist_directory, name), "w:gz") as sdist:
        for path in _files() + [_ROOT / "pyproject.toml", Path(__file__)]:
            sdist.add(path, f"{base}/{path.relative_to(_ROOT).as_posix()}")
        info = tarfile.TarInfo(f"{base}/PKG-INFO")
        data = _metadata().encode()
        info.size = len(data)
        import io
        sdist.addfile(info, io.BytesIO(data))
    return name
