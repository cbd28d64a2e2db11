"""Writing changed data back into the text they were read from.

The data as read and the data as they are now are compared from the root
down; only where they differ is the text rewritten, each change as one
splice of the original bytes:

- a changed scalar: its value text alone, in its old quoting when that
  still reads back the same, else the plainest that does;
- a deleted entry or item: its lines, with the comment lines above it;
- a new entry: at the end of its mapping's block, or at its sorted place
  when the block's keys are sorted; a new item: after its neighbour;
- a value of another kind, or under an alias: the value, written anew.

Anchors, aliases and merges stay as written unless a change reaches them:
an alias whose anchor's block changed (or went) while its own value did not
is written out as the copy it stood for, and a merge whose source changed,
or whose key was deleted, is written out as entries.
"""

from __future__ import annotations

import re
from collections.abc import Callable
from typing import Any

from ._errors import EncodeError
from ._native import ItemChanges, MappingChanges, SyntaxTree, join_utf8, loads
from ._writing import checked_text

_VERSION = "_vorn_version"
# Scalars written plain inside a new subtree: no character the reader gives
# a meaning to, nothing at the ends it would trim.
_PLAIN = re.compile(r"[A-Za-z0-9_./@+=%~,()][A-Za-z0-9_./@+=%~,() -]*")
# After a key, a colon is text too: the key ends at the first one.
_PLAIN_AFTER_KEY = re.compile(r"[A-Za-z0-9_./@+=%~,()][A-Za-z0-9_./@+=%~,(): -]*")
# An entry whose whole value is on its line.
_ONE_LINE_ENTRY = re.compile(r" *[^ -].*: \S.*")
_LINE_FEED = re.compile(b"\n")
_QUOTED_LINE = re.compile(r'^( *(?:- |[^"\s][^:"]*: ))"([^"\\]*)"$')

Path = tuple[str | int, ...]


class _Fallback(Exception):
    """A change this editor does not make in place; the document is then
    written anew (values exact, layout the writer's)."""


def edited_text(text: str, tree: SyntaxTree, data: Any) -> str:
    """The text of ``data`` made from ``text`` (read as ``tree``) with the
    fewest changes. Data the format cannot carry raise EncodeError."""
    difference, foreign = tree.changes(data)
    if difference is None:
        return text
    if not isinstance(difference, MappingChanges) or any(_VERSION in keys for keys in difference):
        checked_text(data, False)  # raises for a root that cannot be read back
    try:
        edited = _Editor(text, tree, data).run(difference)
    except _Fallback:
        return checked_text(data, False)
    except EncodeError as error:
        # The editor writes each new value alone, so its error names a
        # place of its own: the writer of the whole data names the right
        # one. Documents have no lossy writing, so the hint goes.
        try:
            checked_text(data, False)
        except EncodeError as named:
            raise EncodeError(named.location, named.reason, lossy_helps=False) from None
        raise EncodeError("$", error.reason, lossy_helps=False) from None
    except Exception:
        if not foreign:
            raise
        # The caller's code, run while the data were compared, changed them
        # since: the difference no longer holds.
        return checked_text(data, False)
    if foreign and not _reads_back(edited, data):
        return checked_text(data, False)
    return edited


def _reads_back(text: str, data: Any) -> bool:
    try:
        return bool(loads(text) == data)
    except ValueError:
        return False


def verified_text(text: str, tree: SyntaxTree, data: Any) -> str:
    """edited_text, read back before it is given to be written: if the
    splices ever read back as other data, the writer's own text is."""
    edited = edited_text(text, tree, data)
    return edited if _reads_back(edited, data) else checked_text(data, False)


