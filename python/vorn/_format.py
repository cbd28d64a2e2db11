"""One layout for every document (``vorn fmt``, ``vorn.format_text``).

The rules: two spaces a level, the items of a list two spaces deeper than
their key, one space after a key's colon and after a hyphen, one space
before an end-of-line comment, no White_Space at the end of a line, runs of
blank lines made one and none at either end, one final line end, and line
ends as the file's first one. A literal block's lines keep their own
indentation relative to each other. A comment line goes to the place of
the line it stood with (the nearest at or left of its column, among the
line before it and those holding that line, and the line after it).
Everything else stays as written: key order, quoting, anchors, comment
text. A value is quoted anew only where the new spacing would change how
it reads (``key:#x`` becomes ``key: "#x"``).

The layout is made from the syntax records, line by line; the result is
read back each time and must give the same data, lay out to itself, and
hold the same comments in the same order.
"""

from __future__ import annotations

from dataclasses import dataclass

from . import _native
from ._document import Document
from ._line_rules import (
    double_quoted,
    find_entry_colon,
    split_inline_comment,
    trim,
    trim_end,
    unquoted,
)
from ._native import WHITE_SPACE, SyntaxForm, SyntaxKind, SyntaxRecord


class FormatFault(RuntimeError):
    """The layout would have changed the document: a fault of the
    formatter, raised instead of giving a wrong text."""


def format_text(text: str) -> str:
    """``text`` in vorn's one layout, with the same data, comments and key
    order.

    >>> print(vorn.format_text("_vorn_version: 1.0\\nhosts:\\n    -   a   # first\\n\\n\\n\\nport:   80\\n"), end="")
    _vorn_version: 1.0
    hosts:
      - a # first
    <BLANKLINE>
    port: 80

    A document that cannot be read raises DecodeError. The result is read
    back before it is given: it must hold the same data and comments, and
    lay out to itself; otherwise FormatFault is raised.
    """
    document = Document.parse(text)
    result = _layout(document)
    again = Document.parse(result)
    if again.data != document.data:
        raise FormatFault("the layout would change the data; please report this document")
    if comment_texts(again) != comment_texts(document):
        raise FormatFault("the layout would lose or move comments; please report this document")
    if _layout(again) != result:
        raise FormatFault("the layout is not its own layout; please report this document")
    return result


def comment_texts(document: Document) -> list[str]:
    """Every comment of ``document`` in order, from its '#': comment lines
    and end-of-line comments (a literal block's lines are text)."""
    lines = _Lines.of(document)
    found = []
    for number, line in enumerate(lines.text, 1):
        role = lines.roles.get(number)
        if role == "block":
            continue
        content = trim(line)
        if role is None and content:
            found.append(content)
        elif role == "head":
            comment = split_inline_comment(content)[1]
            if comment is not None:
                found.append(comment)
    return found


@dataclass(slots=True)
class _Lines:
    text: list[str]  # the physical lines, without their line ends
    records: list[SyntaxRecord]
    roles: dict[int, str]  # line number -> "head" or "block"; others are comment or blank lines
    heads: dict[int, list[SyntaxRecord]]  # line number -> the records written on it
    eol: str

    @classmethod
    def of(cls, document: Document) -> _Lines:
        tree = document._tree
        records = [tree[index] for index in range(len(tree))]
        text = [line.removesuffix("\r") for line in document.text.split("\n")]
        roles: dict[int, str] = {}
        heads: dict[int, list[SyntaxRecord]] = {}
        for record in records:
            roles[record.line] = "head"
            heads.setdefault(record.line, []).append(record)
            if record.form == SyntaxForm.LITERAL_BLOCK:
                for number in range(record.line + 1, record.value_span.end_lineno + 1):
                    roles[number] = "block"
        first_end = document.text.find("\n")
        eol = "\r\n" if first_end > 0 and document.text[first_end - 1] == "\r" else "\n"
        return cls(text, records, roles, heads, eol)


