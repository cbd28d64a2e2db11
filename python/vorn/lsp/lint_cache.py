"""The warnings of a document being typed in: after a change within one
line that leaves the document's structure as it was (the same records,
and on that line the same kinds, keys, anchors and places), only that
line's records are checked again; the findings of every other record,
and those of the whole document, stay as they were. After lines added,
removed or replaced, the findings are moved and renewed around them
(``lint_moves``). Without the changed lines known, the whole document is
checked anew."""

from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass
from typing import Any, cast

from .._document import Document
from .._lints import Findings, Lint, findings, record_findings
from .._native import SyntaxForm, SyntaxRecord, SyntaxTree
from .lint_moves import moved_findings
from .positions import Lines
from .syntax import records_on_line

# A record of these forms spells its value on its head line, which may
# change as its value is typed; other heads hold only the key and anchor.
_SCALARS = frozenset({SyntaxForm.PLAIN, SyntaxForm.SINGLE_QUOTED, SyntaxForm.DOUBLE_QUOTED})


@dataclass(frozen=True, slots=True)
class ChangedLines:
    """Where the changes since the last check lie: from line ``first``
    (from 1) on, all but the last ``kept`` lines, which are as they were;
    none when those meet (lines removed whole)."""

    first: int
    kept: int


class LintCache:
    """The findings of the last document checked, to renew."""

    def __init__(self) -> None:
        self._read: Document | None = None
        self._findings: Findings | None = None
        self._line_count = 0

    def lints(self, read: Document, lines: Lines, changed: ChangedLines | None) -> list[Lint]:
        """The findings of ``read``, whose ``lines`` differ from those of
        the last document checked only where ``changed`` says (None: not
        known)."""
        renewed = None
        if changed is not None and self._read is not None and self._findings is not None:
            renewed = _renewed(self._read, self._findings, self._line_count, read, lines, changed)
        self._findings = findings(read) if renewed is None else renewed
        self._read = read
        self._line_count = len(lines)
        return self._findings.all()

    def forget(self) -> None:
        self._read = self._findings = None


def _renewed(
    old: Document, found: Findings, old_count: int, new: Document, lines: Lines, changed: ChangedLines
) -> Findings | None:
    last = len(lines) - changed.kept
    if min(last, old_count - changed.kept) < changed.first - 1:
        return None  # not the lines of the last document checked
    if len(lines) == old_count and last == changed.first:
        renewed = _renewed_line(old, found, new, lines, changed.first)
        if renewed is not None:
            return renewed
    records = records_of(new._tree)
    return moved_findings(
        old, found, new, records, _TextLines(lines), changed.first, old_count - changed.kept, len(lines) - old_count
    )


def _renewed_line(old: Document, found: Findings, new: Document, lines: Lines, lineno: int) -> Findings | None:
    old_tree, new_tree = old._tree, new._tree
    if len(old_tree) != len(new_tree):
        return None
    before, after = records_on_line(old_tree, lineno), records_on_line(new_tree, lineno)
    if not after or len(before) != len(after):
        return None
    if any(_shape(one) != _shape(other) for one, other in zip(before, after)):
        return None
    renewed = {
        index: kept for index, kept in found.by_record.items() if index < after[0].index or index > after[-1].index
    }
    renewed.update(record_findings(new_tree, records_of(new_tree), _TextLines(lines), after))
    return Findings(found.repeated, found.uses, found.unused, renewed)


def _shape(record: SyntaxRecord) -> tuple[Any, ...]:
    """What other records' findings may depend on in ``record``."""
    head = None if record.form in _SCALARS else record.head_span
    return (
        record.index,
        record.kind,
        record.form,
        record.parent,
        record.target,
        record.key,
        record.anchor,
        record.indent,
        record.key_span,
        record.anchor_span,
        record.value_span.colno,
        head,
    )


def records_of(tree: SyntaxTree) -> Sequence[SyntaxRecord]:
    # The tree gives its records by index, as a list of them would: the
    # checks of a few records look up their parents and children only.
    return cast(Sequence[SyntaxRecord], tree)


class _TextLines(Sequence[str]):
    """The text's lines as a list of them, made one at a time."""

    def __init__(self, lines: Lines) -> None:
        self._lines = lines

    def __len__(self) -> int:
        return len(self._lines)

    def __getitem__(self, index: Any) -> Any:
        if isinstance(index, slice):
            return [self._lines.line(number) for number in range(len(self._lines))[index]]
        return self._lines.line(index)
