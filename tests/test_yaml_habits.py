"""What YAML's habits meet in vorn: read faults that name their cause."""

import pickle

import pytest
import vorn

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

# Faults no YAML habit explains keep the reader's message as it is.
PLAIN_FAULTS = [
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
