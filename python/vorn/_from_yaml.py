"""Converting one YAML document into a vorn document, comments and all.

Every scalar becomes the string YAML's base reading gives (no types: ``yes``
stays ``yes``), flow collections become blocks, and anchors, aliases and
merges stay anchors, aliases and merges wherever vorn can say them (an
anchored non-empty collection; an alias of one; a merge of such mappings),
else they are written out. Comment lines, end-of-line comments and blank
lines between groups are kept in order; key order is kept as written.

What the format cannot carry makes the conversion fail with the value's
path, unless ``lossy``; the text given out is always read back and compared
with the data it was written for.
"""

from __future__ import annotations

import contextlib
import dataclasses
import re
from collections.abc import Iterator
from dataclasses import dataclass, field
from typing import Any

import yaml
from yaml.error import Mark
from yaml.nodes import Node

from . import _native
from ._line_rules import double_quoted, plain_key_fits, plain_value_fits, split_inline_comment, trim
from ._paths import path_text
from ._writing import _REASONS
from ._yaml_source import (
    CORE_TAGS,
    AliasNode,
    Comment,
    MappingNode,
    ScalarNode,
    SequenceNode,
    YamlSource,
    is_merge_key,
    read_yaml,
    target_of,
)

VERSION_LINE = "_vorn_version: 1.0"

# (YAML column, vorn column) pairs: see _Line.columns.
_Columns = tuple[tuple[int, int], ...]

# Anchor names written as they are: others could be read differently in
# vorn (a colon in "- *a:b" makes a mapping), so their aliases are written
# out instead.
_SAFE_ANCHOR = re.compile(r"[A-Za-z0-9_][A-Za-z0-9_.\-/]*")
# Plain texts that would read the same in vorn but look like YAML syntax to
# a reader (and to vorn check's warnings): written in quotes.
_YAML_LOOKING = re.compile(r"[\[{!|>%@`]|- |-$")


class NotConvertible(ValueError):
    """The YAML holds something a vorn document cannot carry.

    Attributes: ``location`` (the value's path, ``$.jobs.build``), ``line``
    and ``column`` (1-based, in the YAML text; 0 when the whole document is
    meant), ``reason``, and ``lossy_helps``: whether ``lossy=True``
    converts it anyway."""

    def __init__(self, location: str, line: int, column: int, reason: str, lossy_helps: bool) -> None:
        super().__init__(f"{location}: {reason}")
        self.location = location
        self.line = line
        self.column = column
        self.reason = reason
        self.lossy_helps = lossy_helps


@dataclass(frozen=True, slots=True)
class Conversion:
    text: str
    # Block scalars whose one final line feed was dropped, which a literal
    # block cannot end with.
    dropped_line_feeds: int
    # With lossy: what was changed, as "PATH: reason" (line and column of
    # the YAML first).
    losses: list[str]
    # With lossy: documents after the first, which were left out.
    documents_left_out: int
    # The tags of the YAML's own that were dropped, with how often each.
    dropped_tags: dict[str, int]


def convert(text: str, lossy: bool = False) -> Conversion:
    """The vorn text of the one YAML document in ``text``. YAML that
    PyYAML cannot read raises its YAMLError; what vorn cannot carry raises
    NotConvertible (unless ``lossy``, where a loss can be chosen)."""
    source = read_yaml(text)
    if source.documents > 1 and not lossy:
        raise NotConvertible("$", 0, 0, f"the YAML holds {source.documents} documents; a vorn file holds one", True)
    root = source.root
    if root is None or not isinstance(target_of(root), MappingNode):
        kind = "nothing" if root is None else _kind(target_of(root))
        raise NotConvertible("$", 0, 0, f"the YAML document holds {kind}, but a vorn document is a mapping", False)
    writer = _Writer(source, lossy)
    writer.comments_without_tabs()
    writer.document(target_of(root))
    expected = writer.data(target_of(root))
    lines = writer.lines
    if "_vorn_version" not in expected:
        expected["_vorn_version"] = "1.0"
        lines.insert(0, _Line(0, VERSION_LINE, -1, -1, -1, ((0, 0),), (0, 0)))
    output = _render(lines, source, writer.used_anchors)
    _verify(output, expected)
    return Conversion(
        output, writer.dropped_line_feeds, writer.losses, max(0, source.documents - 1), writer.dropped_tags
    )


