"""vorn.Document: where each key and value of a document was written."""

import pytest
import vorn
from hypothesis import given, settings
from hypothesis import strategies as st

HEAD = "_vorn_version: 1.0\n"


def piece(text, span):
    """The text a single- or multi-line span covers."""
    lines = text.split("\n")
    if span.lineno == span.end_lineno:
        return lines[span.lineno - 1][span.colno - 1 : span.end_colno - 1]
    inner = lines[span.lineno : span.end_lineno - 1]
    return "\n".join(
        [lines[span.lineno - 1][span.colno - 1 :], *inner, lines[span.end_lineno - 1][: span.end_colno - 1]]
    )


FORMS = HEAD + (
    "plain: some text  # note\n"
    "single: 'it''s'\n"
    'double: "a \\"b\\""\n'
    "block: |\n"
    "  one\n"
    "    two\n"
    "empty:\n"
    "seq: []\n"
    "# above map\n"
    "map: &m\n"
    "  k: v\n"
    "alias: *m\n"
    "merged:\n"
    "  <<: *m\n"
    "  own: x\n"
    "items:\n"
    "  - first\n"
    "  - k1: v1\n"
    "    k2: v2\n"
    "  -\n"
    "    deep: d\n"
    "  - k: own\n"
    "    <<: *m\n"
    "中文: 値\n"
    "spaced: |\n"
    "  line\n"
    "\u3000\u3000\n"
    "commented: | # c\u3000\n"
)

# (path, text at the value's span, text at the key's span or None for items)
FORM_CASES = [
    ("$.plain", "some text", "plain"),
    ("$.single", "'it''s'", "single"),
    ("$.double", '"a \\"b\\""', "double"),
    ("$.block", "|\n  one\n    two", "block"),
    ("$.seq", "[]", "seq"),
    ("$.map", "&m\n  k: v", "map"),
    ("$.map.k", "v", "k"),
    ("$.alias", "*m", "alias"),
    ("$.alias.k", "*m", "*m"),  # inside an alias copy, the alias is the place
    ("$.merged.k", "<<: *m", "<<: *m"),
    ("$.merged.own", "x", "own"),
    ("$.items[0]", "first", None),
    ("$.items[1]", "k1: v1\n    k2: v2", None),
    ("$.items[1].k2", "v2", "k2"),
    ("$.items[2].deep", "d", "deep"),
    # Lines after an item line replace its entry, merged entries too.
    ("$.items[3].k", "<<: *m", "<<: *m"),
    # A negative index counts from the end of the list, as read.
    ("$.items[-4]", "first", None),
    ("$.items[-3].k2", "v2", "k2"),
    ("$.items[-1].k", "<<: *m", "<<: *m"),
    ("$.中文", "値", "中文"),
    # A block ends at its last line of text: lines of other White_Space after
    # it, or after its "|" and comment, are none of it.
    ("$.spaced", "|\n  line", "spaced"),
    ("$.commented", "|", "commented"),
]


@pytest.mark.parametrize("newline", ["\n", "\r\n"])
@pytest.mark.parametrize(("path", "value", "key"), FORM_CASES)
def test_spans_cover_what_was_written(path, value, key, newline):
    text = FORMS.replace("\n", newline)
    document = vorn.Document.parse(text)
    assert piece(text, document.span(path)).replace("\r", "") == value
    if key is None:
        with pytest.raises(ValueError, match="item"):
            document.key_span(path)
    else:
        assert piece(text, document.key_span(path)) == key


def test_empty_value_span_is_where_the_value_would_stand_and_comments_are_kept():
    document = vorn.Document.parse(FORMS)
    assert document.span("$.empty") == vorn.Span(8, 7, 8, 7)
    assert document.span("$.plain") == vorn.Span(2, 8, 2, 17)
    assert document.comments("$.map") == vorn.Comments(["# above map"], None)
    assert document.comments(("plain",)) == vorn.Comments([], "# note")
    assert document.data == vorn.loads(FORMS)


@pytest.mark.parametrize(
    ("path", "error"),
    [
        ("$.nope", KeyError),
        ("$.items[9]", KeyError),
        ("$.items[-5]", KeyError),
        ("$.map[-1]", KeyError),
        ("$.plain.deeper", KeyError),
        ("nope", ValueError),
    ],
)
def test_paths_the_document_does_not_hold(path, error):
    with pytest.raises(error):
        vorn.Document.parse(FORMS).span(path)


def test_faults_raise_decode_error_with_the_path():
    with pytest.raises(vorn.DecodeError) as raised:
        vorn.Document.parse(HEAD + "a: 1\n b\n", path="x.vorn")
    assert str(raised.value).startswith("x.vorn:3:")


# Random documents written in every form with random spacing; the text at
# each span must read back as the key or scalar it is the span of.
words = st.text(st.sampled_from("abz09_-中é"), min_size=1, max_size=5)
scalar_forms = st.one_of(
    words,
    words.map(lambda w: f"'{w}'"),
    words.map(lambda w: f'"{w}"'),
    st.lists(words, min_size=1, max_size=3).map(lambda ws: "|\n" + "".join(f"@@  {w}\n" for w in ws)),
)


def block(draw, indent, depth):
    lines = []
    for key in draw(st.lists(words, min_size=1, max_size=4, unique=True)):
        gap = " " * draw(st.integers(1, 3))
        if depth < 2 and draw(st.booleans()):
            if draw(st.booleans()):
                lines.append(f"{indent}{key}:")
                lines.extend(block(draw, indent + "  ", depth + 1))
            else:
                lines.append(f"{indent}{key}:")
                for _ in range(draw(st.integers(1, 6))):
                    lines.append(f"{indent}  -{gap}{draw(scalar_forms).replace(chr(10), chr(10) + '  ')}")
        else:
            lines.append(f"{indent}{key}:{gap}{draw(scalar_forms)}")
    return [line.replace("@@", indent + "  ") for text in lines for line in text.rstrip("\n").split("\n")]


@st.composite
def documents(draw):
    newline = draw(st.sampled_from(["\n", "\r\n"]))
    return newline.join(["_vorn_version: 1.0", *block(draw, "", 0)]) + newline


def walk(value, steps=()):
    yield steps, value
    children = value.items() if isinstance(value, dict) else enumerate(value) if isinstance(value, list) else ()
    for step, child in children:
        yield from walk(child, (*steps, step))


@settings(max_examples=150, deadline=None)
@given(documents())
def test_the_text_at_every_span_reads_back_as_its_key_or_scalar(text):
    document = vorn.Document.parse(text)
    for steps, value in walk(document.data):
        if isinstance(value, list):
            # Counted from the end, an item is where it is counted from 0.
            assert [document.span((*steps, index - len(value))) for index in range(len(value))] == [
                document.span((*steps, index)) for index in range(len(value))
            ]
        if not steps:
            continue
        if isinstance(steps[-1], str):
            key = piece(text, document.key_span(steps))
            assert vorn.loads(f"{HEAD}m:\n  {key}: x")["m"] == {steps[-1]: "x"}
        if isinstance(value, str):
            written = piece(text, document.span(steps)).replace("\r", "")
            assert vorn.loads(f"{HEAD}k: {written}\n")["k"] == value
