"""Showing a fault as FILE:LINE:COLUMN: message, the line, and a caret."""

from __future__ import annotations

import unicodedata
from dataclasses import dataclass

# The Unicode White_Space property: what the reader trims from lines. It is
# not str.isspace(), which also takes U+001C..U+001F and leaves nothing out.
WHITE_SPACE = (
    "\t\n\x0b\x0c\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006"
    "\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000"
)


@dataclass(frozen=True, slots=True)
class Fault:
    """One fault in one input, with the line to show and where to point."""

    path: str
    lineno: int
    colno: int
    msg: str
    line: bytes  # the physical line, without its line end
    caret_offset: int  # byte offset into ``line`` that the caret points at


def line_of(data: bytes, lineno: int) -> bytes:
    """The physical line ``lineno`` (1-based) of ``data``; only LF ends a line."""
    start = 0
    for _ in range(lineno - 1):
        start = data.find(b"\n", start) + 1
        if start == 0:
            return b""
    end = data.find(b"\n", start)
    line = data[start:] if end < 0 else data[start:end]
    return line.removesuffix(b"\r")


def document_fault(path: str, data: bytes, lineno: int, colno: int, msg: str) -> Fault:
    """A fault reported by the reader, whose column counts bytes from the
    line's content: after the indentation, and on a sequence item line after
    the hyphen and its blanks as well."""
    line = line_of(data, lineno)
    return Fault(path, lineno, colno, msg, line, _content_start(line, colno) + colno - 1)


def byte_fault(path: str, data: bytes, offset: int, msg: str) -> Fault:
    """A fault at byte ``offset`` of ``data``; its column counts from the
    start of the physical line."""
    line_start = data.rfind(b"\n", 0, offset) + 1
    lineno = data.count(b"\n", 0, offset) + 1
    column = offset - line_start + 1
    return Fault(path, lineno, column, msg, line_of(data, lineno), column - 1)


def render(fault: Fault) -> str:
    """The three lines that show ``fault``, with a final line feed."""
    text = fault.line.decode("utf-8", errors="replace")
    offset = min(fault.caret_offset, len(fault.line))
    before = fault.line[:offset].decode("utf-8", errors="replace")
    return f"{fault.path}:{fault.lineno}:{fault.colno}: {fault.msg}\n{text}\n{_padding(before)}^\n"


def _content_start(line: bytes, colno: int) -> int:
    text = line.decode("utf-8", errors="replace")
    content = text.lstrip(WHITE_SPACE)
    start = len(text) - len(content)
    # Column 1 points at the line's content; a later column on an item line
    # counts within the inline mapping that follows the hyphen.
    if colno > 1 and _is_item_line(content):
        start = len(text) - len(content[1:].lstrip(WHITE_SPACE))
    return len(text[:start].encode("utf-8"))


def _is_item_line(content: str) -> bool:
    return content == "-" or (content.startswith("-") and content[1:2] in " \t\n\x0c\r")


def _padding(before: str) -> str:
    # Tabs are kept so that the terminal moves the caret to the same stop.
    return "".join("\t" if char == "\t" else " " * _display_width(char) for char in before)


def _display_width(char: str) -> int:
    if unicodedata.combining(char) or unicodedata.category(char) in ("Mn", "Me", "Cf"):
        return 0
    return 2 if unicodedata.east_asian_width(char) in ("W", "F") else 1
