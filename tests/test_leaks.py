"""Every API path of the extension, success and failure alike, run many
times over: nothing it allocates may stay behind, and the objects passed in
keep their reference counts."""

import gc
import os
import sys
from collections.abc import Callable
from dataclasses import dataclass, field
from typing import Any

import pytest
import vorn
from vorn._native import checked_dumps, read_syntax
from vorn._native import loads as package_loads

from _vorn_native import dumps, loads

MEASURED = 10_000
WARM_UP_SHARE = 10  # one call in ten of the measured count, before measuring
# Allocator slack: interned strings, free lists and caches that the
# interpreter fills on its own may hold a few blocks more after a run.
BLOCK_GROWTH_LIMIT = 50
RSS_GROWTH_LIMIT = 4 * 1024 * 1024


def under_address_sanitizer():
    with open("/proc/self/maps") as maps:
        return "libasan" in maps.read()


# Under the sanitizers every call costs several times as much; a tenth of
# the calls still shows a leak of one block per call, and reference counts
# show a leak after one call.
SANITIZER_SLOWDOWN = 10 if under_address_sanitizer() else 1


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGESIZE")


class Incomparable(str):
    def __eq__(self, other):
        raise RuntimeError("cannot be compared")

    __hash__ = None


READ = read_syntax("_vorn_version: 1.0\na:\n  - x\n  - b: y\nlist:\n  - p\n  - q\ngone: {}\n")[1]
CHANGED = {"_vorn_version": "1.0", "a": ["x", {"b": "z"}], "list": ["p", "q", "r"], "added": "n"}
RAISING = {"_vorn_version": "1.0", "a": ["x", {"b": Incomparable("y")}], "list": ["p", "q"], "gone": {}}
UNWRITTEN = {"_vorn_version": "1.0", "a": ["x", {"b": [1.5]}], "list": ["p", "q"], "gone": {}}
TABBED = {"_vorn_version": "1.0", "a": ["x", {"b": "y\tz"}], "list": ["p", "q"], "gone": {}}


@dataclass
class Path:
    id: str
    function: Callable[..., Any]
    args: tuple = ()
    raises: type[BaseException] | None = None
    message: str = ""  # a piece of the error message that proves the path
    inner: tuple = ()  # objects inside the arguments whose counts must hold too
    kwargs: dict = field(default_factory=dict)
    measured: int = MEASURED


DOCUMENT = """\
_vorn_version: 1.0
# a comment line
base: &base
  host: example.org
  port: "8080"
service:
  <<: *base
  name: 'web'  # inline comment
  script: |
    make
      install
  steps:
    - build
    - name: test
      args: []
    - *base
"""

# Ten levels of ten aliases each: refused when the copies pass the budget.
BILLION_LAUGHS = (
    "_vorn_version: 1.0\na0: &a0\n"
    + "".join(f"  - x{i}\n" for i in range(10))
    + "".join(f"a{level}: &a{level}\n" + f"  - *a{level - 1}\n" * 10 for level in range(1, 10))
)

SURROGATE_TEXT = "_vorn_version: 1.0\nk: \ud800\n"
MADE_THEN_FAULT = "_vorn_version: 1.0\nlist:\n  - a\n  - k: v\n    deeper:\n      - b\nmap:\n  x: y\nno colon\n"

DUMPED = {
    "_vorn_version": "1.0",
    "plain": "value",
    "needs quotes": 'say "hi" \\ there',
    "block": "line one\n  line two",
    "list": ["a", [], {}, ["b", {"k": "v"}]],
    "nested": {"deeper": {"deepest": ["x: y", "#", "- z"]}},
}

NON_STR_KEY = {"a": [{"b": "c", 2: "d"}]}
DEEP_UNSUPPORTED = {"items": [str(i) for i in range(200)] + [{"deep": [[{"k": [1.5]}]]}]}
SELF_LIST: list = []
SELF_LIST.append(SELF_LIST)
SELF_DICT: dict = {}
SELF_DICT["again"] = [SELF_DICT]
SURROGATE_KEY = {"ok": "x", "\udc80": "y"}
SURROGATE_VALUE = {"k": ["fine", "\udfff"]}
LINE_FEED_KEY = {"_vorn_version": "1.0", "a": {"é\nkey": "v"}}
# The checked writer reports (steps, fault) for the string at $.list[1].key.
LOSSY = {"_vorn_version": "1.0", "list": ["a", {"ké y": "end\n"}]}

