"""A document's findings renewed after lines were added, removed or
replaced: the records before the changed lines are those of the last
check, and those after them too, moved by as many lines and records as
the change added. Their findings are kept (moved with them); found anew
are those of the records of the changed lines, of the record just above
them (its value may run into them), of the records whose children
changed (and of their children where one is or was an only child), and
the findings of the whole document that they bear on (a key written
twice, an anchor nobody uses)."""

from __future__ import annotations

import bisect
import dataclasses
from collections.abc import Sequence

from .._document import Document
from .._fixes import Fix, TextEdit
from .._lints import (
    Findings,
    Lint,
    RepeatedKey,
    anchor_uses,
    record_findings,
    repeated_key,
    repeated_keys,
    unused_anchor,
    unused_anchors,
)
from .._native import SyntaxForm, SyntaxRecord, SyntaxTree
from .._spans import Span
from .syntax import first_record_at


class _Changed:
    """Not a record of both trees: one of the changed lines'."""


CHANGED = _Changed()


@dataclasses.dataclass(frozen=True, slots=True)
class _Moves:
    """How the records of the last check stand to those of this one: the
    same up to ``start``, the changed lines' from there (to ``old_end``,
    ``new_end``), then the same again, ``shift`` records and ``lines``
    lines further."""

    start: int
    old_end: int
    new_end: int
    lines: int

    @property
    def shift(self) -> int:
        return self.new_end - self.old_end

    def new(self, old: int | None) -> int | None | _Changed:
        """The index now of the record ``old`` (None: the root)."""
        if old is None or old < self.start:
            return old
        return old + self.shift if old >= self.old_end else CHANGED

    def old(self, new: int | None) -> int | None | _Changed:
        if new is None or new < self.start:
            return new
        return new - self.shift if new >= self.new_end else CHANGED

    def changed(self, new: int | None) -> bool:
        return new is not None and self.start <= new < self.new_end


def moved_findings(
    old: Document,
    found: Findings,
    new: Document,
    records: Sequence[SyntaxRecord],
    lines: Sequence[str],
    first: int,
    old_last: int,
    line_shift: int,
) -> Findings | None:
    """The findings of ``new``, whose lines ``first`` to ``old_last`` (from
    1) of ``old`` were replaced, moving the later ones by ``line_shift``;
    None when the records around the change do not match."""
    old_tree, new_tree = old._tree, new._tree
    moves = _moves(old_tree, new_tree, first, old_last, line_shift)
    if moves is None:
        return None
    dirty = set(range(max(moves.start - 1, 0), moves.new_end))
    if moves.start > 0:
        # The record above the changed lines: its form (a block, or empty)
        # is what its parent's checks look at.
        parent = new_tree[moves.start - 1].parent
        if parent is not None:
            dirty.add(parent)
    parents = _changed_parents(old_tree, new_tree, moves, dirty)
    for parent in parents:
        before = moves.old(parent)
        if isinstance(before, _Changed):
            continue  # its children are the changed lines' records, or moved to it from below
        if parent is not None:
            dirty.add(parent)
        children = new_tree.children(parent)
        # Whether a key is its parent's only entry is what some checks ask.
        if len(children) == 1 or len(old_tree.children(before)) == 1:
            dirty.update(children)
    by_record = _kept_by_record(found, moves, dirty, first, old_last)
    by_record.update(record_findings(new_tree, records, lines, [new_tree[index] for index in sorted(dirty)]))
    repeated = _repeated(found, new_tree, moves, parents)
    if repeated is None:
        return None
    uses, unused = _anchors(old_tree, found, new_tree, moves)
    return Findings(repeated, uses, unused, by_record)


def _moves(old: SyntaxTree, new: SyntaxTree, first: int, old_last: int, line_shift: int) -> _Moves | None:
    start = first_record_at(old, first)
    if start != first_record_at(new, first):
        return None
    # From the end, the records below the change in both: a line below it
    # may have been a block's text before and a record now, or the other
    # way round, but the records below those are the same.
    after = min(
        len(old) - first_record_at(old, old_last + 1), len(new) - first_record_at(new, old_last + line_shift + 1)
    )
    moves = _Moves(start, len(old) - after, len(new) - after, line_shift)
    byte_shift = len(memoryview(new)) - len(memoryview(old))
    if after and not _same(old[moves.old_end], new[moves.new_end], line_shift, byte_shift):
        return None
    if start and not _same(old[start - 1], new[start - 1], 0, 0):
        return None
    return moves


def _same(old: SyntaxRecord, new: SyntaxRecord, lines: int, offset: int) -> bool:
    return (old.line + lines, old.head_bytes.start + offset, old.kind, old.key) == (
        new.line,
        new.head_bytes.start,
        new.kind,
        new.key,
    )


def _changed_parents(old: SyntaxTree, new: SyntaxTree, moves: _Moves, dirty: set[int]) -> set[int | None]:
    """The records (None: the root) whose children changed, by their index
    now: the parents of the changed lines' records, then and now, and
    those a record below the change left or came to. Such a record keeps
    its findings unless it is or was its parent's only child (what a
    check of it asks of its parent); then it is added to ``dirty``."""
    parents: set[int | None | _Changed] = {new[index].parent for index in range(moves.start, moves.new_end)}
    parents.update(moves.new(old[index].parent) for index in range(moves.start, moves.old_end))
    now = _children_below(new, moves.new_end, 0)
    before = {index: moves.new(parent) for index, parent in _children_below(old, moves.old_end, moves.shift).items()}
    if now != before:
        counts: dict[tuple[bool, int | None], int] = {}
        for index in now.keys() | before.keys():
            if now.get(index, CHANGED) == before.get(index, CHANGED) and not moves.changed(now.get(index)):
                continue
            parent, old_parent = new[index].parent, old[index - moves.shift].parent
            parents.update((parent, moves.new(old_parent)))
            if _children_count(new, parent, True, counts) == 1 or _children_count(old, old_parent, False, counts) == 1:
                dirty.add(index)
    return {parent for parent in parents if not isinstance(parent, _Changed)}


