"""The sources of a settings object, kept as it is built, and where a
value they gave came from, worked out only when asked: the place in a vorn
file, or the environment variable, init argument, dotenv file or secrets
file that pydantic-settings read it from.

Keeping costs a reference to the sources; nothing is sorted out or read
again, and no position is worked out, until an origin or a validation error
asks."""

from __future__ import annotations

import functools
import os
from collections.abc import Callable, Iterable, Mapping, Sequence
from dataclasses import replace
from pathlib import Path
from typing import Any, NamedTuple, Protocol

from pydantic.fields import FieldInfo
from pydantic_settings import (
    DotEnvSettingsSource,
    EnvSettingsSource,
    InitSettingsSource,
    PydanticBaseSettingsSource,
    SecretsSettingsSource,
)
from pydantic_settings.sources import DefaultSettingsSource

from ._layers import Layer, history
from ._origin import Origin

Steps = tuple[str | int, ...]


class Entry(NamedTuple):
    """One layer of what the sources gave: its data, keyed as the sources
    pass them to pydantic, and where the value at a path of them came from
    (or, ``at_key``, its key, for a file)."""

    data: dict[str, Any]
    origin: Callable[[Steps, bool], Origin]
    layer: Layer | None = None


class SourceRecord(Protocol):
    def entries(self) -> list[Entry]:
        """The source's layers, the one that gives way to the others first."""
        ...


class Build:
    """The sources of one settings object, highest priority first, as
    pydantic-settings called them, and the values they made together. What
    each source gave is sorted out only when an origin is asked for."""

    __slots__ = ("_records", "sources", "state", "vorn_source")

    def __init__(self, sources: Sequence[Any], state: dict[str, Any], vorn_source: type[Any]) -> None:
        self.sources = tuple(sources)
        self.state = state
        self.vorn_source = vorn_source
        self._records: tuple[SourceRecord, ...] | None = None

    def entries(self) -> list[Entry]:
        """Every layer, lowest priority first, as the values were merged."""
        if self._records is None:
            self._records = _records(self.sources, self.vorn_source)
        return [entry for record in reversed(self._records) for entry in record.entries()]

    def origin(self, choices: Sequence[Sequence[str | int]], *, at_key: bool = False) -> Origin | None:
        """Where the value in force at the path of ``choices`` came from,
        with what it replaced; None if no source gave it."""
        entries = self.entries()
        chain = history([entry.data for entry in entries], choices)
        origins = [entries[held.layer].origin(held.steps, at_key) for held in chain]
        if not origins:
            return None
        return replace(origins[-1], overrides=tuple(reversed(origins[:-1])))

    def layers(self) -> list[Layer]:
        return [entry.layer for entry in self.entries() if entry.layer is not None]


def _records(sources: Sequence[Any], vorn_source: type[Any]) -> tuple[SourceRecord, ...]:
    """What each source gave, and how to tell where from."""
    # The last source, its defaults, was handed what every other source
    # gave, under their names.
    last = sources[-1] if sources else None
    given: Mapping[str, dict[str, Any]] = (
        last.settings_sources_data if isinstance(last, PydanticBaseSettingsSource) else {}
    )
    records: list[SourceRecord] = []
    for source in sources:
        if isinstance(source, DefaultSettingsSource):
            continue
        data = given.get(source.__name__ if hasattr(source, "__name__") else type(source).__name__, {})
        if isinstance(source, vorn_source):
            records.append(FileRecord(source.vorn_layers, source.vorn_data, source.init_kwargs))
        elif isinstance(source, DotEnvSettingsSource):
            records.append(DotenvRecord(data, _naming(source), source.env_file))
        elif isinstance(source, EnvSettingsSource):
            records.append(EnvRecord(data, _naming(source)))
        elif isinstance(source, SecretsSettingsSource):
            dirs = getattr(source, "secrets_paths", [])
            records.append(SecretsRecord(data, _naming(source), list(dirs)))
        elif isinstance(source, InitSettingsSource):
            records.append(ArgumentRecord(data))
        else:
            records.append(OtherRecord(data, type(source).__name__))
    return tuple(records)


class Naming(NamedTuple):
    """How a source of variables names them."""

    prefix: str
    delimiter: str | None
    case_sensitive: bool


def _naming(source: EnvSettingsSource | SecretsSettingsSource) -> Naming:
    return Naming(source.env_prefix or "", getattr(source, "env_nested_delimiter", None), bool(source.case_sensitive))


def _variable(names: Iterable[str], steps: Steps, naming: Naming) -> str | None:
    """The variable among ``names`` that gave the value at ``steps``: the
    one naming the deepest part of the path (with the nested delimiter, or
    the field alone), with the prefix or, for an alias, without."""
    spelled = {name if naming.case_sensitive else name.lower(): name for name in names}
    depths = range(len(steps), 0, -1) if naming.delimiter else range(1, 2)
    for depth in depths:
        joined = (naming.delimiter or "").join(str(step) for step in steps[:depth])
        for candidate in (naming.prefix + joined, joined):
            found = spelled.get(candidate if naming.case_sensitive else candidate.lower())
            if found is not None:
                return found
    return None


