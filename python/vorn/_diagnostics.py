"""Showing a fault as FILE:LINE:COLUMN: message, the line, and a caret,
then the fix on a line of its own when there is one (``help: ...``).

Lines are shown as a terminal can take them: a window of about 120 columns
around the column at fault, control characters and bytes that are not
UTF-8 escaped, so that no input can move the cursor or flood the screen.
"""

from __future__ import annotations

import unicodedata
from dataclasses import dataclass

# The widest line shown, in terminal columns, the cut marks included.
SHOWN_WIDTH = 120
# How much of a cut line is shown before the caret, in columns.
LEFT_CONTEXT = 40
# Messages can quote the document (an anchor's name, a version): longer
# ones are cut to this many characters, in their middle, where the quote
# stands, so that what they say after it stays.
LONGEST_MESSAGE = 160
CUT = "..."

# Characters a terminal acts on or hides, shown as escapes: C0 and C1
# controls and DEL, format characters (bidirectional overrides, zero-width
# joiners), line and paragraph separators, and the bytes that were not UTF-8
# (decoded as lone surrogates).
_ESCAPED_CATEGORIES = frozenset({"Cc", "Cf", "Cs", "Zl", "Zp"})
_NAMED_ESCAPES = {"\t": "\\t", "\n": "\\n", "\r": "\\r"}


@dataclass(frozen=True, slots=True)
class Fault:
    """One fault in one input, with the line to show and where to point."""

    path: str
    lineno: int
    colno: int  # 1-based, in characters from the start of the line
    msg: str
    line: bytes  # the physical line, without its line end
    # The fix, shown whole below the caret; its writer keeps it short.
    help: str | None = None
    # The kind of a warning, shown after the message as [code].
    code: str | None = None


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


def text_fault(
    path: str, data: bytes, lineno: int, colno: int, msg: str, help: str | None = None, code: str | None = None
) -> Fault:
    """A fault at a line and a character column, as DecodeError and
    json.JSONDecodeError give them."""
    return Fault(path, lineno, colno, msg, line_of(data, lineno), help, code)


def render(fault: Fault) -> str:
    """The lines that show ``fault`` (three, and the help if it has one),
    with a final line feed."""
    msg = fault.msg
    if len(msg) > LONGEST_MESSAGE:
        kept = LONGEST_MESSAGE - len(CUT)
        msg = msg[: kept // 2] + CUT + msg[len(msg) - (kept - kept // 2) :]
    shown, caret = _window(fault.line.decode("utf-8", "surrogateescape"), fault.colno - 1)
    code = "" if fault.code is None else f" [{fault.code}]"
    text = f"{fault.path}:{fault.lineno}:{fault.colno}: {escaped(msg)}{code}\n{shown}\n{' ' * caret}^\n"
    return text if fault.help is None else f"{text}help: {escaped(fault.help)}\n"


def escaped(text: str) -> str:
    """``text`` with every character a terminal would act on escaped."""
    return "".join(_cell(char)[0] for char in text)


def _window(line: str, caret: int) -> tuple[str, int]:
    """The part of ``line`` to show around the character index ``caret``,
    escaped and with cut marks, and the caret's column in it."""
    caret = max(0, min(caret, len(line)))
    # No character takes less than no column or more than ten, so this
    # slice holds every character the window can show.
    first = max(0, caret - SHOWN_WIDTH * 10)
    cells = [_cell(char) for char in line[first : caret + SHOWN_WIDTH * 10]]
    caret -= first
    if first == 0 and len(cells) == len(line) - first and sum(width for _, width in cells) <= SHOWN_WIDTH:
        return "".join(text for text, _ in cells), sum(width for _, width in cells[:caret])

    room = SHOWN_WIDTH - 2 * len(CUT)
    start = caret
    used = 0
    while start > 0 and used + cells[start - 1][1] <= LEFT_CONTEXT:
        start -= 1
        used += cells[start][1]
    end = start
    used = 0
    while end < len(cells) and used + cells[end][1] <= room:
        used += cells[end][1]
        end += 1
    # A line that ends within the room gives its space to the left.
    while start > 0 and used + cells[start - 1][1] <= room:
        start -= 1
        used += cells[start][1]
    cut_left = first + start > 0
    cut_right = first + end < len(line)
    text = (CUT if cut_left else "") + "".join(text for text, _ in cells[start:end]) + (CUT if cut_right else "")
    column = (len(CUT) if cut_left else 0) + sum(width for _, width in cells[start:caret])
    return text, column


def _cell(char: str) -> tuple[str, int]:
    """How one character is shown, and the columns it takes."""
    if unicodedata.category(char) in _ESCAPED_CATEGORIES:
        code = ord(char)
        if char in _NAMED_ESCAPES:
            shown = _NAMED_ESCAPES[char]
        elif 0xDC80 <= code <= 0xDCFF:  # a byte that was not UTF-8
            shown = f"\\x{code - 0xDC00:02x}"
        elif code <= 0xFF:
            shown = f"\\x{code:02x}"
        else:
            shown = f"\\u{code:04x}" if code <= 0xFFFF else f"\\U{code:08x}"
        return shown, len(shown)
    if unicodedata.combining(char) or unicodedata.category(char) in ("Mn", "Me"):
        return char, 0
    return char, 2 if unicodedata.east_asian_width(char) in ("W", "F") else 1
