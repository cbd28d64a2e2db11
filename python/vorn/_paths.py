"""Places in a tree: the notation that names one in messages (``$`` for the
root, ``.key`` or ``["odd key"]`` for a mapping entry, ``[2]`` for a list
item, as in ``$.server.ports[1]``), and putting a value in its place in a
copy being built."""

from __future__ import annotations

import json
import re
from collections.abc import Iterable
from typing import Any, cast

_IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")


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


def put(target: list[Any] | dict[str, Any], key: str | None, value: Any) -> None:
    """Adds `value` to a container being copied: list items come without a
    key."""
    if key is None:
        cast(list[Any], target).append(value)
    else:
        cast(dict[str, Any], target)[key] = value
