"""Hover: for a key, its field's type, description and default from the
schema, and the merges that bring its mapping elsewhere; for an alias or
a merge, the anchored value (cut to a few lines) and where it is; for an
anchor, how many aliases and merges use it."""

from __future__ import annotations

from typing import Any

from lsprotocol import types

from .._native import SyntaxKind, SyntaxRecord, SyntaxTree
from .._paths import path_text
from .documents import OpenDocument
from .schema_info import default, description, is_required, schema_at, type_words
from .syntax import Part, anchor_record, hit_at, steps_of, uses_of

# The lines of an anchored value a hover shows before it cuts.
SHOWN_LINES = 6


def hover(document: OpenDocument, position: types.Position, schema: Any) -> types.Hover | None:
    read = document.document()
    if read is None:
        return None
    tree = read._tree
    hit = hit_at(read, *document.lines.column(position))
    if hit is None:
        return None
    record = hit.record
    if hit.part == Part.ALIAS:
        anchored = anchor_record(tree, hit)
        if anchored is None:
            return None
        text = _anchored(document, anchored)
        title = "merges" if record.kind == SyntaxKind.MERGE else "stands for"
        lines = [f"{title} `&{anchored.anchor}`, anchored at line {anchored.line}:", "```vorn", *text, "```"]
    elif hit.part == Part.ANCHOR:
        uses = uses_of(tree, record)
        lines = [f"anchor `&{record.anchor}`: used by {len(uses)} alias{'es' if len(uses) != 1 else ''} and merges"]
        lines += [f"- line {use.line}" for use in uses]
    else:
        lines = _field(tree, record, schema)
    span = hit.record.key_span if hit.part == Part.KEY and hit.record.key_span is not None else None
    return types.Hover(
        contents=types.MarkupContent(kind=types.MarkupKind.Markdown, value="\n".join(lines)),
        range=None if span is None else document.lines.range(span),
    )


def _anchored(document: OpenDocument, anchored: SyntaxRecord) -> list[str]:
    """The anchored entry's lines, cut after a few."""
    span = anchored.lines_span
    head = anchored.head_span
    shown = [document.lines.line(number - 1) for number in range(head.lineno, span.end_lineno + 1)]
    indent = min((len(line) - len(line.lstrip(" ")) for line in shown if line.strip()), default=0)
    shown = [line[indent:] for line in shown]
    if len(shown) > SHOWN_LINES:
        shown = [*shown[:SHOWN_LINES], f"... ({len(shown) - SHOWN_LINES} more lines)"]
    return shown


def _field(tree: SyntaxTree, record: SyntaxRecord, schema: Any) -> list[str]:
    steps = steps_of(tree, record)
    lines = [f"`{path_text(steps)}`"]
    if record.kind == SyntaxKind.MERGE and record.target is not None:
        lines.append(_merged_keys(tree, record))
    if schema is not None and record.kind != SyntaxKind.MERGE:
        node = schema_at(schema, steps)
        if node is not None:
            required = isinstance(steps[-1], str) and is_required(schema_at(schema, steps[:-1]), schema, steps[-1])
            lines[0] += f": `{type_words(node, schema)}`" + (" (required)" if required else "")
            said = description(node, schema)
            if said:
                lines += ["", said]
            given = default(node, schema)
            if given is not None:
                lines += ["", f"default: `{given}`"]
    parent = None if record.parent is None else tree.record(record.parent)
    if parent is not None:
        for use in uses_of(tree, parent):
            if use.kind == SyntaxKind.MERGE:
                where = path_text(steps_of(tree, tree.record(use.parent)) if use.parent is not None else ())
                lines += ["", f"merged into `{where}` by the `<<` at line {use.line}"]
    return lines


def _merged_keys(tree: SyntaxTree, merge: SyntaxRecord) -> str:
    """Which keys the merge brings, and which of them its mapping writes
    over."""
    assert merge.target is not None
    source = tree.record(merge.target)
    brought = [tree[index].key for index in tree.children(source.index) if tree[index].kind == SyntaxKind.ENTRY]
    own = {tree[index].key for index in tree.children(merge.parent) if tree[index].kind == SyntaxKind.ENTRY}
    kept = [key for key in brought if key not in own]
    over = [key for key in brought if key in own]
    said = f"`<<` brings from `&{source.anchor}` (line {source.line}): " + (
        ", ".join(f"`{k}`" for k in kept) or "nothing"
    )
    if over:
        said += "; written over here: " + ", ".join(f"`{k}`" for k in over)
    return said
