"""Positions as the client counts them. vorn's spans count lines from 1
and columns in characters (code points) from 1; LSP counts both from 0,
columns in the units of the encoding negotiated at initialize: UTF-16
code units by default, UTF-8 bytes or UTF-32 code points when offered.
A line ends at a line feed, whose carriage return before it is part of
the line end: no position lies between them."""

from __future__ import annotations

import bisect
from collections.abc import Iterator

from lsprotocol import types

from .._spans import Span

UTF8: str = types.PositionEncodingKind.Utf8.value
UTF16: str = types.PositionEncodingKind.Utf16.value
UTF32: str = types.PositionEncodingKind.Utf32.value


def units(text: str, encoding: str) -> int:
    """How many units of ``encoding`` ``text`` takes."""
    if encoding == UTF32:
        return len(text)
    if encoding == UTF16:
        return len(text) + sum(1 for char in text if char > "\uffff")
    return len(text.encode("utf-8", "surrogatepass"))


def _char_units(char: str, encoding: str) -> int:
    if encoding == UTF32:
        return 1
    code = ord(char)
    if encoding == UTF16:
        return 2 if code > 0xFFFF else 1
    return 1 if code < 0x80 else 2 if code < 0x800 else 3 if code < 0x10000 else 4


class Lines:
    """A text's lines, and its positions both ways: a span's, an offset's,
    a client position's. Line starts are found once, when first asked."""

    __slots__ = ("_starts", "encoding", "text")

    def __init__(self, text: str, encoding: str = UTF16) -> None:
        self.text = text
        self.encoding = encoding
        self._starts: list[int] | None = None

    @property
    def starts(self) -> list[int]:
        """The offset (in characters) of each line's first character."""
        if self._starts is None:
            starts = [0]
            find = self.text.find
            at = find("\n")
            while at >= 0:
                starts.append(at + 1)
                at = find("\n", at + 1)
            self._starts = starts
        return self._starts

    def __len__(self) -> int:
        return len(self.starts)

    def line(self, index: int) -> str:
        """The text of line ``index`` (from 0), without its line end."""
        starts = self.starts
        begin = starts[index]
        end = starts[index + 1] - 1 if index + 1 < len(starts) else len(self.text)
        return self.text[begin:end].removesuffix("\r")

    def iter_lines(self) -> Iterator[str]:
        for index in range(len(self)):
            yield self.line(index)

    def position(self, lineno: int, colno: int) -> types.Position:
        """The client position of 1-based line ``lineno``, character column
        ``colno`` (one past a line's end is its end)."""
        line = self.line(lineno - 1)
        return types.Position(lineno - 1, units(line[: colno - 1], self.encoding))

    def range(self, span: Span) -> types.Range:
        return types.Range(self.position(span.lineno, span.colno), self.position(span.end_lineno, span.end_colno))

    def at_offset(self, offset: int) -> types.Position:
        """The client position of character ``offset`` of the text."""
        index = bisect.bisect_right(self.starts, offset) - 1
        return self.position(index + 1, offset - self.starts[index] + 1)

    def column(self, position: types.Position) -> tuple[int, int]:
        """(1-based line, 1-based character column) of a client position;
        past the last line or a line's end it is taken as the end, and
        inside a character (half a surrogate pair, a byte of a UTF-8
        sequence) as that character's start."""
        if position.line >= len(self):
            last = len(self) - 1
            return last + 1, len(self.line(last)) + 1
        line = self.line(position.line)
        wanted = position.character
        if self.encoding == UTF32:
            return position.line + 1, min(wanted, len(line)) + 1
        counted = 0
        for index, char in enumerate(line):
            counted += _char_units(char, self.encoding)
            if counted > wanted:
                return position.line + 1, index + 1
        return position.line + 1, len(line) + 1

    def offset(self, position: types.Position) -> int:
        """The character offset of a client position in the text."""
        lineno, colno = self.column(position)
        return self.starts[lineno - 1] + colno - 1

    def span(self, range_: types.Range) -> Span:
        """The vorn span of a client range."""
        start = self.column(range_.start)
        end = self.column(range_.end)
        return Span(start[0], start[1], end[0], end[1])


def contains(span: Span, lineno: int, colno: int) -> bool:
    """Whether the character at (lineno, colno) lies in ``span``, its end
    included (a cursor just after a word is on it)."""
    return (span.lineno, span.colno) <= (lineno, colno) <= (span.end_lineno, span.end_colno)
