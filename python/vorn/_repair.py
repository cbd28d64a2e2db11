"""Repairs of what a document certainly means but vorn cannot read
(``vorn fmt --fix``, and the quick fixes of these faults): items written at
their key's indentation (YAML's compact lists), which vorn reads only two
spaces deeper ("sequence item not indented under its key"), and a list
below '- key:', which vorn reads as the item's mapping going on ("inline
mapping continuation must be a mapping")."""

from __future__ import annotations

from dataclasses import dataclass

from ._errors import DecodeError
from ._fixes import Fix, TextEdit, apply_edits
from ._line_rules import find_entry_colon, is_item_line, split_inline_comment, trim
from ._reading import loads
from ._spans import Span

COMPACT_ITEMS = "sequence item not indented under its key"
LIST_BELOW_FIRST_KEY = "inline mapping continuation must be a mapping"


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


def first_key_fix(text: str, lineno: int) -> Fix | None:
    """The fix for '- key:' with a list on the lines below it, which YAML
    reads as the list of ``key`` and vorn as the item's mapping going on:
    '-' alone, and the key on a line of its own below it, two spaces
    deeper, where the list's items then belong to it."""
    lines = text.split("\n")
    line = lines[lineno - 1]
    content = trim(line)
    entry = split_inline_comment(content)[0]
    if not is_item_line(entry):
        return None
    rest = entry[1:].lstrip(" ")
    colon = find_entry_colon(rest)
    if colon < 0 or trim(rest[colon + 1 :]):
        return None
    indent = len(line) - len(line.lstrip(" "))
    key_column = indent + len(entry) - len(rest) + 1
    brk = "\r\n" if line.endswith("\r") else "\n"
    span = Span(lineno, indent + 2, lineno, key_column)
    return Fix(
        f"put '{trim(rest[:colon])}' on a line of its own below the hyphen", (TextEdit(span, brk + " " * (indent + 2)),)
    )


def repair(text: str) -> tuple[str, list[Repair]]:
    """``text`` with every list written at its key's indentation indented
    under its key, and the repairs made. A fault that is not one of those,
    or one that cannot be repaired certainly, is raised as DecodeError."""
    repairs: list[Repair] = []
    # The spaces earlier repairs put before each line: repairs are reported
    # at the columns of the text as given.
    added: dict[int, int] = {}
    # (line, lines inserted after it) of the repairs made so far, to report
    # later repairs at the lines of the text as given.
    moves: list[tuple[int, int]] = []

    def original_line(number: int) -> int:
        for after, count in reversed(moves):
            if number > after:
                number -= count
        return number

    for _ in range(2 * text.count("\n") + 2):
        try:
            loads(text)
        except DecodeError as error:
            if error.reader_msg not in (COMPACT_ITEMS, LIST_BELOW_FIRST_KEY):
                raise
            lineno = text.count("\n", 0, error.reader_pos) + 1
            colno = error.reader_pos - text.rfind("\n", 0, error.reader_pos)
            if error.reader_msg == COMPACT_ITEMS:
                fix = compact_items_fix(text, lineno)
            else:
                fix = first_key_fix(text, lineno)
                colno = 1 + len(text.split("\n")[lineno - 1]) - len(text.split("\n")[lineno - 1].lstrip(" "))
            if fix is None:
                raise
            text = apply_edits(text, fix.edits)
            repairs.append(Repair(original_line(lineno), colno - added.get(lineno, 0), fix.title))
            inserted = sum(edit.new_text.count("\n") for edit in fix.edits)
            for edit in fix.edits:
                added[edit.span.lineno] = added.get(edit.span.lineno, 0) + len(edit.new_text)
            if inserted:
                # Lines after an inserted line break move down by one.
                moves.append((lineno, inserted))
                added = {number + (inserted if number > lineno else 0): count for number, count in added.items()}
            continue
        return text, sorted(repairs, key=lambda done: (done.lineno, done.colno))
    raise AssertionError("each repair reads one more line; more repairs than lines cannot be")
