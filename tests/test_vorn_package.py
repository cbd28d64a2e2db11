import dataclasses
import datetime
import doctest
import importlib.metadata
import io
import os
import pickle
import shutil
import stat
from pathlib import Path

import pytest
import vorn

import _vorn_native

DOC = "_vorn_version: 1.0\nname: demo\n"
VALUE = {"_vorn_version": "1.0", "name": "demo"}


def test_native_namespace_gains_nothing_from_the_package():
    public = {name for name in vars(_vorn_native) if not name.startswith("__")}
    assert public == {"loads", "dumps"}
    assert _vorn_native.__all__ == ["loads", "dumps"]


def test_version_and_typed_marker_ship_with_the_package():
    assert vorn.__version__ == importlib.metadata.version("vorn")
    assert Path(vorn.__file__).with_name("py.typed").is_file()


def test_decode_error_survives_pickling():
    with pytest.raises(vorn.DecodeError) as info:
        vorn.parse("_vorn_version: 1.0\n  oops\n", path="conf.vorn")
    copy = pickle.loads(pickle.dumps(info.value))
    assert (copy.msg, copy.lineno, copy.colno, copy.pos, copy.doc, copy.path, copy.native_message, str(copy)) == (
        info.value.msg,
        2,
        3,
        21,
        info.value.doc,
        "conf.vorn",
        info.value.native_message,
        "conf.vorn:2:3: " + copy.msg,
    )


def test_parse_passes_other_value_errors_through():
    with pytest.raises(UnicodeEncodeError):
        vorn.parse("_vorn_version: 1.0\nk: \ud800\n")


@pytest.mark.parametrize("make_file", [io.StringIO, lambda text: io.BytesIO(text.encode())], ids=["text", "binary"])
def test_load_reads_text_and_binary_files(make_file):
    assert vorn.load(make_file("_vorn_version: 1.0\ncafé: crème\n")) == {"_vorn_version": "1.0", "café": "crème"}


def test_load_refuses_a_reader_of_other_things():
    class Numbers:
        def read(self):
            return 42

    with pytest.raises(TypeError, match="read\\(\\) returns str or bytes, not int"):
        vorn.load(Numbers())


def test_load_of_binary_data_that_is_not_utf8_fails():
    with pytest.raises(vorn.DecodeError) as info:
        vorn.load(io.BytesIO(b"_vorn_version: 1.0\nk: \xff\n"))
    assert isinstance(info.value.__cause__, UnicodeDecodeError)


@dataclasses.dataclass
class Limits:
    workers: int


def _write(tmp_path, content):
    path = tmp_path / "doc.vorn"
    path.write_bytes(content)
    return path


# How each reader is given bytes: the str readers get them decoded as UTF-8,
# the file readers a file holding them.
READERS = {
    "loads": lambda content, tmp_path: vorn.loads(content.decode()),
    "parse": lambda content, tmp_path: vorn.parse(content.decode(), path="app.vorn"),
    "Document.parse": lambda content, tmp_path: vorn.Document.parse(content.decode()),
    "loads into": lambda content, tmp_path: vorn.loads(content.decode(), into=Limits),
    "load_path": lambda content, tmp_path: vorn.load_path(_write(tmp_path, content)),
    "load_path into": lambda content, tmp_path: vorn.load_path(_write(tmp_path, content), into=Limits),
    "Document.load_path": lambda content, tmp_path: vorn.Document.load_path(_write(tmp_path, content)),
    "load": lambda content, tmp_path: vorn.load(io.BytesIO(content)),
    "Document.load": lambda content, tmp_path: vorn.Document.load(io.BytesIO(content)),
}
STR_MARK = (
    "1:1: the text starts with a byte order mark (U+FEFF): decode the file with 'utf-8-sig', which drops it, "
    "or read it with vorn.load_path"
)
SECOND_MARK = "1:1: the file starts with two byte order marks (U+FEFF); remove the second"
NOT_UTF8 = "2:10: not valid UTF-8 (invalid continuation byte)"
PYDANTIC_ERROR = "pydantic_core._pydantic_core.ValidationError"

