"""Reads chosen values out of a JSON file without loading the file: the
scanner walks the text and parses only the values at a given path, one at a
time, so memory stays at the size of one value."""

from __future__ import annotations

import json
import re
from typing import IO, Any, Iterator, Optional, Sequence, Tuple, Union

# A pattern step: a member name of an object, or None for every element of
# an array.
Step = Optional[str]
PathKey = Union[str, int]

_CHUNK = 1 << 18
_WHITESPACE = re.compile(r"[ \t\r\n]*")
_STRING_REST = re.compile(r'(?:[^"\\]|\\.)*"', re.S)
# Text up to the next bracket, whole strings included.
_PLAIN_RUN = re.compile(r'(?:[^"\[\]{}]+|"(?:[^"\\]|\\.)*")*', re.S)
_DECODER = json.JSONDecoder()


class JsonStreamError(ValueError):
    """The file is not the JSON the reader expected."""


class _Text:
    def __init__(self, stream: IO[str], name: str) -> None:
        self.stream = stream
        self.name = name
        self.buffer = ""
        self.pos = 0
        self.eof = False
        self.mark: Optional[int] = None  # start of the value being captured

    def more(self) -> bool:
        if self.eof:
            return False
        keep = self.pos if self.mark is None else self.mark
        if keep > _CHUNK:
            self.buffer = self.buffer[keep:]
            self.pos -= keep
            if self.mark is not None:
                self.mark -= keep
        chunk = self.stream.read(_CHUNK)
        if not chunk:
            self.eof = True
            return False
        self.buffer += chunk
        return True

    def fail(self, what: str) -> JsonStreamError:
        return JsonStreamError(f"{self.name}: {what} near character {self.pos}")

    def peek(self) -> str:
        while True:
            self.pos = _WHITESPACE.match(self.buffer, self.pos).end()
            if self.pos < len(self.buffer):
                return self.buffer[self.pos]
            if not self.more():
                return ""

    def expect(self, char: str) -> None:
        if self.peek() != char:
            raise self.fail(f"expected {char!r}")
        self.pos += 1

    def string(self, decode: bool = True) -> str:
        if self.peek() != '"':
            raise self.fail("expected a string")
        while True:  # pos stays on the opening quote until the string is whole
            match = _STRING_REST.match(self.buffer, self.pos + 1)
            if match:
                start, self.pos = self.pos, match.end()
                return json.loads(self.buffer[start:self.pos]) if decode else ""
            if not self.more():
                raise self.fail("unterminated string")

    def skip(self) -> None:
        """Moves past one value without building it: runs of plain text and
        whole strings are passed over in one match, brackets counted."""
        first = self.peek()
        if first not in "[{":
            self.capture()
            return
        depth = 0
        while True:
            self.pos = _PLAIN_RUN.match(self.buffer, self.pos).end()
            if self.pos >= len(self.buffer) or self.buffer[self.pos] == '"':
                # the buffer ends, or a string does before its closing quote
                if not self.more():
                    raise self.fail("unterminated value")
                continue
            char = self.buffer[self.pos]
            self.pos += 1
            if char in "[{":
                depth += 1
            else:
                depth -= 1
                if depth == 0:
                    return

    def capture(self, leave_out: Optional[str] = None) -> Any:
        if leave_out is not None and self.peek() == "{":
            return self.capture_object(leave_out)
        self.peek()
        while True:
            try:
                value, end = _DECODER.raw_decode(self.buffer, self.pos)
            except ValueError:
                value, end = None, -1
            # A value that reaches the end of the buffer may go on past it.
            if end != -1 and (end < len(self.buffer) or self.eof):
                self.pos = end
                return value
            self.mark = self.pos
            try:
                more = self.more()
            finally:
                self.pos, self.mark = self.mark, None
            if not more:
                if end != -1:
                    self.pos = end
                    return value
                raise self.fail("not a JSON value")

    def capture_object(self, leave_out: str) -> Any:
        """An object without its member `leave_out`, which is skipped unread."""
        self.expect("{")
        value = {}
        count = 0
        while self.peek() != "}":
            if count:
                self.expect(",")
            key = self.string()
            self.expect(":")
            if key == leave_out:
                self.skip()
            else:
                value[key] = self.capture()
            count += 1
        self.pos += 1
        return value

    def walk(self, pattern: Sequence[Step], path: Tuple[PathKey, ...],
             leave_out: Optional[str] = None) -> Iterator[Tuple[Tuple[PathKey, ...], Any]]:
        if not pattern:
            yield path, self.capture(leave_out)
            return
        first = self.peek()
        step = pattern[0]
        if step is None and first == "[":
            self.pos += 1
            index = 0
            while self.peek() != "]":
                if index:
                    self.expect(",")
                yield from self.walk(pattern[1:], path + (index,), leave_out)
                index += 1
            self.pos += 1
        elif step is not None and first == "{":
            self.pos += 1
            count = 0
            while self.peek() != "}":
                if count:
                    self.expect(",")
                key = self.string()
                self.expect(":")
                if key == step:
                    yield from self.walk(pattern[1:], path + (key,), leave_out)
                else:
                    self.skip()
                count += 1
            self.pos += 1
        else:
            self.skip()


def iter_values(path: str, pattern: Sequence[Step],
                leave_out: Optional[str] = None) -> Iterator[Tuple[Tuple[PathKey, ...], Any]]:
    """Yields (where, value) for every value of the JSON file at `path` that
    `pattern` reaches, in file order. `pattern` steps are member names, or
    None for each element of an array: ("chat_sessions", None, "messages",
    None) reaches every message of every session. `where` is the concrete
    path, e.g. ("chat_sessions", 3, "messages", 17). An object reached
    comes without its member `leave_out` (skipped unread)."""
    with open(path, encoding="utf-8") as stream:
        text = _Text(stream, path)
        yield from text.walk(list(pattern), (), leave_out)
