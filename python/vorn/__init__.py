"""Read and write vorn documents: an indentation-based configuration format
whose only scalar is the string.

    >>> import vorn
    >>> config = vorn.loads("_vorn_version: 1.0\\nserver:\\n  port: 8080\\n")
    >>> config
    {'_vorn_version': '1.0', 'server': {'port': '8080'}}
    >>> int(config["server"]["port"])
    8080
    >>> print(vorn.dumps(config), end="")
    _vorn_version: "1.0"
    server:
      port: "8080"

Reading: ``loads(s)`` reads a str, ``parse(s, path=...)`` the same with a
file name for errors, ``load(fp)`` a file object, ``load_path(path)`` a file.
A faulty document raises ``DecodeError`` (a ValueError) with ``lineno``,
``colno`` and ``pos`` counted as editors and ``json`` count them. Each takes
``into=``, a type for pydantic to validate the data into (a model, a
dataclass, ``list[Model]``...); data that do not fit raise
``ValidationError`` (a ValueError), whose ``errors`` are ``ValidationIssue``
values with the place and position of each value at fault.

Writing: ``dumps(obj)`` gives the text of a tree of str, list and dict,
``dump(obj, fp)`` writes it to a file object and ``dump_path(obj, path)``
to a file, atomically. Each first checks that the text reads back equal,
else raises ``EncodeError`` (``lossy=True`` writes it anyway). Any other type raises
TypeError naming its place, unless ``default=`` turns it into one of those;
``stringify`` is a ready default for numbers, booleans, None and dates.

``Document.parse(s)`` (also ``load``, ``load_path``) reads a document and
keeps where each value was written: ``doc.span(path)``, ``doc.key_span``,
``doc.comments``, with the values in ``doc.data``.

``format_text(s)`` gives the text in vorn's one layout, the data, comments
and key order unchanged (``vorn fmt``).

``Value`` is the type of document values, for type checkers. The ``vorn``
command checks documents and converts them to and from JSON.
"""

from importlib.metadata import version as _version

from ._document import Comments, Document, WrittenAt, edit_path
from ._errors import DecodeError, EditError, EncodeError, ValidationError, ValidationIssue
from ._format import format_text
from ._reading import load, load_path, loads, parse
from ._spans import Span
from ._types import Value
from ._writing import dump, dump_path, dumps, stringify

__all__ = [
    "Comments",
    "DecodeError",
    "Document",
    "EditError",
    "EncodeError",
    "ValidationError",
    "ValidationIssue",
    "Value",
    "WrittenAt",
    "dump",
    "dump_path",
    "dumps",
    "edit_path",
    "format_text",
    "load",
    "load_path",
    "loads",
    "parse",
    "Span",
    "stringify",
]
__version__: str = _version("vorn")

# Tracebacks and reprs name the errors where users find them.
DecodeError.__module__ = EncodeError.__module__ = EditError.__module__ = __name__
Document.__module__ = Span.__module__ = Comments.__module__ = WrittenAt.__module__ = __name__
ValidationError.__module__ = ValidationIssue.__module__ = __name__
