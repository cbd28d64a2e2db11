"""Completion over stdio, on text as it is being typed (which need not
read): the keys a mapping lacks, required ones first with their
descriptions; a value's choices; the anchors defined above after '*'."""

import pytest
from lsp_models import MODELS
from lsp_session import ASYNC, HEAD, at, doc_id, lsp_client, open_doc
from lsprotocol import types

pytest.importorskip("pydantic")


def workspace(root):
    (root / "lsp_completion_models.py").write_text(MODELS)


client = lsp_client(workspace=workspace)
TOP = "# vorn: schema=lsp_completion_models:Service\n" + HEAD
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
    (ANCHORS + "replicas:\n  - *b", (7, 6), [("o", "anchor"), ("b", "anchor")]),
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
