"""Reading documents from strings and files, raising DecodeError, and
into a type, raising ValidationError."""

from __future__ import annotations

import os
from typing import IO, Any, overload

from ._native import DocumentFault
from ._native import loads as _native_loads
from ._sources import decode_error, text_at, text_of_file
from ._typed import validated

# Each reader takes ``into=``: without it, the root mapping as a dict; with
# a class, an instance of it; with any other type pydantic takes (list[M],
# a TypedDict, Annotated[...]), what pydantic makes of it, which type
# checkers see as Any where they cannot tell.


@overload
def loads(s: str, *, into: None = None) -> dict[str, Any]: ...
@overload
def loads[T](s: str, *, into: type[T]) -> T: ...
@overload
def loads(s: str, *, into: Any) -> Any: ...
def loads(s: str, *, into: Any = None) -> Any:
    """Reads the document text ``s`` and returns its root mapping as a dict.

    Every scalar is a str; nested blocks are dicts and lists. A document
    fault raises DecodeError (a ValueError) with its line and column, as
    does a str that begins with a byte order mark (U+FEFF: decode the file
    with ``utf-8-sig``, or read it with ``load_path``); a non-str argument
    raises TypeError.

    >>> vorn.loads("_vorn_version: 1.0\\nport: 8080\\ntags:\\n  - a\\n")
    {'_vorn_version': '1.0', 'port': '8080', 'tags': ['a']}

    ``into`` is a type for pydantic to validate the root mapping into: a
    model, a dataclass, a TypedDict, ``dict[str, Any]``... (pydantic is the
    extra ``vorn[pydantic]``). Data that do not fit raise ValidationError
    (a ValueError) with the line and column of each value at fault.
    """
    try:
        data = _native_loads(s)
    except DocumentFault as fault:
        raise decode_error(fault, s, None) from None
    return data if into is None else validated(data, into, s, None)


@overload
def parse(s: str, *, path: str | os.PathLike[str] | None = None, into: None = None) -> dict[str, Any]: ...
@overload
def parse[T](s: str, *, path: str | os.PathLike[str] | None = None, into: type[T]) -> T: ...
@overload
def parse(s: str, *, path: str | os.PathLike[str] | None = None, into: Any) -> Any: ...
def parse(s: str, *, path: str | os.PathLike[str] | None = None, into: Any = None) -> Any:
    """Like ``loads``, with ``path`` named in the DecodeError or
    ValidationError of a fault (only recorded there; nothing is read from
    it).

    >>> vorn.parse("_vorn_version: 1.0\\nbroken\\n", path="app.vorn")
    Traceback (most recent call last):
    vorn.DecodeError: app.vorn:2:1: expected ':' in mapping entry
    """
    try:
        data = _native_loads(s)
    except DocumentFault as fault:
        raise decode_error(fault, s, path) from None
    return data if into is None else validated(data, into, s, path)


@overload
def load(fp: IO[str] | IO[bytes], *, into: None = None) -> dict[str, Any]: ...
@overload
def load[T](fp: IO[str] | IO[bytes], *, into: type[T]) -> T: ...
@overload
def load(fp: IO[str] | IO[bytes], *, into: Any) -> Any: ...
def load(fp: IO[str] | IO[bytes], *, into: Any = None) -> Any:
    """Reads a document from a file object opened for reading, in text mode
    or binary (decoded as UTF-8: bytes that are not raise DecodeError at the
    first of them); one leading byte-order mark is dropped. The file's
    ``name``, when it is a str, is named in a DecodeError or
    ValidationError. ``into`` as for ``loads``.

    >>> with open("service.vorn", "rb") as file:
    ...     config = vorn.load(file)
    """
    _, content, name = text_of_file(fp)
    return parse(content, path=name, into=into)


@overload
def load_path(path: str | os.PathLike[str], *, into: None = None) -> dict[str, Any]: ...
@overload
def load_path[T](path: str | os.PathLike[str], *, into: type[T]) -> T: ...
@overload
def load_path(path: str | os.PathLike[str], *, into: Any) -> Any: ...
def load_path(path: str | os.PathLike[str], *, into: Any = None) -> Any:
    """Reads the document in the file at ``path`` (UTF-8: bytes that are
    not raise DecodeError at the first of them; one leading byte-order mark
    is dropped). ``into`` as for ``loads``.

    >>> config = vorn.load_path("examples/service.vorn")
    >>> config["database"]["host"]
    'db.internal.example'
    """
    _, content = text_at(path)
    return parse(content, path=path, into=into)