class FileRecord:
    """A vorn source: its files, and the top-level keys it passed on under
    the names of the fields they set (pydantic-settings' init source, which
    it is, gives each the field's preferred name)."""

    __slots__ = ("layers", "merged", "output")

    def __init__(self, layers: Sequence[Layer], merged: dict[str, Any], output: dict[str, Any]) -> None:
        self.layers = tuple(layers)
        self.merged = merged
        self.output = output

    def entries(self) -> list[Entry]:
        renamed = self._renamed()
        written = {new: old for old, new in renamed.items()}
        return [
            Entry(
                {renamed.get(key, key): value for key, value in layer.data.items()},
                functools.partial(_file_origin, layer, written),
                layer,
            )
            for layer in self.layers
        ]

    def _renamed(self) -> dict[str, str]:
        """The name each top-level key that was renamed was passed on under."""
        renamed: dict[str, str] = {}
        for key, value in self.output.items():
            if self.merged.get(key, _ABSENT) is value:
                continue
            unclaimed = [old for old in self.merged if old not in self.output and old not in renamed]
            old = next((old for old in unclaimed if self.merged[old] is value), None)
            old = old or next((old for old in unclaimed if old.lower() == key.lower()), None)
            if old is not None:
                renamed[old] = key
        return renamed


_ABSENT = object()


def _file_origin(layer: Layer, written: Mapping[str, str], steps: Steps, at_key: bool) -> Origin:
    if steps and isinstance(steps[0], str):
        steps = (written.get(steps[0], steps[0]), *steps[1:])
    span = layer.place(steps, at_key=at_key)
    return Origin(layer.name, span.lineno, span.colno)


class EnvRecord:
    __slots__ = ("data", "naming")

    def __init__(self, data: dict[str, Any], naming: Naming) -> None:
        self.data = data
        self.naming = naming

    def entries(self) -> list[Entry]:
        return [Entry(self.data, self._origin)]

    def _origin(self, steps: Steps, at_key: bool) -> Origin:
        name = _variable(os.environ, steps, self.naming) or self.naming.prefix + str(steps[0])
        return Origin(None, kind="environment", name=name)


class DotenvRecord:
    __slots__ = ("data", "files", "naming")

    def __init__(self, data: dict[str, Any], naming: Naming, files: Any) -> None:
        self.data = data
        self.naming = naming
        self.files = [] if files is None else [files] if isinstance(files, (str, os.PathLike)) else list(files)

    def entries(self) -> list[Entry]:
        return [Entry(self.data, self._origin)]

    def _origin(self, steps: Steps, at_key: bool) -> Origin:
        from dotenv import dotenv_values

        # The last file that has the variable is the one read last.
        for file in reversed(self.files):
            path = Path(file).expanduser()
            if path.is_file():
                name = _variable(dotenv_values(path, encoding="utf-8"), steps, self.naming)
                if name is not None:
                    return Origin(os.fspath(file), kind="dotenv", name=name)
        shown = os.fspath(self.files[-1]) if self.files else None
        return Origin(shown, kind="dotenv", name=self.naming.prefix + str(steps[0]))


class SecretsRecord:
    __slots__ = ("data", "dirs", "naming")

    def __init__(self, data: dict[str, Any], naming: Naming, dirs: list[Path]) -> None:
        self.data = data
        self.naming = naming
        self.dirs = dirs

    def entries(self) -> list[Entry]:
        return [Entry(self.data, self._origin)]

    def _origin(self, steps: Steps, at_key: bool) -> Origin:
        # A secret is a whole field, in the last folder that has its file.
        for folder in reversed(self.dirs):
            for name in (self.naming.prefix + str(steps[0]), str(steps[0])):
                found = SecretsSettingsSource.find_case_path(folder, name, self.naming.case_sensitive)
                if found is not None:
                    return Origin(os.fspath(found), kind="secrets")
        return Origin(None, kind="secrets", name=str(steps[0]))


class ArgumentRecord:
    __slots__ = ("data",)

    def __init__(self, data: dict[str, Any]) -> None:
        self.data = data

    def entries(self) -> list[Entry]:
        return [Entry(self.data, lambda steps, at_key: Origin(None, kind="init", name=str(steps[0])))]


class OtherRecord:
    __slots__ = ("data", "name")

    def __init__(self, data: dict[str, Any], name: str) -> None:
        self.data = data
        self.name = name

    def entries(self) -> list[Entry]:
        return [Entry(self.data, lambda steps, at_key: Origin(None, kind="source", name=self.name))]


def field_names(name: str, field: FieldInfo, config: Mapping[str, Any]) -> tuple[str, ...]:
    """The keys pydantic takes a field's value under, in a model of the
    config ``config``: its aliases, and its name when it has none or the
    config lets names be used too."""
    from pydantic import AliasChoices

    alias = field.validation_alias if field.validation_alias is not None else field.alias
    choices = alias.choices if isinstance(alias, AliasChoices) else [alias]
    aliases = [choice for choice in choices if isinstance(choice, str)] if config.get("validate_by_alias", True) else []
    by_name = not aliases or config.get("validate_by_name") or config.get("populate_by_name")
    return (*aliases, name) if by_name and name not in aliases else tuple(aliases)
