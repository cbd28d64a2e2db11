"""The tool never ends with a traceback: random bytes, random documents and
random JSON go through main in-process, and every run exits with 0, 1 or 2,
writing only to the stream its outcome calls for."""

import io
import json
import re
import sys
import tempfile
from pathlib import Path

import pytest
import vorn
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from vorn import cli
from vorn._paths import path_text


class Streams:
    """Standard input, output and error swapped for in-memory files, as
    strict about encodings as a UTF-8 terminal."""

    def __init__(self, stdin: bytes):
        self.stdin = io.TextIOWrapper(io.BytesIO(stdin), encoding="utf-8")
        self.stdout = io.TextIOWrapper(io.BytesIO(), encoding="utf-8", write_through=True)
        self.stderr = io.TextIOWrapper(io.BytesIO(), encoding="utf-8", write_through=True)

    def run(self, argv):
        saved = sys.stdin, sys.stdout, sys.stderr
        sys.stdin, sys.stdout, sys.stderr = self.stdin, self.stdout, self.stderr
        try:
            status = cli.main(argv)
        finally:
            sys.stdin, sys.stdout, sys.stderr = saved
        return status, self.stdout.buffer.getvalue(), self.stderr.buffer.getvalue()


def run_tool(argv, stdin=b""):
    return Streams(stdin).run(argv)


# Lines of a document: pieces of every construct, tabs, odd indentation.
LINE_PIECES = [
    "_vorn_version: 1.0",
    "k: v",
    "key:",
    "- ",
    "- a: b",
    "-",
    "&a",
    "*a",
    "<<: *a",
    "|",
    "# c",
    " #x",
    "[]",
    "{}",
    '"q"',
    "'q'",
    "\t",
    ":",
    "é",
    "\u3000",
    "\r",
    "k: &b",
    "x: *b",
    "",
]
document_lines = st.tuples(st.integers(0, 6), st.lists(st.sampled_from(LINE_PIECES), max_size=3))
documents = st.lists(document_lines, max_size=12).map(
    lambda lines: "\n".join(" " * indent + " ".join(pieces) for indent, pieces in lines).encode()
)


def mostly(usual, rare):
    """`usual` in four draws of five, `rare` in the fifth."""
    return st.integers(0, 4).flatmap(lambda n: rare if n == 0 else usual)


plain_text = st.text(st.characters(exclude_categories=["Cs"], exclude_characters="\t"), max_size=6)
odd_values = st.one_of(
    st.sampled_from(["\ud800", "a\tb", "x\n", "\n", " a\n b"]),
    st.integers(),
    st.booleans(),
    st.none(),
    st.floats(allow_nan=False),
)
trees = st.recursive(
    mostly(plain_text, odd_values),
    lambda children: st.one_of(
        st.lists(children, max_size=3), st.dictionaries(mostly(plain_text, st.just("a\nb")), children, max_size=3)
    ),
    max_leaves=10,
)
json_documents = mostly(
    st.dictionaries(plain_text, trees, max_size=4).map(lambda root: {**root, "_vorn_version": "1.0"}),
    trees,
).map(lambda value: json.dumps(value).encode())


def written(tree):
    try:
        return vorn.dumps({**tree, "_vorn_version": "1.0"}, lossy=True).encode()
    except (TypeError, ValueError):  # numbers and such; a key with a line feed
        return b"_vorn_version: 1.0\n"


def spliced(text_and_line):
    (text, line), at = text_and_line
    lines = text.split(b"\n")
    at %= len(lines)
    return b"\n".join([*lines[:at], line, *lines[at:]])


valid_documents = st.dictionaries(plain_text, trees, max_size=4).map(written)
# A valid document with the lines of a random one put in.
broken_documents = st.tuples(st.tuples(valid_documents, documents), st.integers(0, 50)).map(spliced)

document_inputs = st.one_of(st.binary(max_size=200), documents, valid_documents, broken_documents, json_documents)
json_inputs = mostly(json_documents, st.one_of(st.binary(max_size=200), documents, valid_documents))
COMMANDS = ["check", "check -v", "to-json", "from-json", "from-json --lossy", "from-json --stringify"]
runs = st.sampled_from(COMMANDS).flatmap(
    lambda command: st.tuples(st.just(command), json_inputs if command.startswith("from-json") else document_inputs)
)


