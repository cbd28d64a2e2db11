import io
import json
import subprocess
import sys
from pathlib import Path

import pytest
import vorn
from hypothesis import given
from hypothesis import strategies as st
from vorn._paths import parse_path, path_text
from vorn.cli import main

EXAMPLES = Path(__file__).resolve().parent.parent / "examples"
VALID_EXAMPLES = sorted(path for path in EXAMPLES.glob("*.vorn") if path.name != "broken.vorn")


def run(capsys, *argv, stdin=None, monkeypatch=None):
    if stdin is not None:
        monkeypatch.setattr(sys, "stdin", io.TextIOWrapper(io.BytesIO(stdin)))
    status = main([str(arg) for arg in argv])
    out, err = capsys.readouterr()
    return status, out, err


def write(folder, name, content):
    path = folder / name
    path.write_bytes(content if isinstance(content, bytes) else content.encode())
    return path


# (document, what check prints for it after "FILE:"), the caret line included.
CHECK_REPORTS = [
    pytest.param(
        "_vorn_version: 1.0\nservice:\n  name api\n",
        "3:3: expected ':' in mapping entry\n  name api\n  ^\n",
        id="columns-count-the-indentation",
    ),
    pytest.param(
        "_vorn_version: 1.0\nworkers:\n    <<: *defualts\n",
        "3:7: unknown anchor: defualts\n    <<: *defualts\n      ^\n",
        id="the-colon-of-the-entry",
    ),
    pytest.param(
        "_vorn_version: 1.0\nbildgröße: *thumb\n",
        "2:10: unknown anchor: thumb\nbildgröße: *thumb\n         ^\n",
        id="two-byte-characters",
    ),
    pytest.param(
        "_vorn_version: 1.0\nnames:\n  名前: *x\n",
        "3:5: unknown anchor: x\n  名前: *x\n      ^\n",
        id="wide-characters",
    ),
    pytest.param(
        "_vorn_version: 1.0\nlist:\n  - key: *gone\n",
        "3:8: unknown anchor: gone\n  - key: *gone\n       ^\n",
        id="inline-mapping-after-the-hyphen",
    ),
    pytest.param(
        "\n# settings\nname: x\n",
        "2:1: missing required _vorn_version at root (Semantic Date Versioning)\n# settings\n^\n",
        id="version-checked-at-the-first-line",
    ),
    pytest.param(
        "_vorn_version: 1.0\r\nname:\tx\r\n",
        "2:6: tabs are not allowed; use spaces for indentation\nname:\\tx\n     ^\n",
        id="tab-and-crlf",
    ),
    pytest.param(
        b"_vorn_version: 1.0\nname: caf\xe9\n",
        "2:10: not valid UTF-8 (invalid continuation byte)\nname: caf\\xe9\n         ^\n",
        id="bytes-that-are-not-utf8",
    ),
    # Long lines are cut to about 120 columns around the column, and
    # nothing a terminal would act on is printed as it is.
    pytest.param(
        b"x" * 3_500_000,
        "1:1: expected ':' in mapping entry\n" + "x" * 114 + "...\n^\n",
        id="a-one-line-file-of-3.5-MB",
    ),
    pytest.param(
        "_vorn_version: 1.0\n" + "k" * 300 + ": *nope\n",
        "2:301: unknown anchor: nope\n..." + "k" * 107 + ": *nope\n" + " " * 110 + "^\n",
        id="cut-before-the-column",
    ),
    # A message that quotes a long piece of the document is cut in its
    # middle, where the quote stands: what it says after it stays.
    pytest.param(
        "_vorn_version: " + "9" * 300 + "\n",
        "1:1: unsupported _vorn_version '" + "9" * 51 + "..." + "9" * 64 + "', expected 1.0\n"
        "_vorn_version: " + "9" * 99 + "...\n^\n",
        id="long-message-cut-in-its-middle",
    ),
    pytest.param(
        "_vorn_version: 1.0\n" + "名" * 100 + ": *x\n",
        "2:101: unknown anchor: x\n..." + "名" * 55 + ": *x\n" + " " * 113 + "^\n",
        id="cut-wide-characters",
    ),
    pytest.param(
        b"_vorn_version: 1.0\n" + b"a" * 200 + b"\xff" + b"b" * 200 + b"\n",
        "2:201: not valid UTF-8 (invalid start byte)\n..." + "a" * 40 + "\\xff" + "b" * 70 + "...\n" + " " * 43 + "^\n",
        id="cut-on-both-sides",
    ),
    pytest.param(
        "_vorn_version: 1.0\nk\x1b[31m: *a\x07b\n",
        "2:7: unknown anchor: a\\x07b\nk\\x1b[31m: *a\\x07b\n         ^\n",
        id="control-characters",
    ),
    pytest.param(
        "_vorn_version: 1.0\nk\u202e: *x\n",
        "2:3: unknown anchor: x\nk\\u202e: *x\n       ^\n",
        id="bidirectional-override",
    ),
]


