"""The errors of the package: DecodeError when a document cannot be read,
with its position; EncodeError when a tree would not be written faithfully,
with its place in the tree."""

from __future__ import annotations

import os
from typing import Self


class DecodeError(ValueError):
    """A document that could not be read, with where its first fault is.

    Raised by ``loads``, ``parse``, ``load`` and ``load_path``; a subclass of
    ValueError. Positions count as editors and ``json.JSONDecodeError`` do:

    >>> try:
    ...     vorn.loads("_vorn_version: 1.0\\nitems:\\n  - name: *nope\\n")
    ... except vorn.DecodeError as error:
    ...     print(error)
    ...     print(error.lineno, error.colno, error.pos, error.msg)
    line 3, column 9: unknown anchor: nope
    3 9 34 unknown anchor: nope

    ``str()`` is ``"PATH:LINE:COL: MESSAGE"`` when the document came from a
    file, ``"line LINE, column COL: MESSAGE"`` otherwise.

    Attributes:
        msg: the fault alone, e.g. ``"expected ':' in mapping entry"``.
        doc: the whole document text.
        pos: the character offset in ``doc`` that the fault points at: the
            colon of the entry at fault, the first tab, or the start of the
            line's text.
        lineno: the 1-based line of ``pos``; blank lines count, and only a
            line feed ends a line.
        colno: the 1-based column of ``pos`` in characters, counted from the
            start of the line (indentation and ``"- "`` included).
        path: the file the document came from, when known.
        native_message: the text ``_vorn_native.loads`` raises for the same
            document (``"parse error: parse error at line 3, column 5:
            unknown anchor: nope"``, whose column counts bytes from the
            line's content), or None for an error not made by the reader.
    """

    msg: str
    doc: str
    pos: int
    lineno: int
    colno: int
    path: str | None
    native_message: str | None

    def __init__(
        self,
        msg: str,
        doc: str,
        pos: int,
        path: str | os.PathLike[str] | None = None,
        *,
        native_message: str | None = None,
    ) -> None:
        lineno = doc.count("\n", 0, pos) + 1
        colno = pos - doc.rfind("\n", 0, pos)
        shown_path = None if path is None else os.fspath(path)
        where = f"line {lineno}, column {colno}" if shown_path is None else f"{shown_path}:{lineno}:{colno}"
        super().__init__(f"{where}: {msg}")
        self.msg = msg
        self.doc = doc
        self.pos = pos
        self.lineno = lineno
        self.colno = colno
        self.path = shown_path
        self.native_message = native_message

    def __reduce__(self) -> tuple[type[Self], tuple[str, str, int, str | None], dict[str, str | None]]:
        # The constructor's arguments are not ``args``; pickling needs them.
        return type(self), (self.msg, self.doc, self.pos, self.path), {"native_message": self.native_message}


class EncodeError(ValueError):
    """A tree that ``dump``, ``dump_path`` and ``vorn from-json`` refuse to
    write, because its text would not read back equal (or, for a key holding
    a line feed, cannot be written at all).

    ``str()`` of the error is ``"LOCATION: REASON"``, followed by
    ``"; pass lossy=True to write it anyway"`` when that would write it.

    >>> vorn.dump({"_vorn_version": "1.0", "script": "make\\n"}, io.StringIO())
    Traceback (most recent call last):
    vorn.EncodeError: $.script: the final line feed of a multi-line string would be dropped; pass lossy=True to write it anyway

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
