"""Formatting and quick fixes over stdio: the client gets the smallest
edit, which applied gives format_text's layout, or the fixed text: a
colon item quoted through the edit engine, an unused anchor removed, a
YAML habit rewritten, items indented under their key (a read fault)."""

import pytest
import vorn
from lsp_session import ASYNC, HEAD, URI, at, doc_id, open_doc
from lsprotocol import types
from vorn.lsp.positions import Lines


def _applied(text, edits):
    """``text`` with the client's edits made, as an editor makes them."""
    lines = Lines(text)
    placed = sorted(((lines.offset(e.range.start), lines.offset(e.range.end), e.new_text) for e in edits), reverse=True)
    for begin, end, new_text in placed:
        text = text[:begin] + new_text + text[end:]
    return text


@ASYNC
@pytest.mark.parametrize(
    "text",
    [HEAD + "a:   1\nb:\n    - x   # c\n\n\n\nc: 名前😀\n", HEAD + "a:  1\r\nb:\r\n    - x\r\n", HEAD + "a: 1\n"],
)
async def test_formatting_gives_the_layout_of_format_text(client, text):
    await open_doc(client, text)
    edits = await client.text_document_formatting_async(
        types.DocumentFormattingParams(doc_id(), types.FormattingOptions(tab_size=2, insert_spaces=True))
    )
    assert len(edits) == (0 if vorn.format_text(text) == text else 1)
    assert _applied(text, edits) == vorn.format_text(text)


@ASYNC
async def test_formatting_a_document_that_does_not_read_is_refused_with_its_fault(client):
    await open_doc(client, HEAD + "oops\n")
    with pytest.raises(Exception, match="expected ':' in mapping entry"):
        await client.text_document_formatting_async(
            types.DocumentFormattingParams(doc_id(), types.FormattingOptions(tab_size=2, insert_spaces=True))
        )


# (text, line of the range asked for, [(title, the text once fixed)])
FIXES = [
    (
        HEAD + "urls:\r\n  - a:b  # c\r\n  - 名😀:x\r\n",
        2,
        [("quote the item", HEAD + 'urls:\r\n  - "a:b"  # c\r\n  - 名😀:x\r\n')],
    ),
    (HEAD + "base: &unused  # c\n  a: 1\n", 1, [("remove the anchor &unused", HEAD + "base:  # c\n  a: 1\n")]),
    (
        HEAD + "branches: [main, dev]\n",
        1,
        [("write the items as lines of a block", HEAD + "branches:\n  - main\n  - dev\n")],
    ),
    (
        HEAD + "list:\n- a\n- b\nx:\n- c\n",
        2,
        [("indent the items of 'list' under it", HEAD + "list:\n  - a\n  - b\nx:\n- c\n")],
    ),
    (
        HEAD + "items:\n  - key:\n    - a\n",
        2,
        [("put 'key' on a line of its own below the hyphen", HEAD + "items:\n  -\n    key:\n    - a\n")],
    ),
    (HEAD + "urls:\n  - a:b\nport: 1\n", 3, []),
    (HEAD + "oops\n", 1, []),
]


@ASYNC
@pytest.mark.parametrize(("text", "line", "expected"), FIXES)
async def test_quick_fixes(client, text, line, expected):
    await open_doc(client, text)
    actions = await client.text_document_code_action_async(
        types.CodeActionParams(doc_id(), types.Range(at(line, 0), at(line, 3)), types.CodeActionContext(diagnostics=[]))
    )
    found = [(action.title, _applied(text, action.edit.changes[URI])) for action in actions]
    assert found == expected
    assert all(action.kind == types.CodeActionKind.QuickFix for action in actions)