def _kind(node: object) -> str:
    if isinstance(node, SequenceNode):
        return "a sequence"
    return "a scalar" if isinstance(node, ScalarNode) else "a mapping"


@dataclass(slots=True)
class _Line:
    """One written line and where it came from in the YAML."""

    indent: int
    text: str
    start_line: int  # 0-based; -1 for the version line
    start_column: int
    end_line: int  # the last YAML line it covers
    # (YAML column, vorn column) of this line's key or hyphen and of the
    # lines that hold it: where a comment line between lines belongs.
    columns: _Columns
    own: tuple[int, int]  # (YAML column, vorn column) of its key or hyphen
    block: list[str] | None = None  # a literal block's lines, their own indentation kept
    block_indent: int = 0
    anchor: str | None = None  # written as " &name" if an alias or merge uses it
    comment: str | None = None


@dataclass(slots=True)
class _Writer:
    source: YamlSource
    lossy: bool
    lines: list[_Line] = field(default_factory=list)
    used_anchors: set[str] = field(default_factory=set)
    dropped_line_feeds: int = 0
    losses: list[str] = field(default_factory=list)
    dropped_tags: dict[str, int] = field(default_factory=dict)
    _tagged: set[int] = field(default_factory=set)
    # id(node) -> the vorn anchor written for it.
    _anchored: dict[int, str] = field(default_factory=dict)
    # id(scalar node) -> the string written for it.
    _texts: dict[int, str] = field(default_factory=dict)
    # The collections being written, to refuse an alias inside its own anchor.
    _open: set[int] = field(default_factory=set)
    # Inside a copy written out for an alias or merge, no anchor is written
    # again, and every line takes the place of the alias or merge.
    _copying: int = 0
    _copy_mark: Mark | None = None

    # The document ------------------------------------------------------

    def comments_without_tabs(self) -> None:
        for index, comment in enumerate(self.source.comments):
            if "\t" in comment.text:
                where = f"{comment.line + 1}:{comment.column + 1}"
                reason = "the comment holds a tab, and vorn refuses a document with a tab anywhere"
                if not self.lossy:
                    raise NotConvertible("$", comment.line + 1, comment.column + 1, reason, True)
                self.losses.append(f"{where}: {reason}")
                self.source.comments[index] = dataclasses.replace(comment, text=comment.text.expandtabs())

    def document(self, root: Node) -> None:
        self._mapping(root, 0, [], ((-1, 0),), None)

    def _mapping(self, node: Node, indent: int, path: list[str | int], columns: _Columns, inline: _Line | None) -> None:
        """The entries of ``node`` at ``indent``; with ``inline``, the first
        goes on that item line after its hyphen."""
        self._open.add(id(node))
        for plan in self._plans(node, path):
            prefix = inline
            inline = None
            if plan.merge is not None:
                self.used_anchors.add(plan.merge)
                self._add(indent, "<<: *" + plan.merge, plan.mark, plan.mark, columns, prefix)
                continue
            key = self._key(plan.key_node, path)
            line = self._add(indent, key + ":", plan.mark, plan.mark, columns, prefix)
            column = line.indent + (2 if prefix is not None else 0)
            with self._copy(plan.mark if plan.copy else None):
                place = "inline" if prefix is not None else "entry"
                self._value(plan.value, line, column, [*path, plan.key], place, merge_key=plan.key == "<<")
        self._open.discard(id(node))

    @contextlib.contextmanager
    def _copy(self, mark: Mark | None) -> Iterator[None]:
        """Lines written meanwhile copy a value that stands elsewhere in the
        YAML: they take the place ``mark`` of the alias or merge, and write
        no anchor again. No mark: not a copy."""
        if mark is None:
            yield
            return
        outer = self._copy_mark
        self._copy_mark = self._copy_mark or mark
        self._copying += 1
        try:
            yield
        finally:
            self._copying -= 1
            self._copy_mark = outer

    def _add(
        self,
        indent: int,
        text: str,
        mark: Mark,
        end_mark: Mark,
        columns: _Columns,
        inline: _Line | None,
        column: int | None = None,
    ) -> _Line:
        """A new line, or with ``inline`` the rest of that item line; its
        key or hyphen stands at ``column`` in the YAML (default: the
        mark's)."""
        if self._copy_mark is not None:
            mark = end_mark = self._copy_mark
            column = None
        if column is None:
            column = mark.column
        if inline is not None:
            # The first entry of an item's mapping, on the item's line.
            inline.text += " " + text
            inline.columns += ((column, inline.indent + 2),)
            return inline
        line = _Line(indent, text, mark.line, column, end_mark.line, columns + ((column, indent),), (column, indent))
        self.lines.append(line)
        return line

    def _sequence(self, node: SequenceNode, indent: int, path: list[str | int], columns: _Columns) -> None:
        self._open.add(id(node))
        # The hyphens of a block sequence stand where it starts; a mapping
        # item's own mark is at its first key.
        hyphen = None if node.flow_style else node.start_mark.column
        for index, item in enumerate(node.value):
            line = self._add(indent, "-", item.start_mark, item.start_mark, columns, None, hyphen)
            target = target_of(item)
            if (
                isinstance(target, MappingNode)
                and target.value
                and not self._aliased(item)
                and not self._will_anchor(target)
                and self._first_inlines(target, [*path, index])
            ):
                self._check_tag(target, [*path, index])
                with self._copy(item.start_mark if isinstance(item, AliasNode) else None):
                    self._mapping(target, indent + 2, [*path, index], line.columns, line)
                continue
            self._value(item, line, indent, [*path, index], "item")
        self._open.discard(id(node))

    def _first_inlines(self, node: Node, path: list[str | int]) -> bool:
        """Whether the first entry of ``node`` can stand on its item's line:
        an entry whose value needs a nested block of its own cannot, as the
        deeper lines after '- key:' continue the item's mapping."""
        plans = self._plans(node, path)
        if not plans or plans[0].merge is not None:
            return bool(plans)
        if plans[0].key == "<<":
            return False  # on the hyphen's line, vorn merges whatever a "<<" key holds
        value = plans[0].value
        target = target_of(value)
        if isinstance(target, ScalarNode) or not target.value or self._aliased(value):
            return True
        return not isinstance(value, AliasNode) and not plans[0].copy and self._will_anchor(target)

    def _value(
        self, node: Node, line: _Line, column: int, path: list[str | int], place: str, merge_key: bool = False
    ) -> None:
        """Completes ``line``, whose key or hyphen stands at ``column``,
        with the value of ``node`` and writes its nested lines. ``place``:
        "entry", "item" (after a hyphen) or "inline" (the first entry of an
        item's mapping, on the hyphen's line)."""
        target = target_of(node)
        if id(target) in self._open:
            raise self._refusal(node, path, "the alias stands inside the block its anchor names", False)
        if self._aliased(node) and not merge_key:
            name = self._anchored[id(target)]
            self.used_anchors.add(name)
            line.text += " *" + name
            return
        self._check_tag(target, path)
        if isinstance(target, ScalarNode):
            self._scalar(target, line, column, path, place)
            return
        if not target.value:
            line.text += " []" if isinstance(target, SequenceNode) else " {}"
            return
        with self._copy(node.start_mark if isinstance(node, AliasNode) else None):
            if self._will_anchor(target):
                name = self.source.anchor_names[id(target)]
                self._anchored[id(target)] = name
                line.anchor = name
            if isinstance(target, SequenceNode):
                self._sequence(target, column + 2, path, line.columns)
            else:
                self._mapping(target, column + 2, path, line.columns, None)

    def _aliased(self, node: Node) -> bool:
        """Whether ``node`` is an alias vorn can write as one."""
        return isinstance(node, AliasNode) and id(node.target) in self._anchored

    def _will_anchor(self, node: Node) -> bool:
        name = self.source.anchor_names.get(id(node))
        return (
            name is not None
            and not self._copying
            and id(node) not in self._anchored
            and bool(node.value)
            and _SAFE_ANCHOR.fullmatch(name) is not None
        )

    # Merges --------------------------------------------------------------

    def _plans(self, node: Node, path: list[str | int]) -> list[_Plan]:
        """The lines of a mapping: its entries as written, and its merges
        as '<<: *name' lines where every source is an alias of an anchored
        mapping, else as the entries they give that no entry of its own
        replaces, written out at the first '<<'."""
        merges = [(key, value) for key, value in node.value if is_merge_key(key)]
        sources = self._merge_sources(merges, path)
        as_merges = all(self._merged_anchor(source) is not None for source in sources)
        plans = []
        for key_node, value in node.value:
            if not is_merge_key(key_node):
                plans.append(_Plan(key_node.start_mark, key_node, value, self._key_text(key_node, path), None, False))
            elif as_merges:
                plans += [
                    _Plan(key_node.start_mark, key_node, value, "<<", self._merged_anchor(source), False)
                    for source in self._merge_sources([(key_node, value)], path)
                ]
            elif key_node is merges[0][0]:
                plans += self._written_merges(node, sources, key_node.start_mark, path)
        return plans

    def _merged_anchor(self, source: Node) -> str | None:
        """The anchor a merge line can name for the merged mapping
        ``source``: it must be an alias of a mapping written anchored."""
        return self._anchored.get(id(source.target)) if isinstance(source, AliasNode) else None

    def _written_merges(self, node: Node, sources: list[Node], mark: Mark, path: list[str | int]) -> list[_Plan]:
        own = {self._key_text(key, path) for key, _ in node.value if not is_merge_key(key)}
        merged: dict[str, tuple[Node, Node]] = {}
        for source in sources:
            for key, (key_node, value) in self._entries(target_of(source), path).items():
                merged.setdefault(key, (key_node, value))
        return [
            _Plan(mark, key_node, value, key, None, True) for key, (key_node, value) in merged.items() if key not in own
        ]

    def _merge_sources(self, merges: list[tuple[Node, Node]], path: list[str | int]) -> list[Node]:
        """The merged mappings in order of precedence: as the merge key
        says, within a list the first mapping wins; several '<<' keys in one
        mapping count as one list in written order, as several '<<' lines
        do in vorn. (PyYAML 6.0.2 and later settle some of these by the
        identity of the key strings instead.)"""
        sources = []
        for key, value in merges:
            target = target_of(value)
            items = target.value if isinstance(target, SequenceNode) else [value]
            for item in items:
                if not isinstance(target_of(item), MappingNode):
                    raise self._refusal(key, path, "'<<' merges a mapping or a list of mappings only", False)
                sources.append(item)
        return sources

    def _entries(self, node: Node, path: list[str | int]) -> dict[str, tuple[Node, Node]]:
        """The entries a mapping holds once its merges are made, each with
        the key and value nodes that gave it, as PyYAML reads them."""
        merges = [(key, value) for key, value in node.value if is_merge_key(key)]
        entries: dict[str, tuple[Node, Node]] = {}
        for source in reversed(self._merge_sources(merges, path)):
            entries.update(self._entries(target_of(source), path))
        for key, value in node.value:
            if not is_merge_key(key):
                entries[self._key_text(key, path)] = (key, value)
        return entries

    # Keys and scalars ------------------------------------------------------

    def _key_text(self, node: Node, path: list[str | int]) -> str:
        target = target_of(node)
        if not isinstance(target, ScalarNode):
            raise self._refusal(node, path, "a key that is a mapping or a sequence has no vorn form", False)
        self._check_tag(target, path)
        return str(target.value)

    def _key(self, node: Node, path: list[str | int]) -> str:
        key = self._key_text(node, path)
        if "\n" in key:
            raise self._refusal(node, [*path, key], _REASONS["line_feed_in_key"], False)
        if _lone_surrogate(key):
            raise self._refusal(node, [*path, key], "the key holds a lone surrogate, which no file can carry", False)
        if "\t" in key:
            self._loss(node, [*path, key], _REASONS["tab_in_key"])
            key = key.expandtabs()
        if plain_key_fits(key) and not _looks_special(key) and key != "<<":
            return key
        return double_quoted(key)

    def _scalar(self, node: ScalarNode, line: _Line, column: int, path: list[str | int], place: str) -> None:
        text = self._text(node, path)
        # A block scalar stays a block, if its one line can be one.
        block = node.style in ("|", ">") and (not text or text == trim(text))
        if "\n" in text or block:
            line.text += " |"
            line.block = text.split("\n") if text else None
            line.block_indent = column + 2
            line.end_line = max(line.end_line, _last_text_line(node))
            return
        if node.style == "'" and "'" not in text:
            line.text += " '" + text + "'"
        elif not text and node.style is None and place == "entry":
            pass  # "key:", as YAML wrote it; after a hyphen it would look like a nested block's start
        elif node.style in ("'", '"') or not (plain_value_fits(text, place == "item") and not _looks_special(text)):
            line.text += " " + double_quoted(text)
        else:
            line.text += " " + text
        line.end_line = max(line.end_line, node.end_mark.line)

    def _text(self, node: ScalarNode, path: list[str | int]) -> str:
        """The string written for a scalar: YAML's reading of it, less the
        one final line feed of a block scalar; with lossy, also less what
        the format cannot carry."""
        known = self._texts.get(id(node))
        if known is not None:
            return known
        self._check_tag(node, path)
        text = str(node.value)
        if node.style in ("|", ">") and text.endswith("\n"):
            text = text[:-1]
            self.dropped_line_feeds += 1
        if _lone_surrogate(text):
            raise self._refusal(node, path, "the string holds a lone surrogate, which no file can carry", False)
        if "\t" in text:
            self._loss(node, path, _REASONS["tab_in_text"])
            text = text.expandtabs()
        fault = _native.checked_dumps({"_vorn_version": "1.0", "v": text}, False)
        if not isinstance(fault, str):
            self._loss(node, path, _REASONS[fault[1]])
            lossy = _native.checked_dumps({"_vorn_version": "1.0", "v": text}, True)
            assert isinstance(lossy, str), "with lossy, only a key with a line feed is refused"
            text = str(_native.loads(lossy)["v"])
        self._texts[id(node)] = text
        return text

    def _check_tag(self, node: Node, path: list[str | int]) -> None:
        """Counts a tag of the YAML's own (not one of YAML's types, which
        vorn's strings, lists and mappings make needless): it is dropped,
        as YAML's base reading of the value is what vorn keeps."""
        tag = self.source.explicit_tags.get(id(node))
        if tag is not None and tag not in CORE_TAGS and id(node) not in self._tagged:
            self._tagged.add(id(node))
            shown = tag.replace("tag:yaml.org,2002:", "!!")
            self.dropped_tags[shown] = self.dropped_tags.get(shown, 0) + 1

    def _loss(self, node: Node, path: list[str | int], reason: str) -> None:
        if not self.lossy:
            raise self._refusal(node, path, reason, True)
        mark = node.start_mark
        self.losses.append(f"{mark.line + 1}:{mark.column + 1}: {path_text(path)}: {reason}")

    def _refusal(self, node: Node, path: list[str | int], reason: str, lossy_helps: bool) -> NotConvertible:
        mark = node.start_mark
        return NotConvertible(path_text(path), mark.line + 1, mark.column + 1, reason, lossy_helps)

    # The data the text must read as ----------------------------------------

    def data(self, root: Node) -> dict[str, Any]:
        data: dict[str, Any] = self._data(root, [], set())
        return data

    def _data(self, node: Node, path: list[str | int], above: set[int]) -> Any:
        target = target_of(node)
        if isinstance(target, ScalarNode):
            return self._text(target, path)
        if id(target) in above:
            raise self._refusal(node, path, "the alias stands inside the block its anchor names", False)
        above.add(id(target))
        value: list[Any] | dict[str, Any]
        if isinstance(target, SequenceNode):
            value = [self._data(item, [*path, index], above) for index, item in enumerate(target.value)]
        else:
            value = {
                key: self._data(item, [*path, key], above) for key, (_, item) in self._entries(target, path).items()
            }
        above.discard(id(target))
        return value


