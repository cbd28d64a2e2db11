"""Read and write vorn documents: an indentation-based configuration format
whose only scalar is the string.

``dumps`` is the native function itself; ``loads`` wraps the native reader
so that a fault raises DecodeError; the rest adds files and paths.
"""

from importlib.metadata import version as _version

from _vorn_native import dumps

from ._errors import DecodeError, EncodeError
from ._reading import load, load_path, loads, parse
from ._writing import dump, dump_path

__all__ = ["DecodeError", "EncodeError", "dump", "dump_path", "dumps", "load", "load_path", "loads", "parse"]
__version__: str = _version("vorn")
