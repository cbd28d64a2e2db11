"""JSON Schema for vorn documents (``vorn check --schema schema.json``, the
language server's schemas): the schema's own walk, the coercion of strings
into the types it asks for, and its faults as places in the data.

vorn holds only strings, so a value where the schema asks for a number,
a boolean or null is first read by one table, the strings pydantic's lax
mode accepts for the same type; a string it does not match stays a string
and the schema refuses it as it would::

    integer  [+-]digits, '_' between digits, then optionally '.' and zeros,
             with White_Space around it         '8080', '-1', '1_000', '2.0'
    number   [+-]digits[.digits][e[+-]digits] or '.digits', White_Space
             around it; inf, infinity, nan       '1.5', '.5', '1e3', '-inf'
             (any case)
    boolean  true, t, yes, y, on, 1 / false, f, no, n, off, 0 (any case)
    null     no string (pydantic reads none as None)

Where the schema allows a string too (``"type": ["string", "integer"]``),
the value stays a string. References are followed within the schema file
(``#/$defs/...``); a reference to another file is not, and the values
below it are validated as written.
"""

from __future__ import annotations

import json
import math
import os
import re
from collections.abc import Iterator
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any

if TYPE_CHECKING:
    from jsonschema.protocols import Validator

INSTALL_HINT = 'pip install "vorn[jsonschema]"'

_INTEGER = re.compile(r"[+-]?[0-9]+(?:_[0-9]+)*(?:\.0+)?")
_NUMBER = re.compile(r"[+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eE][+-]?[0-9]+)?")
_NOT_FINITE = {"inf": math.inf, "infinity": math.inf, "nan": math.nan}
_TRUE = frozenset({"true", "t", "yes", "y", "on", "1"})
_FALSE = frozenset({"false", "f", "no", "n", "off", "0"})
# The types the table reads, in the order a string is tried when the schema
# allows several of them.
COERCED_TYPES = ("integer", "number", "boolean", "null")
# How deep a chain of references may go before it is taken as a loop.
_REFERENCE_HOPS = 64


class SchemaFileError(ValueError):
    """A schema file that cannot be used: its message says why."""


@dataclass(frozen=True, slots=True)
class SchemaFault:
    """One value that does not fit, as a place in the data: ``steps`` lead
    to the value to show, at its key with ``at_key``; ``named`` is the
    place the message is about (a missing field's own place)."""

    steps: tuple[str | int, ...]
    at_key: bool
    named: tuple[str | int, ...]
    msg: str
    input: Any
    type: str


@dataclass(frozen=True, slots=True)
class JsonSchema:
    """A JSON Schema read from ``path``, checked, with its validator."""

    path: str
    schema: Any
    validator: Validator

    def faults(self, data: dict[str, Any]) -> list[SchemaFault]:
        """Every value of ``data`` (without its version entry) that does not
        fit, after the strings are read by the coercion table."""
        coerced = coerce(data, self.schema, self.schema)
        found = [_fault(error, self.schema) for error in self.validator.iter_errors(coerced)]
        return sorted(found, key=lambda fault: [str(step) for step in fault.steps])


def coerce_string(text: str, kind: str) -> Any:
    """``text`` read as the JSON type ``kind`` by the table, or None when
    it does not match (null matches no string)."""
    if kind == "boolean":
        lowered = text.lower()
        return True if lowered in _TRUE else False if lowered in _FALSE else None
    stripped = text.strip()
    if kind == "integer" and _INTEGER.fullmatch(stripped):
        return int(stripped.partition(".")[0].replace("_", ""))
    if kind == "number":
        if _INTEGER.fullmatch(stripped) and "_" not in stripped and "." not in stripped:
            return int(stripped)
        if _NUMBER.fullmatch(stripped):
            return float(stripped)
        sign, word = (stripped[0], stripped[1:]) if stripped[:1] in ("+", "-") else ("", stripped)
        if word.lower() in _NOT_FINITE:
            return -_NOT_FINITE[word.lower()] if sign == "-" else _NOT_FINITE[word.lower()]
    return None