@pytest.mark.parametrize(("content", "report"), CHECK_REPORTS)
def test_check_reports_position_line_and_caret(tmp_path, capsys, content, report):
    path = write(tmp_path, "doc.vorn", content)
    assert run(capsys, "check", path) == (1, "", f"{path}:{report}")


def test_check_is_silent_for_valid_documents_unless_verbose(tmp_path, capsys):
    good = write(tmp_path, "good.vorn", "_vorn_version: 1.0\n")
    assert run(capsys, "check", good) == (0, "", "")
    assert run(capsys, "check", "-v", good) == (0, f"{good}: OK\n", "")


def test_check_goes_on_after_a_bad_file_and_exits_with_the_worst_status(tmp_path, capsys):
    good = write(tmp_path, "good.vorn", "_vorn_version: 1.0\n")
    bad = write(tmp_path, "bad.vorn", "_vorn_version: 1.0\noops\n")
    missing = tmp_path / "missing.vorn"
    status, out, err = run(capsys, "check", "-v", bad, good)
    assert (status, out) == (1, f"{good}: OK\n")
    assert err.startswith(f"{bad}:2:1: ")
    status, out, err = run(capsys, "check", missing, bad, good)
    assert status == 2
    assert err.startswith(f"vorn: cannot read {missing}: No such file or directory\n{bad}:2:1: ")


SCHEMAS = """\
import pydantic
class Server(pydantic.BaseModel):
    host: str
    port: int
class Settings:
    class Service(pydantic.BaseModel):
        server: Server
"""


SERVICE_JSON = """{
  "type": "object",
  "properties": {"server": {"$ref": "#/$defs/Server"}},
  "$defs": {
    "Server": {
      "type": "object",
      "required": ["host", "port"],
      "properties": {"host": {"type": "string"}, "port": {"type": "integer", "maximum": 65535}, "tls": {"type": "boolean"}}
    }
  }
}"""


@pytest.fixture
def schemas(tmp_path, monkeypatch):
    """A module of models in the current folder, where --schema looks."""
    pytest.importorskip("pydantic")
    write(tmp_path, "check_schemas.py", SCHEMAS)
    write(tmp_path, "service.json", SERVICE_JSON)
    write(tmp_path, "not_json.json", "{oops")
    write(tmp_path, "invalid.json", '{"type": 5}')
    monkeypatch.chdir(tmp_path)
    monkeypatch.setattr(sys, "path", list(sys.path))
    yield tmp_path
    sys.modules.pop("check_schemas", None)


