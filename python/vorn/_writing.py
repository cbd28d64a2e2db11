"""Writing documents: to text, to file objects and, atomically, to paths.
Every writer refuses a tree whose text would not read back equal, unless
told lossy=True."""

from __future__ import annotations

import datetime
import io
import json
import os
import secrets
from collections.abc import Iterator
from typing import IO, Any, cast, overload

from ._errors import EncodeError
from ._native import checked_dumps as _checked_dumps
from ._paths import key_step, path_text, put
from ._types import Default, Value

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


@overload
def dumps(obj: Value, *, lossy: bool = False, default: None = None) -> str: ...
@overload
def dumps(obj: object, *, lossy: bool = False, default: Default) -> str: ...
def dumps(obj: Any, *, lossy: bool = False, default: Default | None = None) -> str:
    """Writes ``obj``, a str, list or dict nested freely, as document text.

    Mapping entries are written in byte order of their keys, every scalar in
    double quotes, a string holding a line feed as a literal block.

    The text always reads back as ``obj``: a tree it would not carry
    unchanged (a tab, a multi-line string a literal block would change, a
    root that is not a dict holding ``"_vorn_version": "1.0"``) raises
    EncodeError naming the first such value. ``lossy=True`` writes it anyway,
    with the losses listed under "Round-trip limits" in the README; a key
    holding a line feed is refused even then.

    A value of any other type raises TypeError, with a note naming its place
    and type (``at $.server.port: int``), unless ``default`` is given: it is
    called with each such value and returns a str, list or dict to write in
    its place, as ``json.dumps``' ``default`` does. ``vorn.stringify`` is
    one, for numbers, booleans, None and dates. A key must be a str.

    >>> print(vorn.dumps({"_vorn_version": "1.0", "port": 8080}, default=vorn.stringify), end="")
    _vorn_version: "1.0"
    port: "8080"
    >>> vorn.dumps({"_vorn_version": "1.0", "script": "make\\n"})
    Traceback (most recent call last):
    vorn.EncodeError: $.script: the final line feed of a multi-line string would be dropped; pass lossy=True to write it anyway
    """
    # checked_text, with the common case first: a Python call around the
    # native pass, as small documents notice every frame.
    try:
        result = _checked_dumps(obj, True if lossy else False)
    except TypeError:
        return checked_text(obj, lossy, default)  # notes the place, or writes with default
    if isinstance(result, str):
        return result
    raise _encode_error(obj, result)


def stringify(value: object) -> str:
    """A ``default`` for ``dumps``, ``dump`` and ``dump_path`` that writes
    int, float, bool and None as their JSON text (``8080``, ``0.5``,
    ``true``, ``null``), as ``vorn from-json --stringify`` does, and
    datetime, date and time in ISO 8601 (``2024-05-01T12:00:00+00:00``).
    Any other type raises TypeError.

    >>> vorn.stringify(True), vorn.stringify(datetime.date(2024, 5, 1))
    ('true', '2024-05-01')
    """
    if value is None or isinstance(value, (bool, int, float)):
        return json.dumps(value)
    if isinstance(value, (datetime.date, datetime.time)):
        return value.isoformat()
    raise TypeError(
        f"vorn.stringify cannot write a value of type {_type_name(value)}: it writes int, float, bool, None, datetime, "
        "date and time; pass a default of your own for other types"
    )


def checked_text(obj: Any, lossy: bool, default: Default | None = None) -> str:
    """The document text of ``obj``, as ``dumps`` writes it. Unless
    ``lossy``, a tree whose text would not read back equal raises
    EncodeError; a key holding a line feed always does."""
    try:
        result = _checked_dumps(obj, bool(lossy))
    except TypeError as error:
        if default is None:
            note_unwritable(error, obj)
            raise
        obj = with_default(obj, default)
        result = _checked_dumps(obj, bool(lossy))
    if isinstance(result, str):
        return result
    raise _encode_error(obj, result)


def _encode_error(obj: Any, fault_report: tuple[list[str | int], str]) -> EncodeError:
    """The EncodeError of the native pass's report on ``obj``: the steps to
    the value at fault and the fault's name."""
    steps, fault = fault_report
    return encode_error(path_text(steps), fault, obj, lossy_helps=fault != "line_feed_in_key")


def encode_error(location: str, fault: str, obj: object, *, lossy_helps: bool) -> EncodeError:
    """The EncodeError for the checked writer's ``fault`` at ``location``."""
    if fault == "root_not_mapping":
        reason = f"the root is a {type(obj).__name__}, but loads reads only a mapping (a dict) as a document"
    else:
        reason = _REASONS[fault]
    return EncodeError(location, reason, lossy_helps=lossy_helps)


