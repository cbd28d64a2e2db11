"""Reading documents from strings and files, raising DecodeError."""

from __future__ import annotations

import os
from typing import IO, Any

from _vorn_native import loads

from ._errors import DecodeError


def parse(s: str, *, path: str | os.PathLike[str] | None = None) -> dict[str, Any]:
    """Like ``loads``, but a document fault raises DecodeError carrying its
    position; ``path`` is only recorded on the error."""
    try:
        return loads(s)
    except ValueError as error:
        decode_error = DecodeError.from_native(error, s, path)
        if decode_error is None:
            raise
        raise decode_error from None


def load(fp: IO[str] | IO[bytes]) -> dict[str, Any]:
    """Reads a document from a text file object, or from a binary one whose
    content is decoded as UTF-8."""
    content = fp.read()
    if isinstance(content, bytes):
        content = content.decode("utf-8")
    elif not isinstance(content, str):
        raise TypeError(
            f"load() needs a file object whose read() returns str or bytes, "
            f"not {type(content).__qualname__}"
        )
    name = getattr(fp, "name", None)
    return parse(content, path=name if isinstance(name, str) else None)


def load_path(path: str | os.PathLike[str]) -> dict[str, Any]:
    """Reads the document in the file at ``path`` (UTF-8)."""
    with open(path, "rb") as file:
        content = file.read().decode("utf-8")
    return parse(content, path=path)
