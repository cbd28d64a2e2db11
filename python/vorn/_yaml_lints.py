"""Warnings for YAML's habits: lines that read in vorn, but as other data
than the same line reads in YAML, each with a stable code, its range, a
message, the fix in words and, where the fix is certain, as text edits.

| code | written | reads in vorn as |
|---|---|---|
| colon-without-blank | ``run:`` and below it ``echo a:b`` | a mapping ``{"echo a": "b"}`` |
| flow-collection | ``branches: [main, dev]`` | the string ``[main, dev]`` |
| item-in-item | ``- - x`` | the string ``- x`` |
| blank-line-in-block | a blank line inside a ``|`` block | the text without it |
| comments-make-mapping | ``key:`` and only deeper comment lines | ``{}`` |
| yaml-escape | ``"a\\nb"`` | a backslash and ``n`` |
| doubled-quote | ``'it''s'`` | ``it''s`` |
| yaml-tag | ``port: !!str 80`` | ``!!str 80`` |
| merge-list | ``<<: [*a, *b]`` | an entry ``<<`` holding ``[*a, *b]`` |
| value-is-comment | ``color: #fff`` | an empty value |
"""

from __future__ import annotations

import re
from collections.abc import Callable, Iterator, Sequence
from dataclasses import dataclass

from ._fixes import Fix, TextEdit
from ._line_rules import double_quoted, is_item_line, plain_key_fits, plain_value_fits
from ._native import WHITE_SPACE, SyntaxForm, SyntaxKind, SyntaxRecord, SyntaxTree
from ._spans import Span

# The longest piece of the document a message quotes whole.
LONGEST_QUOTE = 32

_TAG = re.compile(r"!!?[A-Za-z0-9_./:-]*(?= |$)")
_CORE_TAGS = frozenset(f"!!{name}" for name in ("str", "int", "float", "bool", "null", "binary", "timestamp"))
# What follows a backslash in YAML's double quotes; vorn knows only \" and \\.
_YAML_ESCAPES = frozenset('0abtnvfre /N_LPxuU\t"\\')
_HEX_ESCAPES = {"x": 2, "u": 4, "U": 8}
_ALIAS = re.compile(r"\*[^\s,\[\]{}]+")


@dataclass(frozen=True, slots=True)
class Habit:
    """One warning, before it becomes the package's Lint."""

    code: str
    span: Span
    message: str
    help: str
    fix: Fix | None = None


@dataclass(frozen=True, slots=True)
class _Text:
    """The document's UTF-8 bytes, with what the checks ask of them."""

    tree: SyntaxTree
    data: bytes

    def of(self, where: range) -> str:
        return self.data[where.start : where.stop].decode("utf-8", "surrogatepass")

    def span(self, begin: int, end: int) -> Span:
        return self.tree.span(begin, end)

    def edit(self, begin: int, end: int, new_text: str) -> TextEdit:
        return TextEdit(self.span(begin, end), new_text)

    def char_at(self, offset: int) -> str:
        """The whole character whose UTF-8 bytes start at ``offset`` ("" at
        the end): one byte of a longer one would not decode."""
        if offset >= len(self.data):
            return ""
        lead = self.data[offset]
        size = 1 if lead < 0xC0 else 2 if lead < 0xE0 else 3 if lead < 0xF0 else 4
        return self.data[offset : offset + size].decode("utf-8", "surrogatepass")

    def line_break(self, offset: int) -> str:
        """The line end of the line that holds ``offset``, as the file has it."""
        end = self.data.find(b"\n", offset)
        return "\r\n" if end > 0 and self.data[end - 1 : end] == b"\r" else "\n"

    def blanks_before(self, offset: int) -> int:
        """Where the spaces just before ``offset`` start."""
        while offset > 0 and self.data[offset - 1 : offset] == b" ":
            offset -= 1
        return offset


def yaml_habits(tree: SyntaxTree) -> list[Habit]:
    """Every YAML habit in the document of ``tree``, in written order."""
    records = [tree[index] for index in range(len(tree))]
    return [habit for _, habit in record_habits(tree, records, records)]


