"""Lints: documents that read, but likely not as their author meant.

Each finding names the fix. They come from the document as written (its
syntax records), so they see what the values alone cannot: a key written
twice, an anchor nobody uses, the shape of an item's lines.
"""

from __future__ import annotations

from dataclasses import dataclass

from ._document import Document
from ._fixes import Fix, TextEdit
from ._native import WHITE_SPACE, SyntaxForm, SyntaxKind, SyntaxRecord, SyntaxTree
from ._spans import Span
from ._yaml_lints import yaml_habits


@dataclass(frozen=True, slots=True)
class Lint:
    """One finding: where it starts, what reads otherwise than meant and,
    for those that have them, a stable ``code``, the fix in words as
    ``help``, the whole range as ``span``, and a certain ``fix`` as text
    edits (for an editor's quick fix)."""

    lineno: int
    colno: int
    msg: str
    code: str = ""
    help: str = ""
    span: Span | None = None
    fix: Fix | None = None


def lints(document: Document) -> list[Lint]:
    """Every finding in ``document``, in the order of the text."""
    tree = document._tree
    records = [tree.record(index) for index in range(len(tree))]
    lines = document.text.split("\n")
    found = [
        *_repeated_keys(records),
        *_colon_items(records, tree, lines),
        *_unused_anchors(records, tree),
        *_items_that_do_not_nest(records, tree, lines),
        *(
            Lint(habit.span.lineno, habit.span.colno, habit.message, habit.code, habit.help, habit.span, habit.fix)
            for habit in yaml_habits(tree)
        ),
    ]
    return sorted(found, key=lambda lint: (lint.lineno, lint.colno))


def _at(span: Span) -> str:
    return f"line {span.lineno}, column {span.colno}"


def _repeated_keys(records: list[SyntaxRecord]) -> list[Lint]:
    seen: dict[tuple[int | None, str], SyntaxRecord] = {}
    found = []
    for record in records:
        if record.kind != SyntaxKind.ENTRY or record.key is None or record.key_span is None:
            continue
        earlier = seen.get((record.parent, record.key))
        seen[(record.parent, record.key)] = record
        if earlier is not None and earlier.key_span is not None:
            found.append(
                Lint(
                    record.key_span.lineno,
                    record.key_span.colno,
                    f"key '{record.key}' is written twice in one mapping, at {_at(earlier.key_span)} and "
                    f"{_at(record.key_span)}; the later one wins: delete the entry you do not mean",
                )
            )
    return found


def _line_text(lines: list[str], span: Span) -> str:
    return lines[span.lineno - 1].removesuffix("\r")


def _colon_items(records: list[SyntaxRecord], tree: SyntaxTree, lines: list[str]) -> list[Lint]:
    found = []
    for record in records:
        if record.kind != SyntaxKind.ITEM or record.form != SyntaxForm.INLINE_MAPPING:
            continue
        first = next((records[child] for child in tree.children(record.index)), None)
        if first is None or first.key_span is None:
            continue
        line = _line_text(lines, first.key_span)
        colon = line.find(":", first.key_span.end_colno - 1)
        after = line[colon + 1 : colon + 2]
        if colon < 0 or after == "" or after in WHITE_SPACE:
            continue
        written = line[record.value_span.colno - 1 :].split(" #")[0].rstrip()
        where = Span(
            record.value_span.lineno,
            record.value_span.colno,
            record.value_span.lineno,
            record.value_span.colno + len(written),
        )
        found.append(
            Lint(
                record.value_span.lineno,
                record.value_span.colno,
                f"the item '- {written}' reads as a mapping because of its colon; "
                f"quote it to keep it a string: - {_double_quoted(written)}",
                span=where,
                fix=Fix("quote the item", (TextEdit(where, _double_quoted(written)),)),
            )
        )
    return found


def _double_quoted(text: str) -> str:
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def _unused_anchors(records: list[SyntaxRecord], tree: SyntaxTree) -> list[Lint]:
    used = {record.target for record in records if record.form == SyntaxForm.ALIAS and record.target is not None}
    text = memoryview(tree)
    found = []
    for record in records:
        if record.anchor is None or record.index in used or record.anchor_bytes is None:
            continue
        # From the blanks before the '&' to the end of the name.
        begin = record.anchor_bytes.start - 1
        while begin > 0 and text[begin - 1] == ord(" "):
            begin -= 1
        found.append(
            Lint(
                record.value_span.lineno,
                record.value_span.colno,
                f"anchor &{record.anchor} is never used by an alias or a merge: remove it, or use it as *{record.anchor}",
                span=tree.span(record.anchor_bytes.start - 1, record.anchor_bytes.stop),
                fix=Fix(
                    f"remove the anchor &{record.anchor}", (TextEdit(tree.span(begin, record.anchor_bytes.stop), ""),)
                ),
            )
        )
    return found


def _items_that_do_not_nest(records: list[SyntaxRecord], tree: SyntaxTree, lines: list[str]) -> list[Lint]:
    found = []
    for record in records:
        if record.kind != SyntaxKind.ITEM or record.form != SyntaxForm.INLINE_MAPPING:
            continue
        children = [records[child] for child in tree.children(record.index)]
        if len(children) < 2 or children[0].form != SyntaxForm.EMPTY or children[1].line == children[0].line:
            continue
        first, below = children[0], children[1]
        found.append(
            Lint(
                first.head_span.lineno,
                first.head_span.colno,
                f"the lines below '- {first.key}:' continue the item's mapping ('{below.key}' is the item's "
                f"own key) and '{first.key}' stays empty; to nest them under '{first.key}', write '-' alone "
                f"on the item's line, '{first.key}:' below it, and indent its lines under that",
            )
        )
    return found
