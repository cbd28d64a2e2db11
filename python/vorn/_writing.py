"""Writing documents to file objects and, atomically, to paths, refusing
trees whose text would not read back equal."""

from __future__ import annotations

import io
import os
import secrets
from typing import IO, Any, cast

from . import _native
from ._errors import EncodeError
from ._paths import path_text

# What each fault the native pass reports would lose.
_REASONS = {
    "line_feed_in_key": "mapping key cannot hold a line feed, which no document can carry; rename the key",
    "tab_in_key": "the key holds a tab, and loads refuses a document with a tab anywhere",
    "tab_in_text": "the string holds a tab, and loads refuses a document with a tab anywhere",
    "empty_line": "an empty line in a multi-line string would be dropped",
    "white_space_line": "a line of only White_Space in a multi-line string would be dropped",
    "final_line_feed": "the final line feed of a multi-line string would be dropped",
    "trailing_white_space": "White_Space at the end of a line in a multi-line string would be dropped",
    "leading_white_space": (
        "White_Space other than spaces at the start of a line in a multi-line string would be dropped"
    ),
    "common_indentation": "the spaces that start every line of a multi-line string would be dropped",
    "missing_version": 'the root has no "_vorn_version": "1.0", without which loads refuses the text',
    "version_not_text": 'the version must be the string "1.0", or loads refuses the text',
    "unsupported_version": 'loads accepts only the version "1.0" (White_Space around it aside)',
}


def checked_text(obj: str | list[Any] | dict[str, Any], lossy: bool) -> str:
    """The document text of ``obj``, as ``dumps`` writes it. Unless
    ``lossy``, a tree whose text would not read back equal raises
    EncodeError; a key holding a line feed always does."""
    result = _native.checked_dumps(obj, bool(lossy))
    if isinstance(result, str):
        return result
    steps, fault = result
    if fault == "root_not_mapping":
        reason = f"the root is a {type(obj).__name__}, but loads reads only a mapping (a dict) as a document"
    else:
        reason = _REASONS[fault]
    raise EncodeError(path_text(steps), reason, lossy_helps=fault != "line_feed_in_key")


def dump(obj: str | list[Any] | dict[str, Any], fp: IO[str] | IO[bytes], *, lossy: bool = False) -> None:
    """Writes ``obj`` as a document to a text file object, or UTF-8 encoded
    to a binary one.

    Before anything is written, a tree whose text would not read back equal
    raises EncodeError naming the first offending value; ``lossy=True``
    writes it anyway, with the losses listed under "Round-trip limits" in
    the README (a key holding a line feed is refused even then).
    """
    text = checked_text(obj, lossy)
    if isinstance(fp, (io.RawIOBase, io.BufferedIOBase)):
        fp.write(text.encode("utf-8"))
    else:
        cast(IO[str], fp).write(text)


def dump_path(obj: str | list[Any] | dict[str, Any], path: str | os.PathLike[str], *, lossy: bool = False) -> None:
    """Writes ``obj`` as a document to the file at ``path``, replacing it
    atomically; refuses what ``dump`` refuses, before touching any file.

    The text goes to a new file in the same folder, which is flushed to disk
    and then renamed over the target, so readers see either the old file or
    the whole new one. On any failure the target is left as it was and the
    temporary file is removed. A symbolic link is followed: the file it
    points to is replaced, the link stays.
    """
    data = checked_text(obj, lossy).encode("utf-8")
    target = os.path.realpath(path)
    temporary, fd = _create_sibling(target)
    try:
        with open(fd, "wb") as file:
            file.write(data)
            file.flush()
            os.fsync(file.fileno())
        _copy_mode(target, temporary)
        os.replace(temporary, target)
    except BaseException:
        _remove_quietly(temporary)
        raise
    _sync_folder(os.path.dirname(target))


def _create_sibling(target: str) -> tuple[str, int]:
    """Creates an empty, uniquely named file beside ``target``; the mode
    that os.open applies honours the umask, like a plain open() would."""
    folder, name = os.path.split(target)
    while True:
        temporary = os.path.join(folder, f".{name}.{secrets.token_hex(6)}.tmp")
        try:
            return temporary, os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o666)
        except FileExistsError:
            continue


def _copy_mode(target: str, temporary: str) -> None:
    # Replacing an existing file keeps its permissions.
    try:
        mode = os.stat(target).st_mode
    except FileNotFoundError:
        return
    os.chmod(temporary, mode & 0o7777)


def _remove_quietly(path: str) -> None:
    try:
        os.unlink(path)
    except OSError:
        pass


def _sync_folder(folder: str) -> None:
    # Makes the rename itself durable; not every platform can open a folder.
    try:
        fd = os.open(folder, os.O_RDONLY)
    except OSError:
        return
    try:
        os.fsync(fd)
    except OSError:
        pass
    finally:
        os.close(fd)
