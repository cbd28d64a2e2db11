"""Lints: documents that read, but likely not as their author meant.

Each finding names the fix. They come from the document as written (its
syntax records), so they see what the values alone cannot: a key written
twice, an anchor nobody uses, the shape of an item's lines.
"""

from __future__ import annotations

from dataclasses import dataclass

from ._document import Document
from ._native import SyntaxTree

# What the reader counts as White_Space after a colon.
_WHITE_SPACE = frozenset(
    " \t\n\x0b\x0c\r\x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000"
)


@dataclass(frozen=True, slots=True)
class Lint:
    lineno: int
    colno: int
    msg: str


@dataclass(frozen=True, slots=True)
class _Record:
    index: int
    kind: str
    form: str
    parent: int
    target: int
    key: str | None
    key_span: tuple[int, int, int, int] | None
    value_span: tuple[int, int, int, int]
    head_span: tuple[int, int, int, int]
    anchor: str | None


def lints(document: Document) -> list[Lint]:
    """Every finding in ``document``, in the order of the text."""
    tree = document._tree
    records = [_record(tree, i) for i in range(len(tree))]
    lines = document.text.split("\n")
    found = [
        *_repeated_keys(records),
        *_colon_items(records, tree, lines),
        *_unused_anchors(records),
        *_items_that_do_not_nest(records, tree, lines),
    ]
    return sorted(found, key=lambda lint: (lint.lineno, lint.colno))


def _record(tree: SyntaxTree, index: int) -> _Record:
    kind, form, parent, target, key, key_span, value_span, head_span, _lines, anchor, _comment = tree.record(index)
    return _Record(index, kind, form, parent, target, key, key_span, value_span, head_span, anchor)


def _at(span: tuple[int, int, int, int]) -> str:
    return f"line {span[0]}, column {span[1]}"


def _repeated_keys(records: list[_Record]) -> list[Lint]:
    seen: dict[tuple[int, str], _Record] = {}
    found = []
    for record in records:
        if record.kind != "entry" or record.key is None or record.key_span is None:
            continue
        earlier = seen.get((record.parent, record.key))
        seen[(record.parent, record.key)] = record
        if earlier is not None and earlier.key_span is not None:
            found.append(
                Lint(
                    *record.key_span[:2],
                    f"key '{record.key}' is written twice in one mapping, at {_at(earlier.key_span)} and "
                    f"{_at(record.key_span)}; the later one wins: delete the entry you do not mean",
                )
            )
    return found


def _line_text(lines: list[str], span: tuple[int, int, int, int]) -> str:
    return lines[span[0] - 1].removesuffix("\r")


def _colon_items(records: list[_Record], tree: SyntaxTree, lines: list[str]) -> list[Lint]:
    found = []
    for record in records:
        if record.kind != "item" or record.form != "inline_mapping":
            continue
        first = next((records[child] for child in tree.children(record.index)), None)
        if first is None or first.key_span is None:
            continue
        line = _line_text(lines, first.key_span)
        colon = line.find(":", first.key_span[3] - 1)
        after = line[colon + 1 : colon + 2]
        if colon < 0 or after == "" or after in _WHITE_SPACE:
            continue
        written = line[record.value_span[1] - 1 :].split(" #")[0].rstrip()
        found.append(
            Lint(
                record.value_span[0],
                record.value_span[1],
                f"the item '- {written}' reads as a mapping because of its colon; "
                f"quote it to keep it a string: - {_double_quoted(written)}",
            )
        )
    return found


def _double_quoted(text: str) -> str:
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def _unused_anchors(records: list[_Record]) -> list[Lint]:
    used = {record.target for record in records if record.form == "alias" and record.target >= 0}
    return [
        Lint(
            *record.value_span[:2],
            f"anchor &{record.anchor} is never used by an alias or a merge: remove it, or use it as *{record.anchor}",
        )
        for record in records
        if record.anchor is not None and record.index not in used
    ]


def _items_that_do_not_nest(records: list[_Record], tree: SyntaxTree, lines: list[str]) -> list[Lint]:
    found = []
    for record in records:
        if record.kind != "item" or record.form != "inline_mapping":
            continue
        children = [records[child] for child in tree.children(record.index)]
        if len(children) < 2 or children[0].form != "empty" or children[1].head_span[0] == children[0].head_span[0]:
            continue
        first, below = children[0], children[1]
        found.append(
            Lint(
                *first.head_span[:2],
                f"the lines below '- {first.key}:' continue the item's mapping ('{below.key}' is the item's "
                f"own key) and '{first.key}' stays empty; to nest them under '{first.key}', write '-' alone "
                f"on the item's line, '{first.key}:' below it, and indent its lines under that",
            )
        )
    return found
