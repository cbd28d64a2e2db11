"""What dumps writes, loads reads back unchanged, over every tree whose
strings the format can carry (see "Round-trip limits" in the README)."""

import os

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from _vorn_native import dumps, loads

WHITE_SPACE = frozenset(
    "\t\n\x0b\x0c\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a"
    "\u2028\u2029\u202f\u205f\u3000"
)

# Pieces that mean something to the reader somewhere, to be found inside keys
# and strings far more often than random text would put them there.
TOKENS = [
    ":",
    ": ",
    '"',
    "'",
    "#",
    " #",
    "*",
    "&",
    "|",
    "<<",
    "[]",
    "{}",
    "-",
    "- ",
    "--",
    "\\",
    '\\"',
    "?",
    " ",
    "  ",
    "\r",
    "\0",
    "\x0b",
    "\u00a0",
    "\u2028",
    "\u3000",
    "\u200b",
    "\ufeff",
    "é",
    "日本",
    "a",
    "key",
    "1.0",
    "_vorn_version",
]

# One line of text: anything but a tab (refused everywhere) or a line feed.
line_text = st.lists(
    st.one_of(
        st.sampled_from(TOKENS),
        st.text(st.characters(exclude_categories=["Cs"], exclude_characters="\t\n"), max_size=4),
    ),
    max_size=6,
).map("".join)


def literal_block_line(indent_and_text):
    indent, text = indent_and_text
    return " " * indent + text


# A line of a multi-line string that survives the reader's line preparation:
# something left after trimming, nothing trimmed off either end except the
# relative indentation of plain spaces. Built from non-White_Space ends
# rather than filtered, which would reject most draws.
line_end = st.one_of(
    st.sampled_from([t for t in TOKENS if t and t[0] not in WHITE_SPACE and t[-1] not in WHITE_SPACE]),
    st.characters(exclude_categories=["Cs"], exclude_characters="".join(WHITE_SPACE)),
)
block_line = st.tuples(
    st.integers(0, 3),
    st.one_of(line_end, st.builds(lambda first, middle, last: first + middle + last, line_end, line_text, line_end)),
).map(literal_block_line)


def join_block(lines):
    # The least indented line sets the block's margin, so one must have none.
    margin = min(len(line) - len(line.lstrip(" ")) for line in lines)
    return "\n".join(line[margin:] for line in lines)


multi_line_text = st.lists(block_line, min_size=2, max_size=4).map(join_block)

scalars = st.one_of(line_text, multi_line_text)
keys = line_text

trees = st.recursive(
    scalars,
    lambda children: st.one_of(st.lists(children, max_size=4), st.dictionaries(keys, children, max_size=4)),
    max_leaves=16,
)

documents = st.dictionaries(keys, trees, max_size=6).map(lambda root: {**root, "_vorn_version": "1.0"})


# Runs that repeat the suite against another build of the same code (the
# installed wheel, the sanitizer builds) may ask for fewer examples.
ROUND_TRIP_EXAMPLES = int(os.environ.get("VORN_ROUND_TRIP_EXAMPLES", "2000"))


@settings(max_examples=ROUND_TRIP_EXAMPLES, deadline=None)
@given(documents)
def test_what_dumps_writes_loads_reads_back(document):
    text = dumps(document)
    assert loads(text) == document
    assert dumps(loads(text)) == text


# Documents that once were, or easily could be, read back wrong.
HOSTILE = [
    {"url": "http://host:80/a", "list": ["a: b", "host:port", '"a": "b"', "'a': b"]},
    {"a:b": "c", '"a:b"': "d", "'x'": "y", "it's": "it' # x", 'a"b': '" #x'},
    {"k": ["- x", "-", "# not a comment", "x # y", "*a", "&a", "|", "[]", "{}", "<<", ""]},
    {"<<": "*a", "*a": "&a", "&a": "|", "-": "-", "": "", "[]": "{}", "|": "[]"},
    {"q": ["\\", '\\"', '"\\', "'", '"', "''", '""', '\\\\"']},
    {"block": "- item\n# comment\n  indented\nkey: value\n|", "cr": "a\rb", "nul": "\0"},
    {"nested": [[["deep"]], [{"k": [{}]}], [[]], {"x": {"y": {"z": "w"}}}]},
    {"\u00a0": "\u3000", "\u200b": "\ufeff", "é": "日本\u2028語"},
]


@pytest.mark.parametrize("root", HOSTILE)
def test_hostile_documents_read_back(root):
    document = {**root, "_vorn_version": "1.0"}
    text = dumps(document)
    assert loads(text) == document
    assert dumps(loads(text)) == text


# Pieces of keys and values for trees that go beyond what round-trips: line
# feeds anywhere, and White_Space where a literal block drops it.
LOSSY_PIECES = [
    "\n",
    "\n\n",
    " \n",
    "\n ",
    "\r\n",
    "\u00a0",
    "\u3000",
    "\u2028",
    " ",
    "  ",
    ":",
    ": ",
    '"',
    "'",
    "#",
    " #",
    "-",
    "- ",
    "\\",
    "a",
    "key",
    "é",
]
lossy_text = st.lists(st.sampled_from(LOSSY_PIECES), max_size=6).map("".join)
lossy_trees = st.recursive(
    lossy_text,
    lambda children: st.one_of(st.lists(children, max_size=3), st.dictionaries(lossy_text, children, max_size=3)),
    max_leaves=10,
)
lossy_documents = st.dictionaries(lossy_text, lossy_trees, max_size=4).map(
    lambda root: {**root, "_vorn_version": "1.0"}
)


def read_back(text):
    """What loads gives back for a string that dumps wrote: the README's
    round-trip table, as the literal block rule. Each line keeps its leading
    spaces and loses White_Space around the rest, a line that is then empty
    goes, and the spaces all lines share go too."""
    if "\n" not in text:
        return text
    lines = []
    for line in text.split("\n"):
        spaces = len(line) - len(line.lstrip(" "))
        content = line[spaces:].strip("".join(WHITE_SPACE))
        if content:
            lines.append((spaces, content))
    margin = min((spaces for spaces, _ in lines), default=0)
    return "\n".join(" " * (spaces - margin) + content for spaces, content in lines)


def as_read_back(tree):
    if isinstance(tree, str):
        return read_back(tree)
    if isinstance(tree, list):
        return [as_read_back(item) for item in tree]
    return {key: as_read_back(value) for key, value in tree.items()}


def keys_of(tree):
    if isinstance(tree, list):
        return [key for item in tree for key in keys_of(item)]
    if isinstance(tree, dict):
        return [*tree, *(key for value in tree.values() for key in keys_of(value))]
    return []


@settings(max_examples=ROUND_TRIP_EXAMPLES // 2, deadline=None)
@given(lossy_documents)
def test_dumps_refuses_line_feed_keys_and_loses_only_what_the_readme_lists(document):
    if any("\n" in key for key in keys_of(document)):
        with pytest.raises(ValueError, match="^mapping key cannot hold a line feed: "):
            dumps(document)
        return
    assert loads(dumps(document)) == as_read_back(document)
