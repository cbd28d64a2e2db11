"""Completion: in a mapping, the keys the schema allows that the mapping
lacks (required ones first, with their descriptions); for a value, the
enum or Literal choices; after '*' (and '<<: *'), the anchors defined
above."""

from __future__ import annotations

from typing import Any

from lsprotocol import types

from .._document import Document
from .._errors import DecodeError
from .._json_schema import resolved
from .._native import SyntaxForm
from .context import Context, Typing, context_at
from .documents import OpenDocument
from .schema_info import choices, fields, schema_at
from .syntax import first_record_at

# The anchors offered at most, the nearest first: a document with
# thousands of them would otherwise send them all at every '*'; the list
# says it is incomplete, and the client asks again as the name is typed.
MOST_ANCHORS = 100


def completions(document: OpenDocument, position: types.Position, schema: Any) -> types.CompletionList:
    lineno, colno = document.lines.column(position)
    context = context_at(document.lines, lineno, colno)
    if context.typing == Typing.ALIAS:
        names = [name for name in _anchors_above(_as_read(document, lineno), lineno) if name.startswith(context.prefix)]
        items = [
            types.CompletionItem(label=name, kind=types.CompletionItemKind.Reference, detail="anchor")
            for name in names[:MOST_ANCHORS]
        ]
        return types.CompletionList(is_incomplete=len(names) > MOST_ANCHORS, items=items)
    elif schema is None or _in_literal_block(_as_read(document, lineno), lineno):
        items = []
    elif context.typing == Typing.KEY:
        items = _keys(context, _present(_as_read(document, lineno), context), schema)
    else:
        node = schema_at(schema, context.steps)
        items = [] if node is None else _values(node, schema, context, _present(None, context))
    return types.CompletionList(is_incomplete=False, items=items)


def _in_literal_block(read: Document | None, lineno: int) -> bool:
    """Whether line ``lineno`` is text of a literal block: the last record
    written above it is a literal block that reaches it."""
    if read is None:
        return False
    tree = read._tree
    low = first_record_at(tree, lineno)
    if low == 0:
        return False
    above = tree[low - 1]
    return above.form == SyntaxForm.LITERAL_BLOCK and above.value_span.end_lineno >= lineno


def _anchors_above(read: Document | None, lineno: int) -> list[str]:
    """The anchors defined on the lines above ``lineno``, as last read,
    the nearest first (a name defined twice once)."""
    if read is None:
        return []
    tree = read._tree
    names: list[str] = []
    for index in range(len(tree)):
        record = tree[index]
        if record.line >= lineno:
            break
        if record.anchor is not None:
            names.append(record.anchor)
    return list(dict.fromkeys(reversed(names)))


def _as_read(document: OpenDocument, lineno: int) -> Document | None:
    """The document as it reads: the text, or while the line being typed
    keeps it from reading, the text without that line; else as last read."""
    read = document.document()
    if read is not None:
        return read
    lines = document.text.split("\n")
    try:
        return Document.parse("\n".join(lines[: lineno - 1] + lines[lineno:]))
    except DecodeError:
        return document.last_read


def _present(read: Document | None, context: Context) -> set[str]:
    """The keys the mapping at the context's place holds, as last read."""
    node: Any = None if read is None else read.data
    for step in context.steps:
        if isinstance(node, dict) and isinstance(step, str):
            node = node.get(step)
        elif isinstance(node, list) and isinstance(step, int) and step < len(node):
            node = node[step]
        else:
            return set()
    return set(node) if isinstance(node, dict) else set()


def _keys(context: Context, present: set[str], schema: Any) -> list[types.CompletionItem]:
    node = schema_at(schema, context.steps)
    if node is None:
        return []
    items = []
    for order, field in enumerate(fields(node, schema)):
        if field.name in present and field.name != context.prefix:
            continue
        documentation = field.description
        if field.default is not None:
            documentation = (documentation + "\n\n" if documentation else "") + f"default: {field.default}"
        items.append(
            types.CompletionItem(
                label=field.name,
                kind=types.CompletionItemKind.Field,
                detail=field.type + (" (required)" if field.required else ""),
                documentation=documentation,
                insert_text=f"{field.name}: ",
                sort_text=f"{order:04d}",
            )
        )
    return items


def _values(node: Any, schema: Any, context: Context, present: set[str]) -> list[types.CompletionItem]:
    items = [
        types.CompletionItem(label=choice, kind=types.CompletionItemKind.EnumMember, sort_text=f"{order:04d}")
        for order, choice in enumerate(choices(node, schema))
    ]
    target = resolved(node, schema)
    if not items and isinstance(target, dict) and isinstance(context.steps[-1:][0] if context.steps else None, int):
        # An item that is a mapping: its keys, as on a line of their own.
        items = _keys(Context(Typing.KEY, context.steps, ""), present, schema)
    return items
