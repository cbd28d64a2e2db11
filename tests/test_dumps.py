"""dumps: exact text for every layout and quoting rule, the type errors, and
that nothing passed in is kept, leaked or freed early."""

import os
import sys
import threading

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from test_roundtrip import keys, scalars
from vorn._native import checked_dumps

from _vorn_native import dumps

UNSUPPORTED = "Unsupported Python type for vorn (expected str, list, or dict)"


# (object, exact text)
LAYOUT = [
    ({}, "{}\n"),
    ([], "[]\n"),
    ("", '""\n'),
    ("plain", '"plain"\n'),
    ({"k": "v"}, 'k: "v"\n'),
    (["a", "b"], '- "a"\n- "b"\n'),
    # Keys in byte order whatever the insertion order; the version key is
    # not moved to the front, and a capital letter sorts before it.
    (
        {"b": "", "é": "", "a": "", "_vorn_version": "1.0", "B": "", "ab": "", "": ""},
        ': ""\nB: ""\n_vorn_version: "1.0"\na: ""\nab: ""\nb: ""\né: ""\n',
    ),
    (
        {"_vorn_version": "1.0", "list": ["x", {"k": "v"}, [], ["y"]], "empty": {}},
        '_vorn_version: "1.0"\nempty: {}\nlist:\n  - "x"\n  - \n    k: "v"\n  - []\n  - \n    - "y"\n',
    ),
    ({"a": {"b": {"c": "d"}}}, 'a:\n  b:\n    c: "d"\n'),
    ({"s": [{"m": ["x"]}]}, 's:\n  - \n    m:\n      - "x"\n'),
    ([[[]], [{}]], "- \n  - []\n- \n  - {}\n"),
    ({"k": "one\ntwo"}, "k: |\n  one\n  two\n"),
    (["one\ntwo"], "- |\n  one\n  two\n"),
    ({"a": [{"b": "x\ny"}]}, "a:\n  - \n    b: |\n      x\n      y\n"),
    ("\n", "|\n  \n  \n"),
    ({"k": "end\n"}, "k: |\n  end\n  \n"),
]


@pytest.mark.parametrize(("obj", "text"), LAYOUT)
def test_layout(obj, text):
    assert dumps(obj) == text


# (scalar, how it is written as a mapping value)
SCALARS = [
    ('say "hi"', r'"say \"hi\""'),
    ("back\\slash", r'"back\\slash"'),
    ('\\"', r'"\\\""'),
    ("tab\there", '"tab\there"'),
    ("cr\rhere", '"cr\rhere"'),
    ("nul\0here", '"nul\0here"'),
    ("  padded  ", '"  padded  "'),
    ("x # not a comment", '"x # not a comment"'),
    ("[]", '"[]"'),
    ("{}", '"{}"'),
    ("|", '"|"'),
    ("*alias", '"*alias"'),
    ("&anchor", '"&anchor"'),
    ("- item", '"- item"'),
    ("a: b", '"a: b"'),
    ("'single'", "\"'single'\""),
    ("true", '"true"'),
    ("\u2028\u00a0café", '"\u2028\u00a0café"'),
]


@pytest.mark.parametrize(("scalar", "written"), SCALARS)
def test_scalars_are_always_double_quoted_with_two_escapes(scalar, written):
    assert dumps({"k": scalar}) == f"k: {written}\n"
    assert dumps([scalar]) == f"- {written}\n"


# (key, how it is written before the colon)
KEYS = [
    ("plain", "plain"),
    ("", ""),
    ("a-b", "a-b"),
    ("-x", "-x"),
    ("&x", "&x"),
    ("*x", "*x"),
    ("<<", "<<"),
    ("[]", "[]"),
    ("{}", "{}"),
    ("|", "|"),
    ("\u200b", "\u200b"),  # zero width space is not White_Space
    ("\ufeffbom", "\ufeffbom"),
    ("back\\slash", "back\\slash"),
    ("a b", '"a b"'),
    ("a\u00a0b", '"a\u00a0b"'),
    ("\u3000", '"\u3000"'),
    ("x\u2029", '"x\u2029"'),
    ("a#b", '"a#b"'),
    ("a:b", '"a:b"'),
    ("why?", '"why?"'),
    ("cr\r", '"cr\r"'),
    ("vt\x0b", '"vt\x0b"'),
    # Quote characters anywhere in a key: the reader would strip an outer
    # pair, or let an inner one hide a later comment marker.
    ("'q'", "\"'q'\""),
    ('"q"', r'"\"q\""'),
    ('"', r'"\""'),
    ("'", '"\'"'),
    ("it's", '"it\'s"'),
    ('a"b', r'"a\"b"'),
    ('a "b', r'"a \"b"'),
    ("a\\ b", r'"a\\ b"'),
]


@pytest.mark.parametrize(("key", "written"), KEYS)
def test_keys_are_bare_unless_the_reader_would_change_them(key, written):
    assert dumps({key: "v"}) == f'{written}: "v"\n'


