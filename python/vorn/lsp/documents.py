"""The documents the client has open: their text as the client last sent
it, changed in place by full or incremental changes, and their reading,
made once per text and only when a feature asks for it."""

from __future__ import annotations

from collections.abc import Sequence

from lsprotocol import types

from .._document import Document
from .._errors import DecodeError
from .lint_cache import LintCache
from .positions import UTF16, Lines


class OpenDocument:
    """One open document: its text, version and reading."""

    __slots__ = (
        "_changed",
        "_fault",
        "_lines",
        "_read",
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
        # The line (from 1) every change since ``take_changed_line`` was
        # made in, without a line added or removed; 0 before any change,
        # None once changes went further.
        self._changed: int | None = None
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
            if isinstance(change, types.TextDocumentContentChangePartial):
                self._note(change)
                lines = self.lines
                begin = lines.offset(change.range.start)
                end = max(begin, lines.offset(change.range.end))
                self._lines = lines.replaced(begin, end, change.text)
                self.text = self._lines.text
            else:
                self.text = change.text
                self._lines = None
                self._changed = None
        self.version = version
        self._read = False
        self._fault = None

    def _note(self, change: types.TextDocumentContentChangePartial) -> None:
        start, end = change.range.start, change.range.end
        line = start.line + 1
        one_line = start.line == end.line and "\n" not in change.text and "\r" not in change.text
        if not one_line or self._changed not in (0, line):
            self._changed = None
        else:
            self._changed = line

    def take_changed_line(self) -> int | None:
        """The one line changed since the last call (None: more, or none
        known), and from now on none."""
        changed = self._changed or None
        self._changed = 0
        return changed

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
