"""What YAML's habits meet in vorn: read faults that name their cause."""

import pickle

import pytest
import vorn
import yaml
from vorn._fixes import apply_edits
from vorn._lints import lints
from vorn.cli import main


class Strings(yaml.SafeLoader):
    """PyYAML's reading with every scalar as its string."""


Strings.yaml_implicit_resolvers = {
    first: [(tag, regexp) for tag, regexp in resolvers if tag == "tag:yaml.org,2002:merge"]
    for first, resolvers in yaml.SafeLoader.yaml_implicit_resolvers.items()
}
for _tag in ("str", "int", "float", "bool", "null"):
    Strings.add_constructor("tag:yaml.org,2002:" + _tag, lambda loader, node: loader.construct_scalar(node))

V = "_vorn_version: 1.0\n"
MULTI_LINE = (
    "a value goes on over several lines only in a literal block: write '|' after the colon or hyphen "
    "and the lines below it, or the value on one line"
)

# (document, line and column of the hint, its message, the reader's message)
HINTS = [
    (
        V + "jobs:\n  run: |-\n    echo a\n",
        (3, 8),
        "'|-' is a YAML block header; vorn's literal block is '|' alone, which keeps no final line feed "
        "(read as vorn: unexpected indentation at line 4, column 5)",
        "unexpected indentation",
    ),
    (
        V + "steps:\n  - |+  # keep\n    x\n",
        (3, 5),
        "'|+' is a YAML block header; vorn's literal block is '|' alone, which keeps no final line feed "
        "(read as vorn: unexpected indentation at line 4, column 5)",
        "unexpected indentation",
    ),
    (
        V + "run: >-\n  a\n  b\n",
        (2, 6),
        "'>-' folds lines in YAML; vorn has no folded block: write '|' with the lines as they are, or the value "
        "on one line (read as vorn: unexpected indentation at line 3, column 3)",
        "unexpected indentation",
    ),
    (
        "---\n" + V,
        (1, 1),
        "'---' starts a YAML document; a vorn file is one document: remove this line "
        "(read as vorn: expected ':' in mapping entry)",
        "expected ':' in mapping entry",
    ),
    (
        V + "a: b\n...  # end\n",
        (3, 1),
        "'...' ends a YAML document; a vorn file is one document: remove this line "
        "(read as vorn: expected ':' in mapping entry)",
        "expected ':' in mapping entry",
    ),
    (
        V + "description: a long\n  text\n",
        (3, 3),
        MULTI_LINE + " (read as vorn: unexpected indentation)",
        "unexpected indentation",
    ),
    (
        V + 'msg: "a\n  b"\n',
        (3, 3),
        MULTI_LINE + " (read as vorn: unexpected indentation)",
        "unexpected indentation",
    ),
    (
        V + "branches: [main,\n  dev]\n",
        (2, 11),
        "'[' opens a YAML flow collection over several lines; vorn has none: write each item as a '- ' line "
        "below the key (read as vorn: unexpected indentation at line 3, column 3)",
        "unexpected indentation",
    ),
    (
        V + "steps:\n- run: x\n",
        (3, 1),
        "sequence item not indented under its key: indent the items two spaces deeper than their key "
        "(vorn fmt --fix does it)",
        "sequence item not indented under its key",
    ),
]

HINTS += [
    (
        V + "alerting:\n  - static_configs:\n      - x\n",
        (3, 19),
        "inline mapping continuation must be a mapping: the lines below '- key:' go on with the item's mapping; for "
        "a list under that key, write '-' alone, the key on the line below it, and the list under the key (vorn fmt "
        "--fix does it)",
        "inline mapping continuation must be a mapping",
    ),
]

# Faults no YAML habit explains keep the reader's message as it is.
PLAIN_FAULTS = [
    # YAML reads the text below "if:" as its value, but the reader's own
    # message says it better to one who meant an entry.
    (V + "if:\n  github.event_name == 'push' ||\n  always()\n", "expected ':' in mapping entry"),
    (V + "a: 1\n  b: 2\n", "unexpected indentation"),
    (V + "- x\n", "sequence item not indented under its key"),
    (V + "a: b\noops\n", "expected ':' in mapping entry"),
    (V + "run: |\n  x\n y\n", "unexpected indentation"),
    (V + "a:\n  b: 1\n c: 2\n", "indentation matches no open block"),
]