# (--schema, document, exit status, what check prints, FILE standing for the file)
SCHEMA_CHECKS = [
    ("check_schemas:Server", "_vorn_version: 1.0\nhost: a\nport: 80\n", 0, ""),
    (
        "check_schemas:Settings.Service",
        "_vorn_version: 1.0\nserver:\n  port: eighty\n",
        1,
        "FILE:2:1: $.server.host: Field required\nserver:\n^\n"
        "FILE:3:9: $.server.port: Input should be a valid integer, unable to parse string as an integer\n"
        "  port: eighty\n        ^\n",
    ),
    # A document that cannot be read is reported as without --schema.
    ("check_schemas:Server", "_vorn_version: 1.0\noops\n", 1, "FILE:2:1: expected ':' in mapping entry\noops\n^\n"),
    # A JSON Schema: the strings read as the types it asks for, the faults
    # where into= shows them (a merged value at its '<<' line).
    ("service.json", "_vorn_version: 1.0\nserver:\n  host: a\n  port: 8_080\n  tls: yes\n", 0, ""),
    (
        "service.json",
        "_vorn_version: 1.0\nserver:\n  port: eighty\n  tls: maybe\n",
        1,
        "FILE:2:1: $.server.host: 'host' is a required property\nserver:\n^\n"
        "FILE:3:9: $.server.port: 'eighty' is not of type 'integer'\n  port: eighty\n        ^\n"
        "FILE:4:8: $.server.tls: 'maybe' is not of type 'boolean'\n  tls: maybe\n       ^\n",
    ),
    (
        "service.json",
        "_vorn_version: 1.0\nbase: &b\n  port: 70000\nserver:\n  host: a\n  <<: *b\n",
        1,
        "FILE:6:3: $.server.port: 70000 is greater than the maximum of 65535\n  <<: *b\n  ^\n",
    ),
]


@pytest.mark.parametrize(("schema", "content", "status", "report"), SCHEMA_CHECKS)
def test_check_with_a_schema_reports_every_value_that_does_not_fit(schemas, capsys, schema, content, status, report):
    path = write(schemas, "doc.vorn", content)
    assert run(capsys, "check", "--schema", schema, path) == (status, "", report.replace("FILE", str(path)))


# (--schema, what the usage error says about it)
BAD_SCHEMAS = [
    (
        "check_schemas",
        "expected MODULE:NAME, as in myapp.settings:Settings, or a JSON Schema file ending in .json, "
        "not 'check_schemas'",
    ),
    ("missing.json", "cannot read the schema missing.json: No such file or directory"),
    ("not_json.json", "the schema not_json.json is not JSON: line 1, column 2: Expecting property name enclosed"),
    ("invalid.json", "the schema invalid.json is not a valid JSON Schema: at ['type']: 5 is not valid under any"),
    ("no_such_module:Server", "cannot import no_such_module: No module named 'no_such_module'"),
    ("check_schemas:Settings.Nope", "check_schemas:Settings has no attribute 'Nope'"),
    (
        "json:dumps",
        "json:dumps is the function json.dumps, not a type: name a model, a dataclass or another type to validate into",
    ),
]


@pytest.mark.parametrize(("schema", "complaint"), BAD_SCHEMAS)
def test_check_with_a_schema_it_cannot_use_is_a_usage_error(schemas, capsys, schema, complaint):
    with pytest.raises(SystemExit) as info:
        main(["check", "--schema", schema, "doc.vorn"])
    assert info.value.code == 2
    assert f"vorn check: error: argument --schema: {complaint}" in capsys.readouterr().err


def test_check_reads_standard_input_for_a_dash(capsys, monkeypatch):
    assert run(capsys, "check", "-", stdin=b"oops\n", monkeypatch=monkeypatch) == (
        1,
        "",
        "<stdin>:1:1: expected ':' in mapping entry\noops\n^\n",
    )


@pytest.mark.parametrize(
    "argv",
    [
        ["check"],
        [],
        ["lint", "x.vorn"],
        ["to-json", "x", "--indent", "-1"],
        ["get", "x.vorn", "server.port"],
        ["set", "x.vorn", "server.port", "1"],
        ["set", "x.vorn", "$.port"],
        ["del", "x.vorn", "$"],
    ],
)
def test_usage_errors_exit_with_2(capsys, argv):
    with pytest.raises(SystemExit) as info:
        main(argv)
    assert info.value.code == 2
    assert "usage: vorn" in capsys.readouterr().err


GET_DOCUMENT = """\
_vorn_version: 1.0
server:
  port: 8080
  hosts:
    - a
    - name: b
script: |
  make
  test
log-level: info
"""

