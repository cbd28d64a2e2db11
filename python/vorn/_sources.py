"""Where document text comes from: file objects and paths, read alike by
every reader, and the DecodeError of a fault in what was read."""

from __future__ import annotations

import os
from typing import IO

from ._errors import DecodeError
from ._hints import hint_for
from ._native import DocumentFault

BYTE_ORDER_MARK = "\ufeff"
# A file's first mark is dropped; one right after it is no text either, and
# the reader would take it for the first key's first character.
SECOND_MARK = "the file starts with two byte order marks (U+FEFF); remove the second"


def text_of_file(fp: IO[str] | IO[bytes]) -> tuple[str, str, str | None]:
    """The text of a file object opened for reading, in text mode or binary
    (decoded as UTF-8), as (its leading byte-order mark or "", the text
    after it, its ``name`` when that is a str)."""
    content = fp.read()
    name = getattr(fp, "name", None)
    name = name if isinstance(name, str) else None
    if isinstance(content, bytes):
        content = decoded(content, name)
    elif not isinstance(content, str):
        raise TypeError(
            f"load() needs a file object whose read() returns str or bytes, not {type(content).__qualname__}"
        )
    return *split_mark(content, name), name


def text_at(path: str | os.PathLike[str]) -> tuple[str, str]:
    """The text of the file at ``path`` (UTF-8), as (its leading byte-order
    mark or "", the text after it)."""
    with open(path, "rb") as file:
        return split_mark(decoded(file.read(), path), path)


def decoded(data: bytes, path: str | os.PathLike[str] | None) -> str:
    """``data`` decoded as UTF-8; bytes that are not raise DecodeError at
    the first of them, with the UnicodeDecodeError as its cause."""
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError as error:
        # Up to the bad byte the text is exact, so the position counts the
        # characters before it; the rest is shown with U+FFFD for each bad
        # sequence.
        pos = len(data[: error.start].decode("utf-8"))
        doc = data.decode("utf-8", "replace")
        raise DecodeError(f"not valid UTF-8 ({error.reason})", doc, pos, path) from error


def split_mark(content: str, path: str | os.PathLike[str] | None) -> tuple[str, str]:
    """(the leading byte-order mark or "", the text after it) of a file's
    ``content``; a second mark raises DecodeError."""
    text = content.removeprefix(BYTE_ORDER_MARK)
    refuse_second_mark(text, path)
    return content[: len(content) - len(text)], text


def refuse_second_mark(text: str, path: str | os.PathLike[str] | None) -> None:
    """Raises DecodeError if ``text``, a file's text after its byte-order
    mark, starts with another."""
    if text.startswith(BYTE_ORDER_MARK):
        raise DecodeError(SECOND_MARK, text, 0, path)


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