@pytest.mark.parametrize(("doc", "where", "message", "reader"), HINTS)
def test_a_yaml_habit_is_named_where_it_is(doc, where, message, reader):
    with pytest.raises(vorn.DecodeError) as raised:
        vorn.parse(doc, path="ci.vorn")
    error = raised.value
    assert ((error.lineno, error.colno), error.msg, error.reader_msg) == (where, message, reader)
    assert str(error) == f"ci.vorn:{where[0]}:{where[1]}: {message}"
    assert error.native_message.endswith(reader)
    copy = pickle.loads(pickle.dumps(error))
    assert (copy.msg, copy.pos, copy.reader_msg, copy.reader_pos) == (
        error.msg,
        error.pos,
        error.reader_msg,
        error.reader_pos,
    )


@pytest.mark.parametrize(("doc", "message"), PLAIN_FAULTS)
def test_other_faults_keep_the_readers_message(doc, message):
    with pytest.raises(vorn.DecodeError) as raised:
        vorn.loads(doc)
    assert (raised.value.msg, raised.value.pos) == (message, raised.value.reader_pos)


# (code, body, where the warning starts, message, help, the body with its
# fix made or None). Each fix is checked against PyYAML's reading of the
# body too: the fixed document must read as YAML reads the original.
WARNINGS = [
    (
        "colon-without-blank",
        "steps:\n  - id: date\n    run:\n      echo date=$(date +%H:%M)\n",
        (5, 27),
        "the colon in 'echo date=$(date +%H:%M)' makes it a key and a value; in YAML only a colon before a blank does",
        "if this is text, quote it, or write it on its key's line; if it is an entry, put a blank after the colon",
        "steps:\n  - id: date\n    run: echo date=$(date +%H:%M)\n",
    ),
    (
        # A character of more than one byte after the colon.
        "colon-without-blank",
        "when:\n  at 12:é\n",
        (3, 8),
        "the colon in 'at 12:é' makes it a key and a value; in YAML only a colon before a blank does",
        "if this is text, quote it, or write it on its key's line; if it is an entry, put a blank after the colon",
        "when: at 12:é\n",
    ),
    (
        "flow-collection",
        "on:\n  branches: [main, 'dev', \"x y\"]  # both\n",
        (3, 13),
        "'[main, 'dev', \"x y\"]' reads as one string, not as a list",
        "write each item as a '- ' line below the key, two spaces deeper",
        "on:\n  branches:  # both\n    - main\n    - dev\n    - x y\n",
    ),
    (
        "flow-collection",
        "labels: {app: web, tier: 'a: b'}\n",
        (2, 9),
        "'{app: web, tier: 'a: b'}' reads as one string, not as a mapping",
        "write each entry as a 'key: value' line below the key, two spaces deeper",
        "labels:\n  app: web\n  tier: a: b\n",
    ),
    (
        "item-in-item",
        "matrix:\n  - - a\n",
        (3, 3),
        "'- - a' reads as the string '- a', not as a list in a list",
        "write '-' alone, and the inner item on the line below it, two spaces deeper",
        "matrix:\n  -\n    - a\n",
    ),
    (
        "blank-line-in-block",
        "run: |\n  a\n\n  b\n",
        (4, 1),
        "this blank line inside the literal block is not part of its text",
        "a literal block holds no blank lines: remove them, or keep the lines apart otherwise (a line of its own "
        "text, such as a comment of the script)",
        None,
    ),
    (
        "comments-make-mapping",
        "nodeSelector:\n  # kubernetes.io/os: linux\nreplicas: 1\n",
        (2, 1),
        "'nodeSelector' reads as an empty mapping {}, as the comment lines below it are deeper",
        "write {} after it if an empty mapping is meant; for an empty value, put the comment lines at its indentation",
        "nodeSelector:\n# kubernetes.io/os: linux\nreplicas: 1\n",
    ),
    (
        "yaml-escape",
        'name: "caf\\u00e9 \\/ \\"x\\""\n',
        (2, 7),
        "'\\u' inside double quotes reads as a backslash and 'u', not as an escape",
        "vorn's double quotes know only \\\" and \\\\: write the character itself (a line feed in a literal "
        "block), or \\\\ for a backslash",
        'name: "café / \\"x\\""\n',
    ),
    (
        "yaml-escape",
        'msg: "a\\nb"\n',
        (2, 6),
        "'\\n' inside double quotes reads as a backslash and 'n', not as an escape",
        "vorn's double quotes know only \\\" and \\\\: write the character itself (a line feed in a literal "
        "block), or \\\\ for a backslash",
        None,
    ),
    (
        "doubled-quote",
        "q: 'it''s'  # mine\n",
        (2, 4),
        "'it''s' reads with both quotes doubled: vorn removes only the outer pair",
        'write it in double quotes: "it\'s"',
        'q: "it\'s"  # mine\n',
    ),
    (
        "yaml-tag",
        "port: !!str 80\n",
        (2, 7),
        "the tag '!!str' stays part of the text: it reads as '!!str 80'",
        "vorn has only strings: remove the tag",
        "port: 80\n",
    ),
    (
        "yaml-tag",
        "bucket: !Ref name\n",
        (2, 9),
        "the tag '!Ref' stays part of the text: it reads as '!Ref name'",
        "vorn keeps no tags: write what the tag means into the text, or remove it",
        None,
    ),
    (
        "merge-list",
        "a: &a\n  x: 1\nb: &b\n  x: 2\n  y: 3\nc:\n  <<: [*a, *b]\n",
        (8, 3),
        "'<<: [*a, *b]' is an entry '<<' holding that text, not a merge",
        "write one '<<: *name' line for each mapping; the first one's entries win",
        "a: &a\n  x: 1\nb: &b\n  x: 2\n  y: 3\nc:\n  <<: *a\n  <<: *b\n",
    ),
    (
        "value-is-comment",
        "color: #fff  # the brand's\n",
        (2, 8),
        "the value is empty: '#fff' after a blank starts a comment",
        'quote it: "#fff"',
        'color: "#fff"  # the brand\'s\n',
    ),
]


