# Type stub for the extension vorn._native; shipped with the package.
from typing import Any

class DocumentFault(ValueError):
    """A document fault found by ``loads``: ``args`` are (the text
    ``_vorn_native.loads`` raises, the message, the 1-based line, the
    character offset in the document it points at). The package turns it
    into ``vorn.DecodeError``."""

def loads(s: str, /) -> dict[str, Any]:
    """The document ``s`` as dict, list and str objects; a document fault
    raises DocumentFault.

    >>> loads("_vorn_version: 1.0\\n")
    {'_vorn_version': '1.0'}
    """

def checked_dumps(obj: str | list[Any] | dict[str, Any], lossy: bool, /) -> str | tuple[list[str | int], str]:
    """The document text of ``obj``, or (steps, fault name) for the first
    string or root that would not read back equal; with ``lossy``, only a
    key holding a line feed.

    >>> checked_dumps({"_vorn_version": "1.0", "a": "x\\n"}, False)
    (['a'], 'final_line_feed')
    """
