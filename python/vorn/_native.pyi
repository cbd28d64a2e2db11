# Type stub for the extension vorn._native; shipped with the package.
from enum import StrEnum
from typing import Any, Final, final

from _typeshed import structseq

from ._spans import Span

VERSION_KEY: Final[str]
"""The key of the format version every document's root holds."""
FORMAT_VERSION: Final[str]
"""The one version the reader accepts (White_Space around it aside)."""
MERGE_KEY: Final[str]
"""The key that merges a mapping in ("<<")."""
WHITE_SPACE: Final[str]
"""The characters the reader trims and counts as blanks: Unicode's White_Space."""

class DocumentFault(ValueError):
    """A document fault found by ``loads``: ``args`` are (the text
    ``_vorn_native.loads`` raises, the message, the 1-based line, the
    character offset in the document it points at). The package turns it
    into ``vorn.DecodeError``."""

def loads(s: str, /) -> dict[str, Any]:
    """The document ``s`` as dict, list and str objects; a document fault
    raises DocumentFault.

    >>> loads("_vorn_version: 1.0\\n")
    {'_vorn_version': '1.0'}
    """

def checked_dumps(obj: str | list[Any] | dict[str, Any], lossy: bool, /) -> str | tuple[list[str | int], str]:
    """The document text of ``obj``, or (steps, fault name) for the first
    string or root that would not read back equal; with ``lossy``, only a
    key holding a line feed.

    >>> checked_dumps({"_vorn_version": "1.0", "a": "x\\n"}, False)
    (['a'], 'final_line_feed')
    """

@final
class MappingChanges(structseq[Any], tuple[dict[str, Any], list[str], list[str]]):
    """How a dict differs from the mapping as read."""

    __match_args__: Final = ("changed", "gone", "added")
    @property
    def changed(self) -> dict[str, Any]:
        """Each key both hold whose values differ, to how they differ."""
    @property
    def gone(self) -> list[str]:
        """The keys only the values as read hold."""
    @property
    def added(self) -> list[str]:
        """The keys only the data hold."""

@final
class ItemChanges(structseq[Any], tuple[dict[int, Any], int, int, int]):
    """How a list differs from the list as read: the items between
    ``prefix`` and ``suffix`` are paired by position (their index is the
    same in both), and the rest of the longer were deleted or added."""

    __match_args__: Final = ("changed", "prefix", "suffix", "old_length")
    @property
    def changed(self) -> dict[int, Any]:
        """Each index of a pair of items that differ, to how they differ."""
    @property
    def prefix(self) -> int:
        """How many items at the start are unchanged."""
    @property
    def suffix(self) -> int:
        """How many items at the end are unchanged."""
    @property
    def old_length(self) -> int:
        """The number of items read."""

class SyntaxKind(StrEnum):
    """What a syntax record is: an entry, an item, or a merge (an entry
    that merges a mapping in and makes none of its own)."""

    ENTRY = "entry"
    ITEM = "item"
    MERGE = "merge"

class SyntaxForm(StrEnum):
    """How a value was written."""

    EMPTY = "empty"
    PLAIN = "plain"
    SINGLE_QUOTED = "single_quoted"
    DOUBLE_QUOTED = "double_quoted"
    LITERAL_BLOCK = "literal_block"
    EMPTY_SEQUENCE = "empty_sequence"
    EMPTY_MAPPING = "empty_mapping"
    NESTED_BLOCK = "nested_block"
    ALIAS = "alias"
    INLINE_MAPPING = "inline_mapping"

@final
class SyntaxRecord:
    """One entry, item or merge line of a document as written. Byte ranges
    are of the tree's UTF-8 text; spans count as editors do."""

    @property
    def index(self) -> int: ...
    @property
    def kind(self) -> SyntaxKind: ...
    @property
    def form(self) -> SyntaxForm: ...
    @property
    def parent(self) -> int | None: ...
    @property
    def target(self) -> int | None:
        """For an alias, the record whose block its anchor named; for a
        merge, the record whose block it merges; else None."""
    @property
    def line(self) -> int: ...
    @property
    def indent(self) -> int: ...
    @property
    def key(self) -> str | None: ...
    @property
    def anchor(self) -> str | None: ...
    @property
    def inline_comment(self) -> str | None: ...
    @property
    def head_bytes(self) -> range: ...
    @property
    def lines_bytes(self) -> range: ...
    @property
    def key_bytes(self) -> range | None: ...
    @property
    def value_bytes(self) -> range: ...
    @property
    def anchor_bytes(self) -> range | None: ...
    @property
    def comment_bytes(self) -> range | None: ...
    @property
    def head_span(self) -> Span: ...
    @property
    def lines_span(self) -> Span: ...
    @property
    def key_span(self) -> Span | None: ...
    @property
    def value_span(self) -> Span: ...
    @property
    def anchor_span(self) -> Span | None: ...
    @property
    def comment_span(self) -> Span | None: ...

