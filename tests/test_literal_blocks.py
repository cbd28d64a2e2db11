"""Literal blocks of every length against the rule written out in Python:
the lines indented two spaces or more deeper than the "|" entry's key (the
block of a root entry starts at two spaces), each trimmed of White_Space and keeping
the spaces it has beyond the least indented of them, joined by line feeds.
Long blocks are kept as their source lines until converted, short ones are
copied, so lengths on both sides of that line are covered."""

from hypothesis import given, settings
from hypothesis import strategies as st

from _vorn_native import dumps, loads

WHITE_SPACE = "\t\n\v\f\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000"
HEAD = '_vorn_version: "1.0"\n'


def expected_block(raw_lines: list[str]) -> str:
    kept = []
    for raw in raw_lines:
        line = raw.rstrip(WHITE_SPACE)
        if not line:
            continue
        indent = len(line) - len(line.lstrip(" "))
        kept.append((indent, line[indent:].lstrip(WHITE_SPACE)))
    least = min(indent for indent, _ in kept)
    return "\n".join(" " * (indent - least) + text for indent, text in kept)


def load_block(raw_lines: list[str], line_end: str = "\n") -> dict:
    document = HEAD + "block: |" + line_end + line_end.join(raw_lines) + line_end + "after: x" + line_end
    return loads(document)


BLOCKS = [
    ["  one"],
    ["  " + "x" * 56],
    ["  " + "x" * 57],
    ["  first", "", "    deeper", "  back", "      "] + [f"  line {i} with some text" for i in range(20)],
    ["    starts deeper", "  then less", "      \u00a0nbsp after spaces", "  caf\u00e9 \u4e2d\u6587 \U0001f600"],
    ["  trailing spaces   ", "  \u3000ideographic space\u3000", "  # not a comment", "  key: not a mapping"],
    ["  " + "long " * 400],
]


def test_blocks_read_by_the_rule() -> None:
    for raw_lines in BLOCKS:
        for line_end in ("\n", "\r\n"):
            loaded = load_block(raw_lines, line_end)
            assert loaded["block"] == expected_block(raw_lines), raw_lines
            assert loaded["after"] == "x"


def test_a_long_block_as_the_last_value_without_a_final_line_feed() -> None:
    text = "x" * 100
    assert loads(HEAD + "block: |\n  " + text + "\n   \n  " + text)["block"] == text + "\n" + text


def test_long_blocks_through_aliases_are_equal_and_distinct() -> None:
    text = "\n".join(f"line {i} of a long block" for i in range(10))
    loaded = loads(
        HEAD + "a: &b\n  k: |\n" + "".join("    " + line + "\n" for line in text.split("\n")) + "c: *b\nd:\n  - *b\n"
    )
    assert loaded["a"] == loaded["c"] == loaded["d"][0] == {"k": text}
    assert loaded["a"] is not loaded["c"]


def test_a_long_literal_version_is_checked_and_reported_whole() -> None:
    long_version = "1.0" + "0" * 80
    try:
        loads("_vorn_version: |\n  " + long_version + "\n")
    except ValueError as error:
        assert str(error).endswith(f"unsupported _vorn_version '{long_version}', expected 1.0")
    else:
        raise AssertionError("the version was accepted")


line_text = st.text(alphabet=st.sampled_from("ab #:\"'\\-|\u00e9\u4e2d\u00a0\u3000\r"), max_size=30)


@settings(max_examples=300, deadline=None)
@given(st.lists(st.tuples(st.integers(min_value=2, max_value=7), line_text), min_size=1, max_size=12))
def test_random_blocks_read_by_the_rule(lines) -> None:
    raw_lines = [" " * indent + text for indent, text in lines]
    if not any(line.strip(WHITE_SPACE) for line in raw_lines):
        raw_lines.append("  x")
    assert load_block(raw_lines)["block"] == expected_block(raw_lines)
    assert dumps(load_block(raw_lines)) == dumps(
        {"_vorn_version": "1.0", "after": "x", "block": expected_block(raw_lines)}
    )
