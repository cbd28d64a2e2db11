"""What loads builds: fresh dict, list and str objects, keys in byte order,
no trace of comments, and trees far deeper than any recursion limit."""

import gc
import json

import pytest
import vorn

from _vorn_native import dumps, loads

HEAD = "_vorn_version: 1.0\n"


def test_keys_come_in_byte_order_not_document_order():
    result = loads("b: 1\nab: 2\n_vorn_version: 1.0\né: 3\na: 4\nB: 5\n")
    assert list(result) == ["B", "_vorn_version", "a", "ab", "b", "é"]
    nested = loads(HEAD + "outer:\n  z: 1\n  y: 2\n  Z: 3\n")["outer"]
    assert list(nested) == ["Z", "y", "z"]


# (document after the version line, expected result without the version)
SHAPES = [
    ("", {}),
    ("a: []\nb: {}\nc: ''\nd:\n", {"a": [], "b": {}, "c": "", "d": ""}),
    ("k: a\0b\n", {"k": "a\0b"}),
    ("s:\n  - x\n  - []\n  - k: v\n  -\n    - y\n", {"s": ["x", [], {"k": "v"}, ["y"]]}),
    (
        "# above\nk: v  # after\ns:\n  - x  # item\n  # between\n  - y\n# last\n",
        {"k": "v", "s": ["x", "y"]},
    ),
    # Containers made as their blocks close, beside what is read again: an
    # anchored block and its copies, an item's inline mapping continued
    # below it, a key given twice, keys out of order, a mapping of many keys.
    (
        "m: &m\n  p: q\na: &a\n  - x\n  - m: {}\nb:\n  - *a\n  - <<: *m\n    n: o\n",
        {"a": ["x", {"m": {}}], "b": [["x", {"m": {}}], {"n": "o", "p": "q"}], "m": {"p": "q"}},
    ),
    ("s:\n  - k: v\n    z:\n      - w\n    a: b\n", {"s": [{"a": "b", "k": "v", "z": ["w"]}]}),
    ("d:\n  - x\nd:\n  k: v\ne:\n  k:\n    - 1\n  k: 2\n", {"d": {"k": "v"}, "e": {"k": "2"}}),
    ("o:\n  z: 1\n  a:\n    - y\n  m: {}\n", {"o": {"a": ["y"], "m": {}, "z": "1"}}),
    (
        "many:\n" + "".join(f"  k{i:04d}:\n    - v{i}\n" for i in range(1500)),
        {"many": {f"k{i:04d}": [f"v{i}"] for i in range(1500)}},
    ),
]


# loads, and the data of a Document, which its own walk makes.
READERS = [loads, lambda text: vorn.Document.parse(text).data]


@pytest.mark.parametrize("read", READERS)
@pytest.mark.parametrize(("body", "expected"), SHAPES)
def test_documents_become_plain_dicts_lists_and_strs(body, expected, read):
    # With the collector off, its list of objects stays as the read left it.
    gc.disable()
    try:
        result = read(HEAD + body)
        place = {id(tracked): index for index, tracked in enumerate(gc.get_objects())}
    finally:
        gc.enable()
    assert result == {"_vorn_version": "1.0", **expected}
    pending = [(result, None)]
    while pending:
        value, parent = pending.pop()
        assert type(value) in (dict, list, str)
        if type(value) is str:
            continue
        if type(value) is dict:
            assert all(type(key) is str for key in value)
        # Tracked by the collector as json's reader leaves it (a list
        # always, a dict when it holds a container), and after the container
        # that holds it, so that a collection meets parents first. Copies of
        # anchored blocks are converted where they stand, in their own order.
        assert gc.is_tracked(value) == gc.is_tracked(json.loads(json.dumps(value)))
        if parent is not None and gc.is_tracked(value) and "&" not in body:
            assert place[id(parent)] < place[id(value)]
        pending.extend((child, value) for child in (value.values() if type(value) is dict else value))


def test_blank_text_is_an_empty_dict():
    assert loads("") == {}
    assert loads("\n   \n") == {}


def test_equal_positions_are_distinct_objects():
    result = loads(HEAD + "s:\n  - k: v\n  - k: v\nbase: &b\n  k: [x]\ncopy: *b\n")
    first, second = result["s"]
    assert first == second and first is not second
    assert result["copy"] == result["base"] and result["copy"] is not result["base"]
    # Each load builds its own objects too.
    assert loads(HEAD + "k: v\n") is not loads(HEAD + "k: v\n")


