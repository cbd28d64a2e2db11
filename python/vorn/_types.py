"""The types of document values."""

from __future__ import annotations

from collections.abc import Callable
from typing import Any, TypeAlias

#: A document value: a str, or a list or dict (with str keys) of values.
#: ``loads`` returns a ``dict[str, Value]``; ``dumps`` writes any Value.
Value: TypeAlias = str | list["Value"] | dict[str, "Value"]

#: A ``default`` for the writers: called with a value that is not a str,
#: list or dict, it returns one to write in its place.
Default: TypeAlias = Callable[[Any], Value]
