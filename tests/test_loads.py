"""loads() on documents too large or too particular to keep as corpus files:
deep nesting, alias budgets, line ends, and the independence of copies."""

import pytest

from _vorn_native import dumps, loads

VERSION = "_vorn_version: 1.0\n"
BUDGET_MESSAGE = "alias expansion exceeds limit of {} nodes"


def depth_of_nested_dicts(value: dict, key: str) -> int:
    depth = 0
    while isinstance(value, dict) and key in value:
        value = value[key]
        depth += 1
    return depth


def test_twelve_thousand_levels_deep_loads_without_recursion() -> None:
    levels = 12_000
    text = VERSION + "".join(" " * level + "k:\n" for level in range(levels))
    result = loads(text)
    assert depth_of_nested_dicts(result, "k") == levels
    innermost = result
    for _ in range(levels - 1):
        innermost = innermost["k"]
    assert innermost == {"k": ""}


def test_twelve_thousand_nested_sequences_load() -> None:
    levels = 12_000
    items = "".join(" " * (level + 1) + "-\n" for level in range(levels))
    text = VERSION + "s:\n" + items + " " * (levels + 1) + "- x\n"
    value = loads(text)["s"]
    for _ in range(levels + 1):  # one list per "-" line, and the one that holds x
        assert isinstance(value, list) and len(value) == 1
        value = value[0]
    assert value == "x"


def ten_by_nine_bomb(extra_lines: str = "") -> str:
    text = VERSION + extra_lines + "l0: &l0\n" + "  - lol\n" * 10
    for level in range(1, 9):
        text += f"l{level}: &l{level}\n" + f"  - *l{level - 1}\n" * 10
    return text


@pytest.mark.parametrize(
    ("extra_lines", "counted_lines"),
    [
        ("", 0),
        ("\n" * 500, 0),  # blank lines add nothing to the allowance
        ("# note\n" * 500, 500),  # comment lines are lines like any other
    ],
)
def test_billion_laughs_refused_with_limit_scaled_by_non_blank_lines(extra_lines: str, counted_lines: int) -> None:
    text = ten_by_nine_bomb(extra_lines)
    limit = 1_000_000 + 10 * (100 + counted_lines)
    with pytest.raises(ValueError) as raised:
        loads(text)
    assert str(raised.value).endswith(", column 1: " + BUDGET_MESSAGE.format(limit))


def test_budget_error_names_the_alias_that_crossed_it() -> None:
    # Levels of 11, 111, ... nodes, and only aliases count: the 8th alias of
    # level five crosses the limit, once the aliases before it have used
    # 901,217 nodes.
    with pytest.raises(ValueError) as raised:
        loads(ten_by_nine_bomb())
    assert str(raised.value) == "parse error: parse error at line 65, column 1: " + BUDGET_MESSAGE.format(1_001_000)


def test_long_text_copied_through_nested_aliases_is_refused() -> None:
    # Few nodes but a 100 kB literal block: each copy costs one node per 64
    # bytes, so the third level is refused long before memory runs out.
    block = "".join(f"    line {i:04} " + "x" * 80 + "\n" for i in range(1000))
    text = VERSION + "l0: &l0\n  - |\n" + block
    for level in range(1, 6):
        text += f"l{level}: &l{level}\n" + f"  - *l{level - 1}\n" * 10
    limit = 1_000_000 + 10 * (1 + 2 + 1000 + 5 * 11)
    with pytest.raises(ValueError, match=BUDGET_MESSAGE.format(limit) + "$"):
        loads(text)


@pytest.mark.parametrize("comment", ["", "  # " + "c" * 6400])
def test_comments_inside_an_anchored_block_count_towards_its_copies(comment: str) -> None:
    # loads keeps no comments, but those inside an anchored block still
    # count: with the long one each of the 11,000 copies costs 102 nodes.
    text = VERSION + "base: &b\n  - x" + comment + "\ncopies:\n" + "  - *b\n" * 11_000
    if not comment:
        assert len(loads(text)["copies"]) == 11_000
        return
    limit = 1_000_000 + 10 * 11_004
    with pytest.raises(ValueError, match=BUDGET_MESSAGE.format(limit) + "$"):
        loads(text)


def test_twenty_thousand_aliases_of_a_fifty_entry_mapping_load() -> None:
    entries = "".join(f"  key{i}: value {i}\n" for i in range(50))
    aliases = "  - *base\n" * 20_000
    result = loads(VERSION + "base: &base\n" + entries + "copies:\n" + aliases)
    expected = {f"key{i}": f"value {i}" for i in range(50)}
    assert result["base"] == expected
    assert len(result["copies"]) == 20_000
    assert all(copy == expected for copy in result["copies"])


def test_alias_copies_are_independent_objects() -> None:
    result = loads(VERSION + "a: &x\n  k:\n    - v\nb: *x\nc: *x\n")
    result["b"]["k"].append("changed")
    assert result["a"] == {"k": ["v"]}
    assert result["c"] == {"k": ["v"]}
    assert result["b"] is not result["c"]


@pytest.mark.parametrize(
    "line_end",
    ["\n", "\r\n"],
)
def test_line_feed_and_carriage_return_line_feed_read_alike(line_end: str) -> None:
    lines = [VERSION.rstrip("\n"), "a:", "  - x", "  - k: |", "      one", "       two", "b: 'q' # c", ""]
    assert loads(line_end.join(lines)) == {"_vorn_version": "1.0", "a": ["x", {"k": "one\n two"}], "b": "q"}


def test_mixed_line_ends_and_lone_carriage_returns() -> None:
    text = VERSION.rstrip("\n") + "\r\nk: a\rb\nj: |\r\n  x\r\n  y\rz\n"
    assert loads(text) == {"_vorn_version": "1.0", "k": "a\rb", "j": "x\ny\rz"}


def test_line_numbers_count_carriage_return_line_feed_lines() -> None:
    with pytest.raises(ValueError) as raised:
        loads(VERSION.replace("\n", "\r\n") + "a: 1\r\n\r\nbroken\r\n")
    assert str(raised.value) == "parse error: parse error at line 4, column 1: expected ':' in mapping entry"


@pytest.mark.parametrize(
    "value",
    [
        "http://example.org:8080/path",
        "12:30",
        'say "hi"',
        'back\\slash \\" both',
        "a: b # not a comment",
        "'single' and \"double\"",
        "ends with backslash \\",
        "",
    ],
)
def test_quoted_scalars_and_keys_written_by_dumps_read_back(value: str) -> None:
    tree = {"_vorn_version": "1.0", value or "k": value, "items": [value, {value or "k": value}]}
    assert loads(dumps(tree)) == tree
