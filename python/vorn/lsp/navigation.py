"""Anchors and their uses: definition (an alias or merge to its anchor),
references (an anchor to its aliases and merges) and rename of an anchor,
which changes its name and every use of it and nothing else."""

from __future__ import annotations

from lsprotocol import types

from .._document import Document
from .._errors import DecodeError
from .._fixes import TextEdit, apply_edits
from .._native import WHITE_SPACE
from .documents import OpenDocument
from .syntax import Part, anchor_record, hit_at, name_span, uses_of


class RenameRefused(Exception):
    """A new anchor name that would change the document's data."""


def definition(document: OpenDocument, position: types.Position) -> types.Location | None:
    read = document.document()
    if read is None:
        return None
    hit = hit_at(read, *document.lines.column(position))
    if hit is None or hit.part != Part.ALIAS:
        return None
    anchored = anchor_record(read._tree, hit)
    if anchored is None:
        return None
    return types.Location(document.uri, document.lines.range(name_span(anchored, Part.ANCHOR)))


def references(document: OpenDocument, position: types.Position, with_declaration: bool) -> list[types.Location]:
    read = document.document()
    if read is None:
        return []
    hit = hit_at(read, *document.lines.column(position))
    anchored = None if hit is None else anchor_record(read._tree, hit)
    if anchored is None:
        return []
    spans = [name_span(use, Part.ALIAS) for use in uses_of(read._tree, anchored)]
    if with_declaration:
        spans.insert(0, name_span(anchored, Part.ANCHOR))
    return [types.Location(document.uri, document.lines.range(span)) for span in spans]


def prepare_rename(document: OpenDocument, position: types.Position) -> types.PrepareRenamePlaceholder | None:
    """The anchor's name under the cursor, or None: only anchors (at the
    anchor or at any of its uses) can be renamed."""
    read = document.document()
    if read is None:
        return None
    hit = hit_at(read, *document.lines.column(position))
    anchored = None if hit is None else anchor_record(read._tree, hit)
    if hit is None or anchored is None or anchored.anchor is None:
        return None
    return types.PrepareRenamePlaceholder(document.lines.range(name_span(hit.record, hit.part)), anchored.anchor)


def rename(document: OpenDocument, position: types.Position, new_name: str) -> types.WorkspaceEdit | None:
    read = document.document()
    if read is None:
        return None
    hit = hit_at(read, *document.lines.column(position))
    anchored = None if hit is None else anchor_record(read._tree, hit)
    if anchored is None:
        return None
    if (
        not new_name
        or new_name != new_name.strip(WHITE_SPACE)
        or "\n" in new_name
        or "\r" in new_name
        or "#" in new_name
    ):
        raise RenameRefused(
            f"{new_name!r} cannot be an anchor's name: give a name without '#', line ends or blanks at its ends"
        )
    edits = [TextEdit(name_span(anchored, Part.ANCHOR), new_name)]
    edits += [TextEdit(name_span(use, Part.ALIAS), new_name) for use in uses_of(read._tree, anchored)]
    _check_unchanged(read, apply_edits(document.text, edits), new_name)
    return types.WorkspaceEdit(
        changes={document.uri: [types.TextEdit(document.lines.range(edit.span), edit.new_text) for edit in edits]}
    )


def _check_unchanged(read: Document, renamed: str, new_name: str) -> None:
    """The renamed text must read as the same data, each alias still
    naming the same anchor (another anchor of the new name after it would
    take its aliases)."""
    try:
        again = Document.parse(renamed)
    except DecodeError as error:
        raise RenameRefused(f"renaming to {new_name!r} would make the document unreadable: {error.msg}") from None
    tree, new_tree = read._tree, again._tree
    same_targets = len(tree) == len(new_tree) and all(tree[i].target == new_tree[i].target for i in range(len(tree)))
    if again.data != read.data or not same_targets:
        raise RenameRefused(f"renaming to {new_name!r} would change what an alias stands for: choose another name")
