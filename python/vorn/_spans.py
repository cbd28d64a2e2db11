"""Where a piece of a document stands, as editors count it. Kept apart so
that the native records can make spans without importing the package."""

from __future__ import annotations

from typing import NamedTuple


class Span(NamedTuple):
    """Where a piece of a document stands: 1-based lines and columns in
    characters, as editors count them; ``end_colno`` is one past its last
    character.

    >>> doc = vorn.Document.parse("_vorn_version: 1.0\\nname: 名前\\n")
    >>> doc.key_span("$.name"), doc.span("$.name")
    (Span(lineno=2, colno=1, end_lineno=2, end_colno=5), Span(lineno=2, colno=7, end_lineno=2, end_colno=9))
    """

    lineno: int
    colno: int
    end_lineno: int
    end_colno: int
