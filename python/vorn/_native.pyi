# Type stub for the extension vorn._writer; shipped with the package.
from typing import Any

def checked_dumps(
    obj: str | list[Any] | dict[str, Any], lossy: bool, /
) -> str | tuple[list[str | int], str]: ...
