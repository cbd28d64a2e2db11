"""Hover over stdio: a key's field from the schema (type, description,
default), the merges that bring its mapping elsewhere, an alias's or
merge's anchored value and where it is, an anchor's uses."""

import pytest
from lsp_session import ASYNC, HEAD, at, doc_id, open_doc
from lsprotocol import types

pytest.importorskip("pydantic")


TEXT = (
    "# vorn: schema=lsp_models:Service\n"
    + HEAD
    + "name: api\nbase: &b\n  port: 80\n  level: info\nserver:\n  host: h\n  <<: *b\n  port: 81\nreplicas:\n  - *b\n"
)

# (line, character, the hover's text)
HOVERS = [
    (2, 1, "`$.name`: `string` (required)"),
    (7, 3, "`$.server.host`: `string` (required)\n\nWhere the service listens."),
    (9, 2, "`$.server.port`: `integer`\n\nThe TCP port.\n\ndefault: `8080`"),
    (5, 4, "`$.base.level`\n\nmerged into `$.server` by the `<<` at line 9"),
    (8, 2, "`$.server`\n`<<` brings from `&b` (line 4): `level`; written over here: `port`"),
    (8, 7, "merges `&b`, anchored at line 4:\n```vorn\nbase: &b\n  port: 80\n  level: info\n```"),
    (11, 5, "stands for `&b`, anchored at line 4:\n```vorn\nbase: &b\n  port: 80\n  level: info\n```"),
    (3, 7, "anchor `&b`: used by 2 aliases and merges\n- line 9\n- line 12"),
]


@ASYNC
@pytest.mark.parametrize(("line", "character", "expected"), HOVERS)
async def test_hover(client, line, character, expected):
    await open_doc(client, TEXT)
    answer = await client.text_document_hover_async(types.HoverParams(doc_id(), at(line, character)))
    assert answer.contents.kind == types.MarkupKind.Markdown
    assert answer.contents.value == expected


@ASYNC
async def test_hover_cuts_a_long_anchored_value_and_is_quiet_off_the_syntax(client):
    body = "".join(f"  k{number}: v\n" for number in range(10))
    await open_doc(client, HEAD + "long: &l\n" + body + "use: *l\n# a comment\n")
    answer = await client.text_document_hover_async(types.HoverParams(doc_id(), at(12, 6)))
    assert answer.contents.value.splitlines()[-3:] == ["  k4: v", "... (5 more lines)", "```"]
    assert await client.text_document_hover_async(types.HoverParams(doc_id(), at(13, 3))) is None
