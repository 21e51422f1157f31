#!/usr/bin/env python3
"""Counts C++ lines of tests against the rest of the code.

Tests are the .cpp/.h/.c/.cc files under tests/ and fuzz/; code is every other
such file of the repository outside build/. Blank lines and lines that hold
only a comment are left out. Prints both counts and the tests' share of the
code's lines.
"""
import os
import sys

EXTENSIONS = (".cpp", ".h", ".c", ".cc")
TEST_FOLDERS = ("tests", "fuzz")


def code_lines(path):
    count = 0
    in_block = False
    with open(path, encoding="utf-8", errors="replace") as source:
        for raw in source:
            line = raw.strip()
            if in_block:
                end = line.find("*/")
                if end < 0:
                    continue
                in_block = False
                line = line[end + 2:].strip()
            while line.startswith("/*"):
                end = line.find("*/", 2)
                if end < 0:
                    in_block = True
                    line = ""
                    break
                line = line[end + 2:].strip()
            if not line or line.startswith("//"):
                continue
            count += 1
    return count


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    root = os.path.abspath(root)
    tests = code = 0
    for folder, dirs, files in os.walk(root):
        relative = os.path.relpath(folder, root)
        top = relative.split(os.sep)[0]
        if top in ("build", ".git") or top.startswith("build"):
            dirs[:] = []
            continue
        for name in files:
            if not name.endswith(EXTENSIONS):
                continue
            lines = code_lines(os.path.join(folder, name))
            if top in TEST_FOLDERS:
                tests += lines
            else:
                code += lines
    print(f"tests {tests}  code {code}  tests/code {100.0 * tests / code:.1f}%")


if __name__ == "__main__":
    main()
