"""Lints: each with a document that triggers it and one that must not."""

import pytest
import vorn
from vorn._lints import lints
from vorn.cli import main

HEAD = "_vorn_version: 1.0\n"

# (name, body that triggers, (line, column, start of the message), body that must not)
CASES = [
    (
        "repeated key",
        "port: 1\nhost: h\nport: 2\n",
        (4, 1, "key 'port' is written twice in one mapping, at line 2, column 1 and line 4, column 1; the later"),
        "port: 1\nserver:\n  port: 2\nitems:\n  - port: 3\n  - port: 4\n",
    ),
    (
        "repeated key continuing an item",
        "items:\n  - a: 1\n    a: 2\n",
        (4, 5, "key 'a' is written twice"),
        "items:\n  - a: 1\n    b: 2\n",
    ),
    (
        "colon in an item",
        "urls:\n  - https://a.example  # home\n",
        (
            3,
            5,
            "the item '- https://a.example' reads as a mapping because of its colon; "
            'quote it to keep it a string: - "https://a.example"',
        ),
        "urls:\n  - 'https://a.example'\n  - name: web\n",
    ),
    (
        "colon in an item, Windows path",
        "paths:\n  - C:\\temp\n",
        (
            3,
            5,
            "the item '- C:\\temp' reads as a mapping because of its colon; quote it to keep it a string: - "
            '"C:\\\\temp"',
        ),
        'paths:\n  - "C:\\\\temp"\n',
    ),
    (
        "unused anchor",
        "base: &base\n  a: 1\n",
        (2, 7, "anchor &base is never used by an alias or a merge"),
        "base: &base\n  a: 1\ncopy: *base\nmerged:\n  <<: *base\n",
    ),
    (
        "item whose empty key does not nest",
        "jobs:\n  - metadata:\n    name: work\n",
        (
            3,
            5,
            "the lines below '- metadata:' continue the item's mapping ('name' is the item's own key) and "
            "'metadata' stays empty",
        ),
        "jobs:\n  -\n    metadata:\n      name: work\n  - metadata: x\n    name: y\n",
    ),
]


@pytest.mark.parametrize(("name", "bad", "expected", "good"), CASES, ids=[case[0] for case in CASES])
def test_each_lint_fires_where_it_should_and_only_there(name, bad, expected, good):
    lineno, colno, message = expected
    [found] = lints(vorn.Document.parse(HEAD + bad))
    assert (found.lineno, found.colno) == (lineno, colno)
    assert found.msg.startswith(message), found.msg
    assert lints(vorn.Document.parse(HEAD + good)) == []


@pytest.mark.parametrize(("strict", "status"), [(False, 0), (True, 1)])
def test_check_shows_warnings_as_faults_and_fails_on_them_only_when_strict(tmp_path, capsys, strict, status):
    path = tmp_path / "hosts.vorn"
    path.write_text(HEAD + "hosts:\n  - db:5432\n")
    assert main(["check", *(["--strict"] if strict else []), str(path)]) == status
    assert capsys.readouterr().err == (
        f"{path}:3:5: warning: the item '- db:5432' reads as a mapping because of its colon; "
        'quote it to keep it a string: - "db:5432"\n'
        "  - db:5432\n"
        "    ^\n"
    )