# (PATH and options, exit status, standard output, what standard error says after "FILE")
GETS = [
    (["$.server.port"], 0, "8080\n", ""),
    (["$.script"], 0, "make\ntest\n", ""),
    (["$.log-level"], 0, "info\n", ""),
    (['$["log-level"]', "--json"], 0, '"info"\n', ""),
    # A subtree is what dumps writes for it: no version line is added.
    (["$.server"], 0, vorn.dumps({"hosts": ["a", {"name": "b"}], "port": "8080"}, lossy=True), ""),
    (["$.server.hosts[1]"], 0, vorn.dumps({"name": "b"}, lossy=True), ""),
    # A negative index counts from the end, as Python's do.
    (["$.server.hosts[-1].name"], 0, "b\n", ""),
    (["$.server.hosts[-2]"], 0, "a\n", ""),
    (["$.server.hosts[-3]"], 1, "", ": no value at $.server.hosts[-3]: $.server.hosts holds 2 items\n"),
    (["$.server.hosts", "--json"], 0, json.dumps(["a", {"name": "b"}], indent=2) + "\n", ""),
    (["$.server.prot"], 1, "", ": no value at $.server.prot\n"),
    (["$.server.hosts[2].name"], 1, "", ": no value at $.server.hosts[2]: $.server.hosts holds 2 items\n"),
    (["$.server.port.x"], 1, "", ": no value at $.server.port.x: $.server.port is a string\n"),
    (["$.server[0]"], 1, "", ": no value at $.server[0]: $.server is a mapping\n"),
    (["$.server.hosts.a"], 1, "", ": no value at $.server.hosts.a: $.server.hosts is a sequence\n"),
]


@pytest.mark.parametrize(("arguments", "status", "out", "err"), GETS)
def test_get_prints_the_value_at_a_path(tmp_path, capsys, arguments, status, out, err):
    path = write(tmp_path, "doc.vorn", GET_DOCUMENT)
    assert run(capsys, "get", path, *arguments) == (status, out, f"{path}{err}" if err else "")


@given(st.lists(st.one_of(st.text(), st.integers())))
def test_get_reads_every_path_the_messages_write(steps):
    assert parse_path(path_text(steps)) == tuple(steps)


def test_get_of_an_invalid_document_prints_the_report(tmp_path, capsys):
    path = write(tmp_path, "doc.vorn", "_vorn_version: 1.0\noops\n")
    assert run(capsys, "get", path, "$") == (1, "", f"{path}:2:1: expected ':' in mapping entry\noops\n^\n")


EDIT_DOCUMENT = """\
_vorn_version: 1.0
# where it listens
server:
  port: '8080'  # the default
  hosts:
    - a  # first
    - b
"""


def edited(old, new):
    assert old in EDIT_DOCUMENT
    return EDIT_DOCUMENT.replace(old, new)


