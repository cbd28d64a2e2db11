"""Writing documents to file objects and, atomically, to paths."""

from __future__ import annotations

import io
import os
import secrets
from typing import IO, Any, cast

from _vorn_native import dumps


def dump(obj: str | list[Any] | dict[str, Any], fp: IO[str] | IO[bytes]) -> None:
    """Writes ``dumps(obj)`` to a text file object, or UTF-8 encoded to a
    binary one."""
    text = dumps(obj)
    if isinstance(fp, (io.RawIOBase, io.BufferedIOBase)):
        fp.write(text.encode("utf-8"))
    else:
        cast(IO[str], fp).write(text)


def dump_path(obj: str | list[Any] | dict[str, Any], path: str | os.PathLike[str]) -> None:
    """Writes ``dumps(obj)`` to the file at ``path``, replacing it atomically.

    The text goes to a new file in the same folder, which is flushed to disk
    and then renamed over the target, so readers see either the old file or
    the whole new one. On any failure the target is left as it was and the
    temporary file is removed. A symbolic link is followed: the file it
    points to is replaced, the link stays.
    """
    data = dumps(obj).encode("utf-8")
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
