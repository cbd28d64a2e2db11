# Type stub for the extension module; installed beside it.
from typing import Any, TypeAlias

__all__ = ["loads", "dumps"]

# A document value: a str, or a list or dict (with str keys) of values.
_Value: TypeAlias = str | list[_Value] | dict[str, _Value]

def loads(s: str) -> dict[str, Any]:
    """Reads the document text ``s`` and returns its root mapping as a dict
    of str, list and dict. A document fault raises ValueError "parse error:
    parse error at line L, column C: MESSAGE", whose column counts UTF-8
    bytes from the line's content; the package's ``vorn.loads`` raises
    ``vorn.DecodeError`` with editor positions instead.

    >>> loads("_vorn_version: 1.0\\nport: 8080\\n")
    {'_vorn_version': '1.0', 'port': '8080'}
    """

def dumps(obj: _Value) -> str:
    """Writes a str, list or dict, nested freely, as document text: keys in
    byte order, every scalar in double quotes. Any other type raises
    TypeError; a key holding a line feed raises ValueError.

    >>> print(dumps({"_vorn_version": "1.0", "port": "8080"}), end="")
    _vorn_version: "1.0"
    port: "8080"
    """
