"""The package's writers are lossless by default: dumps, dump and dump_path
refuse, before writing anything, a tree whose text would not read back
equal, and name the first offending value; lossy=True writes it anyway."""

import functools
import io
import os
import pickle
import re

import pytest
import vorn
from hypothesis import given, settings
from hypothesis import strategies as st

from _vorn_native import dumps, loads

LOSSY_HINT = "; pass lossy=True to write it anyway"


def doc(**entries):
    return {"_vorn_version": "1.0", **entries}


# (tree, the error's location, its reason, whether lossy=True writes it)
REFUSALS = [
    (
        doc(server={"script": "set -e\n   \nmake"}),
        "$.server.script",
        "a line of only White_Space in a multi-line string would be dropped",
        True,
    ),
    (doc(items=["a", "b", "c\n"]), "$.items[2]", "the final line feed of a multi-line string would be dropped", True),
    ({**doc(), "odd key": "a\n\nb"}, '$["odd key"]', "an empty line in a multi-line string would be dropped", True),
    (doc(k="a \nb"), "$.k", "White_Space at the end of a line in a multi-line string would be dropped", True),
    (doc(k="a\r\nb"), "$.k", "White_Space at the end of a line in a multi-line string would be dropped", True),
    (
        doc(k="a\n\u00a0b"),
        "$.k",
        "White_Space other than spaces at the start of a line in a multi-line string would be dropped",
        True,
    ),
    (doc(k="  a\n  b"), "$.k", "the spaces that start every line of a multi-line string would be dropped", True),
    (
        doc(k=["x", {"t": "a\tb"}]),
        "$.k[1].t",
        "the string holds a tab, and loads refuses a document with a tab anywhere",
        True,
    ),
    (
        {**doc(), "a\tb": "v"},
        '$["a\\tb"]',
        "the key holds a tab, and loads refuses a document with a tab anywhere",
        True,
    ),
    (
        doc(users={"x: y\nrole: admin\nz": "v"}),
        '$.users["x: y\\nrole: admin\\nz"]',
        "mapping key cannot hold a line feed, which no document can carry; rename the key",
        False,
    ),
    ({"name": "x"}, "$", 'the root has no "_vorn_version": "1.0", without which loads refuses the text', True),
    ({}, "$", 'the root has no "_vorn_version": "1.0", without which loads refuses the text', True),
    (
        {"_vorn_version": "1.1"},
        "$._vorn_version",
        'loads accepts only the version "1.0" (White_Space around it aside)',
        True,
    ),
    (
        {"_vorn_version": ["1.0"]},
        "$._vorn_version",
        'the version must be the string "1.0", or loads refuses the text',
        True,
    ),
    (["a"], "$", "the root is a list, but loads reads only a mapping (a dict) as a document", True),
    ("text", "$", "the root is a str, but loads reads only a mapping (a dict) as a document", True),
    # The first offender in written order (keys in byte order) is named.
    (
        doc(b="tab\t", a=["fine", "end\n"]),
        "$.a[1]",
        "the final line feed of a multi-line string would be dropped",
        True,
    ),
    # A root fault is found before any value is looked at.
    ({"a": "tab\t"}, "$", 'the root has no "_vorn_version": "1.0", without which loads refuses the text', True),
]


def writers(out):
    """vorn.dumps, and vorn.dump to the text file ``out``: each refuses the
    same trees with the same error."""
    return vorn.dumps, functools.partial(vorn.dump, fp=out)


def texts(tree, **options):
    """What dumps returns and what dump writes for ``tree``."""
    out = io.StringIO()
    returned, dump = writers(out)
    return [returned(tree, **options), dump(tree, **options) or out.getvalue()]