# (command line after the command's FILE, exit status, standard output,
# standard error with FILE for the file's name, the file afterwards)
EDITS = [
    (["set", "$.server.port", "9090"], 0, "", "", edited("'8080'", "'9090'")),
    (["set", "$.server.hosts[0]", "z"], 0, "", "", edited("- a", "- z")),
    (["set", "$.server.hosts[2]", "c"], 0, "", "", EDIT_DOCUMENT + "    - c\n"),
    (["set", "$.name", "api"], 0, "", "", edited("# where", "name: api\n# where")),
    (
        ["set", "$.server.tls", "--json", '{"cert": "a.pem", "names": ["x"]}'],
        0,
        "",
        "",
        EDIT_DOCUMENT + "  tls:\n    cert: a.pem\n    names:\n      - x\n",
    ),
    (["set", "$.server.hosts", "--json", "[]"], 0, "", "", edited("hosts:\n    - a  # first\n    - b", "hosts: []")),
    (["set", "$.server.port", "--json", "9090", "--stringify"], 0, "", "", edited("'8080'", "'9090'")),
    (["del", "$.server.hosts[0]"], 0, "", "", edited("    - a  # first\n", "")),
    (["del", "$.server"], 0, "", "", "_vorn_version: 1.0\n"),
    (
        ["set", "$.server.port", "9090", "--diff"],
        0,
        "--- FILE\n+++ FILE\n@@ -1,7 +1,7 @@\n _vorn_version: 1.0\n # where it listens\n server:\n"
        "-  port: '8080'  # the default\n+  port: '9090'  # the default\n   hosts:\n     - a  # first\n     - b\n",
        "",
        EDIT_DOCUMENT,
    ),
    # Only a line feed ends a line, in the diff as in the document.
    (
        ["set", "$.server.port", "80\u2028\f", "--diff"],
        0,
        "--- FILE\n+++ FILE\n@@ -1,7 +1,7 @@\n _vorn_version: 1.0\n # where it listens\n server:\n"
        "-  port: '8080'  # the default\n+  port: '80\u2028\f'  # the default\n   hosts:\n     - a  # first\n     - b\n",
        "",
        EDIT_DOCUMENT,
    ),
    (["set", "$.server.port", "8080", "--diff"], 0, "", "", EDIT_DOCUMENT),
    # Missing mappings on the way are added; an index cannot name an item
    # that is not there.
    (["set", "$.client.port", "1"], 0, "", "", edited("# where", "client:\n  port: 1\n# where")),
    (
        ["set", "$.server.tls.cert.path", "a.pem", "--diff"],
        0,
        "--- FILE\n+++ FILE\n@@ -5,3 +5,6 @@\n   hosts:\n     - a  # first\n     - b\n"
        "+  tls:\n+    cert:\n+      path: a.pem\n",
        "",
        EDIT_DOCUMENT,
    ),
    (
        ["set", "$.client.ports[0]", "80"],
        1,
        "",
        "FILE: no value at $.client.ports, and set adds only mappings on the way: set $.client.ports to a list "
        "first (--json '[]')\n",
        EDIT_DOCUMENT,
    ),
    (
        ["set", "$.server.hosts[2].name", "c"],
        1,
        "",
        "FILE: no value at $.server.hosts[2]: $.server.hosts holds 2 items\n",
        EDIT_DOCUMENT,
    ),
    (["set", "$.server.hosts[-1]", "z"], 0, "", "", edited("- b", "- z")),
    (["del", "$.server.hosts[-2]"], 0, "", "", edited("    - a  # first\n", "")),
    (
        ["set", "$.server.hosts[-3]", "z"],
        1,
        "",
        "FILE: no value at $.server.hosts[-3]: $.server.hosts holds 2 items\n",
        EDIT_DOCUMENT,
    ),
    (
        ["set", "$.server.hosts[3]", "d"],
        1,
        "",
        "FILE: no value at $.server.hosts[3]: $.server.hosts holds 2 items\n",
        EDIT_DOCUMENT,
    ),
    (
        ["set", "$.server.port.x", "1"],
        1,
        "",
        "FILE: no value at $.server.port.x: $.server.port is a string\n",
        EDIT_DOCUMENT,
    ),
    (["del", "$.server.tls"], 1, "", "FILE: no value at $.server.tls\n", EDIT_DOCUMENT),
    (
        ["set", "$.server.ports", "--json", '["80", 443]'],
        1,
        "",
        "VALUE: $.server.ports[1]: the number 443 has no vorn form; vorn holds only strings "
        "(quote it in the JSON, or pass --stringify)\n",
        EDIT_DOCUMENT,
    ),
    (
        ["set", "$.a", "--json", "[1"],
        1,
        "",
        "VALUE:1:3: invalid JSON: Expecting ',' delimiter\n[1\n  ^\n",
        EDIT_DOCUMENT,
    ),
    (
        ["set", "$.a", "b", "--stringify"],
        2,
        "",
        "vorn set: --stringify applies to a --json VALUE only\n",
        EDIT_DOCUMENT,
    ),
]


@pytest.mark.parametrize(("arguments", "status", "out", "err", "after"), EDITS)
def test_set_and_del_change_the_file_in_place(tmp_path, capsys, arguments, status, out, err, after):
    path = write(tmp_path, "doc.vorn", EDIT_DOCUMENT)
    command, *rest = arguments
    result = run(capsys, command, path, *rest)
    assert result == (status, out.replace("FILE", str(path)), err.replace("FILE", str(path)))
    assert path.read_bytes() == after.encode()


def test_set_of_an_invalid_document_prints_the_report(tmp_path, capsys):
    path = write(tmp_path, "doc.vorn", "_vorn_version: 1.0\noops\n")
    assert run(capsys, "set", path, "$.a", "b") == (1, "", f"{path}:2:1: expected ':' in mapping entry\noops\n^\n")


