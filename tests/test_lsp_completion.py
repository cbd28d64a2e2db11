"""Completion over stdio, on text as it is being typed (which need not
read): the keys a mapping lacks, required ones first with their
descriptions; a value's choices; the anchors defined above after '*'."""

from pathlib import Path

import pytest
import vorn
from lsp_session import ASYNC, HEAD, at, doc_id, open_doc
from lsprotocol import types
from vorn._native import SyntaxForm, SyntaxKind
from vorn.lsp.context import Context, Typing, context_at
from vorn.lsp.positions import Lines
from vorn.lsp.syntax import steps_of

pytest.importorskip("pydantic")


TOP = "# vorn: schema=lsp_models:Service\n" + HEAD
ANCHORS = "base: &b\n  port: 1\nother: &o\n  port: 2\n"

# (text after the head, where the cursor is, [(label, detail)])
CASES = [
    ("name: a\n", (3, 0), [("server", "Server (required)"), ("replicas", "array of Server")]),
    ("name: a\nse", (3, 2), [("server", "Server (required)"), ("replicas", "array of Server")]),
    ("server:\n  host: h\n  ", (4, 2), [("port", "integer"), ("level", '"debug" | "info"')]),
    ("server:\n  level: ", (3, 9), [("debug", None), ("info", None)]),
    (
        "replicas:\n  - host: a\n  - ",
        (4, 4),
        [("host", "string (required)"), ("port", "integer"), ("level", '"debug" | "info"')],
    ),
    ("replicas:\n  - host: a\n    ", (4, 4), [("port", "integer"), ("level", '"debug" | "info"')]),
    (ANCHORS + "server:\n  <<: *", (7, 7), [("o", "anchor"), ("b", "anchor")]),
    (ANCHORS + "replicas:\n  - *b", (7, 6), [("b", "anchor")]),
    ("name: |\n  se\n", (3, 4), []),
]


@ASYNC
@pytest.mark.parametrize(("body", "cursor", "expected"), CASES)
async def test_completion(client, body, cursor, expected):
    await open_doc(client, TOP + body)
    answer = await client.text_document_completion_async(types.CompletionParams(doc_id(), at(*cursor)))
    items = sorted(answer.items, key=lambda item: item.sort_text or "")
    assert [(item.label, item.detail) for item in items] == expected


@ASYNC
async def test_a_key_is_completed_with_its_colon_and_documentation(client):
    await open_doc(client, TOP + "server:\n  host: h\n  ")
    answer = await client.text_document_completion_async(types.CompletionParams(doc_id(), at(4, 2)))
    port = next(item for item in answer.items if item.label == "port")
    assert (port.insert_text, port.documentation) == ("port: ", "The TCP port.\n\ndefault: 8080")


VALID = sorted((Path(__file__).parent / "data" / "valid").glob("*.vorn"))


@pytest.mark.parametrize("path", VALID, ids=lambda path: path.stem)
def test_the_cursors_place_is_where_the_document_puts_the_key_or_value(path):
    """At every key's start, a key of its mapping is typed; after every
    plain value of an entry, that entry's value: found from the lines
    around the cursor alone, they are where the reading puts them."""
    text = path.read_bytes().decode("utf-8")
    document = vorn.Document.parse(text)
    tree = document._tree
    lines = Lines(text)
    for index in range(len(tree)):
        record = tree[index]
        if record.kind != SyntaxKind.ENTRY or record.key_span is None:
            continue
        steps = steps_of(tree, record)
        parent = tree[record.parent] if record.parent is not None else None
        on_hyphen_line = parent is not None and parent.kind == SyntaxKind.ITEM and parent.line == record.line
        if not on_hyphen_line and record.key_span.colno == record.indent + 1:
            assert context_at(lines, record.line, record.key_span.colno) == Context(Typing.KEY, steps[:-1], "")
        if record.form == SyntaxForm.PLAIN and record.value_span.lineno == record.line:
            value = lines.line(record.line - 1)[record.value_span.colno - 1 : record.value_span.end_colno - 1]
            found = context_at(lines, record.line, record.value_span.end_colno)
            assert (found.typing, found.steps) == (Typing.ALIAS if value.startswith("*") else Typing.VALUE, steps)