def record_habits(
    tree: SyntaxTree, records: Sequence[SyntaxRecord], among: Sequence[SyntaxRecord]
) -> list[tuple[int, Habit]]:
    """The habits of the records ``among`` (of all the tree's ``records``),
    each with its record's index, in written order."""
    text = _Text(tree, bytes(memoryview(tree)))
    found: list[tuple[int, Habit]] = []
    for record in among:
        for check in _checks_for(text.data, record):
            found += ((record.index, habit) for habit in check(text, records, record))
    return found


def _checks_for(data: bytes, record: SyntaxRecord) -> tuple[_Check, ...]:
    """The checks that can find something in ``record``, in the order of
    _CHECKS: each looks first at bytes that most lines do not have (a
    '[' or '!' opening a value, a quote opening a key, a colon with no
    blank after it), so that a large document's plain lines cost little
    (the editor runs the warnings at every pause in typing)."""
    key = record.key_bytes
    if key is not None and key.stop > key.start and data[key.start] in _QUOTES:
        return _CHECKS
    form = record.form
    is_entry = key is not None and record.kind is SyntaxKind.ENTRY
    if form is SyntaxForm.NESTED_BLOCK:
        glued = is_entry and _colon_glued(data, key.stop)  # type: ignore[union-attr]
        return _BY_FORM[form] if glued else (_comments_make_mapping,)
    if form is not SyntaxForm.PLAIN:
        return _BY_FORM.get(form, ())
    value = record.value_bytes
    first = data[value.start] if value.stop > value.start else 0
    glued = is_entry and _colon_glued(data, key.stop)  # type: ignore[union-attr]
    if not glued and first not in _SPECIAL_FIRST and (key is None or key.stop - key.start != 2):
        return ()
    return tuple(
        check
        for check, wanted in (
            (_colon_without_blank, glued),
            (_flow_collection, first in _FLOW_OPENERS),
            (_item_in_item, first == _HYPHEN and record.kind is SyntaxKind.ITEM),
            (_yaml_tag, first == _BANG),
            (_merge_list, record.key == "<<"),
        )
        if wanted
    )


def _colon_glued(data: bytes, key_end: int) -> bool:
    """Whether the colon after a key is followed by something other than
    an ASCII blank or the line's end (a byte past ASCII may be a blank of
    Unicode's: the check itself decides)."""
    colon = data.find(b":", key_end)
    after = data[colon + 1] if 0 <= colon < len(data) - 1 else _LINE_FEED
    return after >= 0x80 or after not in _ASCII_BLANKS


def _shown(text: str) -> str:
    if len(text) <= LONGEST_QUOTE:
        return text
    half = (LONGEST_QUOTE - 3) // 2
    return f"{text[:half]}...{text[-half:]}"


def _on_hyphen_line(records: Sequence[SyntaxRecord], record: SyntaxRecord) -> bool:
    """Whether ``record`` is the first entry of an item's mapping, on the
    item's own line: a block below it would continue the item instead."""
    parent = None if record.parent is None else records[record.parent]
    return parent is not None and parent.kind == SyntaxKind.ITEM and parent.line == record.line


def _flow_collection(text: _Text, records: Sequence[SyntaxRecord], record: SyntaxRecord) -> Iterator[Habit]:
    if record.form != SyntaxForm.PLAIN or (record.key == "<<" and _merge_names(text.of(record.value_bytes))):
        return
    value = text.of(record.value_bytes)
    if not (value[0] + value[-1] in ("[]", "{}") and len(value) > 2):
        return
    is_list = value[0] == "["
    below = "below the hyphen" if record.kind == SyntaxKind.ITEM else "below the key"
    fix = None
    lines = _flow_lines(value)
    if lines is not None and not _on_hyphen_line(records, record):
        indent = " " * (record.indent + 2)
        end = record.head_bytes.stop
        brk = text.line_break(end)
        fix = Fix(
            "write the items as lines of a block" if is_list else "write the entries as lines of a block",
            (
                text.edit(text.blanks_before(record.value_bytes.start), record.value_bytes.stop, ""),
                text.edit(end, end, "".join(brk + indent + line for line in lines)),
            ),
        )
    yield Habit(
        "flow-collection",
        text.span(record.value_bytes.start, record.value_bytes.stop),
        f"'{_shown(value)}' reads as one string, not as a {'list' if is_list else 'mapping'}",
        f"write each item as a '- ' line {below}, two spaces deeper"
        if is_list
        else f"write each entry as a 'key: value' line {below}, two spaces deeper",
        fix,
    )