class _Editor:
    def __init__(self, text: str, tree: SyntaxTree, data: Any) -> None:
        self.tree = tree
        # The tree's own UTF-8 text, not a copy of it.
        view = memoryview(tree)
        self.text: bytes | memoryview = view
        # A last line without a line break gets one while the splices are
        # made, so that what is added after it or deleted with it is whole
        # lines; it goes again if nothing reached the end.
        self.unterminated = len(view) if view and view[-1] != ord("\n") else -1
        self.data = data
        first_line = _LINE_FEED.search(view)
        self.newline = (
            b"\r\n" if first_line and first_line.start() > 0 and view[first_line.start() - 1] == ord("\r") else b"\n"
        )
        if self.unterminated >= 0:
            self.text = bytes(self.text) + self.newline
        # (begin, end, replacement, order, record, rewrites) splices of
        # self.text: the record whose value they change, and whether they
        # write that value anew.
        self.edits: list[tuple[int, int, bytes, int, int, bool]] = []
        # Records whose value was written anew from the data, anchor and
        # all: no other splice inside them is needed.
        self.rewritten: set[int] = set()
        self.removed: list[tuple[int, int]] = []
        self.touched: set[int] = set()
        # Changed aliases left to be judged once every change is made.
        self.deferred: set[int] = set()
        self.records: dict[int, tuple[Any, ...]] = {}
        self.kids: dict[int, list[int]] = {}
        # Keys a change wrote as entries below a mapping's merges.
        self.below_merge: dict[int, set[str]] = {}
        # (first old index, shift) of a sequence whose length changed: where
        # the items it kept now stand.
        self.shifts: dict[int, tuple[int, int]] = {}

    # --- the records ---------------------------------------------------

    def record(self, index: int) -> tuple[Any, ...]:
        """(kind, form, parent, target, key, anchor, indent, and the byte
        offsets of its lines, head, key, value and inline comment)"""
        found = self.records.get(index)
        if found is None:
            found = self.records[index] = self.tree.entry(index)
        return found

    def children(self, index: int) -> list[int]:
        found = self.kids.get(index)
        if found is None:
            found = self.kids[index] = self.tree.children(index)
        return found

    def path(self, index: int) -> Path:
        steps: list[str | int] = []
        while index >= 0:
            kind, _, parent, _, key, *_ = self.record(index)
            if kind == "merge":
                raise _Fallback
            if kind == "entry":
                if (
                    parent >= 0
                    and self.record(parent)[1] == "inline_mapping"
                    and index not in self.holding_entries(parent, key, self.tree.block(parent)[0])
                ):
                    # A merge below the item's line replaced this entry: no
                    # path of the data leads to what it wrote.
                    raise _Fallback
                steps.append(key)
            else:
                # A sequence's block holds items alone.
                position = self.children(parent).index(index)
                start, shift = self.shifts.get(parent, (position + 1, 0))
                steps.append(position + shift if position >= start else position)
            index = parent
        return tuple(reversed(steps))

    # --- splices ---------------------------------------------------------

    def splice(self, begin: int, end: int, replacement: bytes, record: int, rewrites: bool = False) -> None:
        self.edits.append((begin, end, replacement, len(self.edits), record, rewrites))
        if end > begin:
            self.removed.append((begin, end))
        while record >= 0 and record not in self.touched:
            self.touched.add(record)
            record = self.record(record)[2]

    def line_start(self, offset: int) -> int:
        if isinstance(self.text, bytes):
            return self.text.rfind(b"\n", 0, offset) + 1
        return self.tree.line_start(offset)

    def after_line(self, offset: int) -> int:
        found = _LINE_FEED.search(self.text, offset)
        return len(self.text) if found is None else found.end()

    def is_removed(self, index: int) -> bool:
        return self.removed_at(self.record(index)[9])

    def removed_at(self, offset: int) -> bool:
        return any(begin <= offset < end for begin, end in self.removed)

    def run(self, difference: Any) -> str:
        self.mapping(-1, self.data, None, difference)
        self.rewrite_copies()
        return self.apply()

    def within_rewritten(self, record: int, rewrites: bool) -> bool:
        """Whether a splice for ``record`` is part of a value written anew:
        the value of a rewritten record, or of one that holds it."""
        if rewrites:
            record = self.record(record)[2] if record >= 0 else -1
        while record >= 0:
            if record in self.rewritten:
                return True
            record = self.record(record)[2]
        return False

    def apply(self) -> str:
        # A value written anew holds every change made inside it: its own
        # splices alone stay.
        edits = [edit for edit in self.edits if not self.within_rewritten(edit[4], edit[5])]
        # From the end, so offsets stay true; at one offset, a replacement
        # before the insertions there, and insertions in the order made.
        ordered = sorted(edits, key=lambda edit: (edit[0], edit[1] > edit[0], edit[3]), reverse=True)
        # The pieces of the text from the end, views of it joined once: a
        # document of megabytes is copied once, not once per splice.
        text = memoryview(self.text)
        pieces: list[bytes | memoryview] = []
        limit = len(text)
        for begin, end, replacement, *_ in ordered:
            if end > limit:
                raise _Fallback  # overlapping splices
            pieces += (text[end:limit], replacement)
            limit = begin
        pieces.append(text[:limit])
        if self.unterminated >= 0 and all(edit[1] <= self.unterminated for edit in edits):
            pieces[0] = pieces[0][: -len(self.newline)]
        pieces.reverse()
        return join_utf8(pieces)

    # --- rendering -------------------------------------------------------

    def lines(self, value: Any, indent: int, key: str | None = None) -> bytes:
        """``value`` written as the writer writes it, as the entry ``key``
        (or an item when None) at ``indent``."""
        holder: Any = [value] if key is None else {key: value}
        written = checked_text({_VERSION: "1.0", "x": holder}, False).split("\n")
        start = next(i for i, line in enumerate(written) if line == "x:") + 1
        pad = " " * indent
        out = []
        block_indent = -1  # inside a literal block: its lines are text
        for line in written[start:]:
            if not line:
                continue
            line = line[2:]
            depth = len(line) - len(line.lstrip(" "))
            if block_indent >= 0 and depth > block_indent:
                out.append(pad + line)
                continue
            block_indent = depth if line.endswith(" |") else -1
            line = _plain_line(line)
            out.append(pad + line.rstrip(" ") if line.endswith("- ") else pad + line)
        return (self.newline.decode().join(_inline_items(out)) + self.newline.decode()).encode("utf-8")

    def scalar(self, value: str, form: str, item: bool, rest: bytes | memoryview) -> bytes:
        """A one-line scalar as written after ``key:`` or ``-`` and before
        ``rest``, the rest of its line: in its old quoting when that reads
        back, else plain when that does, else the writer's double quotes.
        The rest is read with it, since a quote left open in the value would
        make an inline comment part of it."""
        after = str(rest, "utf-8").rstrip("\r\n")
        candidates = []
        if form == "single_quoted":
            candidates.append(f"'{value}'")
        if form != "double_quoted" and value:
            candidates.append(value)
        for candidate in candidates:
            context = f"x:\n  - {candidate}{after}\n" if item else f"x: {candidate}{after}\n"
            try:
                read = loads(f"{_VERSION}: 1.0\n{context}")["x"]
            except ValueError:
                continue
            if read == ([value] if item else value):
                return candidate.encode("utf-8")
        written = checked_text({_VERSION: "1.0", "x": value}, False).split("\n")
        line = next(line for line in written if line.startswith("x: "))
        return line[3:].encode("utf-8")

    # --- the walk --------------------------------------------------------

    def mapping(
        self,
        owner: int,
        new: dict[str, Any],
        replace_owner: Callable[[], None] | None,
        difference: MappingChanges,
    ) -> None:
        """``difference``: how ``new`` differs from the mapping as read (see
        ``SyntaxTree.changes``)."""
        changed, gone_keys, added_keys = difference
        gone = set(gone_keys)
        added = set(added_keys)
        merges, _, _, first = self.tree.block(owner)
        # The first entry of "- key: value" shares the item's line: deleting
        # it, or giving it a value of more than one line, rewrites the item.
        if replace_owner is not None and self.record(owner)[1] == "inline_mapping" and first >= 0:
            key = self.record(first)[4]
            # A literal block there takes every deeper line, so nothing can
            # follow it either.
            if self.record(first)[0] == "entry" and (
                key in gone
                or (
                    key in changed
                    and not _one_line(new[key])
                    and self.tree.entries_under(owner, key)[-1] == first
                    and not _nested_in_place(self.record(first)[1], new[key], changed[key])
                )
                # A new entry written right after the literal block of the
                # item's first entry could read as a line of the block.
                or (
                    added
                    and self.record(first)[1] == "literal_block"
                    # Its lines need only be deeper than the hyphen's column and
                    # one; a key written further right than that reads as one.
                    and self.record(first)[6] > self.record(owner)[6] + 2
                )
            ):
                replace_owner()
                return
        from_merges = self.merged_keys(merges) if merges else set()
        expand = bool(gone & from_merges)
        if expand and self.expand_merges(owner, merges, new):
            return
        for key in gone:
            for record in self.tree.entries_under(owner, key):
                self.delete(record)
        below_merge: list[tuple[str, Any]] = []
        for key in changed:
            if key not in new:
                raise _Fallback  # an __eq__ of the caller's took it out while compared
            written = self.holding_entries(owner, key, merges, from_merges)
            if written:
                self.change(written[-1], new[key], changed[key])
            elif not expand:
                below_merge.append((key, new[key]))
        if below_merge:
            self.below_merge.setdefault(owner, set()).update(key for key, _ in below_merge)
            indent = self.record(merges[-1])[6]
            at = self.after_line(self.record(merges[-1])[8])
            text = b"".join(self.lines(value, indent, key) for key, value in below_merge)
            self.splice(at, at, text, owner)
        if added:
            self.add_entries(owner, [(key, new[key]) for key in added_keys])

    def holding_entries(self, owner: int, key: str, merges: list[int], given: set[str] | None = None) -> list[int]:
        """The entries under ``key`` that the block of ``owner`` wrote and
        that hold against its merges, which give the keys ``given`` (by
        default those they gave when read). A merge keeps every entry of its
        own block, but the lines below "- key: value" are a block of their
        own, added to the item's mapping over key: a merge there that gives
        key replaces the entry on the item's line."""
        written = self.tree.entries_under(owner, key)
        if (
            written
            and merges
            and owner >= 0
            and self.record(owner)[1] == "inline_mapping"
            and written[0] == self.tree.block(owner)[3]
            and key in (self.merged_keys(merges) if given is None else given)
        ):
            return written[1:]
        return written

    def kept_entries(self, owner: int, key: str, merges: list[int], given: set[str] | None = None) -> list[int]:
        """holding_entries, less those a splice deleted."""
        return [entry for entry in self.holding_entries(owner, key, merges, given) if not self.is_removed(entry)]

    def merged_keys(self, merges: list[int]) -> set[str]:
        keys: set[str] = set()
        pending = [self.record(merge)[3] for merge in merges]
        while pending:
            target = pending.pop()
            if target < 0:
                raise _Fallback
            for kid in self.children(target):
                kind, _, _, kid_target, key, *_ = self.record(kid)
                if kind == "entry":
                    keys.add(key)
                elif kind == "merge":
                    pending.append(kid_target)
        return keys

    def expand_merges(self, owner: int, merges: list[int], new: dict[str, Any]) -> bool:
        """Writes the merges of a mapping out as the entries they give;
        whether that wrote the whole mapping anew."""
        if not merges or any(self.is_removed(merge) for merge in merges):
            return False
        if owner >= 0 and self.record(owner)[1] == "inline_mapping" and self.tree.block(owner)[3] in merges:
            # "- <<: *a" holds the item's line: the item is written anew.
            self.replace(owner, new)
            return True
        written = self.below_merge.get(owner, set())
        merged = sorted(
            key
            for key in self.merged_keys(merges)
            if key in new and key not in written and not self.kept_entries(owner, key, merges)
        )
        indent = self.record(merges[0])[6]
        text = b"".join(self.lines(new[key], indent, key) for key in merged)
        for number, merge in enumerate(merges):
            begin = self.lines_begin(merge)
            end = self.after_line(self.record(merge)[8])
            self.splice(begin, end, text if number == 0 else b"", owner)
        return False

    def add_entries(self, owner: int, added: list[tuple[str, Any]]) -> None:
        _, end, ascending, first = self.tree.block(owner)
        indent = self.record(first)[6] if first >= 0 else 0
        if owner >= 0 and self.record(owner)[1] == "inline_mapping":
            # The lines below "- key: value" may stand deeper than key.
            indent = self.record(self.children(owner)[-1])[6]
        tail = self.after_line(end) if end >= 0 else len(self.text)
        for key, value in added:
            at = tail
            if ascending:
                later = self.tree.first_entry_after(owner, key)
                if later >= 0 and later == first and owner >= 0 and self.record(owner)[1] == "inline_mapping":
                    # Nothing goes above the entry on "- key: value"'s line.
                    at = self.after_line(self.record(first)[8])
                elif later >= 0:
                    at = self.line_start(self.record(later)[7])
            self.splice(at, at, self.lines(value, indent, key), owner)

    def sequence(self, owner: int, new: list[Any], difference: ItemChanges) -> None:
        """``difference``: how ``new`` differs from the list as read (see
        ``SyntaxTree.changes``)."""
        changed, prefix, suffix, old_length = difference
        if self.tree.child(owner, -1) != old_length:
            raise _Fallback
        items = _Items(self.tree, owner)
        for index in sorted(changed):
            self.change(items[index], new[index], changed[index])
        if old_length == len(new):
            return
        old_middle = old_length - prefix - suffix
        new_middle = len(new) - prefix - suffix
        paired = min(old_middle, new_middle)
        self.shifts[owner] = (prefix + paired, len(new) - old_length)
        for offset in range(paired, old_middle):
            self.delete(items[prefix + offset])
        if new_middle > paired:
            indent = self.record(items[0])[6]
            after = prefix + paired
            if after > 0:
                at = self.after_line(self.record(items[after - 1])[8])
            else:
                at = self.line_start(self.record(items[0])[7])
            text = b"".join(self.lines(value, indent) for value in new[after : after + new_middle - paired])
            self.splice(at, at, text, owner)

    def change(self, record: int, new: Any, difference: Any) -> None:
        """``difference``: how ``new`` differs from the value ``record`` wrote
        (see ``SyntaxTree.changes``)."""
        kind, form, *_ = self.record(record)
        if form == "alias":
            # Changed as its anchored block was, it may stay an alias.
            target = self.record(record)[3]
            if target >= 0 and new == _at(self.data, self.path(target)):
                self.deferred.add(record)
            else:
                self.replace(record, new)
        elif isinstance(difference, MappingChanges) and new and form in ("nested_block", "inline_mapping"):
            self.mapping(record, new, lambda: self.replace(record, new), difference)
        elif isinstance(difference, ItemChanges) and new and form == "nested_block":
            self.sequence(record, new, difference)
        elif isinstance(new, str) and "\n" not in new and form in ("plain", "single_quoted", "double_quoted"):
            begin, end = self.record(record)[13:15]
            self.splice(
                begin, end, self.scalar(new, form, kind == "item", self.text[end : self.after_line(end)]), record
            )
        else:
            self.replace(record, new)

    def lines_begin(self, record: int) -> int:
        """Where removing the lines of ``record`` starts: its comment lines
        above go with it, unless they end a literal block right before it.
        Without them, the lines after it could read as the block's text."""
        begin = self.line_start(self.record(record)[7])
        if record > 0 and self.record(record - 1)[1] == "literal_block":
            begin = max(begin, self.line_start(self.record(record)[9]))
        return begin

    def delete(self, record: int) -> None:
        begin = self.lines_begin(record)
        end = self.after_line(self.record(record)[8])
        parent = self.record(record)[2]
        siblings = self.children(parent)
        position = siblings.index(record)
        if position > 0:
            # The comment lines above a "<<" line go with the entry after
            # it, but the "<<" line stays.
            begin = max(begin, self.after_line(self.record(siblings[position - 1])[8]))
        self.splice(begin, end, b"", parent)

    def replace(self, record: int, new: Any) -> None:
        """Writes the value of ``record`` anew: the rest of its own line after
        the colon or hyphen (its inline comment stays) and its lines below."""
        kind, form, _, _, _, _, indent, _, lines_end, head_begin, head_end, _, key_end, _, _, comment = self.record(
            record
        )
        parent = self.record(record)[2]
        if (
            kind == "entry"
            and parent >= 0
            and self.record(parent)[1] == "inline_mapping"
            and self.tree.block(parent)[3] == record
            and (
                isinstance(new, (dict, list))
                and new
                or isinstance(new, str)
                and "\n" in new
                and len(self.children(parent)) > 1
            )
        ):
            # The first entry of "- key: value" can have no block below it
            # (the item's mapping would go on there), nor a literal block
            # while other entries follow it.
            value = _at(self.data, self.path(parent))
            if value is _MISSING:
                raise _Fallback
            self.replace(parent, value)
            return
        self.rewritten.add(record)
        if kind == "item":
            marker = head_begin + 1
        else:
            marker = bytes(self.text[key_end:head_end]).index(b":") + key_end + 1
        value_end = head_end if comment < 0 else comment
        while value_end > marker and self.text[value_end - 1 : value_end] == b" ":
            value_end -= 1
        if isinstance(new, str) and "\n" not in new:
            rest = self.text[value_end : self.after_line(value_end)]
            inline, below = b" " + self.scalar(new, "plain", kind == "item", rest), b""
        elif isinstance(new, (dict, list)) and not new:
            inline, below = (b" {}" if isinstance(new, dict) else b" []"), b""
        else:
            # The writer's "k: |", "k:" or "-" line, and the lines below it.
            rendered = self.lines(new, indent, None if kind == "item" else "k")
            first, _, below = rendered.partition(self.newline)
            inline = first[indent + (1 if kind == "item" else 2) :]
        if lines_end > head_end:
            self.splice(marker, value_end, inline, record, rewrites=True)
            begin = self.after_line(head_end)
            self.splice(begin, self.after_line(lines_end), below, record, rewrites=True)
        elif below:
            # One splice with the rest of the line, so that nothing added
            # after this line comes between it and its lines below.
            end = self.after_line(head_end)
            self.splice(marker, end, inline + self.text[value_end:end] + below, record, rewrites=True)
        else:
            self.splice(marker, value_end, inline, record, rewrites=True)

    def rewrite_copies(self) -> None:
        """Aliases and merges whose anchored block changed or went, while
        what they stood for did not: written out as that copy."""
        if not self.touched and not self.removed:
            return
        # Most documents hold many aliases of few anchors: the anchors are
        # judged, and only the aliases of those a change reached are met.
        targets = dict(self.tree.alias_targets())
        hit = {target for target, head in targets.items() if target in self.touched or self.removed_at(head)}
        # An anchored block that holds an alias or merge of one that changed
        # reads otherwise too, though no splice reached it.
        reached = set(hit)
        while reached:
            holders = set()
            for index, _ in self.tree.aliases(reached):
                parent = self.record(index)[2]
                while parent >= 0:
                    if parent in targets and parent not in hit:
                        holders.add(parent)
                    parent = self.record(parent)[2]
            hit |= holders
            reached = holders
        candidates = self.tree.aliases(hit) if hit else []
        if self.deferred:
            candidates = sorted({*candidates, *((index, self.record(index)[3]) for index in self.deferred)})
        for index, target in candidates:
            if target < 0 or self.is_removed(index):
                continue
            kind, _, parent, *_ = self.record(index)
            if kind == "merge":
                self.rewrite_merge(parent)
                continue
            value = _at(self.data, self.path(index))
            if value is _MISSING:
                continue
            if (
                self.is_removed(target)
                or self.within_rewritten(target, False)
                or value != _at(self.data, self.path(target))
            ):
                self.replace(index, value)

    def rewrite_merge(self, owner: int) -> None:
        merges = self.tree.block(owner)[0]
        if any(self.is_removed(merge) for merge in merges):
            return
        written = self.below_merge.get(owner, set())
        value = _at(self.data, self.path(owner)) if owner >= 0 else self.data
        if not isinstance(value, dict):
            return
        still = True
        for merge in merges:
            target = self.record(merge)[3]
            source = _at(self.data, self.path(target))
            if self.is_removed(target) or self.within_rewritten(target, False) or not isinstance(source, dict):
                still = False
                continue
            # Keys the source gained count as much as those it had.
            given = self.merged_keys([merge]) | source.keys()
            for key in given:
                if (
                    key not in written
                    and source.get(key, _MISSING) != value.get(key, _MISSING)
                    and not self.kept_entries(owner, key, merges, given)
                ):
                    still = False
        if not still:
            self.expand_merges(owner, merges, value)