class LoudKey(str):
    def __repr__(self):
        raise AssertionError("dumps ran the key's own __repr__")


# (object, the key as the message shows it): str's repr, cut to 40
# characters with "..." at the end.
LINE_FEED_KEYS = [
    ({"_vorn_version": "1.0", "users": {"x: y\nrole: admin\nz": "v"}}, "'x: y\\nrole: admin\\nz'"),
    ({"\n": "v"}, "'\\n'"),
    (["ok", {"k": [{"a\nb": []}]}], "'a\\nb'"),
    ({"it's\n": {}}, '"it\'s\\n"'),
    ({"é\n日本": "v"}, "'é\\n日本'"),
    ({"\n" + "x" * 36: "v"}, "'\\n" + "x" * 36 + "'"),
    ({"\n" + "x" * 37: "v"}, "'\\n" + "x" * 34 + "..."),
    ({LoudKey("k\n"): "v"}, "'k\\n'"),
]


@pytest.mark.parametrize(("obj", "shown"), LINE_FEED_KEYS)
def test_keys_holding_a_line_feed_are_refused(obj, shown):
    with pytest.raises(ValueError) as raised:
        dumps(obj)
    assert type(raised.value) is ValueError
    assert str(raised.value) == f"mapping key cannot hold a line feed: {shown}"


def test_a_type_error_anywhere_comes_before_a_line_feed_key():
    # The whole object is read before the text is written.
    with pytest.raises(TypeError):
        dumps({"a\n": "v", "b": [None]})


def test_result_is_a_new_exact_str():
    result = dumps({"k": "v"})
    assert type(result) is str
    assert dumps({"k": "v"}) is not result


def test_argument_by_keyword():
    assert dumps(obj=["x"]) == '- "x"\n'


class Text(str):
    def __str__(self):
        return "other text"


class Items(list):
    def __iter__(self):
        return iter(["other"])

    def __len__(self):
        return 0

    def __getitem__(self, index):
        return "other"


class Table(dict):
    def items(self):
        return [("other", "x")]

    def keys(self):
        return ["other"]

    def __iter__(self):
        return iter(["other"])

    def __getitem__(self, key):
        return "other"


def test_subclasses_are_read_through_their_own_storage():
    obj = Table({"k": Items([Text("own"), Text("data")])})
    assert dumps(obj) == 'k:\n  - "own"\n  - "data"\n'
    assert dumps(Text("root")) == '"root"\n'


class DistinctKey(str):
    """Equal text, yet a different dict key."""

    def __hash__(self):
        return id(self)

    def __eq__(self, other):
        return self is other


def test_keys_with_the_same_text_keep_the_later_value():
    obj = {DistinctKey("k"): "first", DistinctKey("k"): "second"}
    assert len(obj) == 2
    assert dumps(obj) == 'k: "second"\n'


# What the writers take and what they refuse, mixed, to compare the two
# routes to the text: straight from the objects, or through a flat tree.
refused_values = st.sampled_from([1, None, "\ud800", "tab\there", "line \nend", "x\n", "\n\n"])
refused_keys = st.sampled_from(["line\nfeed", "\udfff", "t\tab"])
mixed_trees = st.recursive(
    st.one_of(scalars, refused_values),
    lambda children: st.one_of(
        st.lists(children, max_size=4), st.dictionaries(st.one_of(keys, refused_keys), children, max_size=4)
    ),
    max_leaves=12,
)


def outcome(write, obj):
    try:
        result = write(obj)
    except Exception as error:
        return type(error), str(error)
    return result if isinstance(result, str) else repr(result)


def assert_routes_agree(tree):
    # A dict that holds two keys of one text is written through a flat tree,
    # whatever else it holds; its twin holds the key once.
    straight = {"_vorn_version": "1.0", "a": tree, "~": ""}
    through_flat_tree = {"_vorn_version": "1.0", "a": tree, DistinctKey("~"): "", DistinctKey("~"): ""}
    for write in (dumps, lambda obj: checked_dumps(obj, True), lambda obj: checked_dumps(obj, False)):
        assert outcome(write, straight) == outcome(write, through_flat_tree)