@overload
def dump(obj: Value, fp: IO[str] | IO[bytes], *, lossy: bool = False, default: None = None) -> None: ...
@overload
def dump(obj: object, fp: IO[str] | IO[bytes], *, lossy: bool = False, default: Default) -> None: ...
def dump(obj: Any, fp: IO[str] | IO[bytes], *, lossy: bool = False, default: Default | None = None) -> None:
    """Writes ``obj`` as a document to a file object: as text to one that
    takes str, UTF-8 encoded to one that takes bytes (a file opened in
    binary mode, ``io.BytesIO``, a binary ``SpooledTemporaryFile``).

    Before anything is written, a tree whose text would not read back equal
    raises EncodeError naming the first offending value; ``lossy=True``
    writes it anyway, with the losses listed under "Round-trip limits" in
    the README (a key holding a line feed is refused even then).
    ``default`` works as for ``dumps``.

    >>> with open("service.vorn", "w", encoding="utf-8") as file:
    ...     vorn.dump({"_vorn_version": "1.0", "name": "orders"}, file)
    """
    text = checked_text(obj, lossy, default)
    binary = _takes_bytes(fp)
    if binary is None:
        try:
            cast(IO[str], fp).write(text)
            return
        except TypeError:
            binary = True
    if binary:
        cast(IO[bytes], fp).write(text.encode("utf-8"))
    else:
        cast(IO[str], fp).write(text)


@overload
def dump_path(obj: Value, path: str | os.PathLike[str], *, lossy: bool = False, default: None = None) -> None: ...
@overload
def dump_path(obj: object, path: str | os.PathLike[str], *, lossy: bool = False, default: Default) -> None: ...
def dump_path(obj: Any, path: str | os.PathLike[str], *, lossy: bool = False, default: Default | None = None) -> None:
    """Writes ``obj`` as a document to the file at ``path``, replacing it
    atomically; refuses what ``dump`` refuses, before touching any file.

    The text goes to a new file in the same folder, which is flushed to disk
    and then renamed over the target, so readers see either the old file or
    the whole new one. On any failure the target is left as it was and the
    temporary file is removed; an OSError names ``path``. A symbolic link
    is followed: the file it points to is replaced, the link stays.
    ``default`` works as for ``dumps``.

    >>> vorn.dump_path({"_vorn_version": "1.0", "name": "orders"}, "service.vorn")
    """
    write_atomically(path, checked_text(obj, lossy, default).encode("utf-8"))


def write_atomically(path: str | os.PathLike[str], data: bytes) -> None:
    """Replaces the file at ``path`` with ``data`` as dump_path does: a new
    file beside it, flushed and renamed over it."""
    target = os.path.realpath(path)
    temporary = None
    try:
        temporary, fd = _create_sibling(target)
        with open(fd, "wb") as file:
            file.write(data)
            file.flush()
            os.fsync(file.fileno())
        _copy_mode(target, temporary)
        os.replace(temporary, target)
    except BaseException as error:
        if temporary is not None:
            _remove_quietly(temporary)
        if isinstance(error, OSError) and error.errno is not None:
            # The temporary file is an implementation detail: the error is
            # about writing the file the caller named.
            named = type(error)(error.errno, error.strerror, os.fspath(path))
            raise named.with_traceback(error.__traceback__) from None
        raise
    _sync_folder(os.path.dirname(target))


def _takes_bytes(fp: object) -> bool | None:
    """Whether the file object takes bytes rather than str, or None when
    neither its class nor its mode says."""
    if isinstance(fp, io.TextIOBase):
        return False
    if isinstance(fp, (io.RawIOBase, io.BufferedIOBase)):
        return True
    mode = getattr(fp, "mode", None)
    return "b" in mode if isinstance(mode, str) else None


def unwritable_error(obj: Any) -> TypeError | None:
    """The TypeError the writer raises for ``obj``, its note naming the
    place and type of the first value or key it refuses; None when it
    takes every one. For an error raised where the tree's places are not
    known (inside the editor), at the cost of a whole write."""
    try:
        checked_text(obj, True)
    except TypeError as error:
        return error
    except ValueError:  # a key holding a line feed: no type at fault
        return None
    return None


def _type_name(value: object) -> str:
    kind = type(value)
    return kind.__qualname__ if kind.__module__ == "builtins" else f"{kind.__module__}.{kind.__qualname__}"


