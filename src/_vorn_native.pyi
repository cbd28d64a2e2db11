# Type stub for the extension module; installed beside it.
from typing import Any

__all__ = ["loads", "dumps"]

def loads(s: str) -> dict[str, Any]: ...
def dumps(obj: str | list[Any] | dict[str, Any]) -> str: ...