PATHS = [
    Path("loads success", loads, (DOCUMENT,)),
    Path("loads keyword", loads, kwargs={"s": DOCUMENT}),
    Path("loads blank", loads, ("\n  \n",)),
    Path("error on the first line", loads, ("no colon\n_vorn_version: 1.0\n",), ValueError, "line 1, column 1:"),
    Path(
        "error on a middle line",
        loads,
        ("_vorn_version: 1.0\na: 1\nno colon\nb: 2\nc: 3\n",),
        ValueError,
        "line 3, column 1: expected ':'",
    ),
    Path("error on the last line", loads, ("_vorn_version: 1.0\na: 1\nb: &x\n",), ValueError, "line 3, column 2:"),
    Path("tab", loads, ("_vorn_version: 1.0\nk:\tv\n",), ValueError, "tabs are not allowed"),
    Path("version check", loads, ("_vorn_version: 2.0\n",), ValueError, "unsupported _vorn_version"),
    # Lists and dicts are made as their blocks close: a fault after some,
    # and a key given twice whose first container is dropped.
    Path("fault after made containers", loads, (MADE_THEN_FAULT,), ValueError, "line 9, column 1: expected ':'"),
    Path("a made container replaced", loads, ("_vorn_version: 1.0\na:\n  - x\na:\n  k: v\n",)),
    # Each refusal copies and counts about a million nodes before the budget
    # stops it (some 40 ms), so this path runs 110 times, not 11,000.
    Path("alias budget", loads, (BILLION_LAUGHS,), ValueError, "alias expansion exceeds limit", measured=100),
    Path("unknown alias", loads, ("_vorn_version: 1.0\nk: *nowhere\n",), ValueError, "unknown anchor: nowhere"),
    Path("lone surrogate", loads, (SURROGATE_TEXT,), UnicodeEncodeError, "surrogates not allowed"),
    Path("loads of bytes", loads, (b"_vorn_version: 1.0\n",), TypeError, "'bytes' object cannot be cast"),
    Path("loads of None", loads, (None,), TypeError, "'NoneType' object cannot be cast"),
    Path("loads without argument", loads, (), TypeError, "missing 1 required"),
    Path("loads with two arguments", loads, ("", ""), TypeError, "takes 1 positional"),
    Path("loads unexpected keyword", loads, (), TypeError, "unexpected keyword", kwargs={"x": ""}),
    Path("loads multiple values", loads, ("",), TypeError, "multiple values", kwargs={"s": ""}),
    Path("dumps success", dumps, (DUMPED,)),
    Path("dumps keyword", dumps, kwargs={"obj": DUMPED}),
    Path("dumps without argument", dumps, (), TypeError, "missing 1 required"),
    Path("dumps with two arguments", dumps, ({}, {}), TypeError, "takes 1 positional"),
    Path("dumps unexpected keyword", dumps, (), TypeError, "unexpected keyword", kwargs={"x": {}}),
    Path("dumps multiple values", dumps, ({},), TypeError, "multiple values", kwargs={"obj": {}}),
    Path("non-str key", dumps, (NON_STR_KEY,), TypeError, "'int' object cannot be cast", NON_STR_KEY["a"][0]),
    Path(
        "unsupported type deep inside",
        dumps,
        (DEEP_UNSUPPORTED,),
        TypeError,
        "Unsupported Python type",
        tuple(DEEP_UNSUPPORTED["items"][-1]["deep"][0][0]["k"]) + (DEEP_UNSUPPORTED["items"][0],),
    ),
    Path("self-containing list", dumps, (SELF_LIST,), RecursionError),
    Path("self-containing dict", dumps, (SELF_DICT,), RecursionError, inner=(SELF_DICT["again"],)),
    Path("surrogate in a key", dumps, (SURROGATE_KEY,), UnicodeEncodeError, "surrogates not allowed"),
    Path("surrogate in a value", dumps, (SURROGATE_VALUE,), UnicodeEncodeError, "surrogates", (SURROGATE_VALUE["k"],)),
    Path("line feed in a key", dumps, (LINE_FEED_KEY,), ValueError, "cannot hold a line feed", (LINE_FEED_KEY["a"],)),
    Path("package loads success", package_loads, (DOCUMENT,)),
    Path(
        "package loads fault", package_loads, ("_vorn_version: 1.0\n名前:\n  - k: *x\n",), ValueError, "unknown anchor"
    ),
    Path("package loads tab", package_loads, ("_vorn_version: 1.0\nk:\tv\n",), ValueError, "tabs are not allowed"),
    Path("package loads surrogate", package_loads, (SURROGATE_TEXT,), UnicodeEncodeError, "surrogates not allowed"),
    Path("package loads of bytes", package_loads, (b"",), TypeError, "'bytes' object cannot be cast"),
    Path("vorn.loads fault", vorn.loads, ("_vorn_version: 1.0\nk: *x\n",), vorn.DecodeError, "line 2, column 2:"),
    Path("vorn.dumps note", vorn.dumps, (DEEP_UNSUPPORTED,), TypeError, "Unsupported Python type"),
    Path("vorn.dumps default", vorn.dumps, (DEEP_UNSUPPORTED,), kwargs={"default": vorn.stringify, "lossy": True}),
    Path("read_syntax success", read_syntax, (DOCUMENT,)),
    Path("read_syntax fault", read_syntax, ("_vorn_version: 1.0\nk: *x\n",), ValueError, "unknown anchor"),
    Path("read_syntax of bytes", read_syntax, (b"",), TypeError, "'bytes' object cannot be cast"),
    Path("every span and comment", lambda text: every_span(vorn.Document.parse(text)), (DOCUMENT,)),
    Path("locate a bad step", lambda: read_syntax(DOCUMENT)[1].locate(["base", 1.5]), (), TypeError, "not 'float'"),
    Path("written at", lambda: read_syntax(DOCUMENT)[1].written_at(["service", "steps", 2, "host"]), ()),
    Path("span out of the text", lambda: read_syntax(DOCUMENT)[1].span(0, 10**6), (), ValueError, "span() needs"),
    Path("record out of range", lambda: read_syntax(DOCUMENT)[1].record(10**6), (), IndexError, "no syntax record"),
    Path("edit made", READ.edit, (CHANGED,), inner=(CHANGED["list"],)),
    Path("edit of a raising ==", READ.edit, (RAISING,), RuntimeError, "cannot be compared"),
    Path("edit of a type not written", READ.edit, (UNWRITTEN,), TypeError, "Unsupported Python type"),
    Path("edit of a tab", READ.edit, (TABBED,), inner=(TABBED["a"],)),
    Path("checked success", checked_dumps, (DUMPED, False)),
    Path("checked lossy success", checked_dumps, (LOSSY, True)),
    Path("checked fault deep inside", checked_dumps, (LOSSY, False), inner=(LOSSY["list"], LOSSY["list"][1])),
    Path("checked line feed key", checked_dumps, (LINE_FEED_KEY, True), inner=(LINE_FEED_KEY["a"],)),
    Path("checked root fault", checked_dumps, (["a"], False)),
    Path("checked type error", checked_dumps, (NON_STR_KEY, False), TypeError, "'int' object cannot be cast"),
    Path("checked lossy not a bool", checked_dumps, ({}, 1), TypeError, "must be bool, not 'int'"),
    Path("checked wrong count", checked_dumps, ({},), TypeError, "takes exactly 2 positional arguments"),
    Path("checked surrogate", checked_dumps, (SURROGATE_VALUE, False), UnicodeEncodeError, "surrogates"),
]


