"""Documents that know where each value was written."""

from __future__ import annotations

import contextlib
import os
from collections.abc import Iterator
from typing import IO, Any, NamedTuple

from ._editing import edited_text, verified_text
from ._native import DocumentFault, SyntaxKind, SyntaxTree, read_syntax
from ._paths import parse_path, path_text
from ._sources import decode_error, split_mark, text_at, text_of_file
from ._spans import Span
from ._writing import write_atomically

Path = str | tuple[str | int, ...]


class Comments(NamedTuple):
    """The comment lines written above a value's entry or item, in order,
    and the comment at the end of its line (``None`` if there is none), each
    from its ``#``.

    >>> doc = vorn.Document.parse("_vorn_version: 1.0\\n# the port\\nport: 80  # http\\n")
    >>> doc.comments("$.port")
    Comments(above=['# the port'], inline='# http')
    """

    above: list[str]
    inline: str | None


class WrittenAt(NamedTuple):
    """Where a value is written, following the aliases and merges that
    brought it to its place in the data: ``span`` is the value where it is
    written (in an anchored block, for a value an alias or merge repeats),
    ``key_span`` its key there (None for an item or the root), and ``via``
    the spans of the ``*alias`` values and ``<<`` lines passed on the way,
    outermost first.

    >>> doc = vorn.Document.parse("_vorn_version: 1.0\\nbase: &b\\n  port: 80\\nweb:\\n  <<: *b\\n")
    >>> where = doc.written_at("$.web.port")
    >>> where.span, where.via
    (Span(lineno=3, colno=9, end_lineno=3, end_colno=11), (Span(lineno=5, colno=3, end_lineno=5, end_colno=9),))
    """

    span: Span
    key_span: Span | None
    via: tuple[Span, ...]