def _flow_lines(value: str) -> list[str] | None:
    """The lines of a block for a flow collection of scalars, or None for
    one this cannot write certainly (nested, or escapes vorn lacks)."""
    parts = _split_flow(value[1:-1])
    if parts is None:
        return None
    lines = []
    for part in parts:
        if value[0] == "[":
            item = _flow_scalar(part)
            if item is None:
                return None
            lines.append(
                "- " + (item if plain_value_fits(item, True) and item[:1] not in "[{!|>" else double_quoted(item))
            )
            continue
        key_text, colon, rest = part.partition(": ")
        key = _flow_scalar(key_text.removesuffix(":") if not colon else key_text)
        item = _flow_scalar(rest) if colon else ""
        if key is None or item is None:
            return None
        written_key = key if plain_key_fits(key) else double_quoted(key)
        written = item if not item or plain_value_fits(item, False) else double_quoted(item)
        lines.append(f"{written_key}: {written}".rstrip(" ") if written else f"{written_key}:")
    return lines


def _split_flow(inner: str) -> list[str] | None:
    parts, start, quote, index = [], 0, "", 0
    while index < len(inner):
        char = inner[index]
        if quote:
            if char == "\\" and quote == '"':
                index += 1
            elif char == quote:
                quote = ""
        elif char in "'\"":
            quote = char
        elif char in "[]{}":
            return None
        elif char == ",":
            parts.append(inner[start:index])
            start = index + 1
        index += 1
    if quote:
        return None
    parts.append(inner[start:])
    parts = [part.strip(WHITE_SPACE) for part in parts]
    if parts and not parts[-1]:
        parts.pop()  # YAML takes a comma after the last item
    return None if not parts or "" in parts else parts


def _flow_scalar(text: str) -> str | None:
    """What YAML reads from a scalar in a flow collection, when it holds no
    escape that vorn would have to spell otherwise."""
    text = text.strip(WHITE_SPACE)
    if len(text) >= 2 and text[0] == text[-1] == "'":
        return text[1:-1].replace("''", "'")
    if len(text) >= 2 and text[0] == text[-1] == '"':
        inner = text[1:-1]
        if any(inner[i] == "\\" and inner[i + 1 : i + 2] not in ('"', "\\") for i in range(len(inner))):
            return None
        return inner.replace('\\"', '"').replace("\\\\", "\\")
    if not text or text[0] in "&*!|>'\"" or text.startswith("- "):
        return None
    return text


def _item_in_item(text: _Text, records: Sequence[SyntaxRecord], record: SyntaxRecord) -> Iterator[Habit]:
    if record.kind != SyntaxKind.ITEM or record.form != SyntaxForm.PLAIN:
        return
    value = text.of(record.value_bytes)
    if not is_item_line(value):
        return
    hyphen = record.head_bytes.start
    brk = text.line_break(hyphen)
    yield Habit(
        "item-in-item",
        text.span(hyphen, record.value_bytes.stop),
        f"'- {_shown(value)}' reads as the string '{_shown(value)}', not as a list in a list",
        "write '-' alone, and the inner item on the line below it, two spaces deeper",
        Fix(
            "put the inner item on a line of its own",
            (text.edit(hyphen + 1, record.value_bytes.start, brk + " " * (record.indent + 2)),),
        ),
    )