@final
class WrittenPlace(structseq[Any], tuple[int | None, int | None, tuple[int, ...]]):
    """Where a value is written, through the aliases and merges that brought it."""

    __match_args__: Final = ("record", "key_record", "via")
    @property
    def record(self) -> int | None: ...
    @property
    def key_record(self) -> int | None: ...
    @property
    def via(self) -> tuple[int, ...]: ...

@final
class SyntaxTree:
    """A document read with the syntax records of every entry, item and
    merge line, in written order. Made only by ``read_syntax``."""

    def __len__(self) -> int: ...
    def __getitem__(self, index: int, /) -> SyntaxRecord: ...
    def __buffer__(self, flags: int, /) -> memoryview:
        """The UTF-8 text the tree was read from, read-only."""
    def line_start(self, offset: int, /) -> int:
        """Where the line that holds byte ``offset`` starts."""
    def locate(self, path: list[str | int] | tuple[str | int, ...], /) -> tuple[int, bool] | None:
        """(record, copied) of the value at ``path``; record -1 is the root;
        None when the document has no value there."""
    def record(self, index: int, /) -> SyntaxRecord: ...
    def written_at(self, path: list[str | int] | tuple[str | int, ...], /) -> WrittenPlace | None:
        """Where the value at ``path`` is written, following aliases and
        merges; None when the document has no value there."""
    def span(self, begin: int, end: int, /) -> Span:
        """The Span of the bytes [begin, end) of the text."""
    def aliases(self, targets: set[int] | None = None, /) -> list[tuple[int, int]]:
        """(record, target) of the aliases and merges, in written order;
        only those whose target is in ``targets`` when it is given."""
    def alias_targets(self, /) -> list[tuple[int, int]]:
        """(record, head_begin) of the records that aliases and merges name,
        in written order, each once."""
    def entry(
        self, index: int, /
    ) -> tuple[str, str, int, int, str | None, str | None, int, int, int, int, int, int, int, int, int, int]:
        """(kind, form, parent, target, key, anchor, indent, lines_begin,
        lines_end, head_begin, head_end, key_begin, key_end, value_begin,
        value_end, comment_begin)."""
    def entries_under(self, owner: int, key: str, /) -> list[int]:
        """The entries under ``key`` that the block of ``owner`` wrote, in
        written order."""
    def block(self, owner: int, /) -> tuple[list[int], int, bool, int]:
        """(merge records, end of the last line or -1, entries in ascending
        order, first record or -1)."""
    def child(self, owner: int, position: int, /) -> int:
        """The record at ``position`` among those the block of ``owner``
        holds, or -1; position -1 gives their number."""
    def first_entry_after(self, owner: int, key: str, /) -> int:
        """The first entry of the block whose key sorts after ``key``, or
        -1."""
    def comments(self, index: int, /) -> list[str]:
        """The comment lines above the record."""
    def children(self, index: int | None, /) -> list[int]:
        """The records the value of record ``index`` holds (None: the root)."""
    def changes(self, data: Any, /) -> tuple[MappingChanges | ItemChanges | bool | None, bool]:
        """(how, foreign): how is None when ``data`` hold the values as
        read, else how they differ, nested as the data are: a MappingChanges
        for a dict, an ItemChanges for a list, True for anything else;
        foreign tells whether the caller's code (an ``==``, or a key's
        ``__hash__`` or ``__eq__``) may have run, and changed ``data``,
        while they were compared."""

def read_syntax(s: str, /) -> tuple[dict[str, Any], SyntaxTree]:
    """(the document ``s`` as ``loads`` gives it, its SyntaxTree); a
    document fault raises DocumentFault."""

def join_utf8(pieces: list[bytes | memoryview], /) -> str:
    """The str of a list of UTF-8 bytes-like pieces, joined."""
