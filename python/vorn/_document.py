"""Documents that know where each value was written."""

from __future__ import annotations

import contextlib
import copy
import os
from collections.abc import Iterator
from typing import IO, Any, NamedTuple

from ._editing import edited_text
from ._native import DocumentFault, SyntaxKind, SyntaxTree, read_syntax
from ._paths import parse_path, path_text
from ._sources import decode_error, text_at, text_of_file
from ._spans import Span
from ._types import Default
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
    tuple of str keys and int indices; a negative index counts from the end
    of its list as read (``"$.hosts[-1]"``).

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
        mark, text, name = text_of_file(fp)
        return cls._parse_file(mark, text, name)

    @classmethod
    def load_path(cls, path: str | os.PathLike[str]) -> Document:
        """Reads the file at ``path`` (UTF-8; one leading byte-order mark is
        dropped, and written back by ``save``)."""
        return cls._parse_file(*text_at(path), path)

    @classmethod
    def _parse_file(cls, mark: str, text: str, path: str | os.PathLike[str] | None) -> Document:
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

    def places(self, path: Path) -> list[tuple[str | int, ...]]:
        """Every path of ``data`` (as read) whose value is the one written
        where the value at ``path`` is written: that place itself and each
        place an alias or merge repeats it, in the order of the data. A path
        the document does not hold raises KeyError.

        >>> doc = vorn.Document.parse("_vorn_version: 1.0\\nbase: &b\\n  port: 80\\nweb:\\n  <<: *b\\n")
        >>> doc.places("$.web.port")
        [('base', 'port'), ('web', 'port')]
        """
        steps = self._from_start(_steps(path))
        found = self._tree.places(steps)
        if found is None:
            raise KeyError(path_text(steps))
        return found

    def set(self, path: Path, value: Any, *, through_aliases: bool = False) -> None:
        """Sets the value at ``path`` in ``data`` (a mapping's missing key
        is added; the index one past a list's end appends). With
        ``through_aliases``, also at every place that repeats the value
        written there (see ``places``), so that the anchored block and every
        alias and merge of it change alike and stay aliases and merges when
        written back; each place gets a copy of ``value``.

        >>> doc = vorn.Document.parse("_vorn_version: 1.0\\nbase: &b\\n  port: 80\\nweb: *b\\n")
        >>> doc.set("$.web.port", "81", through_aliases=True)
        >>> print(doc.dumps(), end="")
        _vorn_version: 1.0
        base: &b
          port: 81
        web: *b
        """
        steps = self._from_start(_steps(path))
        targets = self.places(steps) if through_aliases and self._holds(steps) else [steps]
        for target in targets:
            holder = self._holder(target)
            last = target[-1]
            if isinstance(holder, list) and last == len(holder):
                holder.append(copy.deepcopy(value))
            else:
                holder[last] = copy.deepcopy(value)

    def delete(self, path: Path, *, through_aliases: bool = False) -> None:
        """Deletes the entry or item at ``path`` from ``data``; with
        ``through_aliases``, at every place that repeats the value written
        there (see ``places``). A path ``data`` does not hold raises
        KeyError."""
        steps = self._from_start(_steps(path))
        targets = self.places(steps) if through_aliases else [steps]
        # From the last, so that deleting an item does not move the others.
        for target in sorted(targets, key=lambda target: [(isinstance(s, int), s) for s in target], reverse=True):
            holder = self._holder(target)
            try:
                del holder[target[-1]]
            except (KeyError, IndexError, TypeError):
                raise KeyError(path_text(target)) from None

    def _holds(self, steps: tuple[str | int, ...]) -> bool:
        return self._tree.written_at(steps) is not None

    def _holder(self, steps: tuple[str | int, ...]) -> Any:
        if not steps:
            raise ValueError("the root cannot be set or deleted")
        holder: Any = self.data
        for step in steps[:-1]:
            try:
                holder = holder[step]
            except (KeyError, IndexError, TypeError):
                raise KeyError(path_text(steps)) from None
        return holder

    def _via_span(self, index: int) -> Span:
        record = self._tree.record(index)
        return record.head_span if record.kind == SyntaxKind.MERGE else record.value_span

    def dumps(self, *, default: Default | None = None, rewrite: bool = False) -> str:
        """The text for ``data`` as it is now, made from the text it was read
        from: what did not change stays byte for byte, comments, order,
        quoting and anchors included; a changed scalar rewrites only its own
        value. The text is read back before it is given.

        Data the format cannot carry raise EncodeError; ``default`` converts
        values of other types, as for ``vorn.dumps``. A change that cannot be
        made in the text in place raises EditError, or with ``rewrite=True``
        the whole document is written anew as ``vorn.dumps`` writes it
        (comments and layout are then lost).

        >>> doc = vorn.Document.parse("_vorn_version: 1.0\\n# the version\\nversion: '2.4.0'  # bumped by CI\\n")
        >>> doc.data["version"] = "2.4.1"
        >>> print(doc.dumps(), end="")
        _vorn_version: 1.0
        # the version
        version: '2.4.1'  # bumped by CI
        """
        return edited_text(self._tree, self.data, default=default, rewrite=rewrite)

    def save(
        self, path: str | os.PathLike[str] | None = None, *, default: Default | None = None, rewrite: bool = False
    ) -> None:
        """Writes ``dumps()`` to ``path`` (default: the path it was read
        from) atomically, as ``dump_path`` does, after the byte-order mark
        the file began with; nothing is written if the data cannot be.
        ``default`` and ``rewrite`` as for ``dumps``."""
        target = self.path if path is None else path
        if target is None:
            raise ValueError("this document was not read from a file: give save() a path")
        text = self.dumps(default=default, rewrite=rewrite)
        write_atomically(target, (self._mark + text).encode("utf-8"))

    def comments(self, path: Path) -> Comments:
        """The comments written with the entry or item at ``path``."""
        record, _ = self._locate(path)
        if record == -1:
            return Comments([], None)
        return Comments(self._tree.comments(record), self._tree.record(record).inline_comment)

    def _locate(self, path: Path | tuple[str | int, ...]) -> tuple[int, bool]:
        steps = _steps(path)
        found = self._tree.locate(self._from_start(steps))
        if found is None:
            raise KeyError(path_text(steps))
        return found

    def _from_start(self, steps: tuple[str | int, ...]) -> tuple[str | int, ...]:
        """``steps`` with each negative index counted from the end of its
        list as read, as Python counts ``[-1]``."""
        if not any(type(step) is int and step < 0 for step in steps):
            return steps
        counted: list[str | int] = []
        for step in steps:
            if type(step) is int and step < 0:
                step += self._items(tuple(counted))
            counted.append(step)
        return tuple(counted)

    def _items(self, steps: tuple[str | int, ...]) -> int:
        """How many items the list at ``steps`` held as read (0 for any
        other value), found by asking for items: doubling the index, then
        halving the gap."""
        locate = self._tree.locate
        if locate((*steps, 0)) is None:
            return 0
        present, absent = 0, 1
        while locate((*steps, absent)) is not None:
            present, absent = absent, absent * 2
        while absent - present > 1:
            middle = (present + absent) // 2
            if locate((*steps, middle)) is None:
                absent = middle
            else:
                present = middle
        return absent

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
def edit_path(
    path: str | os.PathLike[str], *, default: Default | None = None, rewrite: bool = False
) -> Iterator[dict[str, Any]]:
    """Reads the document at ``path`` for editing: the block changes the
    data it is given, which are written back (as ``Document.save`` writes,
    with ``default`` and ``rewrite`` as for ``Document.dumps``) when the
    block ends without an exception, and only if they changed.

    >>> with vorn.edit_path("service.vorn") as data:
    ...     data["replicas"] = "3"
    """
    document = Document.load_path(path)
    yield document.data
    text = document.dumps(default=default, rewrite=rewrite)
    if text != document.text:
        write_atomically(path, (document._mark + text).encode("utf-8"))
