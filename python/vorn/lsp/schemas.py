"""Which schema a document follows, and the schema itself.

A document names its schema in a modeline among its leading comment
lines, ``# vorn: schema=REF``; otherwise the workspace's ``pyproject.toml``
may, in ``[tool.vorn.schemas]``, a table of globs (relative to the file
that holds the table) to references. A reference is ``package.module:Name``,
a type pydantic validates into, imported with the workspace's root first
on ``sys.path``, or a path to a JSON Schema file ending in ``.json``
(relative to the document's folder in a modeline, to the table's folder in
pyproject.toml)."""

from __future__ import annotations

import importlib
import os
import re
import sys
import tomllib
from collections.abc import Callable
from dataclasses import dataclass
from pathlib import Path, PurePosixPath
from typing import Any

from .._json_schema import JsonSchema, SchemaFault, SchemaFileError, load_json_schema
from .._spans import Span
from .._typed import adapter_for, not_a_type, pydantic_faults

MODELINE = re.compile(r"#\s*vorn:\s*schema\s*=\s*(\S+)\s*$")


class SchemaUnusable(Exception):
    """A schema reference that cannot be used; its message says why."""


@dataclass(frozen=True, slots=True)
class SchemaChoice:
    """The schema reference a document follows and where it was named:
    the modeline's span, or None for the pyproject.toml table."""

    reference: str
    base: str  # the folder a relative path starts from
    declared_at: Span | None


@dataclass(frozen=True, slots=True)
class Schema:
    """A schema ready to use: its JSON Schema (for hover and completion;
    None when a type has none), and its check of a document's data."""

    reference: str
    json_schema: Any
    faults: Callable[[dict[str, Any]], list[SchemaFault]]


def modeline(lines: list[str]) -> tuple[str, Span] | None:
    """The reference of a ``# vorn: schema=REF`` line among the leading
    comment and blank lines, with the span of REF."""
    for number, line in enumerate(lines, 1):
        content = line.strip()
        if content and not content.startswith("#"):
            return None
        found = MODELINE.search(line)
        if found is not None and line[: found.start()].strip() == "":
            return found.group(1), Span(number, found.start(1) + 1, number, found.end(1) + 1)
    return None


class SchemaStore:
    """Finds and loads schemas for a workspace, keeping each loaded one
    until its file changes."""

    def __init__(self, root: str | None) -> None:
        self.root = root
        self._table: tuple[float, dict[str, str]] | None = None
        self._loaded: dict[tuple[str, str], tuple[float, Schema | SchemaUnusable]] = {}

    def choice(self, document_path: str | None, lines: list[str]) -> SchemaChoice | None:
        found = modeline(lines)
        if found is not None:
            base = os.path.dirname(document_path) if document_path else (self.root or os.getcwd())
            return SchemaChoice(found[0], base, found[1])
        if document_path is None or self.root is None:
            return None
        relative = os.path.relpath(document_path, self.root)
        if relative.startswith(".."):
            return None
        for pattern, reference in self._globs().items():
            if PurePosixPath(Path(relative).as_posix()).full_match(pattern):
                return SchemaChoice(reference, self.root, None)
        return None

    def _globs(self) -> dict[str, str]:
        """The table of pyproject.toml at the root, read again when it
        changed; a table that cannot be read is no table."""
        if self.root is None:
            return {}
        path = os.path.join(self.root, "pyproject.toml")
        try:
            stamp = os.stat(path).st_mtime
        except OSError:
            return {}
        if self._table is None or self._table[0] != stamp:
            try:
                with open(path, "rb") as file:
                    table = tomllib.load(file).get("tool", {}).get("vorn", {}).get("schemas", {})
            except (OSError, tomllib.TOMLDecodeError):
                table = {}
            globs = {str(k): str(v) for k, v in table.items()} if isinstance(table, dict) else {}
            self._table = (stamp, globs)
        return self._table[1]

    def load(self, choice: SchemaChoice) -> Schema:
        """The schema ``choice`` names; SchemaUnusable says why it cannot
        be used."""
        reference = choice.reference
        is_file = reference.lower().endswith(".json")
        target = os.path.normpath(os.path.join(choice.base, reference)) if is_file else reference
        stamp = _stamp(target) if is_file else 0.0
        kept = self._loaded.get((target, choice.base))
        if kept is None or kept[0] != stamp:
            try:
                loaded: Schema | SchemaUnusable = _json_file(target) if is_file else self._type(reference)
            except SchemaUnusable as refused:
                loaded = refused
            kept = (stamp, loaded)
            self._loaded[(target, choice.base)] = kept
        if isinstance(kept[1], SchemaUnusable):
            raise kept[1]
        return kept[1]

    def _type(self, reference: str) -> Schema:
        module_name, _, attributes = reference.partition(":")
        if not module_name or not attributes:
            raise SchemaUnusable(
                f"schema {reference!r}: expected package.module:Name or a JSON Schema file ending in .json"
            )
        if self.root is not None and self.root not in sys.path:
            sys.path.insert(0, self.root)
        try:
            target: Any = importlib.import_module(module_name)
        except Exception as error:  # the module is missing, or its own code failed
            raise SchemaUnusable(f"cannot import {module_name}: {type(error).__name__}: {error}") from None
        for name in attributes.split("."):
            if not hasattr(target, name):
                raise SchemaUnusable(f"{module_name} has no attribute {attributes!r}")
            target = getattr(target, name)
        refused = not_a_type(target)
        if refused is not None:
            raise SchemaUnusable(f"{reference} is {refused}, not a type to validate into")
        try:
            adapter = adapter_for(target)
        except ModuleNotFoundError as error:
            raise SchemaUnusable(str(error)) from None
        except Exception as error:
            raise SchemaUnusable(
                f"pydantic cannot validate into {reference}: {str(error).partition(chr(10))[0]}"
            ) from None
        try:
            json_schema = adapter.json_schema()
        except Exception:  # a type with no JSON Schema still validates
            json_schema = None

        def faults(data: dict[str, Any]) -> list[SchemaFault]:
            from pydantic_core import ValidationError as PydanticError

            try:
                adapter.validate_python(data)
            except PydanticError as error:
                return pydantic_faults(error, data)
            return []

        return Schema(reference, json_schema, faults)


def _stamp(path: str) -> float:
    try:
        return os.stat(path).st_mtime
    except OSError:
        return -1.0


def _json_file(path: str) -> Schema:
    try:
        loaded: JsonSchema = load_json_schema(path)
    except SchemaFileError as error:
        raise SchemaUnusable(str(error)) from None
    return Schema(path, loaded.schema, loaded.faults)