@settings(max_examples=int(os.environ.get("VORN_ROUND_TRIP_EXAMPLES", "2000")) // 4, deadline=None)
@given(mixed_trees)
def test_both_routes_to_the_text_agree(tree):
    assert_routes_agree(tree)


@pytest.mark.parametrize("depth", range(125, 131))
@pytest.mark.parametrize("leaf", ["x", [], {}, 1])
def test_both_routes_agree_around_the_depth_written_straight(depth, leaf):
    for nest in (lambda obj: [obj], lambda obj: {"k": obj}):
        tree = leaf
        for _ in range(depth):
            tree = nest(tree)
        assert_routes_agree(tree)


class Opaque:
    pass


def make_local_class():
    class Local:
        pass

    return Local


# (object, exception type, exact message)
TYPE_ERRORS = [
    ((), TypeError, UNSUPPORTED),
    (("a",), TypeError, UNSUPPORTED),
    (1, TypeError, UNSUPPORTED),
    (True, TypeError, UNSUPPORTED),
    (None, TypeError, UNSUPPORTED),
    (1.5, TypeError, UNSUPPORTED),
    (b"bytes", TypeError, UNSUPPORTED),
    ({"a"}, TypeError, UNSUPPORTED),
    (Opaque(), TypeError, UNSUPPORTED),
    (["a", ["b", {"c": [None]}]], TypeError, UNSUPPORTED),
    ({"k": ("tuple",)}, TypeError, UNSUPPORTED),
    ({1: "v"}, TypeError, "'int' object cannot be cast as 'str'"),
    ({b"k": "v"}, TypeError, "'bytes' object cannot be cast as 'str'"),
    ({None: "v"}, TypeError, "'NoneType' object cannot be cast as 'str'"),
    ({make_local_class()(): "v"}, TypeError, "'make_local_class.<locals>.Local' object cannot be cast as 'str'"),
    # The key is tested before its value is converted.
    ({1: None}, TypeError, "'int' object cannot be cast as 'str'"),
    # Depth first in list order and dict order: the first offender decides.
    ([None, {1: "v"}], TypeError, UNSUPPORTED),
    ([{1: "v"}, None], TypeError, "'int' object cannot be cast as 'str'"),
    ({"a": None, 2: "v"}, TypeError, UNSUPPORTED),
    ({2: "v", "a": None}, TypeError, "'int' object cannot be cast as 'str'"),
]


@pytest.mark.parametrize(("obj", "error", "message"), TYPE_ERRORS)
def test_type_errors(obj, error, message):
    with pytest.raises(error) as raised:
        dumps(obj)
    assert type(raised.value) is error
    assert str(raised.value) == message
    assert raised.value.__cause__ is None


@pytest.mark.parametrize("obj", ["\ud800", ["ok", "\udfff"], {"\ud800": "v"}, {"k": "\udc00"}])
def test_lone_surrogates_raise_the_unchanged_encode_error(obj):
    with pytest.raises(UnicodeEncodeError) as raised:
        dumps(obj)
    assert raised.value.reason == "surrogates not allowed"


def all_objects(obj):
    """Every object reachable from `obj`, keys included, each once."""
    seen, pending, found = set(), [obj], []
    while pending:
        current = pending.pop()
        if id(current) in seen:
            continue
        seen.add(id(current))
        found.append(current)
        if isinstance(current, list):
            pending.extend(current)
        elif isinstance(current, dict):
            pending.extend(current.keys())
            pending.extend(current.values())
    return found


def self_containing_list():
    items = ["a"]
    items.append(items)
    return items


def self_containing_dict():
    table = {"a": "b"}
    table["self"] = table
    return table


def mutually_containing():
    inner = {"k": []}
    outer = [inner]
    inner["k"].append(outer)
    return outer


REFCOUNT_CASES = [
    {"k": ["a", {"b": "c"}], "é": "x\ny", "": []},
    ["a", ["b", {"c": [None]}]],
    {"a": "ok", 2: "v"},
    {"a": [1.5]},
    {"k": ["ok", "\ud800"]},
    {"\udfff": "v"},
    {DistinctKey("k"): "x", DistinctKey("k"): "y"},
    self_containing_list(),
    self_containing_dict(),
    mutually_containing(),
]


@pytest.mark.parametrize("obj", REFCOUNT_CASES)
def test_reference_counts_are_unchanged_on_success_and_failure(obj):
    objects = all_objects(obj)
    before = [sys.getrefcount(o) for o in objects]
    for _ in range(3):
        try:
            dumps(obj)
        except (TypeError, UnicodeEncodeError, RecursionError):
            pass
    assert [sys.getrefcount(o) for o in objects] == before


def nested_lists(depth):
    obj = "leaf"
    for _ in range(depth):
        obj = [obj]
    return obj


def nested_dicts(depth):
    obj = "leaf"
    for _ in range(depth):
        obj = {"k": obj}
    return obj


@pytest.mark.parametrize(
    "obj",
    [
        self_containing_list(),
        self_containing_dict(),
        mutually_containing(),
        nested_lists(200_000),
        nested_dicts(200_000),
    ],
    ids=["list", "dict", "mutual", "deep-list", "deep-dict"],
)
def test_structures_too_deep_raise_recursion_error(obj):
    with pytest.raises(RecursionError):
        dumps(obj)
    # The interpreter's recursion budget was given back in full.
    assert dumps(nested_lists(2)) == '- \n  - "leaf"\n'
    with pytest.raises(RecursionError):
        dumps(obj)


def test_deep_nesting_within_the_limit_needs_little_native_stack():
    depth = 1000
    results = []
    old_size = threading.stack_size(256 * 1024)
    try:
        worker = threading.Thread(target=lambda: results.append(dumps(nested_lists(depth))))
        worker.start()
        worker.join()
    finally:
        threading.stack_size(old_size)
    [text] = results
    assert text.endswith(" " * (2 * (depth - 1)) + '- "leaf"\n')
    assert text.count("\n") == depth
