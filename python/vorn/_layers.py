"""Settings files in layers: read in order and merged, a later file's
mappings merged into the earlier ones key by key and its scalars and lists
replacing theirs; and, when asked, which layers' values the value in force
at a path replaced. Positions are read only then, so that loading costs
what reading the files costs."""

from __future__ import annotations

import errno
import os
from collections.abc import Iterable, Sequence
from pathlib import Path
from typing import Any, NamedTuple, TypeAlias

from ._document import Document
from ._native import VERSION_KEY
from ._reading import parse
from ._sources import text_at
from ._spans import Span


class OptionalFile(NamedTuple):
    """A settings file that is left out when it does not exist; any other
    file that does not exist is an error naming it.

    >>> OptionalFile("local.vorn")
    OptionalFile(path='local.vorn')
    """

    path: str | os.PathLike[str]


#: A settings file to read: a path, or an optional one.
SettingsFile: TypeAlias = str | os.PathLike[str] | OptionalFile
#: One settings file or several, in order: a later one overrides an earlier one.
SettingsFiles: TypeAlias = SettingsFile | Sequence[SettingsFile]


class Layer:
    """One settings file as read: its name as given, its text and its root
    mapping without the version entry. Its positions are read the first
    time they are asked for."""

    __slots__ = ("_document", "data", "name", "text")

    def __init__(self, name: str, text: str, data: dict[str, Any]) -> None:
        self.name = name
        self.text = text
        self.data = data
        self._document: Document | None = None

    def place(self, steps: Sequence[str | int], *, at_key: bool = False) -> Span:
        """Where the value at ``steps`` is written, or, ``at_key``, its key
        (an item's or the root's own place, which have none)."""
        if self._document is None:
            self._document = Document.parse(self.text, path=self.name)
        return written_place(self._document, tuple(steps), at_key=at_key)

    def __reduce__(self) -> tuple[type[Layer], tuple[str, str, dict[str, Any]]]:
        # The positions are read again rather than copied or pickled.
        return Layer, (self.name, self.text, self.data)

    def __repr__(self) -> str:
        return f"<vorn settings layer {self.name!r}>"


def written_place(document: Document, steps: tuple[str | int, ...], *, at_key: bool) -> Span:
    """The span of the value at ``steps`` (or of its key, when it has one
    and ``at_key``): through aliases and merges to where it is written."""
    where = document.written_at(steps)
    return (where.key_span or where.span) if at_key else where.span


def read_layers(files: SettingsFiles | None) -> list[Layer]:
    """Each file read as a layer, in order; a missing OptionalFile is left
    out. A missing file raises FileNotFoundError naming it, a faulty one
    DecodeError."""
    if files is None:
        return []
    if isinstance(files, (str, os.PathLike, OptionalFile)):
        files = [files]
    layers = []
    for file in files:
        optional = isinstance(file, OptionalFile)
        name = os.fspath(file.path if isinstance(file, OptionalFile) else file)
        try:
            _, text = text_at(Path(name).expanduser())
        except FileNotFoundError:
            if optional:
                continue
            raise _missing(name) from None
        layers.append(layer_of(name, text))
    return layers


def _missing(name: str) -> FileNotFoundError:
    reason = f"No such settings file; if it may be absent, give it as OptionalFile({name!r})"
    return FileNotFoundError(errno.ENOENT, reason, name)


def layer_of(name: str, text: str) -> Layer:
    """The layer of a document's text; a fault raises DecodeError naming
    ``name``."""
    data = parse(text, path=name)
    # It marks the text as a document: no setting.
    data.pop(VERSION_KEY, None)
    return Layer(name, text, data)


def merged(datas: Iterable[dict[str, Any]]) -> dict[str, Any]:
    """The mappings merged in order, none of them changed: a key both hold
    as mappings is merged likewise, any other value of a later one replaces
    the earlier. Walks with a stack, for documents of any depth."""
    result: dict[str, Any] = {}
    # The mappings made here, which may be filled; the others are the
    # layers' own. Kept alive so that no id is reused while merging.
    made = {id(result): result}
    for data in datas:
        pending = [(result, data)]
        while pending:
            target, source = pending.pop()
            for key, value in source.items():
                held = target.get(key)
                if isinstance(held, dict) and isinstance(value, dict):
                    if id(held) not in made:
                        held = target[key] = dict(held)
                        made[id(held)] = held
                    pending.append((held, value))
                else:
                    target[key] = value
    return result


class Held(NamedTuple):
    """A layer whose value at a path is one of those in force there in
    turn: its index among the layers, and the keys it has them under."""

    layer: int
    steps: tuple[str | int, ...]


def history(datas: Sequence[Any], choices: Sequence[Sequence[str | int]]) -> list[Held]:
    """The layers whose value at a path was in force there in turn as they
    were merged in order, the last one the value in force: each replaced (or,
    for mappings, was merged into) the one before. ``choices`` are, for each
    step of the path, the keys a layer may hold it under (a field's names),
    the first found taken. A layer that replaces a mapping on the way with
    a scalar or a list (or a list with a mapping) ends the values before it."""
    chain: list[Held] = []
    for index, data in enumerate(datas):
        node = data
        steps: list[str | int] = []
        for options in choices:
            key = _key_in(node, options)
            if key is None:
                break
            node = node[key]
            steps.append(key)
        depth = len(steps)
        if depth == len(choices):
            chain.append(Held(index, tuple(steps)))
        elif depth and not (isinstance(node, dict) and isinstance(choices[depth][0], str)):
            chain.clear()
    return chain


def _key_in(node: Any, options: Sequence[str | int]) -> str | int | None:
    if isinstance(node, dict):
        return next((key for key in options if isinstance(key, str) and key in node), None)
    if isinstance(node, list):
        index = options[0]
        return index if isinstance(index, int) and 0 <= index < len(node) else None
    return None


def value_at(data: Any, steps: Iterable[str | int]) -> Any:
    """The value at ``steps``, which the data hold."""
    for step in steps:
        data = data[step]
    return data