# (reader, bytes read, the error's type, its str with PATH for the file's
# name and LINE:COL standing for "line LINE, column COL" where there is
# none, the qualified name of its cause's type)
READING_ERRORS = [
    ("loads", b"\xef\xbb\xbf_vorn_version: 1.0\n", vorn.DecodeError, STR_MARK, None),
    ("parse", b"\xef\xbb\xbfkey: v\n_vorn_version: 1.0\n", vorn.DecodeError, "app.vorn:" + STR_MARK, None),
    ("Document.parse", b"\xef\xbb\xbf", vorn.DecodeError, STR_MARK, None),
    ("load_path", b"\xef\xbb\xbf\xef\xbb\xbf_vorn_version: 1.0\n", vorn.DecodeError, "PATH:" + SECOND_MARK, None),
    ("Document.load_path", b"\xef\xbb\xbf\xef\xbb\xbf", vorn.DecodeError, "PATH:" + SECOND_MARK, None),
    ("load", b"\xef\xbb\xbf\xef\xbb\xbf_vorn_version: 1.0\n", vorn.DecodeError, SECOND_MARK, None),
    ("load_path", b"_vorn_version: 1.0\nname: caf\xe9\n", vorn.DecodeError, "PATH:" + NOT_UTF8, "UnicodeDecodeError"),
    ("load", b"_vorn_version: 1.0\nname: caf\xe9\n", vorn.DecodeError, NOT_UTF8, "UnicodeDecodeError"),
    (
        "Document.load_path",
        b"\xef\xbb\xbf_vorn_version: 1.0\nname: \xe5\x90\x8d\xff\n",
        vorn.DecodeError,
        "PATH:2:8: not valid UTF-8 (invalid start byte)",
        "UnicodeDecodeError",
    ),
    (
        "Document.load",
        b"_vorn_version: 1.0\n\xc3",
        vorn.DecodeError,
        "2:1: not valid UTF-8 (unexpected end of data)",
        "UnicodeDecodeError",
    ),
    (
        "loads into",
        b"_vorn_version: 1.0\nworkers: many\n",
        vorn.ValidationError,
        "<string>:2:10: $.workers: Input should be a valid integer, unable to parse string as an integer\n"
        "workers: many\n         ^",
        PYDANTIC_ERROR,
    ),
    (
        "load_path into",
        b"_vorn_version: 1.0\n",
        vorn.ValidationError,
        "PATH:1:1: $.workers: Field required\n_vorn_version: 1.0\n^",
        PYDANTIC_ERROR,
    ),
]


@pytest.mark.parametrize(("reader", "content", "kind", "message", "cause"), READING_ERRORS)
def test_reading_errors_say_what_happened_and_where(tmp_path, reader, content, kind, message, cause):
    pytest.importorskip("pydantic")
    with pytest.raises(kind) as info:
        READERS[reader](content, tmp_path)
    error = info.value
    shown = message.replace("PATH", str(tmp_path / "doc.vorn"))
    if kind is vorn.DecodeError and error.path is None:
        shown = "line {}, column {}:{}".format(*shown.split(":", 2))
    assert str(error) == shown
    found = error.__cause__
    assert (
        None if found is None else f"{type(found).__module__}.{type(found).__name__}".removeprefix("builtins.")
    ) == cause


def test_load_names_the_file_in_its_error(tmp_path):
    path = tmp_path / "bad.vorn"
    path.write_text("_vorn_version: 1.0\noops\n")
    with open(path) as file, pytest.raises(vorn.DecodeError) as info:
        vorn.load(file)
    assert info.value.path == str(path)


@pytest.mark.parametrize("as_path", [str, Path], ids=["str", "PathLike"])
def test_load_path_and_dump_path_round_trip(tmp_path, as_path):
    target = as_path(tmp_path / "doc.vorn")
    value = {"_vorn_version": "1.0", "lines": "one\ntwo", "list": ["a", {"k": "v"}]}
    vorn.dump_path(value, target)
    assert vorn.load_path(target) == value
    assert Path(target).read_text() == vorn.dumps(value)


