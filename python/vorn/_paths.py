"""Places in a tree: the notation that names one in messages (``$`` for the
root, ``.key`` or ``["odd key"]`` for a mapping entry, ``[2]`` for a list
item, as in ``$.server.ports[1]``), reading it back, and putting a value in
its place in a copy being built."""

from __future__ import annotations

import json
import re
from collections.abc import Iterable
from typing import Any, cast

_IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")
# What a reader types after a dot: anything up to the next step. Wider than
# what key_step writes bare, so that "$.log-level" works as it looks.
_BARE_KEY = re.compile(r"[^.\[\]\"]+")
# An index counts from 0, or from the end when negative (-1 the last), as
# Python's do.
_INDEX = re.compile(r"-?[0-9]+")


def key_step(key: str) -> str:
    """``.key`` for an identifier, otherwise the key as a JSON string in
    brackets. A lone surrogate (which JSON escapes can produce) is shown as
    its escape, so that the message can be printed anywhere."""
    if _IDENTIFIER.fullmatch(key):
        return f".{key}"
    quoted = json.dumps(key, ensure_ascii=False).encode("utf-8", "backslashreplace").decode("utf-8")
    return f"[{quoted}]"


def path_text(steps: Iterable[str | int]) -> str:
    """The path of the keys (str) and list indices (int) from the root."""
    return "$" + "".join(key_step(step) if isinstance(step, str) else f"[{step}]" for step in steps)


def parse_path(text: str) -> tuple[str | int, ...]:
    """The steps of a path that ``path_text`` writes (``$.a["b c"][0]``);
    a key after a dot may hold any character but ``.[]"``, and an index
    may be negative, counting from the end (``[-1]``). A malformed path
    raises ValueError saying what was expected where."""
    if not text.startswith("$"):
        raise ValueError(f"a path starts with $ (the root), as in $.server.port: {text!r}")
    steps: list[str | int] = []
    at = 1
    while at < len(text):
        if text[at] == ".":
            match = _BARE_KEY.match(text, at + 1)
            if match is None:
                raise ValueError(f"expected a key after the dot at character {at + 1}: {text!r}")
            steps.append(match.group())
            at = match.end()
        elif text.startswith('["', at):
            try:
                key, end = _JSON_STRING.raw_decode(text, at + 1)
            except json.JSONDecodeError:
                raise ValueError(f"expected a JSON string at character {at + 2}: {text!r}") from None
            if not isinstance(key, str) or not text.startswith("]", end):
                raise ValueError(f"expected ] at character {end + 1}: {text!r}")
            steps.append(key)
            at = end + 1
        elif text.startswith("[", at):
            match = _INDEX.match(text, at + 1)
            if match is None or not text.startswith("]", match.end()):
                raise ValueError(f'expected [INDEX] or ["KEY"] at character {at + 1}: {text!r}')
            steps.append(int(match.group()))
            at = match.end() + 1
        else:
            raise ValueError(f"expected . or [ at character {at + 1}: {text!r}")
    return tuple(steps)


_JSON_STRING = json.JSONDecoder()


def put(target: list[Any] | dict[str, Any], key: str | None, value: Any) -> None:
    """Adds `value` to a container being copied: list items come without a
    key."""
    if key is None:
        cast(list[Any], target).append(value)
    else:
        cast(dict[str, Any], target)[key] = value