EXPLAINED = {
    "base.vorn": "_vorn_version: 1.0\ndefaults: &db\n  port: 5432\ndatabase:\n  <<: *db\n  host: a\nhosts:\n  - a\n",
    "prod.vorn": "_vorn_version: 1.0\ndatabase:\n  port: 6543\nhosts:\n  - ' b'\n",
    "broken.vorn": "_vorn_version: 1.0\noops\n",
}

# (arguments, with F/ standing for the folder; exit status, standard output, standard error)
EXPLAINS = [
    (["F/base.vorn", "F/prod.vorn", "$.database.port"], 0, "F/prod.vorn:3:9: 6543\nF/base.vorn:3:9: 5432\n", ""),
    (["F/base.vorn", "F/prod.vorn", "$.hosts[0]"], 0, 'F/prod.vorn:5:5: " b"\nF/base.vorn:8:5: a\n', ""),
    (
        ["F/base.vorn", "F/prod.vorn", "$.database"],
        0,
        "F/prod.vorn:3:3: a mapping of 1 entry\nF/base.vorn:5:3: a mapping of 2 entries\n",
        "",
    ),
    (
        ["F/base.vorn", "F/prod.vorn", "$.database.port", "--json"],
        0,
        json.dumps(
            {
                "path": "$.database.port",
                "value": "6543",
                "origin": {"file": "F/prod.vorn", "line": 3, "column": 9, "value": "6543"},
                "overrides": [{"file": "F/base.vorn", "line": 3, "column": 9, "value": "5432"}],
            },
            indent=2,
        )
        + "\n",
        "",
    ),
    (["--skip-missing", "F/base.vorn", "F/none.vorn", "$.database.host"], 0, "F/base.vorn:6:9: a\n", ""),
    (
        ["F/base.vorn", "F/prod.vorn", "$.database.prot"],
        1,
        "",
        "F/base.vorn + F/prod.vorn: no value at $.database.prot\n",
    ),
    (["F/base.vorn", "F/broken.vorn", "$.a"], 1, "", "F/broken.vorn:2:1: expected ':' in mapping entry\noops\n^\n"),
    (["F/base.vorn", "F/none.vorn", "$.a"], 2, "", "vorn: cannot read F/none.vorn: No such file or directory\n"),
    (["--skip-missing", "F/none.vorn", "$.a"], 2, "", "vorn explain: none of the files exists\n"),
]


@pytest.mark.parametrize(("arguments", "status", "out", "err"), EXPLAINS)
def test_explain_prints_the_value_in_force_and_what_it_overrode(tmp_path, capsys, arguments, status, out, err):
    for name, content in EXPLAINED.items():
        write(tmp_path, name, content)
    folder = f"{tmp_path}/"
    result = run(capsys, "explain", *(argument.replace("F/", folder) for argument in arguments))
    assert result == (status, out.replace("F/", folder), err.replace("F/", folder))


def test_to_json_prints_the_document(tmp_path, capsys):
    path = write(tmp_path, "doc.vorn", "_vorn_version: 1.0\nnames:\n  - Zoë\n  - k: v\n")
    value = {"_vorn_version": "1.0", "names": ["Zoë", {"k": "v"}]}
    assert run(capsys, "to-json", path) == (0, json.dumps(value, indent=2, ensure_ascii=False) + "\n", "")
    assert run(capsys, "to-json", path, "--indent", "0") == (
        0,
        json.dumps(value, indent=0, ensure_ascii=False) + "\n",
        "",
    )


def test_to_json_of_an_invalid_document_prints_only_the_report(tmp_path, capsys):
    path = write(tmp_path, "doc.vorn", "_vorn_version: 1.0\noops\n")
    assert run(capsys, "to-json", path) == (1, "", f"{path}:2:1: expected ':' in mapping entry\noops\n^\n")


def test_from_json_writes_the_document(tmp_path, capsys):
    value = {"_vorn_version": "1.0", "list": ["x", {"k": "v"}, []], "empty": {}}
    path = write(tmp_path, "in.json", json.dumps(value))
    assert run(capsys, "from-json", path) == (0, vorn.dumps(value), "")


