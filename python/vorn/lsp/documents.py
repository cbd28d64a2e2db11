"""The documents the client has open: their text as the client last sent
it, changed in place by full or incremental changes, and their reading,
made once per text and only when a feature asks for it."""

from __future__ import annotations

from collections.abc import Sequence

from lsprotocol import types

from .._document import Document
from .._errors import DecodeError
from .lint_cache import ChangedLines, LintCache
from .positions import UTF16, Lines


class OpenDocument:
    """One open document: its text, version and reading."""

    __slots__ = (
        "_fault",
        "_kept",
        "_lines",
        "_read",
        "_taken",
        "_touched",
        "encoding",
        "last_read",
        "lint_cache",
        "path",
        "text",
        "uri",
        "version",
    )

    def __init__(self, uri: str, path: str | None, text: str, version: int, encoding: str = UTF16) -> None:
        self.uri = uri
        self.path = path
        self.text = text
        self.version = version
        self.encoding = encoding
        self._lines: Lines | None = None
        self._read = False
        self._fault: DecodeError | None = None
        # The last text that read, with its reading: anchors and keys for
        # completion while the text being typed does not read.
        self.last_read: Document | None = None
        # The text at the last ``take_changed_lines``, and since then how
        # many characters at its start and at its end no change touched
        # (None before the first check), and whether any change came.
        self._taken: str | None = None
        self._kept: tuple[int, int] | None = None
        self._touched = False
        self.lint_cache = LintCache()

    @property
    def lines(self) -> Lines:
        if self._lines is None:
            self._lines = Lines(self.text, self.encoding)
        return self._lines

    def change(self, version: int, changes: Sequence[types.TextDocumentContentChangeEvent]) -> None:
        """Applies the client's changes in order: a change with a range
        replaces that range of the text as the changes before it left it,
        one without replaces the whole text."""
        for change in changes:
            self._touched = True
            if isinstance(change, types.TextDocumentContentChangePartial):
                lines = self.lines
                begin = lines.offset(change.range.start)
                end = max(begin, lines.offset(change.range.end))
                if self._kept is not None:
                    head, tail = self._kept
                    self._kept = (min(head, begin), min(tail, len(self.text) - end))
                self._lines = lines.replaced(begin, end, change.text)
                self.text = self._lines.text
            else:
                # A client that sends the whole text at every change still
                # changed only some lines: those between what the texts
                # share at their start and at their end.
                if self._kept is not None:
                    head, tail = self._kept
                    shared_head = _shared_head(self.text, change.text)
                    room = min(len(self.text), len(change.text)) - shared_head
                    self._kept = (min(head, shared_head), min(tail, _shared_tail(self.text, change.text, room)))
                self.text = change.text
                self._lines = None
        self.version = version
        self._read = False
        self._fault = None

    def take_changed_lines(self) -> ChangedLines | None:
        """The lines changed since the last call (None: none, or not
        known), and from now on none."""
        taken, kept, touched = self._taken, self._kept, self._touched
        self._taken, self._kept, self._touched = self.text, (len(self.text), len(self.text)), False
        if taken is None or kept is None or not touched:
            return None
        return _changed_lines(taken, self.text, self.lines, *kept)

    def document(self) -> Document | None:
        """The text's reading, or None when it does not read (``fault``)."""
        if not self._read:
            self._read = True
            try:
                self.last_read = Document.parse(self.text, path=self.path)
                self._fault = None
            except DecodeError as error:
                self._fault = error
        return None if self._fault is not None else self.last_read

    @property
    def fault(self) -> DecodeError | None:
        self.document()
        return self._fault


# Texts are compared a piece at a time (a slice compared is one memcmp),
# then character by character within the first piece that differs.
_PIECE = 4096


def _shared_head(before: str, after: str) -> int:
    """How many characters at their start the two texts share."""
    shortest = min(len(before), len(after))
    at = 0
    while at < shortest and before[at : at + _PIECE] == after[at : at + _PIECE]:
        at += _PIECE
    end = min(at + _PIECE, shortest)
    while at < end and before[at] == after[at]:
        at += 1
    return min(at, shortest)


def _shared_tail(before: str, after: str, most: int) -> int:
    """How many characters at their end the two texts share, at most
    ``most``."""
    shared = 0
    while shared < most:
        size = min(_PIECE, most - shared)
        if (
            before[len(before) - shared - size : len(before) - shared]
            != after[len(after) - shared - size : len(after) - shared]
        ):
            break
        shared += size
    else:
        return shared
    end = min(shared + _PIECE, most)
    while shared < end and before[len(before) - shared - 1] == after[len(after) - shared - 1]:
        shared += 1
    return shared


def _changed_lines(before: str, after: str, lines: Lines, head: int, tail: int) -> ChangedLines:
    """The lines of ``after`` (``lines``) that differ from those of
    ``before``, whose first ``head`` and last ``tail`` characters it has.
    A line added or removed whole changes no other line: the line that
    ends where the head ends and the one that starts where the tail
    starts, in both texts, are as they were."""
    first = lines.line_of(head)
    if head < min(len(before), len(after)) and before[head] == after[head] == "\n":
        first += 1
    end, old_end = len(after) - tail, len(before) - tail
    last = lines.line_of(end)
    if (end == 0 or after[end - 1] == "\n") and (old_end == 0 or before[old_end - 1] == "\n"):
        last -= 1
    return ChangedLines(first + 1, len(lines) - 1 - max(last, first - 1))
