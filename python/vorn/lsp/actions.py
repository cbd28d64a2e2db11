"""Quick fixes and formatting. A fix that is a change of data (quoting a
colon item: the item becomes the string it was written as) is made by
changing ``Document.data`` and taking ``Document.dumps()``, the edit
engine's verified text; any other certain fix (removing an unused anchor,
a YAML habit's rewrite, indenting items under their key) is the lint's or
the repair's own text edits, kept only if the result still reads (and
reads as the same data where the fix must not change them). The client
gets the smallest edit between the old and new text."""

from __future__ import annotations

from typing import Any

from lsprotocol import types

from .._document import Document
from .._errors import DecodeError, EditError, EncodeError
from .._fixes import Fix, apply_edits
from .._format import format_text
from .._lints import Lint, lints
from .._native import SyntaxKind
from .._repair import COMPACT_ITEMS, LIST_BELOW_FIRST_KEY, compact_items_fix, first_key_fix
from .._spans import Span
from .documents import OpenDocument
from .positions import Lines
from .syntax import records_on_line, steps_of

# Fixes that must leave the data as they were.
_SAME_DATA = frozenset({"unused-anchor"})


def formatting(document: OpenDocument) -> list[types.TextEdit]:
    """The edit that lays the document out (none when it is laid out);
    a document that does not read raises its DecodeError."""
    formatted = format_text(document.text)
    return _smallest_edits(document.lines, formatted)


def code_actions(document: OpenDocument, range_: types.Range) -> list[types.CodeAction]:
    wanted = document.lines.span(range_)
    fault = document.fault
    if fault is not None:
        action = _repair_action(document, fault)
        return [] if action is None else [action]
    read = document.document()
    assert read is not None
    found = []
    for lint in lints(read):
        if lint.fix is None or lint.span is None or not _meets(lint.span, wanted):
            continue
        new_text = _colon_item_text(document, lint) if lint.code == "colon-in-item" else None
        if new_text is None:
            new_text = _checked(document.text, lint.fix, read.data if lint.code in _SAME_DATA else None)
        if new_text is not None:
            found.append(_action(document, lint.fix.title, new_text, lint.code))
    return found


def _meets(span: Span, wanted: Span) -> bool:
    """Whether the lines of ``span`` and ``wanted`` meet: a cursor
    anywhere on a warning's line is offered its fix."""
    return span.lineno <= wanted.end_lineno and wanted.lineno <= span.end_lineno


def _action(document: OpenDocument, title: str, new_text: str, code: str) -> types.CodeAction:
    return types.CodeAction(
        title=title,
        kind=types.CodeActionKind.QuickFix,
        edit=types.WorkspaceEdit(changes={document.uri: _smallest_edits(document.lines, new_text)}),
        is_preferred=True,
        diagnostics=None,
        data={"code": code},
    )


def _checked(text: str, fix: Fix, same_as: Any) -> str | None:
    """The text with the fix's edits, if it reads (as the same data when
    ``same_as`` is given)."""
    fixed = apply_edits(text, fix.edits)
    try:
        again = Document.parse(fixed)
    except DecodeError:
        return None
    return fixed if same_as is None or again.data == same_as else None


def _colon_item_text(document: OpenDocument, lint: Lint) -> str | None:
    """The item set to the string it was written as, through the edit
    engine; None when the engine cannot make it in place."""
    assert lint.span is not None
    fresh = Document.parse(document.text)
    tree = fresh._tree
    item = next(
        (
            record
            for record in records_on_line(tree, lint.span.lineno)
            if record.kind == SyntaxKind.ITEM and tuple(record.value_span)[:2] == (lint.span.lineno, lint.span.colno)
        ),
        None,
    )
    if item is None:
        return None
    steps = steps_of(tree, item)
    line = document.lines.line(lint.span.lineno - 1)
    written = line[lint.span.colno - 1 : lint.span.end_colno - 1]
    holder: Any = fresh.data
    for step in steps[:-1]:
        holder = holder[step]
    holder[steps[-1]] = written
    try:
        return fresh.dumps()
    except (EditError, EncodeError):
        return None


def _repair_action(document: OpenDocument, fault: DecodeError) -> types.CodeAction | None:
    """The fix of a read fault whose meaning is certain: items at their
    key's indentation, or a list below '- key:'."""
    if fault.reader_msg not in (COMPACT_ITEMS, LIST_BELOW_FIRST_KEY):
        return None
    text = document.text
    lineno = text.count("\n", 0, fault.reader_pos) + 1
    fix = compact_items_fix(text, lineno) if fault.reader_msg == COMPACT_ITEMS else first_key_fix(text, lineno)
    if fix is None:
        return None
    fixed = apply_edits(text, fix.edits)
    try:
        Document.parse(fixed)
    except DecodeError as later:
        # Another fault further down may remain; this one must be gone.
        if later.lineno <= lineno and later.reader_msg == fault.reader_msg:
            return None
    return _action(document, fix.title, fixed, "read-fault")


def _smallest_edits(lines: Lines, new_text: str) -> list[types.TextEdit]:
    """One edit replacing only what differs between the texts (none when
    they are equal)."""
    old = lines.text
    if old == new_text:
        return []
    start = 0
    limit = min(len(old), len(new_text))
    while start < limit and old[start] == new_text[start]:
        start += 1
    end_old, end_new = len(old), len(new_text)
    while end_old > start and end_new > start and old[end_old - 1] == new_text[end_new - 1]:
        end_old -= 1
        end_new -= 1
    # Never split a CRLF line end, which no position lies inside.
    while start > 0 and old[start - 1] == "\r":
        start -= 1
    while end_old < len(old) and old[end_old - 1 : end_old + 1] == "\r\n":
        end_old += 1
        end_new += 1
    range_ = types.Range(lines.at_offset(start), lines.at_offset(end_old))
    return [types.TextEdit(range_, new_text[start:end_new])]
