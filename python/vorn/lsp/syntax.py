"""What is written at a position of a read document: the records of its
line found by halving (records are in written order), the part of one
under the cursor, and a record's place in the data."""

from __future__ import annotations

from dataclasses import dataclass
from enum import StrEnum

from .._document import Document
from .._native import SyntaxForm, SyntaxKind, SyntaxRecord, SyntaxTree
from .._spans import Span
from .positions import contains


class Part(StrEnum):
    KEY = "key"
    VALUE = "value"
    ANCHOR = "anchor"  # the anchor's name, after '&'
    ALIAS = "alias"  # an alias or a merge's '*name'


@dataclass(frozen=True, slots=True)
class Hit:
    record: SyntaxRecord
    part: Part


def first_record_at(tree: SyntaxTree, lineno: int) -> int:
    """The index of the first record whose head is on line ``lineno`` or
    below it (the records are in written order)."""
    low, high = 0, len(tree)
    while low < high:
        middle = (low + high) // 2
        if tree[middle].line < lineno:
            low = middle + 1
        else:
            high = middle
    return low


def records_on_line(tree: SyntaxTree, lineno: int) -> list[SyntaxRecord]:
    """The records whose head is on line ``lineno``."""
    low = first_record_at(tree, lineno)
    found = []
    while low < len(tree) and tree[low].line == lineno:
        found.append(tree[low])
        low += 1
    return found


def hit_at(document: Document, lineno: int, colno: int) -> Hit | None:
    """The record part at the character position, the innermost first: an
    anchor's or alias's name, then a key, then a value on the line."""
    tree = document._tree
    on_line = records_on_line(tree, lineno)
    for record in reversed(on_line):
        if record.anchor_span is not None and contains(record.anchor_span, lineno, colno):
            return Hit(record, Part.ANCHOR)
        if record.form == SyntaxForm.ALIAS and contains(record.value_span, lineno, colno):
            return Hit(record, Part.ALIAS)
        if record.key_span is not None and contains(record.key_span, lineno, colno):
            return Hit(record, Part.KEY)
        if record.value_span.lineno == lineno and contains(_first_line(record.value_span), lineno, colno):
            return Hit(record, Part.VALUE)
    return None


def _first_line(span: Span) -> Span:
    if span.end_lineno == span.lineno:
        return span
    return Span(span.lineno, span.colno, span.lineno, 1 << 30)


def name_span(record: SyntaxRecord, part: Part) -> Span:
    """The span of the name alone: an anchor's after '&', an alias's
    after '*'."""
    if part == Part.ANCHOR:
        assert record.anchor_span is not None
        return record.anchor_span
    value = record.value_span
    return Span(value.lineno, value.colno + 1, value.end_lineno, value.end_colno)


def anchor_record(tree: SyntaxTree, hit: Hit) -> SyntaxRecord | None:
    """The record whose anchor the hit names: its own, or its alias's."""
    if hit.part == Part.ANCHOR:
        return hit.record
    if hit.part == Part.ALIAS and hit.record.target is not None:
        return tree.record(hit.record.target)
    return None


def uses_of(tree: SyntaxTree, anchored: SyntaxRecord) -> list[SyntaxRecord]:
    """The aliases and merges that name ``anchored``'s anchor."""
    return [
        tree[index]
        for index in range(anchored.index + 1, len(tree))
        if tree[index].target == anchored.index and tree[index].form == SyntaxForm.ALIAS
    ]


def steps_of(tree: SyntaxTree, record: SyntaxRecord) -> tuple[str | int, ...]:
    """The record's place in the data where it is written: keys for
    entries, positions among the items for items."""
    steps: list[str | int] = []
    current: SyntaxRecord | None = record
    while current is not None:
        parent = current.parent
        if current.kind == SyntaxKind.ITEM:
            siblings = tree.children(parent)
            items = [index for index in siblings if tree[index].kind == SyntaxKind.ITEM]
            steps.append(items.index(current.index))
        elif current.kind == SyntaxKind.ENTRY:
            assert current.key is not None
            steps.append(current.key)
        current = None if parent is None else tree.record(parent)
    return tuple(reversed(steps))
