"""Reading documents from strings and files, raising DecodeError."""

from __future__ import annotations

import os
from typing import IO, Any

from ._errors import DecodeError
from ._native import DocumentFault
from ._native import loads as _native_loads

_BYTE_ORDER_MARK = "\ufeff"


def loads(s: str) -> dict[str, Any]:
    """Reads the document text ``s`` and returns its root mapping as a dict.

    Every scalar is a str; nested blocks are dicts and lists. A document
    fault raises DecodeError (a ValueError) with its line and column; a
    non-str argument raises TypeError.

    >>> vorn.loads("_vorn_version: 1.0\\nport: 8080\\ntags:\\n  - a\\n")
    {'_vorn_version': '1.0', 'port': '8080', 'tags': ['a']}
    """
    try:
        return _native_loads(s)
    except DocumentFault as fault:
        raise _decode_error(fault, s, None) from None


def parse(s: str, *, path: str | os.PathLike[str] | None = None) -> dict[str, Any]:
    """Like ``loads``, with ``path`` named in the DecodeError of a fault
    (only recorded there; nothing is read from it).

    >>> vorn.parse("_vorn_version: 1.0\\nbroken\\n", path="app.vorn")
    Traceback (most recent call last):
    vorn.DecodeError: app.vorn:2:1: expected ':' in mapping entry
    """
    try:
        return _native_loads(s)
    except DocumentFault as fault:
        raise _decode_error(fault, s, path) from None


def load(fp: IO[str] | IO[bytes]) -> dict[str, Any]:
    """Reads a document from a file object opened for reading, in text mode
    or binary (decoded as UTF-8); one leading byte-order mark is dropped.
    The file's ``name``, when it is a str, is named in a DecodeError.

    >>> with open("service.vorn", "rb") as file:
    ...     config = vorn.load(file)
    """
    content = fp.read()
    if isinstance(content, bytes):
        content = content.decode("utf-8")
    elif not isinstance(content, str):
        raise TypeError(
            f"load() needs a file object whose read() returns str or bytes, not {type(content).__qualname__}"
        )
    name = getattr(fp, "name", None)
    return parse(content.removeprefix(_BYTE_ORDER_MARK), path=name if isinstance(name, str) else None)


def load_path(path: str | os.PathLike[str]) -> dict[str, Any]:
    """Reads the document in the file at ``path`` (UTF-8; one leading
    byte-order mark is dropped).

    >>> config = vorn.load_path("examples/service.vorn")
    >>> config["database"]["host"]
    'db.internal.example'
    """
    with open(path, "rb") as file:
        content = file.read().decode("utf-8")
    return parse(content.removeprefix(_BYTE_ORDER_MARK), path=path)


def _decode_error(fault: DocumentFault, doc: str, path: str | os.PathLike[str] | None) -> DecodeError:
    native_message, msg, _lineno, pos = fault.args
    return DecodeError(msg, doc, pos, path, native_message=native_message)