class Document:
    """A document read with the place of every key and value.

    ``data`` is what ``loads`` returns for the same text: plain dicts,
    lists and strs, fresh and yours to change. ``span``, ``key_span`` and
    ``comments`` answer for the document as it was read, whatever ``data``
    holds now. A path is a ``"$.server.port"``/``"$.hosts[0]"`` string or a
    tuple of str keys and int indices.

    >>> doc = vorn.Document.parse("_vorn_version: 1.0\\nserver:\\n  port: 8080\\n")
    >>> doc.span("$.server.port")
    Span(lineno=3, colno=9, end_lineno=3, end_colno=13)
    """

    __slots__ = ("_mark", "_tree", "data", "path", "text")

    data: dict[str, Any]
    path: str | os.PathLike[str] | None
    text: str
    _tree: SyntaxTree
    # The byte-order mark the file began with, written back by save().
    _mark: str

    def __init__(self) -> None:
        raise TypeError("use Document.parse, Document.load or Document.load_path")

    @classmethod
    def parse(cls, text: str, path: str | os.PathLike[str] | None = None) -> Document:
        """Reads ``text``; ``path`` is only named in a DecodeError."""
        try:
            data, tree = read_syntax(text)
        except DocumentFault as fault:
            raise decode_error(fault, text, path) from None
        document = object.__new__(cls)
        document.data = data
        document.path = path
        document.text = text
        document._tree = tree
        document._mark = ""
        return document

    @classmethod
    def load(cls, fp: IO[str] | IO[bytes]) -> Document:
        """Reads a file object opened for reading, as ``vorn.load`` does."""
        content, name = text_of_file(fp, keep_mark=True)
        return cls._parse_file(content, name)

    @classmethod
    def load_path(cls, path: str | os.PathLike[str]) -> Document:
        """Reads the file at ``path`` (UTF-8; one leading byte-order mark is
        dropped, and written back by ``save``)."""
        return cls._parse_file(text_at(path, keep_mark=True), path)

    @classmethod
    def _parse_file(cls, content: str, path: str | os.PathLike[str] | None) -> Document:
        mark, text = split_mark(content)
        document = cls.parse(text, path=path)
        document._mark = mark
        return document

    def span(self, path: Path) -> Span:
        """Where the value at ``path`` was written. A value that came from an
        alias has the alias's span, one that came from a merge the span of
        the ``<<`` line; the root's span is the whole document. A path the
        document does not hold raises KeyError. ``written_at`` follows
        aliases and merges to where the value itself is written."""
        record, copied = self._locate(path)
        if record == -1:
            return self._whole()
        found = self._tree.record(record)
        if copied and found.kind == SyntaxKind.MERGE:
            return found.head_span
        return found.value_span

    def key_span(self, path: Path) -> Span:
        """Where the key of the entry at ``path`` was written. Inside a value
        that came from an alias or a merge, the span that ``span`` gives.
        The root and items have no key: ValueError."""
        steps = _steps(path)
        record, copied = self._locate(steps)
        if record == -1:
            raise ValueError("the root has no key")
        found = self._tree.record(record)
        if copied:
            return found.head_span if found.kind == SyntaxKind.MERGE else found.value_span
        if found.kind == SyntaxKind.ITEM or isinstance(steps[-1], int):
            raise ValueError(f"{path_text(steps)} is an item, which has no key")
        assert found.key_span is not None, "an entry's record has its key's span"
        return found.key_span

    def written_at(self, path: Path) -> WrittenAt:
        """Where the value at ``path`` is written, through the aliases and
        merges that brought it (see WrittenAt). A path the document does not
        hold raises KeyError."""
        steps = _steps(path)
        place = self._tree.written_at(steps)
        if place is None:
            raise KeyError(path_text(steps))
        via = tuple(self._via_span(index) for index in place.via)
        if place.record is None:
            return WrittenAt(self._whole(), None, via)
        key_span = None if place.key_record is None else self._tree.record(place.key_record).key_span
        return WrittenAt(self._tree.record(place.record).value_span, key_span, via)

    def _via_span(self, index: int) -> Span:
        record = self._tree.record(index)
        return record.head_span if record.kind == SyntaxKind.MERGE else record.value_span

    def dumps(self) -> str:
        """The text for ``data`` as it is now, made from the text it was read
        from: what did not change stays byte for byte, comments, order,
        quoting and anchors included; a changed scalar rewrites only its own
        value. Data the format cannot carry raise EncodeError.

        >>> doc = vorn.Document.parse("_vorn_version: 1.0\\n# the version\\nversion: '2.4.0'  # bumped by CI\\n")
        >>> doc.data["version"] = "2.4.1"
        >>> print(doc.dumps(), end="")
        _vorn_version: 1.0
        # the version
        version: '2.4.1'  # bumped by CI
        """
        return edited_text(self.text, self._tree, self.data)

    def save(self, path: str | os.PathLike[str] | None = None) -> None:
        """Writes ``dumps()`` to ``path`` (default: the path it was read
        from) atomically, as ``dump_path`` does, after the byte-order mark
        the file began with; nothing is written if the data cannot be."""
        target = self.path if path is None else path
        if target is None:
            raise ValueError("this document was not read from a file: give save() a path")
        text = verified_text(self.text, self._tree, self.data)
        write_atomically(target, (self._mark + text).encode("utf-8"))

    def comments(self, path: Path) -> Comments:
        """The comments written with the entry or item at ``path``."""
        record, _ = self._locate(path)
        if record == -1:
            return Comments([], None)
        return Comments(self._tree.comments(record), self._tree.record(record).inline_comment)

    def _locate(self, path: Path | tuple[str | int, ...]) -> tuple[int, bool]:
        steps = _steps(path)
        found = self._tree.locate(steps)
        if found is None:
            raise KeyError(path_text(steps))
        return found

    def _whole(self) -> Span:
        lines = self.text.split("\n")
        while len(lines) > 1 and not lines[-1].strip():
            lines.pop()
        return Span(1, 1, len(lines), len(lines[-1].rstrip("\r")) + 1)

    def __repr__(self) -> str:
        where = "" if self.path is None else f" {os.fspath(self.path)!r}"
        return f"<vorn.Document{where}: {len(self._tree)} entries and items>"


def _steps(path: Path) -> tuple[str | int, ...]:
    if isinstance(path, str):
        return parse_path(path)
    if isinstance(path, tuple):
        return path
    raise TypeError(f"a path is a '$.a.b[0]' string or a tuple of str and int, not {type(path).__qualname__}")


@contextlib.contextmanager
def edit_path(path: str | os.PathLike[str]) -> Iterator[dict[str, Any]]:
    """Reads the document at ``path`` for editing: the block changes the
    data it is given, which are written back (as ``Document.save`` writes)
    when the block ends without an exception, and only if they changed.

    >>> with vorn.edit_path("service.vorn") as data:
    ...     data["replicas"] = "3"
    """
    document = Document.load_path(path)
    yield document.data
    text = verified_text(document.text, document._tree, document.data)
    if text != document.text:
        write_atomically(path, (document._mark + text).encode("utf-8"))