def every_span(document):
    tree = document._tree
    for index in range(len(tree)):
        tree.record(index), tree.comments(index), tree.children(index)
    for path in ("$.base.port", "$.service.host", "$.service.steps[2].host", "$.service.script", "$"):
        document.span(path), document.comments(path)
    tree.locate(["service", 10**30])


def call(path):
    if path.raises is None:
        path.function(*path.args, **path.kwargs)
        return
    try:
        path.function(*path.args, **path.kwargs)
    except path.raises:
        return
    raise AssertionError(f"{path.id}: no {path.raises.__name__} raised")


def watched_objects(path):
    return (*path.args, *path.kwargs.values(), *path.inner)


@pytest.mark.parametrize("path", PATHS, ids=[path.id for path in PATHS])
def test_repeated_calls_leave_nothing_behind(path):
    measured = path.measured // SANITIZER_SLOWDOWN
    if path.raises is not None:
        with pytest.raises(path.raises) as caught:
            path.function(*path.args, **path.kwargs)
        assert path.message in str(caught.value)
        del caught

    for _ in range(max(measured // WARM_UP_SHARE, 1)):
        call(path)
    gc.collect()
    watched = watched_objects(path)
    counts_before = [sys.getrefcount(obj) for obj in watched]
    blocks_before = sys.getallocatedblocks()
    rss_before = resident_bytes()

    for _ in range(measured):
        call(path)
    gc.collect()

    assert sys.getallocatedblocks() - blocks_before <= BLOCK_GROWTH_LIMIT
    assert [sys.getrefcount(obj) for obj in watched] == counts_before
    # The sanitizer's allocator keeps freed memory in quarantine, so resident
    # memory says nothing about leaks there.
    if not under_address_sanitizer():
        assert resident_bytes() - rss_before <= RSS_GROWTH_LIMIT