def load_json_schema(path: str | os.PathLike[str]) -> JsonSchema:
    """The JSON Schema in the file at ``path``, checked against its own
    meta-schema; SchemaFileError says what keeps it from being used."""
    try:
        from jsonschema.exceptions import SchemaError
        from jsonschema.validators import validator_for
    except ImportError:
        raise SchemaFileError(f"JSON Schema needs jsonschema, which is not installed: {INSTALL_HINT}") from None
    shown = os.fspath(path)
    try:
        with open(path, encoding="utf-8") as file:
            schema = json.load(file)
    except OSError as error:
        raise SchemaFileError(f"cannot read the schema {shown}: {error.strerror or error}") from None
    except UnicodeDecodeError:
        raise SchemaFileError(f"the schema {shown} is not UTF-8 text") from None
    except json.JSONDecodeError as error:
        raise SchemaFileError(
            f"the schema {shown} is not JSON: line {error.lineno}, column {error.colno}: {error.msg}"
        ) from None
    if not isinstance(schema, (dict, bool)):
        raise SchemaFileError(f"the schema {shown} is not a JSON Schema: its root is neither an object nor a boolean")
    cls = validator_for(schema)
    # A boolean is a whole schema too (true: anything goes).
    whole: Any = schema
    try:
        cls.check_schema(whole)
    except SchemaError as error:
        where = "".join(f"[{step!r}]" for step in error.absolute_path)
        raise SchemaFileError(
            f"the schema {shown} is not a valid JSON Schema: at {where or 'its root'}: {error.message}"
        ) from None
    return JsonSchema(shown, schema, cls(whole))


def resolved(node: Any, root: Any) -> Any:
    """``node`` with its ``$ref`` chain followed within ``root``; a
    reference that leads out of the file, nowhere or round in a loop gives
    an empty schema (anything goes)."""
    for _ in range(_REFERENCE_HOPS):
        if not isinstance(node, dict) or not isinstance(node.get("$ref"), str):
            return node
        node = _pointed(root, node["$ref"])
    return {}


def _pointed(root: Any, ref: str) -> Any:
    if not ref.startswith("#"):
        return {}
    node = root
    for part in ref[1:].split("/")[1:] if ref != "#" else []:
        part = part.replace("~1", "/").replace("~0", "~")
        if isinstance(node, dict) and part in node:
            node = node[part]
        elif isinstance(node, list) and part.isdigit() and int(part) < len(node):
            node = node[int(part)]
        else:
            return {}
    return node


def branches(node: Any, root: Any) -> Iterator[dict[str, Any]]:
    """``node`` resolved and every schema its ``allOf``, ``anyOf`` and
    ``oneOf`` hold, at any depth: all that may speak about one value."""
    pending = [node]
    seen: set[int] = set()
    while pending:
        current = resolved(pending.pop(), root)
        if not isinstance(current, dict) or id(current) in seen:
            continue
        seen.add(id(current))
        yield current
        for combinator in ("oneOf", "anyOf", "allOf"):
            members = current.get(combinator)
            if isinstance(members, list):
                pending.extend(reversed(members))


def property_schema(node: Any, root: Any, key: str) -> Any | None:
    """The schema of the entry ``key`` in a mapping of schema ``node``:
    from ``properties``, then ``patternProperties``, then a schema in
    ``additionalProperties``; None when none speaks of it."""
    for branch in branches(node, root):
        properties = branch.get("properties")
        if isinstance(properties, dict) and key in properties:
            return properties[key]
    for branch in branches(node, root):
        patterns = branch.get("patternProperties")
        if isinstance(patterns, dict):
            for pattern, schema in patterns.items():
                if _searches(pattern, key):
                    return schema
    for branch in branches(node, root):
        extra = branch.get("additionalProperties")
        if isinstance(extra, dict):
            return extra
    return None