@dataclass(frozen=True, slots=True)
class _Plan:
    """One line of a mapping to write: an entry, or a merge of the anchor
    ``merge``."""

    mark: Mark
    key_node: Node  # for a merge, the "<<" key and its value
    value: Node
    key: str
    merge: str | None
    copy: bool  # an entry a merge gives, written out at the merge's place


def _looks_special(text: str) -> bool:
    return _YAML_LOOKING.match(text) is not None


def _lone_surrogate(text: str) -> bool:
    return any("\ud800" <= char <= "\udfff" for char in text)


def _last_text_line(node: ScalarNode) -> int:
    """The last YAML line of a scalar that holds text: a block scalar's
    token runs on over the blank lines after it."""
    end = node.end_mark
    return end.line - 1 if end.column == 0 and end.line > node.start_mark.line else end.line


# Comments and layout ---------------------------------------------------------


def _render(lines: list[_Line], source: YamlSource, used_anchors: set[str]) -> str:
    """The text of ``lines`` with the YAML's comments and blank lines put
    back among them, in the YAML's order."""
    for line in lines:
        if line.anchor is not None and line.anchor in used_anchors:
            line.text += " &" + line.anchor
    placed = _place_comments(lines, source.comments)
    out: list[str] = []
    last_line = None
    for index, line in enumerate(lines):
        for comment in placed.before.get(index, []):
            last_line = _blank_before(out, source.lines, last_line, comment.line)
            out.append(" " * _comment_indent(lines, index, comment.column) + comment.text)
            last_line = comment.line
        if line.start_line >= 0:
            last_line = _blank_before(out, source.lines, last_line, line.start_line)
        text = line.text if line.comment is None else line.text + " " + line.comment
        out.append(" " * line.indent + text)
        out.extend(" " * line.block_indent + block_line if block_line else "" for block_line in line.block or ())
        last_line = max(last_line if last_line is not None else -1, line.end_line)
    for comment in placed.before.get(len(lines), []):
        last_line = _blank_before(out, source.lines, last_line, comment.line)
        out.append(" " * _comment_indent(lines, len(lines), comment.column) + comment.text)
        last_line = comment.line
    return "\n".join(out) + "\n"


