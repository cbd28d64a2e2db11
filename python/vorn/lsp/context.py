"""Where the cursor is, read from the lines above it alone, so that it
works while the line being typed does not read: the place in the data of
the mapping or value being written, whether a key, a value or an alias's
name is being typed, and the anchors defined above."""

from __future__ import annotations

from dataclasses import dataclass
from enum import StrEnum

from .._line_rules import find_entry_colon, is_item_line, split_inline_comment, trim
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
    anchors: tuple[str, ...]  # defined above the cursor, in order


@dataclass(slots=True)
class _Frame:
    column: int
    step: str | int


def context_at(lines: Lines, lineno: int, colno: int) -> Context:
    """The context of the cursor before character ``colno`` of line
    ``lineno`` (both from 1)."""
    stack: list[_Frame] = []
    anchors: list[str] = []
    block_above: int | None = None  # the column a literal block's lines are deeper than
    for number in range(1, lineno):
        line = lines.line(number - 1)
        content = trim(line)
        indent = len(line) - len(line.lstrip(" "))
        if block_above is not None and (not content or indent > block_above):
            continue
        block_above = None
        if not content or content.startswith("#"):
            continue
        column, value = _read_line(stack, line, indent)
        if value.startswith("&"):
            anchors.append(trim(value[1:]))
        elif value == "|" and column is not None:
            block_above = column
    before = lines.line(lineno - 1)[: colno - 1]
    indent = len(before) - len(before.lstrip(" "))
    text = before[indent:]
    column, at = indent, text
    item_path: list[int] = []
    while is_item_line(at[:2]) or at == "-":
        _pop_to(stack, column, keep_equal=True)
        item_path.append(_next_index(stack, column))
        stack.append(_Frame(column, item_path[-1]))
        rest = at[1:].lstrip(" ")
        column += len(at) - len(rest)
        at = rest
    entry = split_inline_comment(at)[0] if "#" in at else at
    colon = find_entry_colon(entry)
    word = at.rsplit(" ", 1)[-1]
    if colon >= 0:
        _pop_to(stack, column)
        steps = (*_steps(stack), trim(entry[:colon]))
        value = entry[colon + 1 :].lstrip(" ")
        if value.startswith("*") and " " not in value:
            return Context(Typing.ALIAS, steps, value[1:], tuple(anchors))
        return Context(Typing.VALUE, steps, value, tuple(anchors))
    if at.startswith("*") and item_path:
        return Context(Typing.ALIAS, _steps(stack), at[1:], tuple(anchors))
    if item_path and not at:
        return Context(Typing.VALUE, _steps(stack), "", tuple(anchors))
    _pop_to(stack, column)
    return Context(Typing.KEY, _steps(stack), word, tuple(anchors))


def _read_line(stack: list[_Frame], line: str, indent: int) -> tuple[int | None, str]:
    """Pushes the line's items and key onto the stack; returns the column
    of its last item or key and its value text."""
    column = indent
    at = split_inline_comment(line[indent:])[0]
    last: int | None = None
    while is_item_line(at[:2]) or at == "-":
        _pop_to(stack, column, keep_equal=True)
        stack.append(_Frame(column, _next_index(stack, column)))
        last = column
        rest = at[1:].lstrip(" ")
        column += len(at) - len(rest)
        at = rest
    colon = find_entry_colon(at)
    if colon < 0:
        return last, at
    _pop_to(stack, column)
    stack.append(_Frame(column, trim(at[:colon])))
    return column, trim(at[colon + 1 :])


def _pop_to(stack: list[_Frame], column: int, keep_equal: bool = False) -> None:
    """Closes the frames at or right of ``column`` (an item at the same
    column stays, for the next item to count from)."""
    while stack and (stack[-1].column > column or (stack[-1].column == column and not keep_equal)):
        stack.pop()
    if keep_equal and stack and stack[-1].column == column and not isinstance(stack[-1].step, int):
        stack.pop()


def _next_index(stack: list[_Frame], column: int) -> int:
    if stack and stack[-1].column == column and isinstance(stack[-1].step, int):
        return int(stack.pop().step) + 1
    return 0


def _steps(stack: list[_Frame]) -> tuple[str | int, ...]:
    return tuple(frame.step for frame in stack)
