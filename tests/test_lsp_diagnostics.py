"""Diagnostics over stdio: the read fault, the warnings with their codes,
full and incremental changes, a burst of changes checked once (a hover
during it answered without waiting), and a closed document cleared."""

import pytest
import vorn
from hypothesis import assume, given, settings
from hypothesis import strategies as st
from lsp_session import (
    ASYNC,
    HEAD,
    URI,
    at,
    brief,
    change_doc,
    close_doc,
    diagnostics_for,
    doc_id,
    open_doc,
)
from lsprotocol import types
from vorn._lints import lints
from vorn.lsp.documents import OpenDocument
from vorn.lsp.lint_cache import LintCache

# (document, [(severity, code, range, message)])
DOCUMENTS = [
    (HEAD + "port: 1\n", []),
    (
        HEAD + "urls:\n  - https://a.example  # home\nport: 1\nport: 2\n",
        [
            (
                "warning",
                "colon-in-item",
                (2, 4, 2, 21),
                "the item '- https://a.example' reads as a mapping because of its colon\n"
                'help: quote it to keep it a string: - "https://a.example"',
            ),
            (
                "warning",
                "repeated-key",
                (4, 0, 4, 4),
                "key 'port' is written twice in one mapping (first at line 4, column 1); the later one wins\n"
                "help: delete the entry you do not mean, or rename one of them",
            ),
        ],
    ),
    (
        HEAD + "base: &unused\n  a: 1\n",
        [
            (
                "warning",
                "unused-anchor",
                (1, 6, 1, 13),
                "anchor &unused is never used by an alias or a merge\nhelp: remove it, or use it as *unused",
            )
        ],
    ),
    (HEAD + "a: 1\noops\n", [("error", "read-fault", (2, 0, 2, 4), "expected ':' in mapping entry")]),
    (
        HEAD + "script: |-\n  make\n",
        [
            (
                "error",
                "read-fault",
                (1, 8, 1, 10),
                "'|-' is a YAML block header; vorn's literal block is '|' alone, which keeps no final line feed "
                "(read as vorn: unexpected indentation at line 3, column 3)",
            )
        ],
    ),
]


def _shown(found):
    return [(d.severity.name.lower(), d.code, brief(d.range), d.message) for d in found]


@ASYNC
@pytest.mark.parametrize(("text", "expected"), DOCUMENTS)
async def test_a_document_opened_gets_its_diagnostics(client, text, expected):
    assert _shown(await open_doc(client, text)) == expected
    assert all(d.source == "vorn" for d in client.diagnostics[URI])
    close_doc(client)
    assert await diagnostics_for(client, URI, None) == []


@ASYNC
async def test_changes_full_and_incremental(client):
    await open_doc(client, HEAD + "a: 1\n")
    # Incremental: 'a: 1' becomes 'a 1', which does not read.
    version = change_doc(client, [types.TextDocumentContentChangePartial(types.Range(at(1, 1), at(1, 2)), "")])
    assert _shown(await diagnostics_for(client, URI, version)) == [
        ("error", "read-fault", (1, 0, 1, 3), "expected ':' in mapping entry")
    ]
    # Two changes in one notification apply in order.
    version = change_doc(
        client,
        [
            types.TextDocumentContentChangePartial(types.Range(at(1, 1), at(1, 1)), ":"),
            types.TextDocumentContentChangePartial(types.Range(at(2, 0), at(2, 0)), "a: 2\n"),
        ],
    )
    assert [d.code for d in await diagnostics_for(client, URI, version)] == ["repeated-key"]
    version = change_doc(client, [types.TextDocumentContentChangeWholeDocument(HEAD + "b: 1\n")])
    assert await diagnostics_for(client, URI, version) == []
    close_doc(client)


