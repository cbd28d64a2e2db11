"""What a JSON Schema says about a place in the data: the schema of the
value there, its type in words, its description, default and choices,
and the keys a mapping there may hold."""

from __future__ import annotations

import json
from dataclasses import dataclass
from typing import Any

from .._json_schema import branches, item_schema, property_schema, resolved

# How deep a type's words go into nested unions and arrays.
_DEPTH = 4


@dataclass(frozen=True, slots=True)
class Field:
    """A key a mapping may hold, as the schema describes it."""

    name: str
    type: str
    description: str | None
    default: str | None
    required: bool


def schema_at(root: Any, steps: tuple[str | int, ...]) -> Any | None:
    """The schema of the value at ``steps``, or None where none speaks."""
    node: Any = root
    for step in steps:
        node = property_schema(node, root, step) if isinstance(step, str) else item_schema(node, root, step)
        if node is None:
            return None
    return node


def type_words(node: Any, root: Any, depth: int = 0) -> str:
    """The schema's type as a reader says it: ``integer``, ``"a" | "b"``,
    ``array of Server``, ``string | null``."""
    original = node
    node = resolved(node, root)
    if not isinstance(node, dict) or depth > _DEPTH:
        return "any"
    if isinstance(original, dict) and "$ref" in original and isinstance(node.get("title"), str):
        if node.get("type") == "object" or "properties" in node:
            return str(node["title"])
    if isinstance(node.get("enum"), list):
        return " | ".join(json.dumps(choice) for choice in node["enum"])
    if "const" in node:
        return json.dumps(node["const"])
    for combinator in ("anyOf", "oneOf"):
        if isinstance(node.get(combinator), list):
            return " | ".join(type_words(member, root, depth + 1) for member in node[combinator])
    kind = node.get("type")
    if isinstance(kind, list):
        return " | ".join(str(member) for member in kind)
    if kind == "array":
        items = node.get("items")
        return f"array of {type_words(items, root, depth + 1)}" if isinstance(items, dict) else "array"
    if kind == "object" and isinstance(node.get("title"), str) and "properties" in node:
        return str(node["title"])
    if isinstance(kind, str):
        return kind
    if isinstance(node.get("allOf"), list) and len(node["allOf"]) == 1:
        return type_words(node["allOf"][0], root, depth + 1)
    return "any"


def description(node: Any, root: Any) -> str | None:
    for branch in [node if isinstance(node, dict) else {}, *branches(node, root)]:
        if isinstance(branch.get("description"), str):
            return str(branch["description"])
    return None


def default(node: Any, root: Any) -> str | None:
    for branch in [node if isinstance(node, dict) else {}, *branches(node, root)]:
        if "default" in branch:
            return json.dumps(branch["default"], ensure_ascii=False)
    return None


def choices(node: Any, root: Any) -> list[str]:
    """The values the schema allows there, as vorn writes them: enum and
    const members, and for a boolean true and false."""
    found: list[str] = []
    for branch in branches(node, root):
        enum = branch.get("enum")
        members: list[Any] = list(enum) if isinstance(enum, list) else []
        if "const" in branch:
            members.append(branch["const"])
        for member in members:
            if member is None:
                continue
            text = member if isinstance(member, str) else json.dumps(member)
            if text not in found:
                found.append(text)
        if branch.get("type") == "boolean":
            found += [word for word in ("true", "false") if word not in found]
    return found


def fields(node: Any, root: Any) -> list[Field]:
    """The keys a mapping of schema ``node`` names, required first, each
    group in the schema's order."""
    required: set[str] = set()
    named: dict[str, Any] = {}
    for branch in branches(node, root):
        if isinstance(branch.get("required"), list):
            required.update(name for name in branch["required"] if isinstance(name, str))
        if isinstance(branch.get("properties"), dict):
            for name, schema in branch["properties"].items():
                named.setdefault(name, schema)
    made = [
        Field(name, type_words(schema, root), description(schema, root), default(schema, root), name in required)
        for name, schema in named.items()
    ]
    return sorted(made, key=lambda field: not field.required)


def is_required(parent: Any, root: Any, key: str) -> bool:
    return any(
        isinstance(branch.get("required"), list) and key in branch["required"] for branch in branches(parent, root)
    )