def item_schema(node: Any, root: Any, index: int) -> Any | None:
    """The schema of item ``index`` of a list of schema ``node``."""
    for branch in branches(node, root):
        prefix = branch.get("prefixItems")
        if isinstance(prefix, list) and index < len(prefix):
            return prefix[index]
        items = branch.get("items")
        if isinstance(items, dict):
            return items
        if isinstance(items, list) and index < len(items):  # the older drafts' tuples
            return items[index]
    return None


def _searches(pattern: str, key: str) -> bool:
    try:
        return re.search(pattern, key) is not None
    except re.error:
        return False


def allowed_types(node: Any, root: Any) -> set[str]:
    """The JSON types ``node`` names, through its combinators; empty when
    it names none (anything goes)."""
    kinds: set[str] = set()
    for branch in branches(node, root):
        kind = branch.get("type")
        if isinstance(kind, str):
            kinds.add(kind)
        elif isinstance(kind, list):
            kinds.update(item for item in kind if isinstance(item, str))
        for choice in branch.get("enum", []) if isinstance(branch.get("enum"), list) else []:
            kinds.add(_json_type(choice))
        if "const" in branch:
            kinds.add(_json_type(branch["const"]))
    return kinds


def _json_type(value: Any) -> str:
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "boolean"
    if isinstance(value, int):
        return "integer"
    if isinstance(value, float):
        return "number"
    if isinstance(value, list):
        return "array"
    return "object" if isinstance(value, dict) else "string"


def coerce(value: Any, node: Any, root: Any) -> Any:
    """``value`` with each string the schema wants as another type read by
    the table, walking iteratively (documents may nest deeply)."""
    result: list[Any] = [None]
    # (value, schema, container to write into, key or index there)
    pending: list[tuple[Any, Any, Any, Any]] = [(value, node, result, 0)]
    while pending:
        current, schema, holder, slot = pending.pop()
        if isinstance(current, dict):
            copy: dict[str, Any] = {}
            holder[slot] = copy
            for key, child in current.items():
                copy[key] = child
                sub = property_schema(schema, root, key) if schema is not None else None
                pending.append((child, sub, copy, key))
        elif isinstance(current, list):
            items: list[Any] = list(current)
            holder[slot] = items
            for index, child in enumerate(current):
                sub = item_schema(schema, root, index) if schema is not None else None
                pending.append((child, sub, items, index))
        elif isinstance(current, str) and schema is not None:
            holder[slot] = _coerced_string(current, allowed_types(schema, root))
        else:
            holder[slot] = current
    return result[0]


def _coerced_string(text: str, kinds: set[str]) -> Any:
    if not kinds or "string" in kinds:
        return text
    for kind in COERCED_TYPES:
        if kind in kinds:
            value = coerce_string(text, kind)
            if value is not None:
                return value
    return text


def _fault(error: Any, root: Any) -> SchemaFault:
    steps = tuple(error.absolute_path)
    instance = error.instance
    if error.validator == "required" and isinstance(instance, dict):
        missing = next((name for name in error.validator_value if name not in instance), None)
        named = steps if missing is None else (*steps, missing)
        return SchemaFault(steps, True, named, error.message, instance, "required")
    if error.validator in ("additionalProperties", "unevaluatedProperties") and isinstance(instance, dict):
        extra = _unexpected_key(instance, error.schema, root)
        if extra is not None:
            return SchemaFault((*steps, extra), True, (*steps, extra), error.message, instance[extra], error.validator)
    return SchemaFault(steps, False, steps, error.message, instance, str(error.validator))


def _unexpected_key(instance: dict[str, Any], schema: Any, root: Any) -> str | None:
    properties = schema.get("properties", {}) if isinstance(schema, dict) else {}
    patterns = schema.get("patternProperties", {}) if isinstance(schema, dict) else {}
    for key in instance:
        if key not in properties and not any(_searches(pattern, key) for pattern in patterns):
            return key
    return None