@pytest.mark.parametrize(("tree", "location", "reason", "lossy_helps"), REFUSALS)
def test_the_writers_refuse_what_would_not_read_back(tree, location, reason, lossy_helps):
    out = io.StringIO()
    for write in writers(out):
        with pytest.raises(vorn.EncodeError) as raised:
            write(tree)
        error = raised.value
        assert isinstance(error, ValueError)
        assert (error.location, error.reason, error.lossy_helps) == (location, reason, lossy_helps)
        assert str(error) == f"{location}: {reason}{LOSSY_HINT if lossy_helps else ''}"
        assert out.getvalue() == ""
        if not lossy_helps:
            with pytest.raises(vorn.EncodeError):
                write(tree, lossy=True)
    copy = pickle.loads(pickle.dumps(error))
    assert (type(copy), str(copy), copy.location, copy.lossy_helps) == (
        vorn.EncodeError,
        str(error),
        location,
        lossy_helps,
    )
    if lossy_helps:
        assert texts(tree, lossy=True) == [dumps(tree)] * 2


# Versions the reader accepts: "1.0" with White_Space around it.
@pytest.mark.parametrize("version", ["1.0", " 1.0 ", "\u30001.0\u00a0"])
def test_dump_accepts_every_version_the_reader_accepts(version):
    out = io.StringIO()
    vorn.dump({"_vorn_version": version}, out)
    assert loads(out.getvalue()) == {"_vorn_version": version}


def test_dump_path_refuses_before_touching_any_file(tmp_path):
    target = tmp_path / "doc.vorn"
    target.write_text("_vorn_version: 1.0\nold: x\n")
    with pytest.raises(vorn.EncodeError, match=r"^\$\.k: the final line feed"):
        vorn.dump_path(doc(k="x\n"), target)
    assert target.read_text() == "_vorn_version: 1.0\nold: x\n"
    assert os.listdir(tmp_path) == ["doc.vorn"]
    vorn.dump_path(doc(k="x\n"), target, lossy=True)
    assert vorn.load_path(target) == doc(k="x")


# Trees that stray from what round-trips: tabs, line feeds in keys and values,
# White_Space a literal block drops, roots without the version or of another
# kind.
PIECES = ["\n", "\n\n", " \n", "\n ", "\r\n", "\t", "\u00a0", "\u3000", " ", "  ", ":", '"', "#", "-", "a", "é"]
text = st.lists(st.sampled_from(PIECES), max_size=5).map("".join)


def mostly(usual, rare, one_in=5):
    """`usual`, but one draw in `one_in` from `rare`."""
    return st.integers(0, one_in - 1).flatmap(lambda n: rare if n == 0 else usual)


# Keys with a line feed, which decide the outcome alone, are kept rare.
keys = mostly(text.map(lambda key: key.replace("\n", "")), text)
trees = st.recursive(
    text,
    lambda children: st.one_of(st.lists(children, max_size=3), st.dictionaries(keys, children, max_size=3)),
    max_leaves=8,
)
# So is any version but the one the reader wants, and any root but a dict.
versions = mostly(st.just("1.0"), st.one_of(st.sampled_from([" 1.0", "1.0\n", "1.0\t", "2.0"]), trees))
documents = st.builds(
    lambda entries, version: {**entries, "_vorn_version": version}, st.dictionaries(keys, trees, max_size=4), versions
)
roots = mostly(documents, trees, one_in=10)


def reads_back(written, tree):
    try:
        return loads(written) == tree
    except ValueError:
        return False


def has_line_feed_key(tree):
    if isinstance(tree, list):
        return any(has_line_feed_key(item) for item in tree)
    if isinstance(tree, dict):
        return any("\n" in key or has_line_feed_key(value) for key, value in tree.items())
    return False


@settings(max_examples=int(os.environ.get("VORN_ROUND_TRIP_EXAMPLES", "2000")) // 2, deadline=None)
@given(roots)
def test_the_writers_refuse_exactly_the_trees_that_would_not_read_back(tree):
    if has_line_feed_key(tree):
        for write in writers(io.StringIO()):
            for lossy in (False, True):
                with pytest.raises(vorn.EncodeError):
                    write(tree, lossy=lossy)
        return
    try:
        written = texts(tree)
    except vorn.EncodeError as error:
        assert error.lossy_helps
        assert not reads_back(dumps(tree), tree), error
        with pytest.raises(vorn.EncodeError, match=f"^{re.escape(str(error))}$"):
            vorn.dump(tree, io.StringIO())
        return
    assert written == [dumps(tree)] * 2
    assert loads(written[0]) == tree
