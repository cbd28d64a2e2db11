"""What a json or tomllib user meets: one error class for document faults
with positions as editors count them, writing errors that say where,
default= for other types, and files with a byte-order mark or of either
kind."""

import datetime
import io
import os
import re
import tempfile
from pathlib import Path

import pytest
import vorn
from hypothesis import given, settings
from hypothesis import strategies as st

import _vorn_native

V = "_vorn_version: 1.0\n"

# (document, line, column, message, the character the column points at)
DECODE_ERRORS = [
    (V + "just text\n", 2, 1, "expected ':' in mapping entry", "j"),
    (V + "service:\n  name api\n", 3, 3, "expected ':' in mapping entry", "n"),
    (V + "items:\n  - name: *nope\n", 3, 9, "unknown anchor: nope", ":"),
    (V + "items:\n  - : *x\n", 3, 5, "unknown anchor: x", ":"),
    (V + "items:\n  - *gone\n", 3, 3, "unknown anchor: gone", "-"),
    (V + "names:\n  名前: *x\n", 3, 5, "unknown anchor: x", ":"),
    (V + "bildgröße: *thumb\n", 2, 10, "unknown anchor: thumb", ":"),
    (V + "name: a b\tc\t\n", 2, 10, "tabs are not allowed; use spaces for indentation", "\t"),
    (V + "名前:\n  - 値\t\n", 3, 6, "tabs are not allowed; use spaces for indentation", "\t"),
    ("_vorn_version: 1.0\r\nk: *x\r\n", 2, 2, "unknown anchor: x", ":"),
    ("\n\n  # settings\nname: x\n", 3, 3, "missing required _vorn_version at root (Semantic Date Versioning)", "#"),
    (V + "a:\n  b: 1\n c: 2\n", 4, 2, "indentation matches no open block", "c"),
]


def read_each_way(doc, tmp_path):
    """The DecodeError of each reader for ``doc``, with the path it names."""
    path = tmp_path / "doc.vorn"
    path.write_bytes(b"\xef\xbb\xbf" + doc.encode())  # the byte-order mark is dropped
    readers = [
        (lambda: vorn.loads(doc), None),
        (lambda: vorn.parse(doc, path="app.vorn"), "app.vorn"),
        (lambda: vorn.load(io.BytesIO(doc.encode())), None),
        (lambda: vorn.load_path(path), str(path)),
    ]
    for read, shown_path in readers:
        with pytest.raises(vorn.DecodeError) as caught:
            read()
        yield caught.value, shown_path


@pytest.mark.parametrize(("doc", "lineno", "colno", "msg", "pointed"), DECODE_ERRORS)
def test_document_faults_raise_decode_error_with_editor_positions(tmp_path, doc, lineno, colno, msg, pointed):
    with pytest.raises(ValueError) as native:
        _vorn_native.loads(doc)
    for error, path in read_each_way(doc, tmp_path):
        assert isinstance(error, ValueError)
        assert (error.msg, error.lineno, error.colno, error.doc, error.path) == (msg, lineno, colno, doc, path)
        assert error.doc[error.pos] == pointed
        where = f"line {lineno}, column {colno}" if path is None else f"{path}:{lineno}:{colno}"
        assert str(error) == error.args[0] == f"{where}: {msg}"
        assert error.native_message == str(native.value)
        assert error.__cause__ is None and error.__suppress_context__


PIECES = [
    "k: v",
    "k: *a",
    "k: &a",
    "- x",
    "- k: *a",
    "- : *a",
    "- *a",
    "<<: *a",
    "broken",
    "名前: *a",
    "é: *b",
    "k:\tv",
    "# c\t",
    "- |",
    "k: |",
    "",
    "ü ü",
]
lines = st.tuples(st.integers(0, 4), st.sampled_from(PIECES)).map(lambda pair: " " * pair[0] + pair[1])


