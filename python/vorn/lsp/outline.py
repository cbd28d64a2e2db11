"""The document's outline: hierarchical symbols (entries, items, merges)
and folding ranges (blocks, literal blocks, runs of comment lines)."""

from __future__ import annotations

from lsprotocol import types

from .._native import SyntaxForm, SyntaxKind, SyntaxRecord, SyntaxTree
from .._spans import Span
from .documents import OpenDocument

_KINDS = {
    SyntaxForm.NESTED_BLOCK: types.SymbolKind.Object,
    SyntaxForm.INLINE_MAPPING: types.SymbolKind.Object,
    SyntaxForm.EMPTY_MAPPING: types.SymbolKind.Object,
    SyntaxForm.EMPTY_SEQUENCE: types.SymbolKind.Array,
    SyntaxForm.ALIAS: types.SymbolKind.Variable,
}
# The longest value shown as a symbol's detail.
LONGEST_DETAIL = 40


def symbols(document: OpenDocument) -> list[types.DocumentSymbol]:
    read = document.document()
    if read is None:
        return []
    tree = read._tree
    lines = document.lines
    text = bytes(memoryview(tree))
    made: dict[int, types.DocumentSymbol] = {}
    roots: list[types.DocumentSymbol] = []
    # Each symbol's children, filled as the records come.
    children: dict[int, list[types.DocumentSymbol]] = {}
    item_counts: dict[int | None, int] = {}
    # Written order puts a parent before its children, so one pass builds
    # the tree without recursion.
    for index in range(len(tree)):
        record = tree[index]
        if record.kind == SyntaxKind.ITEM:
            number = item_counts.get(record.parent, 0)
            item_counts[record.parent] = number + 1
            name, selection = f"[{number}]", _hyphen(record)
        else:
            name, selection = record.key or "", record.key_span or record.head_span
        symbol = types.DocumentSymbol(
            name=name,
            kind=_kind(tree, record),
            range=lines.range(_extent(record)),
            selection_range=lines.range(selection),
            detail=_detail(record, text),
            children=children.setdefault(index, []),
        )
        made[index] = symbol
        (roots if record.parent is None else children[record.parent]).append(symbol)
    return roots


def _hyphen(record: SyntaxRecord) -> Span:
    head = record.head_span
    return Span(head.lineno, head.colno, head.lineno, head.colno + 1)


def _extent(record: SyntaxRecord) -> Span:
    """From the record's head to the end of its last line (its leading
    comment lines left out)."""
    head, lines = record.head_span, record.lines_span
    return Span(head.lineno, head.colno, lines.end_lineno, lines.end_colno)


def _kind(tree: SyntaxTree, record: SyntaxRecord) -> types.SymbolKind:
    if record.kind == SyntaxKind.MERGE:
        return types.SymbolKind.Namespace
    if record.form == SyntaxForm.NESTED_BLOCK:
        children = tree.children(record.index)
        if children and tree[children[0]].kind == SyntaxKind.ITEM:
            return types.SymbolKind.Array
    return _KINDS.get(record.form, types.SymbolKind.String)


def _detail(record: SyntaxRecord, text: bytes) -> str | None:
    if record.form in (SyntaxForm.NESTED_BLOCK, SyntaxForm.INLINE_MAPPING, SyntaxForm.EMPTY):
        return f"&{record.anchor}" if record.anchor is not None else None
    value = text[record.value_bytes.start : record.value_bytes.stop].decode("utf-8", "surrogatepass")
    first = value.split("\n", 1)[0].rstrip("\r")
    return first if len(first) <= LONGEST_DETAIL else first[: LONGEST_DETAIL - 3] + "..."


def folding_ranges(document: OpenDocument) -> list[types.FoldingRange]:
    read = document.document()
    if read is None:
        return []
    tree = read._tree
    found = []
    for index in range(len(tree)):
        record = tree[index]
        end = record.lines_span.end_lineno
        if end > record.line:
            found.append(types.FoldingRange(start_line=record.line - 1, end_line=end - 1))
    found += _comment_runs(document, block_lines(tree))
    return sorted(found, key=lambda fold: (fold.start_line, fold.end_line))


def block_lines(tree: SyntaxTree) -> set[int]:
    """The lines (from 1) inside literal blocks, which are text."""
    inside: set[int] = set()
    for index in range(len(tree)):
        record = tree[index]
        if record.form == SyntaxForm.LITERAL_BLOCK:
            inside.update(range(record.value_span.lineno + 1, record.value_span.end_lineno + 1))
    return inside


def comment_lines(document: OpenDocument, in_blocks: set[int]) -> list[int]:
    """The lines (from 1) that are comment lines."""
    return [
        number
        for number, line in enumerate(document.lines.iter_lines(), 1)
        if number not in in_blocks and line.lstrip(" ").startswith("#")
    ]


def _comment_runs(document: OpenDocument, in_blocks: set[int]) -> list[types.FoldingRange]:
    runs: list[types.FoldingRange] = []
    start = previous = None
    for number in [*comment_lines(document, in_blocks), None]:
        if number is not None and previous is not None and number == previous + 1:
            previous = number
            continue
        if start is not None and previous is not None and previous > start:
            runs.append(
                types.FoldingRange(start_line=start - 1, end_line=previous - 1, kind=types.FoldingRangeKind.Comment)
            )
        start = previous = number
    return runs