def check_outcome(command, status, out, err):
    assert status in (0, 1, 2)
    if status != 0:
        assert out == b"" and err.endswith(b"\n"), (out, err)
        return
    # A document that reads may still get warnings, each shown as a fault is.
    reports = re.findall(rb"^<stdin>:\d+:\d+: (\S+)", err, re.MULTILINE)
    assert err == b"" or (command.startswith("check") and reports and set(reports) == {b"warning:"}), err
    if command == "check":
        assert out == b""
    elif command == "check -v":
        assert out == b"<stdin>: OK\n"
    else:
        assert out.endswith(b"\n")


@settings(max_examples=600, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(runs)
def test_any_input_gives_a_status_and_only_the_expected_streams(run):
    command, data = run
    status, out, err = run_tool([*command.split(), "-"], data)
    check_outcome(command, status, out, err)
    if status != 0:
        return
    # What succeeds is right, too.
    if command == "to-json":
        assert json.loads(out) == vorn.loads(data.decode())
    elif command == "from-json":
        assert vorn.loads(out.decode()) == json.loads(data)


def vorn_trees(depth):
    scalars = st.text(st.characters(exclude_categories=["Cs"]), max_size=5)
    return st.recursive(
        scalars,
        lambda children: st.one_of(st.lists(children, max_size=3), st.dictionaries(scalars, children, max_size=3)),
        max_leaves=depth,
    )


@settings(max_examples=300, deadline=None)
@given(tree=vorn_trees(12), indent=st.integers(0, 4))
def test_the_iterative_json_writer_writes_what_json_dumps_writes(tree, indent):
    assert "".join(cli._json_pieces(tree, indent)) == json.dumps(tree, ensure_ascii=False, indent=indent)


class BrokenPipe:
    def write(self, data):
        raise BrokenPipeError(32, "Broken pipe")

    def flush(self):
        pass


def test_a_closed_output_is_reported_not_raised(tmp_path, monkeypatch, capsys):
    path = tmp_path / "doc.vorn"
    path.write_text("_vorn_version: 1.0\n")
    output = io.StringIO()
    output.buffer = BrokenPipe()
    monkeypatch.setattr(sys, "stdout", output)
    assert cli.main(["to-json", str(path)]) == 2
    assert capsys.readouterr().err == "vorn: cannot write to standard output: Broken pipe\n"


@pytest.mark.parametrize("command", ["check", "to-json", "from-json"])
def test_no_standard_input_is_a_usage_failure(monkeypatch, capsys, command):
    monkeypatch.setattr(sys, "stdin", None)
    assert cli.main([command, "-"]) == 2
    assert capsys.readouterr() == ("", "vorn: cannot read standard input: there is none\n")


def test_file_names_that_are_not_utf8_are_shown_escaped(tmp_path):
    name = str(tmp_path).encode() + b"/caf\xe9.vorn"
    with open(name, "wb") as file:
        file.write(b"_vorn_version: 1.0\n")
    shown = (str(tmp_path) + "/caf\\udce9.vorn").encode()
    argv = [name.decode("utf-8", "surrogateescape")]
    assert run_tool(["check", "-v", *argv]) == (0, shown + b": OK\n", b"")
    assert run_tool(["check", *argv, argv[0] + ".missing"]) == (
        2,
        b"",
        b"vorn: cannot read " + shown + b".missing: No such file or directory\n",
    )


# Documents whose keys are few, so that paths meet them, and whose strings
# are shown as they are, quoted, or escaped.
few_keys = st.sampled_from(["a", "b"])
layered_trees = st.recursive(
    st.sampled_from(["x", " y", "\x1b", "line\nfeed"]),
    lambda children: st.one_of(st.lists(children, max_size=2), st.dictionaries(few_keys, children, max_size=2)),
    max_leaves=6,
)
layers = st.one_of(st.dictionaries(few_keys, layered_trees, max_size=2).map(written), broken_documents)


@settings(max_examples=300, deadline=None)
@given(st.lists(layers, min_size=1, max_size=3), st.lists(st.one_of(few_keys, st.integers(0, 1)), max_size=3))
def test_explain_of_any_layers_gives_a_status_and_a_line_per_place(documents, steps):
    with tempfile.TemporaryDirectory() as folder:
        names = []
        for index, data in enumerate(documents):
            names.append(f"{folder}/{index}.vorn")
            Path(names[-1]).write_bytes(data)
        status, out, err = run_tool(["explain", *names, path_text(steps)])
    assert status in (0, 1), err
    if status == 1:
        assert out == b"" and err.endswith(b"\n")
        return
    assert err == b""
    places = out.decode().splitlines()
    assert places and all(re.fullmatch(rf"{re.escape(folder)}/[0-2]\.vorn:\d+:\d+: \S.*", place) for place in places)
    assert all(place.isprintable() for place in places), places
