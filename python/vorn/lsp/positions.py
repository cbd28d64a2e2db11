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
    a client position's. Line starts are found once, when first asked, and
    kept through changes (``replaced``)."""

    __slots__ = ("_shift", "_shift_after", "_starts", "encoding", "text")

    def __init__(self, text: str, encoding: str = UTF16) -> None:
        self.text = text
        self.encoding = encoding
        self._starts: list[int] | None = None
        # Typing on one line moves every line start after it: the move is
        # kept as a number (``_shift`` for the lines after the line
        # ``_shift_after``) and made only when all starts are asked for.
        self._shift_after: int | None = None
        self._shift = 0

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
        elif self._shift_after is not None:
            after, shift = self._shift_after, self._shift
            self._starts[after + 1 :] = [start + shift for start in self._starts[after + 1 :]]
            self._shift_after, self._shift = None, 0
        return self._starts

    def _start(self, index: int) -> int:
        """The start of line ``index``, without making a kept move."""
        if self._starts is None or self._shift_after is None:
            return self.starts[index]
        return self._starts[index] + (self._shift if index > self._shift_after else 0)

    def _line_count(self) -> int:
        return len(self._starts) if self._starts is not None else len(self.starts)

    def replaced(self, begin: int, end: int, new_text: str) -> Lines:
        """The lines of the text with characters [begin, end) replaced by
        ``new_text``. The line starts before the change are kept and those
        after it moved, so that a keystroke in a large document does not
        look for every line anew; a change within one line (typing) moves
        them only in number."""
        text = self.text[:begin] + new_text + self.text[end:]
        changed = Lines(text, self.encoding)
        if self._starts is None:
            return changed
        delta = len(new_text) - (end - begin)
        if "\n" not in new_text and "\n" not in self.text[begin:end]:
            line = self.line_of(begin)
            if self._shift_after is None or self._shift_after == line:
                changed._starts = self._starts.copy()
                changed._shift_after = line
                changed._shift = self._shift + delta
                return changed
        starts = self.starts
        first = bisect.bisect_right(starts, begin)  # the starts up to the change stay
        last = bisect.bisect_right(starts, end)  # the starts after it move
        inserted = [begin + index + 1 for index, char in enumerate(new_text) if char == "\n"]
        changed._starts = starts[:first] + inserted + [start + delta for start in starts[last:]]
        return changed

    def line_of(self, offset: int) -> int:
        """The line that holds character ``offset``."""
        if self._shift_after is not None:
            after = self._shift_after
            following = after + 1 < self._line_count() and self._start(after + 1) <= offset
            if self._start(after) <= offset and not following:
                return after
        return bisect.bisect_right(self.starts, offset) - 1

    def __len__(self) -> int:
        return self._line_count()

    def line(self, index: int) -> str:
        """The text of line ``index`` (from 0), without its line end."""
        begin = self._start(index)
        end = self._start(index + 1) - 1 if index + 1 < self._line_count() else len(self.text)
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
        index = self.line_of(offset)
        return self.position(index + 1, offset - self._start(index) + 1)

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
        return self._start(lineno - 1) + colno - 1

    def span(self, range_: types.Range) -> Span:
        """The vorn span of a client range."""
        start = self.column(range_.start)
        end = self.column(range_.end)
        return Span(start[0], start[1], end[0], end[1])


def contains(span: Span, lineno: int, colno: int) -> bool:
    """Whether the character at (lineno, colno) lies in ``span``, its end
    included (a cursor just after a word is on it)."""
    return (span.lineno, span.colno) <= (lineno, colno) <= (span.end_lineno, span.end_colno)
