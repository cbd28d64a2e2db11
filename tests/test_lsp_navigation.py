"""Navigation over stdio (UTF-16, on a CJK anchor name with a surrogate
pair): definition, references, rename (refused off an anchor or for a
name that would change the data), the outline, folding and semantic
tokens."""

import pytest
import pytest_asyncio
from lsp_session import ASYNC, HEAD, URI, at, brief, doc_id, open_doc
from lsprotocol import types

NAME = "錨😀"  # 3 UTF-16 units
TEXT = HEAD + f"名前: &{NAME}  # base\n  a: 1\nuse: *{NAME}\nmore:\n  <<: *{NAME}\n  b: |\n    x\n    y\n"


@pytest_asyncio.fixture(loop_scope="session")
async def opened(client):
    await open_doc(client, TEXT)
    return client


# (cursor, the definition's range or None)
DEFINITIONS = [((3, 6), (1, 5, 1, 8)), ((5, 8), (1, 5, 1, 8)), ((3, 1), None), ((1, 6), None)]


@ASYNC
@pytest.mark.parametrize(("cursor", "expected"), DEFINITIONS)
async def test_definition_goes_from_an_alias_or_merge_to_its_anchor(opened, cursor, expected):
    found = await opened.text_document_definition_async(types.DefinitionParams(doc_id(), at(*cursor)))
    assert (found and (found.uri, brief(found.range))) == (expected and (URI, expected))


@ASYNC
@pytest.mark.parametrize("cursor", [(1, 5), (3, 7), (5, 6)])
async def test_references_of_an_anchor_from_it_or_any_use(opened, cursor):
    found = await opened.text_document_references_async(
        types.ReferenceParams(
            text_document=doc_id(), position=at(*cursor), context=types.ReferenceContext(include_declaration=True)
        )
    )
    assert [brief(location.range) for location in found] == [(1, 5, 1, 8), (3, 6, 3, 9), (5, 7, 5, 10)]


@ASYNC
@pytest.mark.parametrize(("cursor", "expected"), [((3, 7), (3, 6, 3, 9)), ((1, 1), None), ((2, 6), None)])
async def test_prepare_rename_takes_only_an_anchor_or_its_uses(opened, cursor, expected):
    found = await opened.text_document_prepare_rename_async(types.PrepareRenameParams(doc_id(), at(*cursor)))
    assert (found and (brief(found.range), found.placeholder)) == (expected and (expected, NAME))


@ASYNC
async def test_rename_changes_the_anchor_and_every_use(opened):
    edit = await opened.text_document_rename_async(types.RenameParams(doc_id(), at(5, 8), "基"))
    assert [(brief(e.range), e.new_text) for e in edit.changes[URI]] == [
        ((1, 5, 1, 8), "基"),
        ((3, 6, 3, 9), "基"),
        ((5, 7, 5, 10), "基"),
    ]


@ASYNC
@pytest.mark.parametrize(
    ("text", "cursor", "new_name", "complaint"),
    [
        (TEXT.replace(NAME, "a"), (3, 6), " x", "' x' cannot be an anchor's name"),
        (TEXT.replace(NAME, "a"), (3, 6), "a#b", "'a#b' cannot be an anchor's name"),
        (
            HEAD + "a: &a\n  k: 1\nb: &b\n  k: 2\nc: *a\n",
            (5, 4),
            "b",
            "renaming to 'b' would change what an alias stands for",
        ),
    ],
)
async def test_rename_refuses_a_name_that_would_change_the_data(client, text, cursor, new_name, complaint):
    await open_doc(client, text)
    with pytest.raises(Exception, match=complaint):
        await client.text_document_rename_async(types.RenameParams(doc_id(), at(*cursor), new_name))


def _outline(symbols):
    return [
        (s.name, s.kind.name, brief(s.range), brief(s.selection_range), s.detail, _outline(s.children)) for s in symbols
    ]


@ASYNC
async def test_document_symbols_are_the_outline(client):
    await open_doc(client, HEAD + "db:\n  hosts:\n    - a\n    - port: 1\ne: []\n")
    found = await client.text_document_document_symbol_async(types.DocumentSymbolParams(doc_id()))
    assert _outline(found) == [
        ("_vorn_version", "String", (0, 0, 0, 18), (0, 0, 0, 13), "1.0", []),
        (
            "db",
            "Object",
            (1, 0, 4, 13),
            (1, 0, 1, 2),
            None,
            [
                (
                    "hosts",
                    "Array",
                    (2, 2, 4, 13),
                    (2, 2, 2, 7),
                    None,
                    [
                        ("[0]", "String", (3, 4, 3, 7), (3, 4, 3, 5), "a", []),
                        (
                            "[1]",
                            "Object",
                            (4, 4, 4, 13),
                            (4, 4, 4, 5),
                            None,
                            [("port", "String", (4, 6, 4, 13), (4, 6, 4, 10), "1", [])],
                        ),
                    ],
                )
            ],
        ),
        ("e", "Array", (5, 0, 5, 5), (5, 0, 5, 1), "[]", []),
    ]


@ASYNC
async def test_folding_ranges_cover_blocks_and_comment_runs(client):
    await open_doc(client, HEAD + "# one\n# two\na:\n  b: |\n    # text\n    more\n  c: 1\n")
    found = await client.text_document_folding_range_async(types.FoldingRangeParams(doc_id()))
    assert [(f.start_line, f.end_line, f.kind) for f in found] == [(1, 2, "comment"), (3, 7, None), (4, 6, None)]


@ASYNC
async def test_semantic_tokens_mark_every_piece_of_syntax(opened):
    found = await opened.text_document_semantic_tokens_full_async(types.SemanticTokensParams(doc_id()))
    types_ = ["property", "string", "variable", "comment", "keyword", "operator"]
    line = start = 0
    decoded = []
    data = list(found.data)
    for index in range(0, len(data), 5):
        delta_line, delta_start, length, kind, modifiers = data[index : index + 5]
        line += delta_line
        start = start + delta_start if delta_line == 0 else delta_start
        decoded.append((line, start, length, types_[kind], modifiers))
    assert decoded == [
        (0, 0, 13, "property", 0),
        (0, 15, 3, "string", 0),
        (1, 0, 2, "property", 0),
        (1, 4, 4, "variable", 1),  # &錨😀
        (1, 10, 6, "comment", 0),
        (2, 2, 1, "property", 0),
        (2, 5, 1, "string", 0),
        (3, 0, 3, "property", 0),
        (3, 5, 4, "variable", 0),
        (4, 0, 4, "property", 0),
        (5, 2, 2, "keyword", 0),
        (5, 6, 4, "variable", 0),
        (6, 2, 1, "property", 0),
        (6, 5, 1, "keyword", 0),
        (7, 4, 1, "string", 0),
        (8, 4, 1, "string", 0),
    ]
