"""Positions as the client asks: the conversion module against the
encodings' own counts on any text (CJK, emoji, CRLF), and the server
answering in the encoding negotiated at initialize, UTF-16 by default."""

import pytest
from hypothesis import given
from hypothesis import strategies as st
from lsp_session import ASYNC_MODULE, HEAD, at, brief, change_doc, diagnostics_for, doc_id, lsp_client, open_doc
from lsprotocol import types
from vorn.lsp.positions import UTF8, UTF16, UTF32, Lines

ENCODINGS = {UTF8: "utf-8", UTF16: "utf-16-le", UTF32: "utf-32-le"}
UNIT = {UTF8: 1, UTF16: 2, UTF32: 4}
TEXTS = st.lists(st.sampled_from(["a", " ", "é", "中", "😀", "𝄞", "\n", "\r\n", "-", ":"]), max_size=30).map("".join)


def _expected(text: str, offset: int, encoding: str) -> types.Position:
    """What the encoding itself counts: the line is the line feeds before
    ``offset``, the character the units of the line up to it."""
    line_start = text.rfind("\n", 0, offset) + 1
    prefix = text[line_start:offset]
    return types.Position(text.count("\n", 0, offset), len(prefix.encode(ENCODINGS[encoding])) // UNIT[encoding])


@given(TEXTS, st.sampled_from(sorted(ENCODINGS)))
def test_positions_match_the_encodings_counts_both_ways(text: str, encoding: str) -> None:
    lines = Lines(text, encoding)
    for offset in range(len(text) + 1):
        if text[offset - 1 : offset + 1] == "\r\n":
            continue  # inside a line end, where no position lies
        assert lines.at_offset(offset) == _expected(text, offset, encoding)
        assert lines.offset(lines.at_offset(offset)) == offset


@pytest.mark.parametrize(
    ("encoding", "character", "offset"),
    [
        (UTF16, 3, 2),  # the low half of the pair: the emoji's start
        (UTF8, 5, 2),  # inside the emoji's 4 bytes
        (UTF8, 2, 1),  # inside 中's 3 bytes
        (UTF32, 99, 4),  # past the end: the line's end, before its CR
        (UTF16, 99, 4),
    ],
)
def test_a_position_inside_a_character_or_past_the_end_is_taken_at_its_start_or_end(
    encoding: str, character: int, offset: int
) -> None:
    assert Lines("a中😀b\r\nz", encoding).offset(types.Position(0, character)) == offset


# Servers of this module's own, offered nothing (UTF-16), UTF-8 after an
# encoding the server does not know, and UTF-32 before UTF-16.
client = lsp_client(encodings=[None, ["utf-7", UTF8], [UTF32, UTF16]])
# The item reads as a mapping (colon-in-item), so a warning covers it.
TEXT = HEAD + "items:\r\n  - 名前😀:x  # c\r\n"
# (start, end) of the item's text, in each encoding's units
ITEM = {UTF16: (4, 10), UTF8: (4, 16), UTF32: (4, 9)}


@ASYNC_MODULE
async def test_the_server_answers_in_the_negotiated_encoding(client) -> None:
    result = client.capabilities
    assert result is not None
    encoding = _negotiated(client)
    found = await open_doc(client, TEXT)
    start, end = ITEM[encoding]
    assert [(d.code, brief(d.range)) for d in found] == [("colon-in-item", (2, start, 2, end))]
    # An incremental change at the end of the item, in the same units.
    version = change_doc(client, [types.TextDocumentContentChangePartial(types.Range(at(2, end), at(2, end)), "y")])
    found = await diagnostics_for(client, doc_id().uri, version)
    assert [brief(d.range) for d in found] == [(2, start, 2, end + 1)]


def _negotiated(client) -> str:
    offered = client.capabilities.general.position_encodings if client.capabilities.general else None
    return next((encoding for encoding in offered or () if encoding in ITEM), UTF16)


@given(TEXTS, st.data())
def test_lines_kept_through_changes_are_those_of_the_changed_text(text, data):
    lines = Lines(text)
    assert lines.starts  # found before the changes, as the server has them
    # Typing on one line (kept as a move in number), then anything.
    for _ in range(data.draw(st.integers(1, 6))):
        begin = data.draw(st.integers(0, len(text)))
        end = data.draw(st.integers(begin, min(len(text), begin + 3)))
        new_text = data.draw(st.one_of(st.sampled_from(["x", "中", "😀", ""]), TEXTS))
        text = text[:begin] + new_text + text[end:]
        lines = lines.replaced(begin, end, new_text)
        fresh = Lines(text)
        assert lines.text == text
        assert [lines.line(index) for index in range(len(lines))] == list(fresh.iter_lines())
        assert [lines.offset(fresh.at_offset(offset)) for offset in range(len(text) + 1)] == [
            fresh.offset(fresh.at_offset(offset)) for offset in range(len(text) + 1)
        ]
    assert lines.starts == Lines(text).starts