STRINGIFY_OFF = "has no vorn form; vorn holds only strings (quote it in the JSON, or pass --stringify)\n"


# (JSON text, the complaint about its first non-string value)
NOT_STRINGS = [
    ('{"servers": [{"port": 8080}]}', "$.servers[0].port: the number 8080"),
    ('{"a": {"enabled": true}, "b": null}', "$.a.enabled: the boolean true"),
    ('{"my key": [null]}', '$["my key"][0]: null'),
    ('{"a": {"b": ["x", -1.5e3]}, "c": false}', "$.a.b[1]: the number -1.5e3"),
]


@pytest.mark.parametrize(("text", "complaint"), NOT_STRINGS)
def test_from_json_names_the_path_of_the_first_non_string(tmp_path, capsys, text, complaint):
    path = write(tmp_path, "in.json", text)
    assert run(capsys, "from-json", path) == (1, "", f"{path}: {complaint} {STRINGIFY_OFF}")


def test_from_json_stringify_keeps_the_json_text(tmp_path, capsys):
    path = write(tmp_path, "in.json", '{"_vorn_version": "1.0", "n": 1.50, "e": 1e3, "t": true, "z": [null, false]}')
    status, out, err = run(capsys, "from-json", "--stringify", path)
    assert (status, err) == (0, "")
    assert vorn.loads(out) == {"_vorn_version": "1.0", "n": "1.50", "e": "1e3", "t": "true", "z": ["null", "false"]}


# (JSON text, exit status, what is printed on standard error after "FILE")
FROM_JSON_REFUSALS = [
    ('["a"]', 1, ": the JSON must be an object, as a vorn document is a mapping\n"),
    # The column counts characters; the caret stands under the second quote.
    ('{"é" "x"}', 1, ':1:6: invalid JSON: Expecting \':\' delimiter\n{"é" "x"}\n     ^\n'),
]


@pytest.mark.parametrize(("text", "status", "report"), FROM_JSON_REFUSALS)
def test_from_json_refusals(tmp_path, capsys, text, status, report):
    path = write(tmp_path, "in.json", text)
    assert run(capsys, "from-json", path) == (status, "", f"{path}{report}")


# (JSON text, what from-json says after "FILE: ", whether --lossy writes it)
LOSSES = [
    ('{"a": "b"}', '$: the root has no "_vorn_version": "1.0", without which loads refuses the text', True),
    (
        '{"_vorn_version": "1.0", "server": {"script": "make\\n"}}',
        "$.server.script: the final line feed of a multi-line string would be dropped",
        True,
    ),
    (
        '{"_vorn_version": "1.0", "items": ["a", "b", "x\\ty"]}',
        "$.items[2]: the string holds a tab, and loads refuses a document with a tab anywhere",
        True,
    ),
    (
        '{"_vorn_version": "1.0", "odd key": {"x\\ny": ""}}',
        '$["odd key"]["x\\ny"]: mapping key cannot hold a line feed, which no document can carry; rename the key',
        False,
    ),
    (
        '{"_vorn_version": "1.0", "a": ["\\ud800"]}',
        "$.a[0]: the string holds the lone surrogate \\ud800, which no UTF-8 text can carry; correct the escape",
        False,
    ),
    (
        '{"_vorn_version": "1.0", "\\udc80": ""}',
        '$["\\udc80"]: the key holds the lone surrogate \\udc80, which no UTF-8 text can carry; correct the escape',
        False,
    ),
]


@pytest.mark.parametrize(("text", "complaint", "lossy_writes"), LOSSES)
def test_from_json_refuses_what_would_not_read_back(tmp_path, capsys, text, complaint, lossy_writes):
    path = write(tmp_path, "in.json", text)
    hint = "; pass --lossy to write it anyway" if lossy_writes else ""
    assert run(capsys, "from-json", path) == (1, "", f"{path}: {complaint}{hint}\n")
    status, out, err = run(capsys, "from-json", "--lossy", path)
    if lossy_writes:
        assert (status, out, err) == (0, vorn.dumps(json.loads(text), lossy=True), "")
    else:
        assert (status, out) == (1, "")