def _blank_line_in_block(text: _Text, records: Sequence[SyntaxRecord], record: SyntaxRecord) -> Iterator[Habit]:
    if record.form != SyntaxForm.LITERAL_BLOCK:
        return
    start = text.data.find(b"\n", record.head_bytes.stop) + 1
    if start <= 0 or start >= record.value_bytes.stop:
        return
    offset = start
    blank = []
    for line in text.data[start : record.value_bytes.stop].split(b"\n"):
        if not line.decode("utf-8", "surrogatepass").strip(WHITE_SPACE):
            blank.append(offset)
        offset += len(line) + 1
    if blank:
        more = f" (and {len(blank) - 1} more)" if len(blank) > 1 else ""
        yield Habit(
            "blank-line-in-block",
            text.span(blank[0], blank[0]),
            f"this blank line inside the literal block is not part of its text{more}",
            "a literal block holds no blank lines: remove them, or keep the lines apart otherwise (a line "
            "of its own text, such as a comment of the script)",
        )


def _comments_make_mapping(text: _Text, records: Sequence[SyntaxRecord], record: SyntaxRecord) -> Iterator[Habit]:
    if record.form != SyntaxForm.NESTED_BLOCK or text.tree.children(record.index):
        return
    what = f"'{_shown(record.key)}'" if record.key is not None else "the item"
    edits = []
    offset = text.data.find(b"\n", record.head_bytes.stop) + 1
    while 0 < offset < len(text.data):
        end = text.data.find(b"\n", offset)
        end = len(text.data) if end < 0 else end
        line = text.data[offset:end]
        content = line.lstrip(b" ")
        if content.strip() and not content.startswith(b"#"):
            break
        if content.startswith(b"#") and len(line) - len(content) > record.indent:
            edits.append(text.edit(offset, offset + len(line) - len(content), " " * record.indent))
        offset = end + 1
    fix = None
    if edits and record.anchor is None:
        fix = Fix("put the comment lines at the key's indentation", tuple(edits))
    yield Habit(
        "comments-make-mapping",
        text.span(record.head_bytes.start, record.value_bytes.start),
        f"{what} reads as an empty mapping {{}}, as the comment lines below it are deeper",
        "write {} after it if an empty mapping is meant; for an empty value, put the comment lines at its indentation",
        fix,
    )


def _quoted_texts(text: _Text, record: SyntaxRecord) -> Iterator[range]:
    """The key and value of ``record`` that were written in quotes."""
    if record.key_bytes is not None and text.data[record.key_bytes.start : record.key_bytes.start + 1] in (b'"', b"'"):
        yield record.key_bytes
    if record.form in (SyntaxForm.DOUBLE_QUOTED, SyntaxForm.SINGLE_QUOTED):
        yield record.value_bytes


def _yaml_escape(text: _Text, records: Sequence[SyntaxRecord], record: SyntaxRecord) -> Iterator[Habit]:
    for where in _quoted_texts(text, record):
        written = text.of(where)
        if written[0] != '"' or written[-1] != '"' or len(written) < 2:
            continue
        inner = written[1:-1]
        escapes = []
        index = 0
        while index < len(inner) - 1:
            if inner[index] == "\\":
                if inner[index + 1] not in '"\\' and inner[index + 1] in _YAML_ESCAPES:
                    escapes.append(index)
                index += 2
            else:
                index += 1
        if not escapes:
            continue
        first = inner[escapes[0] : escapes[0] + 2]
        rewritten = _without_escapes(inner)
        fix = None
        if rewritten is not None:
            fix = Fix("write the characters the escapes stand for", (text.edit(where.start, where.stop, rewritten),))
        yield Habit(
            "yaml-escape",
            text.span(where.start, where.stop),
            f"'{first}' inside double quotes reads as a backslash and '{first[1]}', not as an escape",
            "vorn's double quotes know only \\\" and \\\\: write the character itself (a line feed in a "
            "literal block), or \\\\ for a backslash",
            fix,
        )