def _layout(document: Document) -> str:
    lines = _Lines.of(document)
    records = lines.records
    column: dict[int, int] = {}
    for record in records:
        parent = None if record.parent is None else records[record.parent]
        if parent is None:
            column[record.index] = 0
        else:
            column[record.index] = column[parent.index] + 2
    out: list[str] = []
    previous: SyntaxRecord | None = None  # the record whose line was written last
    empty_block: SyntaxRecord | None = None  # a block of comment lines alone, being written
    number = 0
    while number < len(lines.text):
        number += 1
        line = lines.text[number - 1]
        role = lines.roles.get(number)
        content = trim(line)
        if role == "head":
            head = lines.heads[number][0]
            out.append(" " * column[head.index] + _head(lines.heads[number], content))
            previous = lines.heads[number][-1]
            empty_block = previous if _holds_only_comments(document, previous) else None
            if previous.form == SyntaxForm.LITERAL_BLOCK:
                number = _block(lines, previous, number, column[previous.index] + 2, out)
            continue
        if not content:
            if out and out[-1]:
                out.append("")
            continue
        # A comment line.
        if empty_block is not None:
            # Deeper than its key, it makes the key's value {}: it stays so.
            indent = column[empty_block.index] + 2
        else:
            indent = _comment_indent(lines, records, column, previous, number, len(line) - len(line.lstrip(" ")))
        out.append(" " * indent + content)
    while out and not out[-1]:
        out.pop()
    return "".join(line + lines.eol for line in out)


def _holds_only_comments(document: Document, record: SyntaxRecord) -> bool:
    return record.form == SyntaxForm.NESTED_BLOCK and not document._tree.children(record.index)


def _block(lines: _Lines, record: SyntaxRecord, number: int, indent: int, out: list[str]) -> int:
    """Writes the lines of a literal block after line ``number`` at
    ``indent``, keeping their indentation relative to each other; returns
    the number of its last line."""
    last = record.value_span.end_lineno
    body = [lines.text[at - 1] for at in range(number + 1, last + 1)]
    least = min((len(text) - len(text.lstrip(" ")) for text in body if trim(text)), default=0)
    for text in body:
        if trim(text):
            out.append(" " * indent + trim_end(text[least:]))
        elif out and out[-1]:
            out.append("")  # dropped by the reader as any blank line is
    return last


def _head(records: list[SyntaxRecord], content: str) -> str:
    """The line of ``records`` (an entry, an item, or an item and its first
    entry), from its key or hyphen, in the layout."""
    entry, comment = split_inline_comment(content)
    if records[0].kind == SyntaxKind.ITEM:
        rest = entry[1:].lstrip(WHITE_SPACE)
        if records[0].form == SyntaxForm.INLINE_MAPPING:
            rest = _entry(rest, records[1] if len(records) > 1 else None)
        written = "-" + (" " + rest if rest else "")
    else:
        written = _entry(entry, records[0])
    if comment is None:
        return written
    line = written + " " + comment
    if split_inline_comment(line) != (written, comment):
        raise FormatFault("an end-of-line comment would join the value; please report this document")
    return line


def _entry(entry: str, record: SyntaxRecord | None) -> str:
    colon = find_entry_colon(entry)
    key = trim(entry[:colon])
    value = entry[colon + 1 :].lstrip(WHITE_SPACE)
    written = key + ":" + (" " + value if value else "")
    # "key:#x" holds "#x"; with a blank after the colon the '#' would start
    # a comment, so the value is quoted instead.
    if value.startswith("#") and record is not None and record.form == SyntaxForm.PLAIN:
        written = key + ": " + double_quoted(unquoted(value))
    return written


def _comment_indent(
    lines: _Lines,
    records: list[SyntaxRecord],
    column: dict[int, int],
    previous: SyntaxRecord | None,
    number: int,
    old: int,
) -> int:
    """Where a comment line at column ``old`` goes: the new column of the
    line whose old column is the nearest at or left of it, among the line
    written before it and those holding that one, and the line after it.
    None of these is deeper than the line before or the line after, so the
    comment can neither join a literal block nor make a value {}."""
    candidates: list[tuple[int, int]] = []
    holder = previous
    while holder is not None:
        candidates.append((holder.indent, column[holder.index]))
        holder = None if holder.parent is None else records[holder.parent]
    following = next((lines.heads[at][0] for at in range(number + 1, len(lines.text) + 1) if at in lines.heads), None)
    if following is not None:
        candidates.append((following.indent, column[following.index]))
    if not candidates:
        return 0
    fitting = [candidate for candidate in candidates if candidate[0] <= old]
    return max(fitting)[1] if fitting else min(new for _, new in candidates)


def is_formatted(text: str) -> bool:
    return format_text(text) == text


__all__ = ["FormatFault", "comment_texts", "format_text", "is_formatted", "_native"]
