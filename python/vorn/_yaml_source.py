"""A YAML text as PyYAML composes it, with what its composer forgets: the
name each anchor had, every alias where it was written, the tags written
explicitly, and the comments, which its scanner skips.

Comments are found as the text between PyYAML's tokens: whatever is there
is White_Space, line breaks and comments, so a '#' there always starts one.
"""

from __future__ import annotations

import bisect
import re
from dataclasses import dataclass
from typing import Any

import yaml
from yaml.composer import Composer
from yaml.events import AliasEvent
from yaml.nodes import MappingNode, Node, ScalarNode, SequenceNode
from yaml.parser import Parser
from yaml.reader import Reader
from yaml.resolver import BaseResolver
from yaml.scanner import Scanner

MERGE_TAG = "tag:yaml.org,2002:merge"
# Tags that only say which type YAML would make of a scalar or a
# collection: vorn has strings, lists and mappings, so they carry nothing.
CORE_TAGS = frozenset(
    "tag:yaml.org,2002:" + name
    for name in ("str", "int", "float", "bool", "null", "binary", "timestamp", "seq", "map", "omap", "pairs", "set")
)

# Where PyYAML's marks start a new line.
_LINE_BREAK = re.compile("\r\n|[\n\r\x85\u2028\u2029]")


class AliasNode(Node):
    """An alias as written: ``target`` is the node its anchor named."""

    id = "alias"

    def __init__(self, target: Node, anchor: str, start_mark: Any, end_mark: Any) -> None:
        super().__init__(target.tag, target.value, start_mark, end_mark)
        self.target = target
        self.anchor = anchor


class _Resolver(BaseResolver):
    """Resolves nothing but the merge key: every scalar stays a string."""


_Resolver.add_implicit_resolver(MERGE_TAG, re.compile(r"^(?:<<)$"), ["<"])


class _Composer(Reader, Scanner, Parser, Composer, _Resolver):
    def __init__(self, text: str) -> None:
        Reader.__init__(self, text)
        Scanner.__init__(self)
        Parser.__init__(self)
        Composer.__init__(self)
        _Resolver.__init__(self)
        self.anchor_names: dict[int, str] = {}
        self.explicit_tags: dict[int, str] = {}

    def compose_node(self, parent: Node | None, index: Any) -> Node | None:
        if self.check_event(AliasEvent):
            event = self.get_event()  # type: ignore[no-untyped-call]
            if event.anchor not in self.anchors:
                raise yaml.composer.ComposerError(
                    None, None, f"found undefined alias {event.anchor!r}", event.start_mark
                )
            return AliasNode(self.anchors[event.anchor], event.anchor, event.start_mark, event.end_mark)
        event = self.peek_event()  # type: ignore[no-untyped-call]
        tag = event.tag
        node = super().compose_node(parent, index)
        if event.anchor is not None:
            self.anchor_names[id(node)] = event.anchor
        if tag is not None and tag != "!":
            self.explicit_tags[id(node)] = tag
        return node


@dataclass(frozen=True, slots=True)
class Comment:
    line: int  # 0-based, as PyYAML's marks count
    column: int
    text: str  # from its '#', without trailing White_Space
    alone: bool  # the only thing on its line


@dataclass(slots=True)
class YamlSource:
    """One YAML document: its root node (None when the text holds none),
    the names of its anchors and its explicit tags by node id, its
    comments in order, and its lines as PyYAML counts them."""

    root: Node | None
    anchor_names: dict[int, str]
    explicit_tags: dict[int, str]
    comments: list[Comment]
    lines: list[str]
    documents: int
    # The nodes stay alive as long as this object, so their ids stay theirs.
    _keep: list[Node]


def read_yaml(text: str) -> YamlSource:
    """Composes every document of ``text`` (raising PyYAML's YAMLError for
    text it cannot read) and keeps the first."""
    composer = _Composer(text)
    try:
        composer.get_event()  # type: ignore[no-untyped-call]  # the start of the stream
        roots: list[Node] = []
        while not composer.check_event(yaml.events.StreamEndEvent):
            root = composer.compose_document()
            assert root is not None, "a document holds a node, an empty scalar at least"
            roots.append(root)
        anchor_names = composer.anchor_names
        explicit_tags = composer.explicit_tags
    finally:
        composer.dispose()
    # A "---" with nothing after it opens an empty document: nothing to lose.
    held = [root for root in roots if not _empty(root)]
    return YamlSource(
        held[0] if held else (roots[0] if roots else None),
        anchor_names,
        explicit_tags,
        _comments(text),
        _LINE_BREAK.split(text),
        len(held),
        roots,
    )


def _empty(node: Node) -> bool:
    return isinstance(node, ScalarNode) and node.value == "" and node.style is None


def _comments(text: str) -> list[Comment]:
    covered = [(token.start_mark.index, token.end_mark.index) for token in yaml.scan(text, Loader=yaml.BaseLoader)]
    line_starts = [0] + [match.end() for match in _LINE_BREAK.finditer(text)]
    found = []
    position = 0
    for start, end in [*covered, (len(text), len(text))]:
        hash_at = text.find("#", position, start)
        while hash_at >= 0:
            line = bisect.bisect_right(line_starts, hash_at) - 1
            stop = line_starts[line + 1] if line + 1 < len(line_starts) else len(text)
            comment = _LINE_BREAK.split(text[hash_at:stop], 1)[0].rstrip(" \t")
            alone = not text[line_starts[line] : hash_at].strip(" \t")
            found.append(Comment(line, hash_at - line_starts[line], comment, alone))
            hash_at = text.find("#", stop, start)
        position = max(position, end)
    return found


def is_merge_key(node: Node) -> bool:
    return isinstance(node, ScalarNode) and node.tag == MERGE_TAG


def target_of(node: Node) -> Node:
    return node.target if isinstance(node, AliasNode) else node


__all__ = ["AliasNode", "Comment", "MappingNode", "ScalarNode", "SequenceNode", "YamlSource", "read_yaml"]
