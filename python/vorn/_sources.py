"""Where document text comes from: file objects and paths, read alike by
every reader, and the DecodeError of a fault in what was read."""

from __future__ import annotations

import os
from typing import IO

from ._errors import DecodeError
from ._hints import hint_for
from ._native import DocumentFault

_BYTE_ORDER_MARK = "\ufeff"


def text_of_file(fp: IO[str] | IO[bytes], keep_mark: bool = False) -> tuple[str, str | None]:
    """The text of a file object opened for reading, in text mode or binary
    (decoded as UTF-8), without one leading byte-order mark unless
    ``keep_mark``; and its ``name`` when that is a str."""
    content = fp.read()
    if isinstance(content, bytes):
        content = content.decode("utf-8")
    elif not isinstance(content, str):
        raise TypeError(
            f"load() needs a file object whose read() returns str or bytes, not {type(content).__qualname__}"
        )
    name = getattr(fp, "name", None)
    name = name if isinstance(name, str) else None
    return (content if keep_mark else content.removeprefix(_BYTE_ORDER_MARK)), name


def text_at(path: str | os.PathLike[str], keep_mark: bool = False) -> str:
    """The text of the file at ``path`` (UTF-8), without one leading
    byte-order mark unless ``keep_mark``."""
    with open(path, "rb") as file:
        content = file.read().decode("utf-8")
    return content if keep_mark else content.removeprefix(_BYTE_ORDER_MARK)


def split_mark(content: str) -> tuple[str, str]:
    """(the leading byte-order mark or "", the text after it)."""
    text = content.removeprefix(_BYTE_ORDER_MARK)
    return content[: len(content) - len(text)], text


def decode_error(fault: DocumentFault, doc: str, path: str | os.PathLike[str] | None) -> DecodeError:
    native_message, msg, _lineno, pos = fault.args
    hint = hint_for(msg, doc, pos)
    if hint is None:
        return DecodeError(msg, doc, pos, path, native_message=native_message)
    if hint.follows:
        shown = f"{msg}: {hint.msg}"
    elif hint.pos == pos:
        shown = f"{hint.msg} (read as vorn: {msg})"
    else:
        lineno = doc.count("\n", 0, pos) + 1
        colno = pos - doc.rfind("\n", 0, pos)
        shown = f"{hint.msg} (read as vorn: {msg} at line {lineno}, column {colno})"
    return DecodeError(shown, doc, hint.pos, path, native_message=native_message, reader_msg=msg, reader_pos=pos)