@settings(max_examples=400, deadline=None)
@given(st.booleans(), st.lists(lines, max_size=8), st.sampled_from(["\n", "\r\n"]))
def test_positions_agree_with_the_native_line_and_column(versioned, body, end):
    doc = (V if versioned else "") + end.join(body) + end
    try:
        _vorn_native.loads(doc)
    except ValueError as native:
        native_text = str(native)
    else:
        assert vorn.loads(doc) == _vorn_native.loads(doc)
        return
    with pytest.raises(vorn.DecodeError) as caught:
        vorn.loads(doc)
    error = caught.value
    assert error.native_message == native_text
    native_line, native_column = map(
        int, re.match(r"parse error: parse error at line (\d+), column (\d+): ", native_text).groups()
    )
    line_start = doc.rfind("\n", 0, error.pos) + 1
    assert (error.lineno, error.colno) == (native_line, error.pos - line_start + 1)
    if error.msg.startswith("tabs"):
        assert error.pos == doc.index("\t")
        return
    # The native column counts bytes from the line's content (after the
    # indentation, and after "- " inside an item's mapping); what comes
    # before those bytes is only that prefix.
    before = doc[line_start : error.pos].encode()
    prefix = before[: len(before) - (native_column - 1)]
    assert prefix.strip(b" ") in (b"", b"-")
    assert doc[error.pos] != " "


# (tree, the note on dumps' TypeError)
TYPE_NOTES = [
    ({"server": {"port": 8080}}, "at $.server.port: int"),
    (["a", ["b", None]], "at $[1][1]: NoneType"),
    (8080, "at $: int"),
    ({"a": ["x", {"odd key": 1.5}]}, 'at $.a[1]["odd key"]: float'),
    ({"a": {"b": "c", 1: "x"}}, "at $.a: a key of type int"),
    ({"when": datetime.date(2024, 5, 1)}, "at $.when: datetime.date"),
    ({"ok": "x", "t": ("a",)}, "at $.t: tuple"),
]


def write_each_way(obj, tmp_path, **options):
    yield lambda: vorn.dumps(obj, **options)
    yield lambda: vorn.dump(obj, io.StringIO(), **options)
    yield lambda: vorn.dump_path(obj, tmp_path / "out.vorn", **options)


@pytest.mark.parametrize(("obj", "note"), TYPE_NOTES)
def test_type_errors_from_the_writers_name_the_place_and_type(tmp_path, obj, note):
    for write in write_each_way(obj, tmp_path):
        with pytest.raises(TypeError) as caught:
            write()
        assert caught.value.__notes__ == [note]
    assert not (tmp_path / "out.vorn").exists()


def test_default_writes_other_types_where_they_stand(tmp_path):
    obj = {
        "_vorn_version": "1.0",
        "server": {"port": 8080, "ratio": 0.5, "debug": False, "proxy": None},
        "when": [
            datetime.datetime(2024, 5, 1, 12, 30, tzinfo=datetime.UTC),
            datetime.date(2024, 5, 1),
            datetime.time(7, 5),
        ],
        "big": 10**20,
    }
    expected = {
        "_vorn_version": "1.0",
        "server": {"port": "8080", "ratio": "0.5", "debug": "false", "proxy": "null"},
        "when": ["2024-05-01T12:30:00+00:00", "2024-05-01", "07:05:00"],
        "big": "100000000000000000000",
    }
    assert vorn.loads(vorn.dumps(obj, default=vorn.stringify)) == expected
    vorn.dump_path(obj, tmp_path / "out.vorn", default=vorn.stringify)
    assert vorn.load_path(tmp_path / "out.vorn") == expected
    # What default returns is converted in turn; strs, lists and dicts
    # (subclasses too) never reach it.
    seen = []

    def to_list(value):
        seen.append(value)
        return sorted(value) if isinstance(value, set) else vorn.stringify(value)

    assert vorn.dumps({"s": {2, 1}, "t": "x"}, default=to_list, lossy=True) == 's:\n  - "1"\n  - "2"\nt: "x"\n'
    assert seen == [{1, 2}, 1, 2]


