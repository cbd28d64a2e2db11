"""The Pygments lexer: found by the name 'vorn' and by '*.vorn' through
its entry point, its tokens give the text back whole, and each piece of
syntax gets its token type (a literal block's lines are text)."""

import pytest
from hypothesis import given
from hypothesis import strategies as st

pygments = pytest.importorskip("pygments")
from pygments.lexers import get_lexer_by_name, get_lexer_for_filename  # noqa: E402
from pygments.token import Comment, Keyword, Name, Punctuation, String, Whitespace  # noqa: E402

TEXT = (
    "_vorn_version: 1.0\n# c\nbase: &b  # hi\n  port: '80'\n  s: |\n    key: not a key\n    # not a comment\n"
    'web:\n  <<: *b\n  hosts:\n    - "a b"\r\n    - x\ne: []\n'
)


def test_the_lexer_is_found_by_name_and_file_name():
    assert type(get_lexer_by_name("vorn")) is type(get_lexer_for_filename("settings.vorn"))
    assert get_lexer_by_name("vorn").name == "vorn"


def test_each_piece_of_syntax_gets_its_token_type():
    found = [(kind, piece) for _, kind, piece in get_lexer_by_name("vorn").get_tokens_unprocessed(TEXT)]
    assert [(kind, piece) for kind, piece in found if kind is not Whitespace] == [
        (Name.Tag, "_vorn_version"),
        (Punctuation, ":"),
        (String, "1.0"),
        (Comment.Single, "# c"),
        (Name.Tag, "base"),
        (Punctuation, ":"),
        (Name.Label, "&b"),
        (Comment.Single, "# hi"),
        (Name.Tag, "port"),
        (Punctuation, ":"),
        (String.Single, "'80'"),
        (Name.Tag, "s"),
        (Punctuation, ":"),
        (Punctuation, "|"),
        (String, "key: not a key"),
        (String, "# not a comment"),
        (Name.Tag, "web"),
        (Punctuation, ":"),
        (Keyword, "<<"),
        (Punctuation, ":"),
        (Name.Variable, "*b"),
        (Name.Tag, "hosts"),
        (Punctuation, ":"),
        (Punctuation, "-"),
        (String.Double, '"a b"'),
        (Punctuation, "-"),
        (String, "x"),
        (Name.Tag, "e"),
        (Punctuation, ":"),
        (Punctuation, "[]"),
    ]


@given(st.text(alphabet=" -:#&*|'\"ab\n\r\x0c\u2028<", max_size=60))
def test_the_tokens_give_the_text_back_whole_in_order(text):
    tokens = list(get_lexer_by_name("vorn").get_tokens_unprocessed(text))
    assert "".join(piece for _, _, piece in tokens) == text
    assert [offset for offset, _, _ in tokens] == [sum(len(p) for _, _, p in tokens[:i]) for i in range(len(tokens))]