def _blank_before(out: list[str], source_lines: list[str], last_line: int | None, line: int) -> int | None:
    """Writes one blank line where the YAML had any between the last thing
    written (YAML line ``last_line``) and ``line``."""
    if last_line is not None and out and any(not source_lines[i].strip(" \t") for i in range(last_line + 1, line)):
        out.append("")
    return last_line


@dataclass(slots=True)
class _Placed:
    before: dict[int, list[Comment]]  # line index -> the comment lines written above it (len(lines): at the end)


def _place_comments(lines: list[_Line], comments: list[Comment]) -> _Placed:
    """Puts each comment at the end of the line it ended in the YAML, when
    that line was written and can carry it, else as a comment line above
    the first line written after it. Places never go back, so the comments
    keep their order."""
    before: dict[int, list[Comment]] = {}
    floor = 0  # no comment goes above a line before this one
    for comment in comments:
        if not comment.alone:
            holder = _holder(lines, comment, floor)
            if holder is not None:
                lines[holder].comment = comment.text
                floor = holder + 1
                continue
        index = next(
            (i for i in range(floor, len(lines)) if lines[i].start_line >= 0 and lines[i].end_line >= comment.line),
            len(lines),
        )
        # Above the line that holds it in the YAML, at the earliest.
        before.setdefault(index, []).append(comment)
        floor = index
    return _Placed(before)


