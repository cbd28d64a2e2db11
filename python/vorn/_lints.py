"""Lints: documents that read, but likely not as their author meant.

They come from the document as written (its syntax records), so they see
what the values alone cannot: a key written twice, an anchor nobody uses,
the shape of an item's lines.

Each finding is a ``Lint``, which ``vorn check`` shows as a compiler shows
a warning, the fix on a line of its own::

    hosts.vorn:3:5: warning: the item '- db:5432' reads as a mapping because of its colon [colon-in-item]
      - db:5432
        ^
    help: quote it to keep it a string: - "db:5432"

Writing one: ``message`` says what reads otherwise than meant, in one
short clause and without the fix; ``help`` is the whole fix, as an
instruction, and nothing else. Text of the document goes into the message
only through ``_shown`` (shortened in its middle), into the help only
through ``_quotable`` (too long to quote whole, it is left out and the help
says the fix in words instead), so that no line is long enough to be cut
and advice is never cut. ``code`` names the kind, in lower case with
hyphens; it never changes once released.
"""

from __future__ import annotations

from collections import Counter
from collections.abc import Callable, Iterable, Sequence
from dataclasses import dataclass

from ._document import Document
from ._fixes import Fix, TextEdit
from ._native import WHITE_SPACE, SyntaxForm, SyntaxKind, SyntaxRecord, SyntaxTree
from ._spans import Span
from ._yaml_lints import record_habits

# The longest piece of the document a message or help quotes whole.
LONGEST_QUOTE = 32


@dataclass(frozen=True, slots=True)
class Lint:
    """One finding: where, what reads otherwise than meant, and the fix;
    for an editor also the whole range it covers and, where the fix is
    certain, the fix as text edits (a quick fix)."""

    code: str  # the kind, e.g. "repeated-key"
    lineno: int
    colno: int  # 1-based, in characters from the start of the line
    message: str  # what happens, without the fix
    help: str  # the whole fix
    span: Span | None = None
    fix: Fix | None = None


def _shown(text: str) -> str:
    """``text`` for a message: whole, or shortened in its middle."""
    if len(text) <= LONGEST_QUOTE:
        return text
    half = (LONGEST_QUOTE - 3) // 2
    return f"{text[:half]}...{text[-half:]}"


def _quotable(text: str, help_with: Callable[[str], str], help_without: str) -> str:
    """The help that quotes ``text`` whole, or the one that needs no quote
    when it is too long to show."""
    return help_with(text) if len(text) <= LONGEST_QUOTE else help_without


def lints(document: Document) -> list[Lint]:
    """Every finding in ``document``, in the order of the text."""
    return findings(document).all()


# The groups of findings, in the order a position's findings are given.
REPEATED_KEY, COLON_ITEM, UNUSED_ANCHOR, NOT_NESTED, YAML_HABIT = range(5)


@dataclass(frozen=True, slots=True)
class RepeatedKey:
    """The finding of a key written twice, with the record of the key's
    last earlier writing, which its message names."""

    earlier: int
    lint: Lint


@dataclass(slots=True)
class Findings:
    """A document's findings: those of the whole document (a key written
    twice, an anchor nobody uses, with what they came from), and those
    each record's own lines give, by record, which the language server
    renews for the records of changed lines alone."""

    repeated: dict[int, RepeatedKey]  # record: the finding of its key
    uses: dict[int, int]  # anchor record: how many aliases and merges name it
    unused: dict[int, Lint]  # anchor record: the finding that it is unused
    by_record: dict[int, list[tuple[int, Lint]]]  # record: [(group, finding)]

    def all(self) -> list[Lint]:
        placed = [(REPEATED_KEY, index, found.lint) for index, found in self.repeated.items()]
        placed += [(UNUSED_ANCHOR, index, lint) for index, lint in self.unused.items()]
        for index, found in self.by_record.items():
            placed += [(group, index, lint) for group, lint in found]
        placed.sort(key=lambda item: (item[2].lineno, item[2].colno, item[0], item[1]))
        return [lint for _, _, lint in placed]


def findings(document: Document) -> Findings:
    tree = document._tree
    records = [tree.record(index) for index in range(len(tree))]
    lines = document.text.split("\n")
    uses = anchor_uses(records)
    return Findings(
        repeated_keys(records),
        uses,
        unused_anchors(records, tree, uses),
        record_findings(tree, records, lines, records),
    )


def record_findings(
    tree: SyntaxTree, records: Sequence[SyntaxRecord], lines: Sequence[str], among: Sequence[SyntaxRecord]
) -> dict[int, list[tuple[int, Lint]]]:
    """The findings the records ``among`` give on their own, by record."""
    by_record: dict[int, list[tuple[int, Lint]]] = {}
    for group, found in (
        (COLON_ITEM, _colon_items(records, tree, lines, among)),
        (NOT_NESTED, _items_that_do_not_nest(records, tree, lines, among)),
        (
            YAML_HABIT,
            [
                (
                    index,
                    Lint(
                        habit.code,
                        habit.span.lineno,
                        habit.span.colno,
                        habit.message,
                        habit.help,
                        habit.span,
                        habit.fix,
                    ),
                )
                for index, habit in record_habits(tree, records, among)
            ],
        ),
    ):
        for index, lint in found:
            by_record.setdefault(index, []).append((group, lint))
    return by_record


def _at(span: Span) -> str:
    return f"line {span.lineno}, column {span.colno}"


