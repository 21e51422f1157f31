"""Packaging whole backups and folders with the installed kxpackage tool."""

from __future__ import annotations

import json
import os
import shutil
import subprocess
from typing import Any, Dict, List, Optional, Sequence, Union

PathLike = Union[str, "os.PathLike[str]"]
KXPACKAGE_ENV = "KXPACKAGE"
PASSWORD_ENV = "KXPACKAGE_BACKUP_PASSWORD"


class KxPackageError(RuntimeError):
    """kxpackage could not run the job (usage error, interrupted, no
    summary). `exit_status` is its exit status, `stderr` what it said."""

    def __init__(self, message: str, exit_status: int, stderr: str) -> None:
        super().__init__(message)
        self.exit_status = exit_status
        self.stderr = stderr


def find_kxpackage(kxpackage: Optional[PathLike] = None) -> str:
    """The kxpackage program: `kxpackage`, else $KXPACKAGE, else the one on
    the PATH."""
    for candidate in (kxpackage, os.environ.get(KXPACKAGE_ENV)):
        if candidate:
            return os.fspath(candidate)
    found = shutil.which("kxpackage")
    if found is None:
        raise FileNotFoundError(
            f"kxpackage not found: looked on the PATH and in ${KXPACKAGE_ENV}")
    return found


def run_kxpackage(arguments: Sequence[str], kxpackage: Optional[PathLike] = None,
                  env: Optional[Dict[str, str]] = None) -> Dict[str, Any]:
    """Runs kxpackage with `arguments` and --json, and returns its summary:
    {"output", "data_types": [{"name", "data_type", "status", "status_text",
    "records", ...}], "device"?}. Exit status 1 (some data types failed)
    still returns the summary; any other failure raises KxPackageError."""
    command = [find_kxpackage(kxpackage), *arguments, "--json", "--quiet"]
    run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         stdin=subprocess.DEVNULL, env=env, check=False)
    stderr = run.stderr.decode("utf-8", "replace")
    if run.returncode not in (0, 1):
        raise KxPackageError(f"kxpackage {arguments[0]} exited with {run.returncode}: "
                             f"{stderr.strip()}", run.returncode, stderr)
    try:
        return json.loads(run.stdout.decode("utf-8"))
    except ValueError:
        raise KxPackageError(f"kxpackage {arguments[0]} printed no summary: {stderr.strip()}",
                             run.returncode, stderr) from None


def _written_summary(out: PathLike, printed: Dict[str, Any]) -> Dict[str, Any]:
    """The summary kxpackage left in `out` (it also holds the run's
    provenance: versions, times and the hash of every source file read),
    else the one it printed."""
    try:
        with open(os.path.join(os.fspath(out), "summary.json"), encoding="utf-8") as file:
            return json.load(file)
    except (OSError, ValueError):
        return printed


def package_backup(path: PathLike, out: PathLike, password: Optional[str] = None,
                   copies: Sequence[PathLike] = (), kxpackage: Optional[PathLike] = None) -> Dict[str, Any]:
    """Packages the iOS backup folder `path` into `out`, as `kxpackage ios`
    does. `copies` are earlier backups of the same phone (their records
    that are gone come back tagged "deleted"); `password` opens an
    encrypted backup (handed over in the environment, never on a command
    line). Returns the summary kxpackage leaves in `out` (see
    run_kxpackage; with its "provenance")."""
    arguments = ["ios", os.fspath(path), "-o", os.fspath(out)]
    for copy in copies:
        arguments += ["--copy", os.fspath(copy)]
    env = dict(os.environ)
    env.pop(PASSWORD_ENV, None)
    if password is not None:
        env[PASSWORD_ENV] = password
    return _written_summary(out, run_kxpackage(arguments, kxpackage, env))


def package_folder(path: PathLike, out: PathLike, kxpackage: Optional[PathLike] = None) -> Dict[str, Any]:
    """Packages a folder of databases pulled off an Android phone into
    `out`, as `kxpackage android` does. Returns the summary kxpackage leaves
    in `out`."""
    printed = run_kxpackage(["android", os.fspath(path), "-o", os.fspath(out)], kxpackage)
    return _written_summary(out, printed)


def summary_statuses(summary: Dict[str, Any]) -> List[tuple]:
    """(name, status) of every data type of a summary."""
    return [(entry["name"], entry["status"]) for entry in summary.get("data_types", [])]
