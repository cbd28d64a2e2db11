"""The errors of the package: DecodeError when a document cannot be read,
with its position; ValidationError when its data do not fit the type asked
for, with the position of each value at fault; EncodeError when a tree
would not be written faithfully, with its place in the tree."""

from __future__ import annotations

import os
from collections.abc import Sequence
from dataclasses import dataclass
from typing import Any, Self

from . import _diagnostics
from ._spans import Span

# The name shown for a document that came from no file, where a file's
# path would stand.
NO_FILE = "<string>"


class DecodeError(ValueError):
    """A document that could not be read, with where its first fault is.

    Raised by ``loads``, ``parse``, ``load`` and ``load_path``; a subclass of
    ValueError. Besides the faults of the document, it reports a str that
    begins with a byte order mark (decode with ``utf-8-sig``) and, from
    ``load`` and ``load_path``, bytes that are not UTF-8, at the first of
    them (with the UnicodeDecodeError as ``__cause__``). Positions count as
    editors and ``json.JSONDecodeError`` do:

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
        doc: the whole document text (for bytes that are not UTF-8, with
            U+FFFD for each sequence that is not).
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
        reader_msg, reader_pos: the reader's own message and position.
            They are ``msg`` and ``pos`` but for a fault that a YAML habit
            explains, where ``msg`` names the cause and what vorn writes
            instead, ``pos`` points at the cause (a ``|-`` header, the
            value that goes on over lines) and the reader's message follows
            in brackets: ``'|-' is a YAML block header; vorn's literal
            block is '|' alone, which keeps no final line feed (read as
            vorn: unexpected indentation at line 4, column 5)``.
    """

    msg: str
    doc: str
    pos: int
    lineno: int
    colno: int
    path: str | None
    native_message: str | None
    reader_msg: str
    reader_pos: int

    def __init__(
        self,
        msg: str,
        doc: str,
        pos: int,
        path: str | os.PathLike[str] | None = None,
        *,
        native_message: str | None = None,
        reader_msg: str | None = None,
        reader_pos: int | None = None,
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
        self.reader_msg = msg if reader_msg is None else reader_msg
        self.reader_pos = pos if reader_pos is None else reader_pos

    def __reduce__(self) -> tuple[type[Self], tuple[str, str, int, str | None], dict[str, str | int | None]]:
        # The constructor's arguments are not ``args``; pickling needs them.
        state = {"native_message": self.native_message, "reader_msg": self.reader_msg, "reader_pos": self.reader_pos}
        return type(self), (self.msg, self.doc, self.pos, self.path), state


@dataclass(frozen=True, slots=True)
class ValidationIssue:
    """One value of a document that does not fit the type given as
    ``into=``, and where the document shows it. Positions count as in
    DecodeError: lines from 1, columns in characters from 1.

    >>> import dataclasses
    >>> @dataclasses.dataclass
    ... class Limits:
    ...     workers: int
    >>> try:
    ...     vorn.loads("_vorn_version: 1.0\\nworkers: many\\n", into=Limits)
    ... except vorn.ValidationError as error:
    ...     error.errors
    [ValidationIssue(path='$.workers', lineno=2, colno=10, msg='Input should be a valid integer, unable to parse string as an integer', input='many', type='int_parsing', via=())]

    Attributes:
        path: the value's place, in the notation of EncodeError
            (``$.server.port``, ``$.items[0].name``); for a field that is
            missing, the place it would have.
        lineno: the line the position is on.
        colno: the column of its first character. A value that does not
            fit points at the value where it is written (one an alias or a
            merge repeats, in the anchored block); a missing field at the
            key of the mapping that lacks it (an item of a list at the item,
            the root at the document's start); a field not allowed at its
            key.
        msg: pydantic's message, e.g. ``"Field required"``.
        input: the value pydantic was given there.
        type: pydantic's name for the kind of fault, e.g. ``"int_parsing"``,
            ``"missing"``, ``"extra_forbidden"``.
        via: for a value an alias or a merge repeats where the data hold
            it, the spans of the ``*alias`` values and ``<<`` lines that
            brought it there, outermost first; else empty.
    """

    path: str
    lineno: int
    colno: int
    msg: str
    input: Any
    type: str
    via: tuple[Span, ...] = ()


class ValidationError(ValueError):
    """A document that was read but whose data do not fit the type given
    as ``into=`` to ``loads``, ``parse``, ``load`` or ``load_path``; a
    subclass of ValueError. ``str()`` shows every value at fault as
    ``vorn check`` shows a fault: ``PATH:LINE:COL: $.place: message``, the
    line, and a caret under the column, with ``<string>`` for PATH when the
    document came from no file.

    >>> import dataclasses
    >>> @dataclasses.dataclass
    ... class Server:
    ...     host: str
    ...     port: int
    >>> try:
    ...     vorn.loads("_vorn_version: 1.0\\nport: eighty\\n", into=Server)
    ... except vorn.ValidationError as error:
    ...     print(error)
    ...     print([(issue.path, issue.lineno, issue.colno) for issue in error.errors])
    <string>:1:1: $.host: Field required
    _vorn_version: 1.0
    ^
    <string>:2:7: $.port: Input should be a valid integer, unable to parse string as an integer
    port: eighty
          ^
    [('$.host', 1, 1), ('$.port', 2, 7)]

    Its ``__cause__`` is pydantic's own ValidationError, for programs that
    use pydantic's error objects.

    Attributes:
        errors: a ValidationIssue for each value at fault, in pydantic's
            order.
        doc: the whole document text.
        path: the file the document came from, when known.
    """

    errors: list[ValidationIssue]
    doc: str
    path: str | None

    def __init__(self, errors: Sequence[ValidationIssue], doc: str, path: str | os.PathLike[str] | None = None) -> None:
        shown_path = None if path is None else os.fspath(path)
        super().__init__(_report(errors, doc, NO_FILE if shown_path is None else shown_path))
        self.errors = list(errors)
        self.doc = doc
        self.path = shown_path

    def __reduce__(self) -> tuple[type[Self], tuple[list[ValidationIssue], str, str | None]]:
        return type(self), (self.errors, self.doc, self.path)


def _report(errors: Sequence[ValidationIssue], doc: str, path: str) -> str:
    """Each issue as ``vorn check`` shows a fault, and each alias or merge
    that brought its value as a note, without the last line feed."""
    lines = doc.split("\n")

    def shown_at(lineno: int, colno: int, message: str) -> str:
        line = lines[lineno - 1].removesuffix("\r") if 0 < lineno <= len(lines) else ""
        return _diagnostics.render(
            _diagnostics.Fault(path, lineno, colno, message, line.encode("utf-8", "surrogatepass"))
        )

    shown = []
    for issue in errors:
        shown.append(shown_at(issue.lineno, issue.colno, f"{issue.path}: {issue.msg}"))
        shown += [
            shown_at(place.lineno, place.colno, f"note: the value at {issue.path} comes through here")
            for place in issue.via
        ]
    return "".join(shown).removesuffix("\n")


class EncodeError(ValueError):
    """A tree that ``dumps``, ``dump``, ``dump_path`` and ``vorn from-json``
    refuse to write, because its text would not read back equal (or, for a
    key holding a line feed, cannot be written at all).

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


class EditError(ValueError):
    """A change that ``Document.dumps``, ``Document.save``, ``edit_path``,
    ``vorn set`` and ``vorn del`` cannot make in the document's text in
    place, so nothing is written. The data can still be written whole, as
    ``vorn.dumps`` writes them (comments and layout are then lost): pass
    ``rewrite=True`` (``--rewrite`` on the tool) to do that instead.

    >>> error = vorn.EditError("$.server", "the edited text would read back as other data here")
    >>> error.location, isinstance(error, ValueError)
    ('$.server', True)

    Attributes:
        location: the value the change could not be made at, in the notation
            of EncodeError (``$.server.port``).
        reason: why.
    """

    location: str
    reason: str

    def __init__(self, location: str, reason: str) -> None:
        super().__init__(
            f"{location}: {reason}; pass rewrite=True to write the whole document anew "
            "(its comments and layout are then lost)"
        )
        self.location = location
        self.reason = reason

    def __reduce__(self) -> tuple[type[Self], tuple[str, str]]:
        return type(self), (self.location, self.reason)