# (tree, default, message of the TypeError, its note)
DEFAULT_REFUSALS = [
    (
        {"a": [{1, 2}]},
        vorn.stringify,
        "vorn.stringify cannot write a value of type set: it writes int, float, bool, None, datetime, date and time; "
        "pass a default of your own for other types",
        "at $.a[0]: set",
    ),
    (
        {"a": 1},
        lambda value: value + 1,
        "default returned a value of type int for one of type int; it must return a str, list or dict",
        "at $.a: int",
    ),
    ({"a": {2: "x"}}, vorn.stringify, "'int' object cannot be cast as 'str'", "at $.a: a key of type int"),
]


@pytest.mark.parametrize(("obj", "default", "message", "note"), DEFAULT_REFUSALS)
def test_default_refusals_say_where(tmp_path, obj, default, message, note):
    for write in write_each_way(obj, tmp_path, default=default):
        with pytest.raises(TypeError) as caught:
            write()
        assert (str(caught.value), caught.value.__notes__) == (message, [note])


def test_a_structure_holding_itself_is_refused_with_or_without_default():
    loop = ["x"]
    loop.append(loop)
    for options in ({}, {"default": vorn.stringify}):
        with pytest.raises(RecursionError):
            vorn.dumps({"loop": loop, "n": 1}, **options)


TREE = {"_vorn_version": "1.0", "name": "café"}


# (file object, how to read what it holds)
FILES = [
    (io.StringIO, lambda file: file.getvalue()),
    (io.BytesIO, lambda file: file.getvalue().decode()),
    (lambda: tempfile.SpooledTemporaryFile(mode="w+b"), lambda file: (file.seek(0), file.read().decode())[1]),
    (lambda: tempfile.SpooledTemporaryFile(mode="w+", encoding="utf-8"), lambda file: (file.seek(0), file.read())[1]),
    (lambda: tempfile.TemporaryFile(mode="w+b"), lambda file: (file.seek(0), file.read().decode())[1]),
]


@pytest.mark.parametrize(("make", "content"), FILES)
def test_dump_writes_text_or_bytes_as_the_file_takes_them(make, content):
    with make() as file:
        vorn.dump(TREE, file)
        assert content(file) == vorn.dumps(TREE)


def test_dump_to_a_file_of_unknown_kind_tries_text_then_bytes():
    class BytesOnly:
        def __init__(self):
            self.data = b""

        def write(self, data):
            self.data += memoryview(data).tobytes()  # a str raises TypeError

    file = BytesOnly()
    vorn.dump(TREE, file)
    assert file.data == vorn.dumps(TREE).encode()


def test_load_drops_one_byte_order_mark(tmp_path):
    content = "\ufeff" + vorn.dumps(TREE)
    path = tmp_path / "doc.vorn"
    path.write_text(content, encoding="utf-8")
    assert vorn.load_path(path) == TREE
    assert vorn.load(io.BytesIO(content.encode())) == TREE
    with open(path, encoding="utf-8") as file:
        assert vorn.load(file) == TREE
    # A second mark is text, and the version key no longer matches.
    path.write_text("\ufeff" + content, encoding="utf-8")
    with pytest.raises(vorn.DecodeError):
        vorn.load_path(path)


def test_dump_path_errors_name_the_target(tmp_path, monkeypatch):
    missing = tmp_path / "missing" / "out.vorn"
    with pytest.raises(FileNotFoundError) as caught:
        vorn.dump_path(TREE, missing)
    assert (caught.value.filename, caught.value.filename2) == (str(missing), None)
    assert str(caught.value) == f"[Errno 2] No such file or directory: '{missing}'"

    def full_disk(fd):
        raise OSError(28, "No space left on device")

    monkeypatch.setattr(os, "fsync", full_disk)
    target = Path(tmp_path / "out.vorn")
    with pytest.raises(OSError) as caught:
        vorn.dump_path(TREE, target)
    assert str(caught.value) == f"[Errno 28] No space left on device: '{target}'"
    assert os.listdir(tmp_path) == []