def _holder(lines: list[_Line], comment: Comment, floor: int) -> int | None:
    for index in range(floor, len(lines)):
        line = lines[index]
        if line.start_line > comment.line:
            return None
        if line.start_line <= comment.line <= line.end_line and line.comment is None:
            text = line.text + " " + comment.text
            if split_inline_comment(text) == (line.text, comment.text):
                return index
    return None


def _comment_indent(lines: list[_Line], index: int, column: int) -> int:
    """Where a comment line goes before ``lines[index]``: at the vorn column
    of the line, among the one written before it and those holding that
    one, or the one after it, whose YAML column is the nearest at or left
    of the comment's. None of these is deeper than the line before or the
    line after, so the comment can end no block and make no value empty."""
    candidates: list[tuple[int, int]] = []
    if index > 0:
        candidates += lines[index - 1].columns
    if index < len(lines):
        candidates.append(lines[index].own)
    candidates = [(yaml_column, vorn_column) for yaml_column, vorn_column in candidates if yaml_column >= 0]
    if not candidates:
        return 0
    fitting = [candidate for candidate in candidates if candidate[0] <= column]
    return max(fitting)[1] if fitting else min(vorn_column for _, vorn_column in candidates)


class ConversionFault(RuntimeError):
    """The converted text would not read as the YAML's data: a fault of
    this converter, reported instead of a wrong text."""


def _verify(text: str, expected: dict[str, Any]) -> None:
    try:
        read = _native.loads(text)
    except ValueError as error:
        raise ConversionFault(f"the converted text does not read ({error}); please report this YAML") from None
    if read != expected:
        raise ConversionFault("the converted text reads as other data than the YAML; please report this YAML")


__all__ = ["Conversion", "ConversionFault", "NotConvertible", "convert", "yaml"]