def _children(container: list[Any] | dict[Any, Any]) -> Iterator[tuple[str | int, Any, Any]]:
    """(step, key, value) for each child, read through the built-in storage
    in the order the native writer reads it; a list's key is None."""
    if isinstance(container, dict):
        for key, value in dict.items(container):
            yield (key if isinstance(key, str) else ""), key, value
    else:
        for index, value in enumerate(list.__iter__(container)):
            yield index, None, value


def _place(steps: list[str | int]) -> str:
    return "$" + "".join(key_step(step) if isinstance(step, str) else f"[{step}]" for step in steps)


def note_unwritable(error: TypeError, obj: object) -> None:
    """Adds to ``error`` the place and type of the first value or key that
    the native writer refuses, in the order it reads them. Runs only once
    the writer has failed, so writing costs nothing for it."""
    if isinstance(obj, str):
        return
    if not isinstance(obj, (list, dict)):
        error.add_note(f"at $: {_type_name(obj)}")
        return
    # Per open container: its children and its step from its parent. A
    # container already open above cannot be the culprit (the writer would
    # have run out of depth in it first), so it is not entered again.
    stack: list[tuple[Iterator[tuple[str | int, Any, Any]], str | int, int]] = [(_children(obj), "", id(obj))]
    open_ids = {id(obj)}
    while stack:
        children, _, _ = stack[-1]
        for step, key, value in children:
            if key is not None and not isinstance(key, str):
                error.add_note(f"at {_place([s for _, s, _ in stack[1:]])}: a key of type {_type_name(key)}")
                return
            if isinstance(value, str):
                continue
            if not isinstance(value, (list, dict)):
                error.add_note(f"at {_place([s for _, s, _ in stack[1:]] + [step])}: {_type_name(value)}")
                return
            if id(value) not in open_ids:
                open_ids.add(id(value))
                stack.append((_children(value), step, id(value)))
                break
        else:
            open_ids.discard(stack.pop()[2])


# Deeper than any tree the native writer takes; it stops a default whose
# results nest without end.
_DEEPEST_DEFAULT_TREE = 100_000


def with_default(obj: Any, default: Default) -> Value:
    """A copy of ``obj`` in which ``default(value)`` stands for every value
    that is not a str, list or dict, converted in turn. A container already
    open above is kept as it is, for the writer to refuse as it refuses
    any structure that contains itself."""

    def replaced(value: Any, steps: list[str | int]) -> Any:
        try:
            result = default(value)
        except TypeError as error:
            error.add_note(f"at {_place(steps)}: {_type_name(value)}")
            raise
        if not isinstance(result, (str, list, dict)):
            error = TypeError(
                f"default returned a value of type {_type_name(result)} for one of type {_type_name(value)}; "
                "it must return a str, list or dict"
            )
            error.add_note(f"at {_place(steps)}: {_type_name(value)}")
            raise error
        return result

    root = obj if isinstance(obj, (str, list, dict)) else replaced(obj, [])
    if isinstance(root, str):
        return root
    copy: list[Any] | dict[str, Any] = {} if isinstance(root, dict) else []
    # Per open container: its children, its copy, its step from its parent.
    stack: list[tuple[Iterator[tuple[str | int, Any, Any]], list[Any] | dict[str, Any], str | int, int]]
    stack = [(_children(root), copy, "", id(root))]
    open_ids = {id(root)}
    while stack:
        children, target, _, _ = stack[-1]
        for step, key, value in children:
            if key is not None and not isinstance(key, str):
                # As the native writer words it; default is for values only.
                error = TypeError(f"'{_type_name(key)}' object cannot be cast as 'str'")
                error.add_note(f"at {_place([s for _, _, s, _ in stack[1:]])}: a key of type {_type_name(key)}")
                raise error
            if not isinstance(value, (str, list, dict)):
                value = replaced(value, [s for _, _, s, _ in stack[1:]] + [step])
            if isinstance(value, str) or id(value) in open_ids:
                put(target, key, value)
                continue
            if len(stack) >= _DEEPEST_DEFAULT_TREE:
                raise RecursionError("maximum recursion depth exceeded while converting an object for dumps")
            inner: list[Any] | dict[str, Any] = {} if isinstance(value, dict) else []
            put(target, key, inner)
            open_ids.add(id(value))
            stack.append((_children(value), inner, step, id(value)))
            break
        else:
            open_ids.discard(stack.pop()[3])
    return copy


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
