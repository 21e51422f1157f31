"""python3 -m kxdatapackage BACKUP -o OUT: packages an iOS backup folder,
as `kxpackage ios` does (it runs the installed kxpackage)."""

from __future__ import annotations

import argparse
import os
import subprocess
import sys
from typing import List, Optional

from .host import find_kxpackage


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(
        prog="python3 -m kxdatapackage",
        description="Package an iOS backup folder into JSON data packages (kxpackage ios).")
    parser.add_argument("backup", help="the backup folder (holds Manifest.db)")
    parser.add_argument("-o", "--output", required=True, help="output folder (created)")
    parser.add_argument("--copy", action="append", default=[], metavar="OLDER_BACKUP",
                        help="an earlier backup of the same phone; repeatable")
    parser.add_argument("--password-file", help="the encrypted backup's password, on its first line")
    parser.add_argument("--json", action="store_true", help="print the summary as JSON")
    parser.add_argument("--report", action="store_true", help="then write the report of OUT")
    parser.add_argument("--quiet", action="store_true", help="no progress display")
    options = parser.parse_args(argv)
    try:
        command = [find_kxpackage(), "ios", options.backup, "-o", options.output]
    except FileNotFoundError as error:
        print(f"kxdatapackage: {error}", file=sys.stderr)
        return 2
    for copy in options.copy:
        command += ["--copy", copy]
    if options.password_file:
        command += ["--password-file", options.password_file]
    command += [flag for flag, on in (("--json", options.json), ("--report", options.report),
                                      ("--quiet", options.quiet)) if on]
    return subprocess.call(command, env=dict(os.environ))


if __name__ == "__main__":
    sys.exit(main())
