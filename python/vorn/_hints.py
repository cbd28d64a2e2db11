"""Hints for the read faults that YAML habits cause: the reader reports
where the text stopped making sense, which is often a line after the real
cause ('|-' is read as the value "|-", so the script's first line is
"unexpected indentation"). A hint names the cause, points at it, and says
what vorn writes instead; the reader's own fault stays in the message.
"""

from __future__ import annotations

import re
from dataclasses import dataclass

from ._line_rules import find_entry_colon, is_item_line, split_inline_comment

_BLOCK_HEADER = re.compile(r"[|>](?:[1-9][-+]?|[-+][1-9]?)?")
_MARKERS = {
    "---": "'---' starts a YAML document; a vorn file is one document: remove this line",
    "...": "'...' ends a YAML document; a vorn file is one document: remove this line",
}
_COMPACT_ITEMS = "indent the items two spaces deeper than their key (vorn fmt --fix does it)"
_LIST_BELOW_FIRST_KEY = (
    "the lines below '- key:' go on with the item's mapping; for a list under that key, write '-' alone, the "
    "key on the line below it, and the list under the key (vorn fmt --fix does it)"
)


@dataclass(frozen=True, slots=True)
class Hint:
    msg: str
    pos: int  # the character offset of the cause
    # Whether the reader's message already names the cause: the hint then
    # follows it, instead of leading with the reader's message in brackets.
    follows: bool = False


def hint_for(msg: str, doc: str, pos: int) -> Hint | None:
    """The hint for the read fault ``msg`` at offset ``pos`` of ``doc``, if
    a YAML habit explains it."""
    line_start = doc.rfind("\n", 0, pos) + 1
    line = _line_at(doc, line_start)
    text = line.lstrip(" ")
    if msg == "sequence item not indented under its key":
        above = _line_above(doc, line_start)
        value = _value_of(above[1])[0] if above is not None else None
        # After "key:" (or "key: &name"), the items are YAML's compact list.
        if value is not None and (not value or value[0] == "&"):
            return Hint(_COMPACT_ITEMS, pos, follows=True)
        return None
    if msg == "inline mapping continuation must be a mapping":
        return Hint(_LIST_BELOW_FIRST_KEY, pos, follows=True)
    if msg in ("expected ':' in mapping entry", "root of document must be a mapping"):
        entry = split_inline_comment(text)[0]
        if entry in _MARKERS:
            return Hint(_MARKERS[entry], pos)
        if entry.startswith("%YAML") or entry.startswith("%TAG"):
            return Hint(f"'{entry.split()[0]}' is a YAML directive; vorn has none: remove this line", pos)
        return None
    if msg != "unexpected indentation":
        return None
    above = _line_above(doc, line_start)
    if above is None:
        return None
    above_start, above_line = above
    value, value_at = _value_of(above_line)
    if value is None or not value:
        return None
    value_pos = above_start + value_at
    if _BLOCK_HEADER.fullmatch(value) and value != "|":
        return Hint(_header_hint(value), value_pos)
    if value[0] in "[{" and value[-1] not in "]}":
        return Hint(
            f"'{value[0]}' opens a YAML flow collection over several lines; vorn has none: "
            "write each item as a '- ' line below the key",
            value_pos,
        )
    if value[0] in "*&" or value in ("|", "[]", "{}"):
        return None
    quote_opens = value[0] in "'\"" and not (len(value) >= 2 and value[-1] == value[0])
    continued = split_inline_comment(text)[0]
    if quote_opens or (not is_item_line(continued) and find_entry_colon(continued) < 0):
        # The line that goes on is the place to look: left where it is.
        return Hint(
            "a value goes on over several lines only in a literal block: write '|' after the colon or hyphen "
            "and the lines below it, or the value on one line",
            pos,
        )
    return None


def _header_hint(header: str) -> str:
    if header[0] == ">":
        return (
            f"'{header}' folds lines in YAML; vorn has no folded block: write '|' with the lines as they are, "
            "or the value on one line"
        )
    return f"'{header}' is a YAML block header; vorn's literal block is '|' alone, which keeps no final line feed"


def _line_at(doc: str, start: int) -> str:
    end = doc.find("\n", start)
    return (doc[start:] if end < 0 else doc[start:end]).removesuffix("\r")


def _line_above(doc: str, line_start: int) -> tuple[int, str] | None:
    """The nearest line above ``line_start`` that is neither blank nor a
    comment line, with its offset."""
    end = line_start - 1
    while end > 0:
        start = doc.rfind("\n", 0, end) + 1
        line = doc[start:end].removesuffix("\r")
        text = line.strip(" ")
        if text and not text.startswith("#"):
            return start, line
        end = start - 1
    return None


def _value_of(line: str) -> tuple[str | None, int]:
    """The value written on an entry or item line, without its comment,
    and its column; None for a line that is neither."""
    indent = len(line) - len(line.lstrip(" "))
    entry = split_inline_comment(line[indent:])[0]
    at = indent
    while is_item_line(entry):
        rest = entry[1:].lstrip(" ")
        at += len(entry) - len(rest)
        entry = rest
    colon = find_entry_colon(entry)
    if colon < 0:
        return (entry, at) if at > indent else (None, 0)
    value = entry[colon + 1 :]
    stripped = value.lstrip(" ")
    return stripped, at + colon + 1 + len(value) - len(stripped)
