"""Read and write vorn documents: an indentation-based configuration format
whose only scalar is the string.

``loads`` and ``dumps`` are the native functions themselves; the rest adds
files, paths and errors that carry their position.
"""

from importlib.metadata import version as _version

from _vorn_native import dumps, loads

from ._errors import DecodeError, EncodeError
from ._reading import load, load_path, parse
from ._writing import dump, dump_path

__all__ = ["DecodeError", "EncodeError", "dump", "dump_path", "dumps", "load", "load_path", "loads", "parse"]
__version__: str = _version("vorn")
