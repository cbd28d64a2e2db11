"""Turning parsed JSON into data that vorn can hold: strings, lists and
objects only."""

from __future__ import annotations

import json
from collections.abc import Iterator
from typing import Any

from ._paths import key_step, put


class JsonNumber(str):
    """A JSON number kept as its own text, so that --stringify writes it as
    it was written (1.50 stays 1.50, 1e3 stays 1e3)."""


class NotAString(ValueError):
    """A JSON number, boolean or null where vorn needs a string."""

    def __init__(self, path: str, value: Any) -> None:
        super().__init__(
            f"{path}: {_describe(value)} has no vorn form; vorn holds only strings "
            "(quote it in the JSON, or pass --stringify)"
        )
        self.path = path


def parse_json(text: str) -> Any:
    """``json.loads`` keeping numbers as JsonNumber."""
    return json.loads(text, parse_int=JsonNumber, parse_float=JsonNumber, parse_constant=JsonNumber)


def vorn_data(root: dict[str, Any], *, stringify: bool) -> dict[str, Any]:
    """A copy of ``root`` in which every value is a str, list or dict.

    Numbers, booleans and null become their JSON text when ``stringify`` is
    set; otherwise the first one in document order raises NotAString naming
    its JSON path. The walk keeps its own stack, so nesting depth is bounded
    by memory only.
    """
    result: dict[str, Any] = vorn_value(root, stringify=stringify)
    return result


def vorn_value(value: Any, *, stringify: bool, path: str = "$") -> Any:
    """``vorn_data`` for a JSON value of any kind that is to stand at
    ``path``, which the paths in its errors start from."""
    if not isinstance(value, (dict, list)):
        return _string(value, path, stringify)
    result: dict[str, Any] | list[Any] = {} if isinstance(value, dict) else []
    stack: list[tuple[Iterator[tuple[str | None, str, Any]], dict[str, Any] | list[Any]]]
    stack = [(_children(value, path), result)]
    while stack:
        children, target = stack[-1]
        for key, place, child in children:
            if isinstance(child, (dict, list)):
                copy: dict[str, Any] | list[Any] = {} if isinstance(child, dict) else []
                put(target, key, copy)
                stack.append((_children(child, place), copy))
                break
            put(target, key, _string(child, place, stringify))
        else:
            stack.pop()
    return result


def _children(container: dict[str, Any] | list[Any], path: str) -> Iterator[tuple[str | None, str, Any]]:
    if isinstance(container, dict):
        for key, value in container.items():
            yield key, path + key_step(key), value
    else:
        for index, value in enumerate(container):
            yield None, f"{path}[{index}]", value


def _string(value: Any, path: str, stringify: bool) -> str:
    if isinstance(value, str) and not isinstance(value, JsonNumber):
        return value
    if not stringify:
        raise NotAString(path, value)
    return str(value) if isinstance(value, JsonNumber) else json.dumps(value)


def _describe(value: Any) -> str:
    if isinstance(value, JsonNumber):
        return f"the number {value}"
    if isinstance(value, bool):
        return f"the boolean {json.dumps(value)}"
    return "null"
