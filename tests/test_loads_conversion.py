"""What loads builds: fresh dict, list and str objects, keys in byte order,
no trace of comments, and trees far deeper than any recursion limit."""

import pytest

from _vorn_native import loads

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
]


@pytest.mark.parametrize(("body", "expected"), SHAPES)
def test_documents_become_plain_dicts_lists_and_strs(body, expected):
    result = loads(HEAD + body)
    assert result == {"_vorn_version": "1.0", **expected}
    pending = [result]
    while pending:
        value = pending.pop()
        assert type(value) in (dict, list, str)
        if type(value) is dict:
            assert all(type(key) is str for key in value)
            pending.extend(value.values())
        elif type(value) is list:
            pending.extend(value)


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
