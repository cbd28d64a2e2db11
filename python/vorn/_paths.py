"""The notation that names a place in a tree, in messages: ``$`` for the
root, ``.key`` or ``["odd key"]`` for a mapping entry, ``[2]`` for a list
item (``$.server.ports[1]``)."""

from __future__ import annotations

import json
import re
from collections.abc import Iterable

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
