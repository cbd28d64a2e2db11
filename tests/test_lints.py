"""Lints: each with a document that triggers it and one that must not, and
vorn check showing it whole, its fix on a help line of its own."""

import pytest
import vorn
from vorn._lints import lints
from vorn.cli import main

HEAD = "_vorn_version: 1.0\n"
LONG = "x" * 300
# A long name is quoted shortened in a message and not at all in a help.
SHOWN_LONG = "x" * 14 + "..." + "x" * 14

# (name, body that triggers, (code, line, column, message, help), body that must not)
CASES = [
    (
        "repeated key",
        "port: 1\nhost: h\nport: 2\n",
        (
            "repeated-key",
            4,
            1,
            "key 'port' is written twice in one mapping (first at line 2, column 1); the later one wins",
            "delete the entry you do not mean, or rename one of them",
        ),
        "port: 1\nserver:\n  port: 2\nitems:\n  - port: 3\n  - port: 4\n",
    ),
    (
        "repeated key continuing an item",
        "items:\n  - a: 1\n    a: 2\n",
        (
            "repeated-key",
            4,
            5,
            "key 'a' is written twice in one mapping (first at line 3, column 5); the later one wins",
            "delete the entry you do not mean, or rename one of them",
        ),
        "items:\n  - a: 1\n    b: 2\n",
    ),
    (
        "repeated long key",
        f"{LONG}: 1\n{LONG}: 2\n",
        (
            "repeated-key",
            3,
            1,
            f"key '{SHOWN_LONG}' is written twice in one mapping (first at line 2, column 1); the later one wins",
            "delete the entry you do not mean, or rename one of them",
        ),
        f"{LONG}: 1\n",
    ),
    (
        "colon in an item",
        "urls:\n  - https://a.example  # home\n",
        (
            "colon-in-item",
            3,
            5,
            "the item '- https://a.example' reads as a mapping because of its colon",
            'quote it to keep it a string: - "https://a.example"',
        ),
        "urls:\n  - 'https://a.example'\n  - name: web\n",
    ),
    (
        "colon in an item, Windows path",
        "paths:\n  - C:\\temp\n",
        (
            "colon-in-item",
            3,
            5,
            "the item '- C:\\temp' reads as a mapping because of its colon",
            'quote it to keep it a string: - "C:\\\\temp"',
        ),
        'paths:\n  - "C:\\\\temp"\n',
    ),
    (
        "colon in a long item",
        f"urls:\n  - https://{LONG}\n",
        (
            "colon-in-item",
            3,
            5,
            f"the item '- https://{'x' * 6}...{'x' * 14}' reads as a mapping because of its colon",
            "put the whole item in double quotes to keep it a string",
        ),
        f'urls:\n  - "https://{LONG}"\n',
    ),
    (
        "unused anchor",
        "base: &base\n  a: 1\n",
        (
            "unused-anchor",
            2,
            7,
            "anchor &base is never used by an alias or a merge",
            "remove it, or use it as *base",
        ),
        "base: &base\n  a: 1\ncopy: *base\nmerged:\n  <<: *base\n",
    ),
    (
        "unused anchor of a long name",
        f"base: &{LONG}\n  a: 1\n",
        (
            "unused-anchor",
            2,
            7,
            f"anchor &{SHOWN_LONG} is never used by an alias or a merge",
            "remove it, or use it in an alias or a merge of its name",
        ),
        f"base: &{LONG}\n  a: 1\ncopy: *{LONG}\n",
    ),
    (
        "item whose empty key does not nest",
        "jobs:\n  - metadata:\n    name: work\n",
        (
            "empty-item-key",
            3,
            5,
            "the lines below '- metadata:' continue the item's mapping instead of nesting under it",
            "to nest them under 'metadata', write '-' alone on the item's line, 'metadata:' below it, and indent "
            "its lines under that",
        ),
        "jobs:\n  -\n    metadata:\n      name: work\n  - metadata: x\n    name: y\n",
    ),
    (
        "item whose long empty key does not nest",
        f"jobs:\n  - {LONG}:\n    name: work\n",
        (
            "empty-item-key",
            3,
            5,
            f"the lines below '- {SHOWN_LONG}:' continue the item's mapping instead of nesting under it",
            "to nest them under the key, write '-' alone on the item's line, the key below it, and indent its lines "
            "under that",
        ),
        f"jobs:\n  -\n    {LONG}:\n      name: work\n",
    ),
]


@pytest.mark.parametrize(("name", "bad", "expected", "good"), CASES, ids=[case[0] for case in CASES])
def test_each_lint_fires_where_it_should_and_check_shows_it_whole(tmp_path, capsys, name, bad, expected, good):
    code, lineno, colno, message, help = expected
    found = lints(vorn.Document.parse(HEAD + bad))
    assert [(lint.code, lint.lineno, lint.colno, lint.message, lint.help) for lint in found] == [
        (code, lineno, colno, message, help)
    ]
    assert lints(vorn.Document.parse(HEAD + good)) == []
    # Neither the message nor the fix is cut, however long the names.
    path = tmp_path / "doc.vorn"
    path.write_text(HEAD + bad)
    assert main(["check", str(path)]) == 0
    shown = capsys.readouterr().err.split("\n")
    assert (shown[0], shown[3:]) == (f"{path}:{lineno}:{colno}: warning: {message} [{code}]", [f"help: {help}", ""])


@pytest.mark.parametrize(("strict", "status"), [(False, 0), (True, 1)])
def test_check_shows_warnings_as_faults_and_fails_on_them_only_when_strict(tmp_path, capsys, strict, status):
    path = tmp_path / "hosts.vorn"
    path.write_text(HEAD + "hosts:\n  - db:5432\n")
    assert main(["check", *(["--strict"] if strict else []), str(path)]) == status
    assert capsys.readouterr().err == (
        f"{path}:3:5: warning: the item '- db:5432' reads as a mapping because of its colon [colon-in-item]\n"
        "  - db:5432\n"
        "    ^\n"
        'help: quote it to keep it a string: - "db:5432"\n'
    )
