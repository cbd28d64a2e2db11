"""A Pygments lexer for vorn, registered under the name ``vorn`` (and the
files ``*.vorn``), so that documentation tools highlight vorn blocks. It
reads line by line with the reader's own line rules: comment lines, keys,
'-' of items, anchors, aliases, '<<', quoted and plain values, end-of-line
comments, and the lines of a literal block as text."""

from __future__ import annotations

from collections.abc import Iterator

from pygments.lexer import Lexer
from pygments.token import Comment, Keyword, Name, Punctuation, String, Text, Whitespace, _TokenType

from ._line_rules import find_entry_colon, is_item_line, split_inline_comment
from ._native import WHITE_SPACE

Token = tuple[int, _TokenType, str]


class VornLexer(Lexer):
    name = "vorn"
    aliases = ["vorn"]
    filenames = ["*.vorn"]
    mimetypes = ["text/x-vorn"]
    url = "https://pypi.org/project/vorn/"

    def get_tokens_unprocessed(self, text: str) -> Iterator[Token]:
        offset = 0
        # The column a literal block's lines are deeper than, while in one.
        block_above: int | None = None
        # Only a line feed ends a line, as for the reader (splitlines
        # would also end one at a form feed or U+2028).
        for line in (piece + "\n" for piece in text.split("\n")):
            if offset + len(line) > len(text):
                line = line[:-1]
            if not line:
                break
            body = line.rstrip("\r\n")
            indent = len(body) - len(body.lstrip(" "))
            content = body.strip(" ")
            if block_above is not None and (not content or indent > block_above):
                yield from _pieces(offset, [(Whitespace, body[:indent]), (String, body[indent:])])
            else:
                block_above = None
                pieces, block_above = _line(body, indent)
                yield from _pieces(offset, pieces)
            yield from _pieces(offset + len(body), [(Whitespace, line[len(body) :])])
            offset += len(line)


def _pieces(offset: int, pieces: list[tuple[_TokenType, str]]) -> Iterator[Token]:
    for kind, piece in pieces:
        if piece:
            yield offset, kind, piece
            offset += len(piece)


def _line(body: str, indent: int) -> tuple[list[tuple[_TokenType, str]], int | None]:
    """The tokens of a line outside literal blocks, and the column a
    literal block it opens must be deeper than."""
    pieces: list[tuple[_TokenType, str]] = [(Whitespace, body[:indent])]
    rest = body[indent:]
    if rest.startswith("#"):
        return [*pieces, (Comment.Single, rest)], None
    column = indent
    while is_item_line(rest[:2]) or rest == "-":
        after = rest[1:].lstrip(" ")
        pieces += [(Punctuation, "-"), (Whitespace, rest[1 : len(rest) - len(after)])]
        column += len(rest) - len(after)
        rest = after
    # The entry is the text before its comment, without the White_Space
    # before it: a prefix of the text, whose rest is White_Space, the
    # comment, and White_Space the comment's own trimming left out.
    entry, comment = split_inline_comment(rest)
    colon = find_entry_colon(entry)
    tail = entry
    if colon >= 0:
        key = entry[:colon]
        pieces += [(Keyword if key.strip() == "<<" else Name.Tag, key), (Punctuation, ":")]
        tail = entry[colon + 1 :]
    value = tail.lstrip(" ")
    pieces += [(Whitespace, tail[: len(tail) - len(value)]), (_value_kind(value), value)]
    after = rest[len(entry) :]
    if comment:
        gap = len(after) - len(after.lstrip(WHITE_SPACE))
        pieces += [
            (Whitespace, after[:gap]),
            (Comment.Single, after[gap : gap + len(comment)]),
            (Whitespace, after[gap + len(comment) :]),
        ]
    else:
        pieces.append((Whitespace, after))
    return pieces, (column if value == "|" else None)


def _value_kind(value: str) -> _TokenType:
    if value.startswith("&"):
        return Name.Label
    if value.startswith("*"):
        return Name.Variable
    if value in ("|", "[]", "{}"):
        return Punctuation
    if value.startswith('"'):
        return String.Double
    if value.startswith("'"):
        return String.Single
    return String if value else Text