def _without_escapes(inner: str) -> str | None:
    """The double-quoted text whose YAML escapes are written as the
    characters they stand for, when each is a printable one."""
    out = []
    index = 0
    while index < len(inner):
        char = inner[index]
        if char != "\\" or index + 1 == len(inner):
            out.append(char)
            index += 1
            continue
        code = inner[index + 1]
        if code in '"\\':
            out.append(inner[index : index + 2])
            index += 2
            continue
        width = _HEX_ESCAPES.get(code)
        if code in "/ ":
            meant, index = code, index + 2
        elif width is not None:
            digits = inner[index + 2 : index + 2 + width]
            if len(digits) != width or not all(digit in "0123456789abcdefABCDEF" for digit in digits):
                return None
            value = int(digits, 16)
            if value > 0x10FFFF or not chr(value).isprintable():
                return None
            meant, index = chr(value), index + 2 + width
        elif code in _YAML_ESCAPES:
            return None  # a control character or a line break: no certain way to write it here
        else:
            out.append(inner[index : index + 2])
            index += 2
            continue
        out.append(double_quoted(meant)[1:-1])
    return '"' + "".join(out) + '"'


def _doubled_quote(text: _Text, records: Sequence[SyntaxRecord], record: SyntaxRecord) -> Iterator[Habit]:
    for where in _quoted_texts(text, record):
        written = text.of(where)
        if written[0] != "'" or "''" not in written[1:-1]:
            continue
        meant = written[1:-1].replace("''", "'")
        yield Habit(
            "doubled-quote",
            text.span(where.start, where.stop),
            f"{_shown(written)} reads with both quotes doubled: vorn removes only the outer pair",
            f"write it in double quotes: {_shown(double_quoted(meant))}",
            Fix("write it in double quotes", (text.edit(where.start, where.stop, double_quoted(meant)),)),
        )


def _yaml_tag(text: _Text, records: Sequence[SyntaxRecord], record: SyntaxRecord) -> Iterator[Habit]:
    if record.form != SyntaxForm.PLAIN:
        return
    value = text.of(record.value_bytes)
    match = _TAG.match(value)
    if match is None:
        return
    tag = match.group()
    fix = None
    if tag in _CORE_TAGS:
        start = record.value_bytes.start
        rest = value[len(tag) :].lstrip(" ")
        end = start + len(value.encode("utf-8", "surrogatepass")) - len(rest.encode("utf-8", "surrogatepass"))
        if not rest:
            start = text.blanks_before(start)
        fix = Fix(f"remove the tag {tag}", (text.edit(start, end, ""),))
    yield Habit(
        "yaml-tag",
        text.span(record.value_bytes.start, record.value_bytes.start + len(tag)),
        f"the tag '{_shown(tag)}' stays part of the text: it reads as '{_shown(value)}'",
        "vorn has only strings: remove the tag"
        if tag in _CORE_TAGS
        else "vorn keeps no tags: write what the tag means into the text, or remove it",
        fix,
    )


def _merge_names(value: str) -> list[str] | None:
    """The anchors of a '[*a, *b]' merge list, or None."""
    if value[:1] != "[" or value[-1:] != "]":
        return None
    parts = [part.strip(WHITE_SPACE) for part in value[1:-1].split(",")]
    if not parts or not all(_ALIAS.fullmatch(part) for part in parts):
        return None
    return [part[1:] for part in parts]


def _merge_list(text: _Text, records: Sequence[SyntaxRecord], record: SyntaxRecord) -> Iterator[Habit]:
    if record.kind != SyntaxKind.ENTRY or record.key != "<<" or record.form != SyntaxForm.PLAIN:
        return
    value = text.of(record.value_bytes)
    names = _merge_names(value)
    if names is None:
        return
    fix = None
    if not _on_hyphen_line(records, record) and record.key_bytes is not None:
        brk = text.line_break(record.head_bytes.start) + " " * record.indent
        lines = brk.join(f"<<: *{name}" for name in names)
        fix = Fix(
            "write one merge line for each mapping",
            (text.edit(record.key_bytes.start, record.value_bytes.stop, lines),),
        )
    yield Habit(
        "merge-list",
        text.span(record.head_bytes.start, record.value_bytes.stop),
        f"'<<: {_shown(value)}' is an entry '<<' holding that text, not a merge",
        "write one '<<: *name' line for each mapping; the first one's entries win",
        fix,
    )