def test_the_copies_of_an_alias_hold_its_own_strs():
    # Thousands of scalars, some rewritten by escapes: every copy holds the
    # anchored value's strs themselves, each the right text.
    values = [f"v{index}" if index % 3 else f'"e\\"{index}"' for index in range(3000)]
    body = "".join(f"  k{index}: {value}\n" for index, value in enumerate(values))
    result = loads(HEAD + "base: &b\n" + body + "copies:\n  - *b\n  - *b\n")
    expected = {f"k{index}": f"v{index}" if index % 3 else f'e"{index}' for index in range(3000)}
    assert result["base"] == expected
    for copy in result["copies"]:
        assert copy == expected and copy is not result["base"]
        assert all(copy[key] is result["base"][key] for key in expected)


# Keys that a per-call cache of key objects must keep apart: lengths on
# either side of the cached maximum, shared heads and tails, NUL, non-ASCII.
NEAR_KEYS = [
    "",
    "a",
    "b",
    "ab",
    "ba",
    "k" * 31 + "a",
    "k" * 31 + "b",
    "k" * 32,
    "k" * 33,
    "k" * 34,
    "key",
    "key\0",
    "é",
    "e\u0301",
    "x" * 8 + "y" * 8,
    "y" * 8 + "x" * 8,
]


def _records_document(keys, count):
    lines = [HEAD, "records:\n"]
    for index in range(count):
        for position, key in enumerate(keys):
            lines.append(f'  {"-" if position == 0 else " "} "{key}": {index}-{position}\n')
    return "".join(lines)


@pytest.mark.parametrize("count", [1, 3, 400])
def test_repeated_keys_keep_their_own_text_and_values(count):
    result = loads(_records_document(NEAR_KEYS, count))
    expected = [{key: f"{index}-{position}" for position, key in enumerate(NEAR_KEYS)} for index in range(count)]
    assert result["records"] == expected


def test_a_key_repeated_in_many_records_is_one_shared_str():
    first, second = loads(_records_document(["name", "kind"], 2))["records"]
    for key_a, key_b in zip(first, second):
        assert key_a == key_b and key_a is key_b


def test_keys_after_many_unique_ones_still_come_out_right():
    unique = "".join(f"u{index:05d}: {index}\n" for index in range(2000))
    result = loads(HEAD + unique + _records_document(NEAR_KEYS, 5)[len(HEAD) :])
    assert all(result[f"u{index:05d}"] == str(index) for index in range(2000))
    assert result["records"][4] == {key: f"4-{position}" for position, key in enumerate(NEAR_KEYS)}


class Text(str):
    def __str__(self):
        return "_vorn_version: 1.0\nother: text\n"


def test_a_str_subclass_is_read_through_its_own_data():
    assert loads(Text(HEAD + "k: v\n")) == {"_vorn_version": "1.0", "k": "v"}


def nested_keys_document(depth):
    lines = [HEAD] + [" " * level + "k:\n" for level in range(depth)]
    return "".join(lines)


def test_a_tree_deeper_than_the_recursion_limit_converts():
    depth = 12_000
    value = loads(nested_keys_document(depth))
    levels = 0
    while type(value) is dict and value:
        if levels == 0:
            assert list(value) == ["_vorn_version", "k"]
        else:
            assert list(value) == ["k"]
        value = value["k"]
        levels += 1
    assert levels == depth
    assert value == ""


# Characters at the edges of each storage width CPython uses for str (one,
# two or four bytes per character), alone and mixed, as keys and values:
# CPython compares the widths first, so a str built with the wrong one
# compares unequal to the same text.
EDGE_TEXTS = [
    "\x80",
    "\xff",
    "caf\xe9",
    "\u0100",
    "\u07ff",
    "\u0800",
    "\ud7ff",
    "\ue000",
    "\uffff",
    "\U00010000",
    "\U0010ffff",
    "a\xe9\u4e2d\U0001f600z",
    "\xe9" * 40 + "\u4e2d",
    "\u2028\u00a0x",
]


@pytest.mark.parametrize("text", EDGE_TEXTS)
def test_non_ascii_text_keeps_every_character_and_its_width(text):
    loaded = loads(dumps({"_vorn_version": "1.0", text: text, "list": [text, "x" + text]}))
    assert loaded == {"_vorn_version": "1.0", text: text, "list": [text, "x" + text]}
