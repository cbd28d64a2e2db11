"""Whole-line comments never shape a document: adding comment lines at any
indentation, anywhere outside a literal block, changes nothing that loads
returns."""

from hypothesis import given, settings
from hypothesis import strategies as st
from test_roundtrip import ROUND_TRIP_EXAMPLES, documents, line_text

from _vorn_native import dumps, loads


def places_outside_literal_blocks(lines):
    """The indexes before which a comment line may go: not among a literal
    block's lines, nor right after them, where a deep comment would join
    the block."""
    places, block_indent = [], None
    for index, line in enumerate(lines):
        indent = len(line) - len(line.lstrip(" "))
        if block_indent is not None and indent > block_indent:
            continue
        if block_indent is None:
            places.append(index)
        block_indent = indent if line.endswith("|") else None
    if block_indent is None:
        places.append(len(lines))
    return places


comment = st.tuples(st.integers(0, 12), line_text).map(lambda pair: " " * pair[0] + "#" + pair[1])


@settings(max_examples=ROUND_TRIP_EXAMPLES // 4, deadline=None)
@given(documents, st.data())
def test_comment_lines_anywhere_change_nothing(document, data):
    lines = dumps(document)[:-1].split("\n")
    places = places_outside_literal_blocks(lines)
    inserted = data.draw(st.lists(st.tuples(st.sampled_from(places), comment), max_size=8))
    for place, text in sorted(inserted, reverse=True):
        lines.insert(place, text)
    assert loads("\n".join(lines) + "\n") == document
