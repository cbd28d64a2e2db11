"""Where the cursor is, read from the text around it alone, so that it
works while the line being typed does not read: the place in the data of
the mapping or value being written, and whether a key, a value or an
alias's name is being typed. The place is found by walking up from the
cursor's line to the lines that hold it, not by reading the document
from its start: a completion at the end of a large document costs the
lines of its own blocks only."""

from __future__ import annotations

from dataclasses import dataclass
from enum import StrEnum

from .._line_rules import find_entry_colon, is_item_line, split_inline_comment, trim, unquoted
from .._native import MERGE_KEY
from .positions import Lines


class Typing(StrEnum):
    KEY = "key"  # a key of the mapping at ``steps``
    VALUE = "value"  # the value at ``steps``
    ALIAS = "alias"  # an anchor's name after '*'


@dataclass(frozen=True, slots=True)
class Context:
    typing: Typing
    steps: tuple[str | int, ...]
    prefix: str  # what is typed of the word so far


@dataclass(frozen=True, slots=True)
class _Opening:
    """An item's hyphen or a key on a line: what holds the lines deeper
    than its column."""

    column: int
    step: str | None  # the key; None for an item
    merged: bool = False  # '<<: &name' over a block: merged, not nested


def context_at(lines: Lines, lineno: int, colno: int) -> Context:
    """The context of the cursor before character ``colno`` of line
    ``lineno`` (both from 1)."""
    before = lines.line(lineno - 1)[: colno - 1]
    indent = len(before) - len(before.lstrip(" "))
    openings, rest = _openings(before, indent)
    items = [opening for opening in openings if opening.step is None]
    above = _place(lines, lineno - 1, items[0].column if items else indent)
    # The items this line opens, each the next item of its list.
    steps: list[str | int] = list(above)
    for number, item in enumerate(items):
        steps.append(_item_index(lines, lineno - 1, item.column) if number == 0 else 0)
    entry = split_inline_comment(rest)[0] if "#" in rest else rest
    colon = find_entry_colon(entry)
    if colon >= 0:
        value = entry[colon + 1 :].lstrip(" ")
        key_steps = (*steps, unquoted(trim(entry[:colon])))
        if value.startswith("*") and " " not in value:
            return Context(Typing.ALIAS, key_steps, value[1:])
        return Context(Typing.VALUE, key_steps, value)
    if rest.startswith("*") and items:
        return Context(Typing.ALIAS, tuple(steps), rest[1:])
    if items and not rest:
        return Context(Typing.VALUE, tuple(steps), "")
    return Context(Typing.KEY, tuple(steps), rest.rsplit(" ", 1)[-1])


def _openings(text: str, indent: int) -> tuple[list[_Opening], str]:
    """The hyphens and the key a line's text opens, and what follows the
    last hyphen (the entry, or what is being typed)."""
    openings = []
    column = indent
    at = text[indent:]
    while is_item_line(at[:2]) or at == "-":
        openings.append(_Opening(column, None))
        rest = at[1:].lstrip(" ")
        column += len(at) - len(rest)
        at = rest
    return openings, at


def _line_openings(line: str) -> list[_Opening]:
    """Every hyphen and the key a whole line opens, left to right."""
    indent = len(line) - len(line.lstrip(" "))
    openings, rest = _openings(split_inline_comment(line[indent:])[0], 0)
    openings = [_Opening(opening.column + indent, None) for opening in openings]
    colon = find_entry_colon(rest)
    value = trim(rest[colon + 1 :]) if colon >= 0 else None
    # Only a key with nothing after it (or an anchor) holds deeper lines:
    # below a key with a value, they go on with the mapping around it.
    if value is not None and (not value or value.startswith("&")):
        key = unquoted(trim(rest[:colon]))
        merged = key == MERGE_KEY and value.startswith("&")
        openings.append(_Opening(_key_column(line, openings), key, merged))
    return openings


def _key_column(line: str, items: list[_Opening]) -> int:
    if not items:
        return len(line) - len(line.lstrip(" "))
    after = line[items[-1].column + 1 :]
    return items[-1].column + 1 + len(after) - len(after.lstrip(" "))


def _content(line: str) -> tuple[int, str] | None:
    """(indentation, text) of a line that is neither blank nor a comment."""
    text = line.lstrip(" ")
    if not text.strip() or text.startswith("#"):
        return None
    return len(line) - len(text), text


def _place(lines: Lines, index: int, column: int) -> tuple[str | int, ...]:
    """The steps to what holds a line whose text starts at ``column``,
    looking at the lines above line ``index`` (from 0)."""
    steps: list[str | int] = []
    target = column
    index -= 1
    while target > 0 and index >= 0:
        line = lines.line(index)
        found = _content(line)
        if found is None or found[0] >= target:
            index -= 1
            continue
        holders = [opening for opening in _line_openings(line) if opening.column < target]
        if not holders:
            index -= 1
            continue
        chain: list[str | int] = []
        for number, opening in enumerate(holders):
            if opening.merged:
                continue
            if opening.step is not None:
                chain.append(opening.step)
            else:
                chain.append(_item_index(lines, index, opening.column) if number == 0 else 0)
        steps[:0] = chain
        target = holders[0].column
        index -= 1
    return tuple(steps)


def _item_index(lines: Lines, index: int, column: int) -> int:
    """The position of the item whose hyphen is at ``column`` on line
    ``index`` (from 0): the items at that column above it, up to the first
    line left of it."""
    count = 0
    index -= 1
    while index >= 0:
        found = _content(lines.line(index))
        index -= 1
        if found is None or found[0] > column:
            continue
        if found[0] < column or not is_item_line(found[1][:2]) and found[1] != "-":
            break
        count += 1
    return count