def repeated_keys(records: Iterable[SyntaxRecord]) -> dict[int, RepeatedKey]:
    """The keys of ``records`` (in written order) written twice in one
    mapping, each found at its later writing."""
    seen: dict[tuple[int | None, str], SyntaxRecord] = {}
    found = {}
    for record in records:
        # Spans are made only for the keys found twice: making one for
        # every key would cost more than the rest of the walk.
        if record.kind is not SyntaxKind.ENTRY or record.key_bytes is None:
            continue
        key = record.key
        if key is None:
            continue
        earlier = seen.get((record.parent, key))
        seen[(record.parent, key)] = record
        if earlier is not None:
            lint = repeated_key(record, earlier)
            if lint is not None:
                found[record.index] = RepeatedKey(earlier.index, lint)
    return found


def repeated_key(record: SyntaxRecord, earlier: SyntaxRecord) -> Lint | None:
    """The finding of ``record``'s key, written before at ``earlier``."""
    if earlier.key_span is None or record.key_span is None or record.key is None:
        return None
    return Lint(
        "repeated-key",
        record.key_span.lineno,
        record.key_span.colno,
        f"key '{_shown(record.key)}' is written twice in one mapping (first at {_at(earlier.key_span)}); "
        "the later one wins",
        "delete the entry you do not mean, or rename one of them",
        span=record.key_span,
    )


def _line_text(lines: Sequence[str], span: Span) -> str:
    return lines[span.lineno - 1].removesuffix("\r")


def _colon_items(
    records: Sequence[SyntaxRecord], tree: SyntaxTree, lines: Sequence[str], among: Sequence[SyntaxRecord]
) -> list[tuple[int, Lint]]:
    found = []
    for record in among:
        if record.kind != SyntaxKind.ITEM or record.form != SyntaxForm.INLINE_MAPPING:
            continue
        first = next((records[child] for child in tree.children(record.index)), None)
        if first is None or first.key_span is None:
            continue
        line = _line_text(lines, first.key_span)
        colon = line.find(":", first.key_span.end_colno - 1)
        after = line[colon + 1 : colon + 2]
        if colon < 0 or after == "" or after in WHITE_SPACE:
            continue
        written = line[record.value_span.colno - 1 :].split(" #")[0].rstrip()
        where = Span(
            record.value_span.lineno,
            record.value_span.colno,
            record.value_span.lineno,
            record.value_span.colno + len(written),
        )
        found.append(
            (
                record.index,
                Lint(
                    "colon-in-item",
                    record.value_span.lineno,
                    record.value_span.colno,
                    f"the item '- {_shown(written)}' reads as a mapping because of its colon",
                    _quotable(
                        _double_quoted(written),
                        lambda quoted: f"quote it to keep it a string: - {quoted}",
                        "put the whole item in double quotes to keep it a string",
                    ),
                    span=where,
                    fix=Fix("quote the item", (TextEdit(where, _double_quoted(written)),)),
                ),
            )
        )
    return found


def _double_quoted(text: str) -> str:
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def anchor_uses(records: Iterable[SyntaxRecord]) -> dict[int, int]:
    """How many aliases and merges among ``records`` name each anchor."""
    return Counter(record.target for record in records if record.form == SyntaxForm.ALIAS and record.target is not None)


def unused_anchors(records: Iterable[SyntaxRecord], tree: SyntaxTree, uses: dict[int, int]) -> dict[int, Lint]:
    return {
        record.index: unused_anchor(record, tree)
        for record in records
        if record.anchor is not None and record.index not in uses and record.anchor_bytes is not None
    }


def unused_anchor(record: SyntaxRecord, tree: SyntaxTree) -> Lint:
    """The finding of ``record``'s anchor, which nothing names."""
    assert record.anchor is not None and record.anchor_bytes is not None
    text = memoryview(tree)
    # From the blanks before the '&' to the end of the name.
    begin = record.anchor_bytes.start - 1
    while begin > 0 and text[begin - 1] == ord(" "):
        begin -= 1
    return Lint(
        "unused-anchor",
        record.value_span.lineno,
        record.value_span.colno,
        f"anchor &{_shown(record.anchor)} is never used by an alias or a merge",
        _quotable(
            record.anchor,
            lambda name: f"remove it, or use it as *{name}",
            "remove it, or use it in an alias or a merge of its name",
        ),
        span=tree.span(record.anchor_bytes.start - 1, record.anchor_bytes.stop),
        fix=Fix(
            f"remove the anchor &{record.anchor}",
            (TextEdit(tree.span(begin, record.anchor_bytes.stop), ""),),
        ),
    )


def _items_that_do_not_nest(
    records: Sequence[SyntaxRecord], tree: SyntaxTree, lines: Sequence[str], among: Sequence[SyntaxRecord]
) -> list[tuple[int, Lint]]:
    found = []
    for record in among:
        if record.kind != SyntaxKind.ITEM or record.form != SyntaxForm.INLINE_MAPPING:
            continue
        children = [records[child] for child in tree.children(record.index)]
        if len(children) < 2 or children[0].form != SyntaxForm.EMPTY or children[1].line == children[0].line:
            continue
        key = children[0].key or ""
        found.append(
            (
                record.index,
                Lint(
                    "empty-item-key",
                    children[0].head_span.lineno,
                    children[0].head_span.colno,
                    f"the lines below '- {_shown(key)}:' continue the item's mapping instead of nesting under it",
                    _quotable(
                        key,
                        lambda key: (
                            f"to nest them under '{key}', write '-' alone on the item's line, '{key}:' below it, "
                            "and indent its lines under that"
                        ),
                        "to nest them under the key, write '-' alone on the item's line, the key below it, and indent "
                        "its lines under that",
                    ),
                    span=children[0].head_span,
                ),
            )
        )
    return found
