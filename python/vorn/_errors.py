"""The errors of the package: DecodeError when a document cannot be read,
with its position; EncodeError when a tree would not be written faithfully,
with its place in the tree."""

from __future__ import annotations

import os
import re
from typing import Self

# The native module reports every document fault as a ValueError whose text
# is "parse error: " followed by the core's one rendering of the fault.
_NATIVE_MESSAGE = re.compile(
    r"parse error: parse error at line (?P<line>\d+), column (?P<column>\d+): (?P<msg>.*)\Z",
    re.DOTALL,
)


class DecodeError(ValueError):
    """A document that could not be read.

    ``str()`` of the error is the native message, so code that catches
    ``ValueError`` or compares messages sees what ``loads`` raises.

    Attributes:
        msg: the fault alone, e.g. ``"expected ':' in mapping entry"``.
        lineno: 1-based line number; blank lines count.
        colno: 1-based column, counted in UTF-8 bytes from the start of the
            line's content (its indentation is not counted).
        doc: the whole document text.
        path: the file the document came from, when known.
    """

    msg: str
    lineno: int
    colno: int
    doc: str
    path: str | None

    def __init__(
        self,
        msg: str,
        doc: str,
        lineno: int,
        colno: int,
        path: str | os.PathLike[str] | None = None,
    ) -> None:
        super().__init__(f"parse error: parse error at line {lineno}, column {colno}: {msg}")
        self.msg = msg
        self.doc = doc
        self.lineno = lineno
        self.colno = colno
        self.path = None if path is None else os.fspath(path)

    def __reduce__(self) -> tuple[type[Self], tuple[str, str, int, int, str | None]]:
        # The constructor's arguments are not ``args``; pickling needs them.
        return type(self), (self.msg, self.doc, self.lineno, self.colno, self.path)

    @classmethod
    def from_native(
        cls, error: ValueError, doc: str, path: str | os.PathLike[str] | None = None
    ) -> Self | None:
        """The DecodeError for a document fault raised by ``loads``, or None
        when ``error`` is some other ValueError (such as a UnicodeEncodeError)."""
        if type(error) is not ValueError or len(error.args) != 1 or not isinstance(error.args[0], str):
            return None
        match = _NATIVE_MESSAGE.match(error.args[0])
        if match is None:
            return None
        return cls(match["msg"], doc, int(match["line"]), int(match["column"]), path)


class EncodeError(ValueError):
    """A tree that ``dump``, ``dump_path`` and ``vorn from-json`` refuse to
    write, because its text would not read back equal (or, for a key holding
    a line feed, cannot be written at all).

    ``str()`` of the error is ``"LOCATION: REASON"``, followed by
    ``"; pass lossy=True to write it anyway"`` when that would write it.

    Attributes:
        location: the first offending value, in the notation of ``vorn
            from-json``: ``$`` for the root, ``.key`` or ``["odd key"]`` for
            a mapping entry, ``[2]`` for a list item (``$.server.script``).
            Values are looked at in the order they would be written (keys in
            byte order).
        reason: what would be lost, e.g. ``"the final line feed of a
            multi-line string would be dropped"``.
        lossy_helps: whether ``lossy=True`` writes the tree anyway, with the
            loss; False for a key holding a line feed.
    """

    location: str
    reason: str
    lossy_helps: bool

    def __init__(self, location: str, reason: str, lossy_helps: bool = True) -> None:
        hint = "; pass lossy=True to write it anyway" if lossy_helps else ""
        super().__init__(f"{location}: {reason}{hint}")
        self.location = location
        self.reason = reason
        self.lossy_helps = lossy_helps

    def __reduce__(self) -> tuple[type[Self], tuple[str, str, bool]]:
        return type(self), (self.location, self.reason, self.lossy_helps)
