"""Fixes as edits of the text: what a warning's quick fix changes, for an
editor to apply (the language server) or for the package to apply
itself."""

from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass

from ._spans import Span


@dataclass(frozen=True, slots=True)
class TextEdit:
    """Replaces the text at ``span`` (lines and columns as editors count
    them, the end excluded) with ``new_text``; an empty span inserts it."""

    span: Span
    new_text: str


@dataclass(frozen=True, slots=True)
class Fix:
    """A certain fix: its title, as an editor offers it, and its edits,
    which do not overlap."""

    title: str
    edits: tuple[TextEdit, ...]


def apply_edits(text: str, edits: Sequence[TextEdit]) -> str:
    """``text`` with ``edits`` made; they must not overlap."""
    starts = [0]
    for index, char in enumerate(text):
        if char == "\n":
            starts.append(index + 1)

    def offset(lineno: int, colno: int) -> int:
        return starts[lineno - 1] + colno - 1

    placed = sorted(
        ((offset(edit.span.lineno, edit.span.colno), offset(edit.span.end_lineno, edit.span.end_colno), edit.new_text))
        for edit in edits
    )
    pieces = []
    at = 0
    for begin, end, new_text in placed:
        if begin < at:
            raise ValueError("the edits overlap")
        pieces += [text[at:begin], new_text]
        at = end
    pieces.append(text[at:])
    return "".join(pieces)