@ASYNC
async def test_a_burst_of_changes_is_checked_once_and_a_hover_in_it_is_answered_at_once(client):
    await open_doc(client, HEAD + "base: &b\n  v: x\nuse: *b\n")
    first = len(client.published)
    hover = None
    for count in range(100):
        # Each change appends a character to the value 'x'.
        version = change_doc(
            client, [types.TextDocumentContentChangePartial(types.Range(at(2, 6 + count), at(2, 6 + count)), "y")]
        )
        if count == 49:
            hover = client.text_document_hover_async(types.HoverParams(doc_id(), at(3, 6)))
    answer = await hover
    assert client.published[first:] == []
    # It saw at least the changes sent before it, and came before the check.
    assert "v: x" + "y" * 50 in answer.contents.value
    found = await diagnostics_for(client, URI, version)
    assert found == []
    assert [params.version for params in client.published[first:]] == [version]
    close_doc(client)


# Documents with every kind of warning, anchors, merges and blocks, to type in.
TYPED_IN = [
    HEAD + "urls:\n  - a:b  # c\n  - x\nport: 1\nport: 2\nbase: &b\n  k: v\nweb:\n  <<: *b\n  k: w\n",
    HEAD + "run:\n  echo a:b\nbranches: [main, dev]\nlist:\n  - - x\ns: |\n  one\n\n  two\nempty:\n    # c\n",
    HEAD + "a: &unused\n  k: 'it''s'\nb: \"a\\nb\"\nc: !!str 80\nd: #fff\nitems:\n  - key:\n    other: 1\n",
]


# Lines to paste: anchors, aliases and merges, keys written twice, blocks,
# a colon without a blank under its key.
PASTED = [
    "base: &b\n",
    "  k: v\n",
    "  <<: *b\n",
    "  x: *b\n",
    "x: 1\n",
    "x: 2\n",
    "- - x\n",
    "  - a:b\n",
    "    # c\n",
    "\n",
    "s: |\n",
    "    one\n",
    "  - key:\n",
    "    other: 1\n",
    "run:\n",
    "  echo a:b\n",
]


@settings(max_examples=300, deadline=None)
@given(
    st.one_of(
        st.sampled_from(TYPED_IN),
        st.lists(st.sampled_from(PASTED), max_size=12).map(lambda pasted: HEAD + "".join(pasted)),
    ),
    st.data(),
)
def test_warnings_renewed_after_changes_are_those_of_the_whole_document(text, data):
    """Typing within a line, lines added, removed or pasted, several
    changes between two checks, each as a range or as the whole text: the
    warnings renewed are the whole check's."""
    try:
        before = vorn.Document.parse(text)
    except vorn.DecodeError:
        assume(False)
    document = OpenDocument(URI, None, text, 1)
    cache = LintCache()
    cache.lints(before, document.lines, document.take_changed_lines())
    for _ in range(data.draw(st.integers(1, 3))):
        lines = document.lines
        start = data.draw(st.integers(0, len(lines) - 1))
        end = data.draw(st.integers(start, min(start + 3, len(lines) - 1)))
        start_col = data.draw(st.integers(0, len(lines.line(start))))
        end_col = data.draw(st.integers(0 if end > start else start_col, len(lines.line(end))))
        typed = data.draw(
            st.one_of(
                st.text(alphabet="ab :-[]{}#&*'\"!|<\n", max_size=6),
                st.lists(st.sampled_from(PASTED), max_size=4).map("".join),
            )
        )
        where = types.Range(types.Position(start, start_col), types.Position(end, end_col))
        change: types.TextDocumentContentChangeEvent = types.TextDocumentContentChangePartial(where, typed)
        if data.draw(st.booleans()):
            # As a client that sends the whole text at every change does.
            begin, finish = lines.offset(where.start), max(lines.offset(where.start), lines.offset(where.end))
            change = types.TextDocumentContentChangeWholeDocument(
                document.text[:begin] + typed + document.text[finish:]
            )
        document.change(document.version + 1, [change])
    try:
        after = vorn.Document.parse(document.text)
    except vorn.DecodeError:
        assume(False)
    assert cache.lints(after, document.lines, document.take_changed_lines()) == lints(after)
