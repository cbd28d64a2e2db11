# Type stub for the extension vorn._native; shipped with the package.
from typing import Any, Final, final

from _typeshed import structseq

class DocumentFault(ValueError):
    """A document fault found by ``loads``: ``args`` are (the text
    ``_vorn_native.loads`` raises, or None for a fault it does not know,
    such as a leading byte order mark; the message, the 1-based line, the
    character offset in the document it points at). The package turns it
    into ``vorn.DecodeError``."""

def loads(s: str, /) -> dict[str, Any]:
    """The document ``s`` as dict, list and str objects; a document fault,
    or a str that begins with a byte order mark, raises DocumentFault.

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

_Span = tuple[int, int, int, int]

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

@final
class SyntaxTree:
    """A document read with the syntax records of every entry, item and
    merge line, in written order. Made only by ``read_syntax``."""

    def __len__(self) -> int: ...
    def __buffer__(self, flags: int, /) -> memoryview:
        """The UTF-8 text the tree was read from, read-only."""
    def line_start(self, offset: int, /) -> int:
        """Where the line that holds byte ``offset`` starts."""
    def locate(self, path: list[str | int] | tuple[str | int, ...], /) -> tuple[int, bool] | None:
        """(record, copied) of the value at ``path``; record -1 is the root;
        None when the document has no value there."""
    def record(
        self, index: int, /
    ) -> tuple[str, str, int, int, str | None, _Span | None, _Span, _Span, _Span, str | None, str | None]:
        """(kind, form, parent, target, key, key_span, value_span, head_span,
        lines_span, anchor, inline_comment)."""
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
    def children(self, index: int, /) -> list[int]:
        """The records the value of record ``index`` holds (-1: the root)."""
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
