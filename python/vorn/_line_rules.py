"""The reader's rules for one line, as the package needs them when it writes
or rewrites lines: what White_Space is, where an inline comment starts, and
when a key or value can stand unquoted.

They follow the native reader character for character; every text the
package writes with them is still read back and compared before it is
given out.
"""

from __future__ import annotations

from ._native import WHITE_SPACE

# (str.isspace differs from White_Space: it also takes U+001C to U+001F,
# so str.strip() must not stand in for the reader's trimming.)

_WHITE_SPACE_SET = frozenset(WHITE_SPACE)


def is_white_space(char: str) -> bool:
    return char in _WHITE_SPACE_SET


def trim(text: str) -> str:
    return text.strip(WHITE_SPACE)


def trim_end(text: str) -> str:
    return text.rstrip(WHITE_SPACE)


def split_inline_comment(text: str) -> tuple[str, str | None]:
    """(the text before an inline comment, without trailing White_Space;
    the comment from its '#', or None). ``text`` is a line without its
    indentation. A '#' starts a comment when it opens the text or follows
    White_Space, outside quotes tracked from the first character; inside
    double quotes a backslash hides the next character."""
    if "#" not in text:
        return trim_end(text), None
    index = 0
    while index < len(text):
        char = text[index]
        if char == "'":
            close = text.find("'", index + 1)
            if close < 0:
                return trim_end(text), None
            index = close
        elif char == '"':
            close = _closing_double_quote(text, index + 1)
            if close < 0:
                return trim_end(text), None
            index = close
        elif char == "#" and (index == 0 or text[index - 1] in _WHITE_SPACE_SET):
            return trim_end(text[:index]), trim_end(text[index:])
        index += 1
    return trim_end(text), None


def _closing_double_quote(text: str, start: int) -> int:
    index = start
    while index < len(text):
        if text[index] == "\\":
            index += 2
            continue
        if text[index] == '"':
            return index
        index += 1
    return -1


def closed_quoted_run_length(text: str) -> int:
    """The length of the quoted run that opens ``text``, through its
    closing quote; 0 without one."""
    if not text or text[0] not in "'\"":
        return 0
    close = text.find("'", 1) if text[0] == "'" else _closing_double_quote(text, 1)
    return 0 if close < 0 else close + 1


def find_entry_colon(text: str) -> int:
    """The colon that ends the key of an entry or of an inline mapping
    item: the first after the quoted run that opens the text; -1."""
    return text.find(":", closed_quoted_run_length(text))


def is_item_line(text: str) -> bool:
    """'-' alone, or '-' and one of the blanks the reader takes after it."""
    return text[:1] == "-" and (len(text) == 1 or text[1] in " \t\n\x0c\r")


def double_quoted(text: str) -> str:
    """``text`` in double quotes, as the writer spells it: only '"' and
    '\\' are escaped, and they are the only escapes the reader knows."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def unquoted(text: str) -> str:
    """What the reader makes of a key or value text that has no White_Space
    at either end: one enclosing pair of quotes removed, and inside double
    quotes \\" and \\\\ read as " and \\."""
    if len(text) < 2 or text[0] != text[-1] or text[0] not in "'\"":
        return text
    inner = text[1:-1]
    if text[0] == "'":
        return inner
    out = []
    index = 0
    while index < len(inner):
        if inner[index] == "\\" and index + 1 < len(inner) and inner[index + 1] in '"\\':
            index += 1
        out.append(inner[index])
        index += 1
    return "".join(out)


def has_comment_start(text: str) -> bool:
    """Whether a '#' opens ``text`` or follows White_Space in it: such a
    text cannot stand unquoted on a line."""
    return text[:1] == "#" or any(text[i] == "#" and text[i - 1] in _WHITE_SPACE_SET for i in range(1, len(text)))


def _plain_text_fits(text: str) -> bool:
    return (
        bool(text)
        and text == trim(text)
        and "\n" not in text
        and not has_comment_start(text)
        and text[0] not in "'\"*&"
        and text not in ("|", "[]", "{}")
    )


def plain_key_fits(key: str) -> bool:
    """Whether ``key`` reads back as itself written unquoted before a
    colon."""
    return _plain_text_fits(key) and ":" not in key and not is_item_line(key)


def plain_value_fits(value: str, in_item: bool) -> bool:
    """Whether ``value`` reads back as itself written unquoted after a
    key's colon, or after an item's hyphen (where a colon would make the
    item a mapping)."""
    return _plain_text_fits(value) and not (in_item and ":" in value)