def test_from_json_of_json_nested_too_deeply_for_its_reader(tmp_path, capsys):
    path = write(tmp_path, "in.json", "[" * 100_000 + "]" * 100_000)
    assert run(capsys, "from-json", path) == (1, "", f"{path}: the JSON is nested too deeply to be read\n")


def test_to_json_of_a_document_deeper_than_json_dumps_allows(tmp_path, capsys):
    depth = 12_000
    lines = ["_vorn_version: 1.0"] + ["  " * level + "k:" for level in range(depth)] + ["  " * depth + "v: x"]
    path = write(tmp_path, "deep.vorn", "\n".join(lines) + "\n")
    status, out, err = run(capsys, "to-json", path, "--indent", "1")
    # Level n of the object opens on a line indented n spaces: '"k": {'.
    opening = "".join(
        f',\n{" " * level}"k": {{' if level == 1 else f'\n{" " * level}"k": {{' for level in range(1, depth + 1)
    )
    closing = "".join(f"\n{' ' * level}}}" for level in range(depth, -1, -1))
    expected = '{\n "_vorn_version": "1.0"' + opening + f'\n{" " * (depth + 1)}"v": "x"' + closing + "\n"
    assert (status, err) == (0, "")
    assert out == expected


@pytest.mark.parametrize("example", VALID_EXAMPLES, ids=lambda path: path.name)
def test_valid_examples_round_trip_through_json(tmp_path, capsys, example):
    status, json_text, _ = run(capsys, "to-json", example)
    assert status == 0
    json_path = write(tmp_path, "example.json", json_text)
    status, vorn_text, _ = run(capsys, "from-json", json_path)
    assert status == 0
    assert vorn.loads(vorn_text) == vorn.load_path(example)


def test_examples_hold_one_invalid_document(capsys):
    status, _, err = run(capsys, "check", *sorted(EXAMPLES.glob("*.vorn")))
    assert status == 1
    assert err.startswith(f"{EXAMPLES / 'broken.vorn'}:7:7: unknown anchor: defualts\n")
    assert err.count("\n") == 3


@pytest.mark.parametrize(("part", "version"), [("patch", "2.14.2"), ("minor", "2.15.0"), ("major", "3.0.0")])
def test_bump_version_example_prints_a_one_line_diff_and_writes_nothing(tmp_path, part, version):
    service = write(tmp_path, "service.vorn", (EXAMPLES / "service.vorn").read_bytes())
    command = [sys.executable, EXAMPLES / "bump_version.py", service, "--part", part]
    result = subprocess.run(command, capture_output=True, text=True, check=True)
    changed = [line for line in result.stdout.splitlines()[2:] if line.startswith(("-", "+"))]
    image = "  image: registry.example.com/orders-api:"
    assert changed == [f"-{image}2.14.1", f"+{image}{version}"]
    assert service.read_bytes() == (EXAMPLES / "service.vorn").read_bytes()


@pytest.mark.parametrize(
    "command",
    [[sys.executable, "-m", "vorn"], [str(Path(sys.executable).with_name("vorn"))]],
    ids=["python-m", "console-script"],
)
def test_installed_entry_points_run_the_tool(tmp_path, command):
    bad = write(tmp_path, "bad.vorn", "oops\n")
    result = subprocess.run([*command, "check", bad], capture_output=True, text=True)
    assert (result.returncode, result.stderr) == (1, f"{bad}:1:1: expected ':' in mapping entry\noops\n^\n")
    result = subprocess.run([*command, "--help"], capture_output=True, text=True)
    assert result.returncode == 0
    assert all(name in result.stdout for name in ("check", "to-json", "from-json"))


def test_lsp_without_the_extra_says_how_to_get_it(capsys, monkeypatch):
    for name in [name for name in sys.modules if name == "vorn.lsp" or name.startswith("vorn.lsp.")]:
        monkeypatch.delitem(sys.modules, name)
    monkeypatch.setitem(sys.modules, "pygls", None)
    assert run(capsys, "lsp") == (
        2,
        "",
        'vorn lsp needs the language server\'s packages (pygls): pip install "vorn[lsp]"\n',
    )