def _value_is_comment(text: _Text, records: Sequence[SyntaxRecord], record: SyntaxRecord) -> Iterator[Habit]:
    comment = record.inline_comment
    if record.form != SyntaxForm.EMPTY or comment is None or record.comment_bytes is None:
        return
    word = comment
    for index, char in enumerate(comment):
        if char in WHITE_SPACE:
            word = comment[:index]
            if not comment[index:].lstrip(WHITE_SPACE).startswith("#"):
                return  # prose after the word: a comment meant as one
            break
    if len(word) < 2 or word[1] == "#":
        return
    start = record.comment_bytes.start
    end = start + len(word.encode("utf-8", "surrogatepass"))
    yield Habit(
        "value-is-comment",
        text.span(start, end),
        f"the value is empty: '{_shown(word)}' after a blank starts a comment",
        f"quote it: {_shown(double_quoted(word))}",
        Fix("quote it", (text.edit(start, end, double_quoted(word)),)),
    )


def _colon_without_blank(text: _Text, records: Sequence[SyntaxRecord], record: SyntaxRecord) -> Iterator[Habit]:
    if record.kind != SyntaxKind.ENTRY or record.key_bytes is None or record.form == SyntaxForm.EMPTY:
        return
    if _on_hyphen_line(records, record):
        return  # an item such as '- db:5432': the colon-item warning says it
    colon = record.key_bytes.stop
    while text.data[colon : colon + 1] != b":":
        colon += 1
    after = text.char_at(colon + 1)
    if not after or after in WHITE_SPACE or record.form not in (SyntaxForm.PLAIN, SyntaxForm.NESTED_BLOCK):
        return
    line = text.of(
        range(record.head_bytes.start, record.value_bytes.stop if record.form == SyntaxForm.PLAIN else colon)
    )
    parent = None if record.parent is None else records[record.parent]
    fix = None
    # YAML's scalar on the line below its key: the one entry of a block
    # under a key with nothing after its colon, on one line.
    siblings = text.tree.children(parent.index) if parent is not None else []
    if (
        parent is not None
        and parent.kind == SyntaxKind.ENTRY
        and parent.form == SyntaxForm.NESTED_BLOCK
        and parent.anchor is None
        and siblings == [record.index]
        and record.form == SyntaxForm.PLAIN
        and record.inline_comment is None
        and not _on_hyphen_line(records, parent)
    ):
        written = line if plain_value_fits(line, False) else double_quoted(line)
        fix = Fix(
            "join the text to its key's line",
            (text.edit(parent.head_bytes.stop, record.value_bytes.stop, " " + written),),
        )
    yield Habit(
        "colon-without-blank",
        text.span(colon, colon + 1),
        f"the colon in '{_shown(line)}' makes it a key and a value; in YAML only a colon before a blank does",
        "if this is text, quote it, or write it on its key's line; if it is an entry, put a blank after the colon",
        fix,
    )


_Check = Callable[[_Text, Sequence[SyntaxRecord], SyntaxRecord], Iterator[Habit]]
_QUOTES = frozenset(b"\"'")
_FLOW_OPENERS = frozenset(b"[{")
# The first bytes of a plain value that some check looks for.
_SPECIAL_FIRST = frozenset(b"[{-!")
_HYPHEN, _BANG, _LINE_FEED = ord("-"), ord("!"), ord("\n")
_ASCII_BLANKS = frozenset(ord(char) for char in WHITE_SPACE if char < "\x80")

_CHECKS: tuple[_Check, ...] = (
    _colon_without_blank,
    _flow_collection,
    _item_in_item,
    _blank_line_in_block,
    _comments_make_mapping,
    _yaml_escape,
    _doubled_quote,
    _yaml_tag,
    _merge_list,
    _value_is_comment,
)
# The checks each form other than a plain value can meet (quoted keys aside).
_BY_FORM: dict[SyntaxForm, tuple[_Check, ...]] = {
    SyntaxForm.NESTED_BLOCK: (_colon_without_blank, _comments_make_mapping),
    SyntaxForm.LITERAL_BLOCK: (_blank_line_in_block,),
    SyntaxForm.DOUBLE_QUOTED: (_yaml_escape, _doubled_quote),
    SyntaxForm.SINGLE_QUOTED: (_yaml_escape, _doubled_quote),
    SyntaxForm.EMPTY: (_value_is_comment,),
}