def test_load_path_error_carries_the_path(tmp_path):
    path = tmp_path / "bad.vorn"
    path.write_text("_vorn_version: 1.0\nk: *missing\n")
    with pytest.raises(vorn.DecodeError) as info:
        vorn.load_path(path)
    assert (info.value.path, info.value.lineno, info.value.colno) == (str(path), 2, 2)
    assert str(info.value) == f"{path}:2:2: unknown anchor: missing"


@pytest.mark.parametrize("make_file", [io.StringIO, io.BytesIO], ids=["text", "binary"])
def test_dump_writes_to_text_and_binary_files(make_file):
    file = make_file()
    vorn.dump(VALUE, file)
    written = file.getvalue()
    assert (written.decode() if isinstance(written, bytes) else written) == vorn.dumps(VALUE)


def _folder_listing(folder):
    return sorted(entry.name for entry in folder.iterdir())


def test_dump_path_failure_in_dumps_leaves_the_file_alone(tmp_path):
    target = tmp_path / "doc.vorn"
    target.write_text(DOC)
    with pytest.raises(TypeError):
        vorn.dump_path({"_vorn_version": "1.0", "port": 8080}, target)
    assert target.read_text() == DOC
    assert _folder_listing(tmp_path) == ["doc.vorn"]


def test_dump_path_failure_while_writing_removes_the_temporary_file(tmp_path, monkeypatch):
    target = tmp_path / "doc.vorn"
    target.write_text(DOC)

    def failing_fsync(fd):
        raise OSError(28, "No space left on device")

    monkeypatch.setattr(os, "fsync", failing_fsync)
    with pytest.raises(OSError, match="No space left"):
        vorn.dump_path({"_vorn_version": "1.0", "name": "new"}, target)
    assert target.read_text() == DOC
    assert _folder_listing(tmp_path) == ["doc.vorn"]


def test_dump_path_into_a_missing_folder_fails_without_leftovers(tmp_path):
    with pytest.raises(FileNotFoundError):
        vorn.dump_path(VALUE, tmp_path / "missing" / "doc.vorn")
    assert _folder_listing(tmp_path) == []


def test_dump_path_keeps_the_permissions_of_the_file_it_replaces(tmp_path):
    target = tmp_path / "doc.vorn"
    target.write_text(DOC)
    target.chmod(0o640)
    vorn.dump_path(VALUE, target)
    assert stat.S_IMODE(target.stat().st_mode) == 0o640


def test_dump_path_creates_new_files_with_the_umask_applied(tmp_path):
    previous = os.umask(0o027)
    try:
        vorn.dump_path(VALUE, tmp_path / "new.vorn")
    finally:
        os.umask(previous)
    assert stat.S_IMODE((tmp_path / "new.vorn").stat().st_mode) == 0o640


def test_dump_path_writes_through_a_symbolic_link(tmp_path):
    real = tmp_path / "real.vorn"
    real.write_text(DOC)
    link = tmp_path / "link.vorn"
    link.symlink_to(real)
    vorn.dump_path({"_vorn_version": "1.0", "name": "changed"}, link)
    assert link.is_symlink()
    assert vorn.load_path(real)["name"] == "changed"


def test_every_public_name_has_a_doc_string_whose_examples_run(tmp_path, monkeypatch):
    (tmp_path / "examples").mkdir()
    shutil.copy(Path(__file__).resolve().parent.parent / "examples" / "service.vorn", tmp_path / "examples")
    monkeypatch.chdir(tmp_path)
    finder = doctest.DocTestFinder(recurse=False)
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    # In the order a reader meets them: dump writes the file load reads.
    names = [
        "loads",
        "parse",
        "dumps",
        "stringify",
        "dump",
        "load",
        "load_path",
        "dump_path",
        "DecodeError",
        "Document",
        "Span",
        "Comments",
        "WrittenAt",
        "edit_path",
        "format_text",
        "ValidationError",
        "ValidationIssue",
        "EncodeError",
        "EditError",
    ]
    assert sorted(names + ["Value"]) == sorted(vorn.__all__)
    for obj in [vorn] + [getattr(vorn, name) for name in names]:
        [test] = finder.find(obj, globs={"vorn": vorn, "io": io, "datetime": datetime})
        assert test.examples, f"{test.name} has no example"
        runner.run(test)
    assert runner.summarize(verbose=False).failed == 0
