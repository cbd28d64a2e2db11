"""Repairs of what a document certainly means but vorn cannot read: items
written at their key's indentation (YAML's compact lists), which vorn
reads only two spaces deeper (``vorn fmt --fix``; the quick fix of the
fault "sequence item not indented under its key")."""

from __future__ import annotations

from dataclasses import dataclass

from ._errors import DecodeError
from ._fixes import Fix, TextEdit, apply_edits
from ._line_rules import find_entry_colon, is_item_line, split_inline_comment, trim
from ._reading import loads
from ._spans import Span

COMPACT_ITEMS = "sequence item not indented under its key"


@dataclass(frozen=True, slots=True)
class Repair:
    """One repair made: where (the first line it changed) and what."""

    lineno: int
    colno: int
    msg: str


def compact_items_fix(text: str, lineno: int) -> Fix | None:
    """The fix for items at their key's indentation whose first item is on
    line ``lineno``: every line of those items two spaces deeper. None when
    the line above them is not a key with nothing after its colon (or only
    an anchor), the one case where the meaning is certain."""
    lines = text.split("\n")
    first = lines[lineno - 1]
    indent = len(first) - len(first.lstrip(" "))
    if not is_item_line(trim(first)):
        return None
    above = lineno - 2
    while above >= 0 and (not trim(lines[above]) or trim(lines[above]).startswith("#")):
        above -= 1
    if above < 0:
        return None
    key_line = lines[above]
    entry = split_inline_comment(trim(key_line))[0]
    colon = find_entry_colon(entry)
    value = trim(entry[colon + 1 :]) if colon >= 0 else None
    if len(key_line) - len(key_line.lstrip(" ")) != indent or value is None or (value and value[0] != "&"):
        return None
    # The items, and every line deeper than them, up to the first line at
    # or left of their column that is not an item; comment and blank lines
    # after the last of them stay where they are.
    taken = []
    for number in range(lineno, len(lines) + 1):
        line = lines[number - 1]
        content = trim(line)
        depth = len(line) - len(line.lstrip(" "))
        if not content or content.startswith("#") and depth <= indent:
            continue
        if depth < indent or depth == indent and not is_item_line(content):
            break
        taken.append(number)
    shifted = [number for number in range(lineno, taken[-1] + 1) if trim(lines[number - 1])]
    key = trim(entry[:colon])
    edits = tuple(TextEdit(Span(number, 1, number, 1), "  ") for number in shifted)
    return Fix(f"indent the items of '{key}' under it", edits)


def repair(text: str) -> tuple[str, list[Repair]]:
    """``text`` with every list written at its key's indentation indented
    under its key, and the repairs made. A fault that is not one of those,
    or one that cannot be repaired certainly, is raised as DecodeError."""
    repairs: list[Repair] = []
    # The spaces earlier repairs put before each line: repairs are reported
    # at the columns of the text as given.
    added: dict[int, int] = {}
    for _ in range(text.count("\n") + 2):
        try:
            loads(text)
        except DecodeError as error:
            if error.reader_msg != COMPACT_ITEMS:
                raise
            lineno = text.count("\n", 0, error.reader_pos) + 1
            colno = error.reader_pos - text.rfind("\n", 0, error.reader_pos)
            fix = compact_items_fix(text, lineno)
            if fix is None:
                raise
            text = apply_edits(text, fix.edits)
            repairs.append(Repair(lineno, colno - added.get(lineno, 0), fix.title))
            for edit in fix.edits:
                added[edit.span.lineno] = added.get(edit.span.lineno, 0) + len(edit.new_text)
            continue
        return text, repairs
    raise AssertionError("each repair reads one more line; more repairs than lines cannot be")