def _children_count(tree: SyntaxTree, parent: int | None, now: bool, counts: dict[tuple[bool, int | None], int]) -> int:
    if (now, parent) not in counts:
        counts[(now, parent)] = len(tree.children(parent))
    return counts[(now, parent)]


def _children_below(tree: SyntaxTree, end: int, shift: int) -> dict[int, int | None]:
    """The records from ``end`` on whose parent lies above it, by index
    (moved by ``shift``), with their parent: the children below ``end`` of
    the records that hold record ``end``, the root up."""
    found: dict[int, int | None] = {}
    if end >= len(tree):
        return found
    holder = tree[end].parent
    while True:
        children = tree.children(holder)
        below = children[bisect.bisect_left(children, end) :]
        found.update(dict.fromkeys([index + shift for index in below] if shift else below, holder))
        if holder is None:
            return found
        holder = tree[holder].parent


def _kept_by_record(
    found: Findings, moves: _Moves, dirty: set[int], first: int, old_last: int
) -> dict[int, list[tuple[int, Lint]]]:
    """The findings of the records above and below the change that are
    not found anew, moved with them; a finding that reaches into the
    changed lines has its record found anew instead."""
    kept = {}
    for index, lints in found.by_record.items():
        if index < moves.start:
            if index in dirty:
                continue
            if max(_last_line(lint) for _, lint in lints) >= first:
                dirty.add(index)
            else:
                kept[index] = lints
        elif index >= moves.old_end:
            now = index + moves.shift
            if now in dirty:
                continue
            if min(_first_line(lint) for _, lint in lints) <= old_last:
                dirty.add(now)
            else:
                kept[now] = [(group, _moved(lint, moves.lines)) for group, lint in lints]
    return kept


def _repeated(
    found: Findings, tree: SyntaxTree, moves: _Moves, parents: set[int | None]
) -> dict[int, RepeatedKey] | None:
    """The keys written twice: those among the children of ``parents``
    found anew, the others kept (below the change, with the place of the
    earlier key their message names made anew)."""
    repeated = {}
    for index, kept in found.repeated.items():
        now = moves.new(index)
        if isinstance(now, _Changed) or now is None:
            continue
        record = tree[now]
        if record.parent in parents:
            continue
        if now < moves.start:
            repeated[now] = kept
            continue
        earlier = moves.new(kept.earlier)
        if isinstance(earlier, _Changed) or earlier is None:
            return None  # the parent of a key of the changed lines is in ``parents``
        lint = repeated_key(record, tree[earlier])
        if lint is not None:
            repeated[now] = RepeatedKey(earlier, lint)
    for parent in parents:
        repeated.update(repeated_keys(tree[index] for index in tree.children(parent)))
    return repeated


def _anchors(
    old_tree: SyntaxTree, found: Findings, tree: SyntaxTree, moves: _Moves
) -> tuple[dict[int, int], dict[int, Lint]]:
    """How often each anchor is named now, and the anchors named by none.
    Only when the changed lines hold no anchor, then or now, does every
    alias below them name the anchor it named before."""
    old_changed = [old_tree[index] for index in range(moves.start, moves.old_end)]
    new_changed = [tree[index] for index in range(moves.start, moves.new_end)]
    if any(record.anchor is not None for record in (*old_changed, *new_changed)):
        records = [tree[index] for index in range(len(tree))]
        uses = anchor_uses(records)
        return uses, unused_anchors(records, tree, uses)
    # Without an anchor among the changed lines, those lines' aliases name
    # anchors above them, whose indices stay.
    shift = moves.shift
    uses = {(index if index < moves.start else index + shift): count for index, count in found.uses.items()}
    touched = set()
    for records, step in ((old_changed, -1), (new_changed, 1)):
        for record in records:
            if record.form == SyntaxForm.ALIAS and record.target is not None:
                uses[record.target] = uses.get(record.target, 0) + step
                touched.add(record.target)
    unused = {}
    for index, lint in found.unused.items():
        if index < moves.start:
            unused[index] = lint
        else:
            unused[index + shift] = _moved(lint, moves.lines)
    for index in touched:
        if uses[index] > 0:
            unused.pop(index, None)
            continue
        del uses[index]
        unused[index] = unused_anchor(tree[index], tree)
    return uses, unused


def _first_line(lint: Lint) -> int:
    return min(_lines(lint))


def _last_line(lint: Lint) -> int:
    return max(_lines(lint))


def _lines(lint: Lint) -> list[int]:
    """The lines a finding names: its place, its range, its fix's edits."""
    spans = [edit.span for edit in lint.fix.edits] if lint.fix is not None else []
    if lint.span is not None:
        spans.append(lint.span)
    return [lint.lineno, *(span.lineno for span in spans), *(span.end_lineno for span in spans)]


def _moved(lint: Lint, lines: int) -> Lint:
    """``lint`` with its place ``lines`` lines further."""
    if lines == 0:
        return lint
    fix = lint.fix
    if fix is not None:
        fix = Fix(fix.title, tuple(TextEdit(_moved_span(edit.span, lines), edit.new_text) for edit in fix.edits))
    span = None if lint.span is None else _moved_span(lint.span, lines)
    return dataclasses.replace(lint, lineno=lint.lineno + lines, span=span, fix=fix)


def _moved_span(span: Span, lines: int) -> Span:
    return Span(span.lineno + lines, span.colno, span.end_lineno + lines, span.end_colno)