_MISSING: Any = object()


class _Items:
    """The item records of a sequence's block by position, asked for one at
    a time: long lists are edited in a few places."""

    def __init__(self, tree: SyntaxTree, owner: int) -> None:
        self.tree = tree
        self.owner = owner

    def __getitem__(self, position: int) -> int:
        return self.tree.child(self.owner, position)


def _at(data: Any, steps: Path) -> Any:
    for step in steps:
        if not isinstance(data, (dict, list)):
            return _MISSING  # not a str's characters
        holder: Any = data
        try:
            data = holder[step]
        except (KeyError, IndexError, TypeError):
            return _MISSING
    return data


def _nested_in_place(form: str, new: Any, difference: Any) -> bool:
    """Whether a change of a nested block is made inside it: a dict or list
    (not of a subclass) that was one when read."""
    return (
        form == "nested_block"
        and bool(new)
        and (
            type(new) is dict
            and isinstance(difference, MappingChanges)
            or type(new) is list
            and isinstance(difference, ItemChanges)
        )
    )


def _one_line(value: Any) -> bool:
    return isinstance(value, str) and "\n" not in value


def _plain_line(line: str) -> str:
    match = _QUOTED_LINE.match(line)
    if match is None:
        return line
    plain = _PLAIN if match.group(1).lstrip().startswith("- ") else _PLAIN_AFTER_KEY
    if not plain.fullmatch(match.group(2)) or match.group(2).endswith((" ", ":")):
        return line
    return match.group(1) + match.group(2)


def _inline_items(lines: list[str]) -> list[str]:
    """The writer's "-" alone above an item's mapping, as "- key: value"
    when its first entry fits on one line; a first entry whose value is
    below it must stay under a "-" alone, as lines below "- key:" would
    continue the item's mapping instead."""
    out: list[str] = []
    at = 0
    while at < len(lines):
        line = lines[at]
        following = lines[at + 1] if at + 1 < len(lines) else ""
        depth = len(line) - 1
        if (
            line.endswith("-")
            and line[:depth].strip() == ""
            and following.startswith(" " * (depth + 2))
            and not following.startswith(" " * (depth + 3))
            and _ONE_LINE_ENTRY.fullmatch(following)
            and not following.endswith(" |")
        ):
            out.append(line + " " + following.lstrip())
            at += 2
            continue
        out.append(line)
        at += 1
    return out
