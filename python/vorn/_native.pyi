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

@final
class EditFault(structseq[Any], tuple[str, list[str | int], str, str]):
    """Why an edit's text could not be made."""

    __match_args__: Final = ("kind", "steps", "fault", "reason")
    @property
    def kind(self) -> str:
        """'cannot_write' for data the format cannot carry, 'not_in_place'
        for an edit that cannot be made."""
    @property
    def steps(self) -> list[str | int]:
        """The keys and indices of the value at fault, from the root."""
    @property
    def fault(self) -> str:
        """For cannot_write, which of the checked writer's faults; else ''."""
    @property
    def reason(self) -> str:
        """For not_in_place, why."""

@final
class EditOutcome(structseq[Any], tuple[str | None, EditFault | None, bool]):
    """What an edit of a document's text gave."""

    __match_args__: Final = ("text", "fault", "foreign")
    @property
    def text(self) -> str | None:
        """The edited text, read back and found equal to the data; None
        with a fault."""
    @property
    def fault(self) -> EditFault | None: ...
    @property
    def foreign(self) -> bool:
        """Whether the caller's code ran while the data were compared."""

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
        """The UTF-8 text the tree was read from, read-only: the records'
        byte ranges index it."""
    def locate(self, path: list[str | int] | tuple[str | int, ...], /) -> tuple[int, bool] | None:
        """(record, copied) of the value at ``path``; record -1 is the root;
        None when the document has no value there."""
    def record(self, index: int, /) -> SyntaxRecord: ...
    def written_at(self, path: list[str | int] | tuple[str | int, ...], /) -> WrittenPlace | None:
        """Where the value at ``path`` is written, following aliases and
        merges; None when the document has no value there."""
    def places(self, path: list[str | int] | tuple[str | int, ...], /) -> list[tuple[str | int, ...]] | None:
        """The paths of every value written where the value at ``path`` is
        (that place, and each place an alias or merge repeats it); None if
        absent."""
    def span(self, begin: int, end: int, /) -> Span:
        """The Span of the bytes [begin, end) of the text."""
    def comments(self, index: int, /) -> list[str]:
        """The comment lines above the record."""
    def children(self, index: int | None, /) -> list[int]:
        """The records the value of record ``index`` holds (None: the root)."""
    def edit(self, data: Any, /) -> EditOutcome:
        """The text read, changed in place as ``data`` changed since, read
        back and found equal; or the EditFault that kept it from being
        made. A value of a type the writer does not write raises TypeError."""

def read_syntax(s: str, /) -> tuple[dict[str, Any], SyntaxTree]:
    """(the document ``s`` as ``loads`` gives it, its SyntaxTree); a
    document fault raises DocumentFault."""
