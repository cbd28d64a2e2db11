"""Semantic tokens for the whole document, so that any client can
highlight vorn: keys, scalars, anchors, aliases, comments and literal
block headers, each on one line, in the negotiated position units."""

from __future__ import annotations

from lsprotocol import types

from .._native import SyntaxForm, SyntaxKind
from .._spans import Span
from .documents import OpenDocument
from .outline import block_lines, comment_lines
from .positions import Lines

TOKEN_TYPES = ["property", "string", "variable", "comment", "keyword", "operator"]
TOKEN_MODIFIERS = ["declaration"]
LEGEND = types.SemanticTokensLegend(token_types=TOKEN_TYPES, token_modifiers=TOKEN_MODIFIERS)
_TYPE = {name: index for index, name in enumerate(TOKEN_TYPES)}
_DECLARATION = 1
_SCALARS = (SyntaxForm.PLAIN, SyntaxForm.SINGLE_QUOTED, SyntaxForm.DOUBLE_QUOTED)


def semantic_tokens(document: OpenDocument) -> types.SemanticTokens:
    read = document.document()
    if read is None:
        return types.SemanticTokens(data=[])
    tree = read._tree
    lines = document.lines
    found: list[tuple[int, int, int, str, int]] = []  # (line, column, end column, type, modifiers)

    def add(span: Span, kind: str, modifiers: int = 0) -> None:
        if span.lineno == span.end_lineno and span.end_colno > span.colno:
            found.append((span.lineno, span.colno, span.end_colno, kind, modifiers))

    in_blocks = block_lines(tree)
    for index in range(len(tree)):
        record = tree[index]
        if record.key_span is not None:
            add(record.key_span, "keyword" if record.kind == SyntaxKind.MERGE else "property")
        if record.anchor_span is not None:
            anchor = record.anchor_span
            add(Span(anchor.lineno, anchor.colno - 1, anchor.end_lineno, anchor.end_colno), "variable", _DECLARATION)
        value = record.value_span
        if record.form == SyntaxForm.ALIAS:
            add(value, "variable")
        elif record.form in _SCALARS:
            add(value, "string")
        elif record.form in (SyntaxForm.EMPTY_SEQUENCE, SyntaxForm.EMPTY_MAPPING):
            add(value, "operator")
        elif record.form == SyntaxForm.LITERAL_BLOCK:
            add(Span(value.lineno, value.colno, value.lineno, value.colno + 1), "keyword")
            _block_text(lines, value, add)
        if record.comment_span is not None:
            add(record.comment_span, "comment")
    for number in comment_lines(document, in_blocks):
        line = lines.line(number - 1)
        start = len(line) - len(line.lstrip(" "))
        add(Span(number, start + 1, number, len(line.rstrip()) + 1), "comment")
    return types.SemanticTokens(data=_encoded(sorted(found), lines))


def _block_text(lines: Lines, value: Span, add: object) -> None:
    for number in range(value.lineno + 1, value.end_lineno + 1):
        line = lines.line(number - 1)
        start = len(line) - len(line.lstrip(" "))
        add(Span(number, start + 1, number, len(line) + 1), "string")  # type: ignore[operator]


def _encoded(found: list[tuple[int, int, int, str, int]], lines: Lines) -> list[int]:
    """The tokens as LSP's relative integers: line and start as deltas from
    the token before, then length, type and modifiers."""
    data: list[int] = []
    previous_line = previous_start = 0
    for lineno, colno, end_colno, kind, modifiers in found:
        start = lines.position(lineno, colno)
        end = lines.position(lineno, end_colno)
        line_delta = start.line - previous_line
        start_delta = start.character - previous_start if line_delta == 0 else start.character
        data += [line_delta, start_delta, end.character - start.character, _TYPE[kind], modifiers]
        previous_line, previous_start = start.line, start.character
    return data
