"""The JSON, YAML and TOML renderings of a document, and comment-line
insertion.

The vorn text itself comes from `_vorn_native.dumps` or from the hand-written
generators in shapes.py.
"""

import json

import tomlkit
import yaml

_SafeDumper = getattr(yaml, "CSafeDumper", yaml.SafeDumper)


class _BlockDumper(_SafeDumper):
    """Block style throughout; multi-line strings as literal blocks."""


def _represent_str(dumper, text):
    style = "|" if "\n" in text else None
    return dumper.represent_scalar("tag:yaml.org,2002:str", text, style=style)


_BlockDumper.add_representer(str, _represent_str)


def to_json(obj) -> str:
    """Compact JSON, non-ASCII kept as is."""
    return json.dumps(obj, ensure_ascii=False, separators=(",", ":"))


def to_yaml(obj) -> str:
    """Block YAML, non-ASCII kept as is, entries in the object's order."""
    return yaml.dump(
        obj, Dumper=_BlockDumper, allow_unicode=True, default_flow_style=False, sort_keys=False, width=1_000_000
    )


def to_toml(obj) -> str:
    """TOML: mappings as tables, lists of mappings as arrays of tables,
    lists of strings as arrays; multi-line strings escaped."""
    return tomlkit.dumps(obj)


def yaml_quoted(text: str) -> str:
    """A YAML double-quoted scalar (JSON's string syntax is a subset of it)."""
    return json.dumps(text, ensure_ascii=False)


def vorn_quoted(text: str) -> str:
    """A vorn double-quoted scalar, escaped as the writing side escapes it."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def _is_vorn_entry_line(content: str) -> bool:
    is_item = content == "-" or content.startswith("- ")
    return not is_item and not content.startswith("#") and ":" in content


def add_vorn_comments(text: str, comment_for) -> str:
    """Puts a comment line above every mapping entry line of `text`.

    Item lines get none: a comment between a key and the first item of its
    sequence would open a mapping there. `text` must hold no literal block,
    whose lines would be taken for entries. `comment_for()` gives the text
    of the next comment, which must begin with '#'.
    """
    out = []
    for line in text.splitlines():
        content = line.lstrip(" ")
        if content.endswith(": |") or content.endswith("- |"):
            raise ValueError("add_vorn_comments cannot handle literal blocks")
        if _is_vorn_entry_line(content):
            indent = len(line) - len(content)
            out.append(" " * indent + comment_for())
        out.append(line)
    return "\n".join(out) + "\n"


def add_yaml_comments(text: str, comment_for) -> str:
    """Puts a comment line above every line of block YAML whose lines each
    hold one mapping entry (as `to_yaml` writes mappings of scalars)."""
    out = []
    for line in text.splitlines():
        content = line.lstrip(" ")
        indent = len(line) - len(content)
        out.append(" " * indent + comment_for())
        out.append(line)
    return "\n".join(out) + "\n"