@pytest.mark.parametrize(("code", "body", "where", "message", "help", "fixed"), WARNINGS)
def test_each_yaml_habit_is_warned_of_with_its_fix(code, body, where, message, help, fixed):
    [found] = [lint for lint in lints(vorn.Document.parse(V + body)) if lint.code == code]
    assert ((found.lineno, found.colno), found.message, found.help) == (where, message, help)
    assert (found.span.lineno, found.span.colno) == where
    if fixed is None:
        assert found.fix is None
        return
    assert apply_edits(V + body, found.fix.edits) == V + fixed
    assert [lint.code for lint in lints(vorn.Document.parse(V + fixed))] == []
    read = vorn.loads(V + fixed)
    del read["_vorn_version"]
    # YAML reads "color: #fff" as empty too: that fix is for what is meant.
    assert (read == yaml.load(body, Loader=Strings)) == (code != "value-is-comment")


def test_no_warning_for_what_reads_the_same_in_yaml():
    body = (
        "a: [x]y\nb: '[x]'\nc: '- x'\nd: \"\\\\n\"\ne: 'it s'\nf: x!!str\ng: # a comment\nh: |\n  x\n  y\n"
        "i:\n# at the key's column\nj: {}\nk: []\nl:\n  - '- x'\n"
    )
    assert lints(vorn.Document.parse(V + body)) == []


def test_check_shows_the_code_and_the_help(tmp_path, capsys):
    path = tmp_path / "ci.vorn"
    path.write_text(V + "port: !!str 80\n")
    assert main(["check", "--strict", str(path)]) == 1
    assert capsys.readouterr().err == (
        f"{path}:2:7: warning: the tag '!!str' stays part of the text: it reads as '!!str 80' [yaml-tag]\n"
        "port: !!str 80\n"
        "      ^\n"
        "help: vorn has only strings: remove the tag\n"
    )
