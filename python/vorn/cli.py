"""The ``vorn`` command: check documents, print the value at a path, set or
delete one in place, say which of layered files set a value, and convert
documents to and from JSON.

Every outcome is an exit status of 0, 1 or 2 with, on failure, a message on
standard error; no input makes the tool end with a traceback.
"""

from __future__ import annotations

import argparse
import difflib
import importlib
import json
import os
import sys
from collections.abc import Iterator, Sequence
from typing import IO, Any, NamedTuple

from . import __version__, _diagnostics
from ._document import Document
from ._errors import DecodeError, EditError, EncodeError, ValidationError
from ._format import FormatFault, format_text
from ._json_bridge import NotAString, parse_json, vorn_data, vorn_value
from ._json_schema import JsonSchema, SchemaFileError, load_json_schema
from ._layers import Layer, history, layer_of, merged, value_at
from ._lints import lints
from ._native import VERSION_KEY
from ._paths import key_step, parse_path, path_text
from ._reading import parse
from ._repair import Repair, repair
from ._sources import decoded, refuse_second_mark
from ._typed import adapter_for, issue_at, not_a_type
from ._writing import checked_text, dumps, write_atomically

EXIT_OK = 0
EXIT_INVALID = 1
EXIT_USAGE = 2

STDIN_NAME = "<stdin>"


class _Failure(Exception):
    """Ends a command: the text is already formatted for standard error."""

    def __init__(self, text: str, status: int) -> None:
        super().__init__(text)
        self.text = text
        self.status = status


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command line ``argv`` (default: ``sys.argv[1:]``) and
    returns the exit status."""
    args = _build_parser().parse_args(argv)
    try:
        return int(args.command(args))
    except _Failure as failure:
        _write_stderr(failure.text)
        return failure.status
    except MemoryError:
        _write_stderr("vorn: out of memory\n")
        return EXIT_USAGE


def _check(args: argparse.Namespace) -> int:
    status = EXIT_OK
    for name in args.files:
        try:
            path, data = _read_input(name)
            if isinstance(args.schema, JsonSchema):
                _check_json_schema(path, data, args.schema)
            else:
                _parse_document(path, data, into=args.schema)
        except _Failure as failure:
            _write_stderr(failure.text)
            status = max(status, failure.status)
            continue
        warnings = _warnings(path, data)
        _write_stderr("".join(warnings))
        if warnings and args.strict:
            status = max(status, EXIT_INVALID)
        elif args.verbose:
            _write_stdout(f"{path}: OK\n")
    return status


def _check_json_schema(path: str, data: bytes, schema: JsonSchema) -> None:
    """Reads the document and validates its data against ``schema``,
    reporting each value at fault where into= would."""
    text = _decode(path, data)
    try:
        document = Document.parse(text, path=path)
    except DecodeError as error:
        fault = _diagnostics.text_fault(path, data, error.lineno, error.colno, error.msg)
        raise _Failure(_diagnostics.render(fault), EXIT_INVALID) from None
    values = dict(document.data)
    values.pop(VERSION_KEY, None)
    faults = schema.faults(values)
    if faults:
        refused = ValidationError([issue_at(fault, document) for fault in faults], text, path)
        raise _Failure(f"{refused}\n", EXIT_INVALID)


def _warnings(path: str, data: bytes) -> list[str]:
    """The lints of a document that reads, each shown as a fault is."""
    found = lints(Document.parse(data.decode("utf-8"), path=path))
    return [
        _diagnostics.render(
            _diagnostics.text_fault(
                path, data, lint.lineno, lint.colno, f"warning: {lint.message}", lint.help, lint.code
            )
        )
        for lint in found
    ]


def _lsp(args: argparse.Namespace) -> int:
    try:
        from .lsp.server import run
    except ImportError as error:
        raise _Failure(
            f"vorn lsp needs the language server's packages ({(error.name or str(error)).partition('.')[0]}): "
            'pip install "vorn[lsp]"\n',
            EXIT_USAGE,
        ) from None
    try:
        run()
    except KeyboardInterrupt:
        pass
    return EXIT_OK


def _to_json(args: argparse.Namespace) -> int:
    _write_json(_parse_document(*_read_input(args.file)), args.indent)
    return EXIT_OK


def _get(args: argparse.Namespace) -> int:
    path, data = _read_input(args.file)
    value: Any = _parse_document(path, data)
    for depth, step in enumerate(args.path):
        child = _child(value, step)
        if child is _NOTHING:
            raise _Failure(f"{path}: {_no_value(args.path[: depth + 1], value)}\n", EXIT_INVALID)
        value = child
    if args.json:
        _write_json(value, 2)
    elif isinstance(value, str):
        _write_stdout(value + "\n")
    else:
        # The value alone, as asked for: no version line is added to a
        # subtree, so the output is what dumps writes for it, which would
        # refuse it as a document of its own without lossy.
        _write_stdout(dumps(value, lossy=True))
    return EXIT_OK


def _set(args: argparse.Namespace) -> int:
    if args.stringify and not args.json:
        raise _Failure("vorn set: --stringify applies to a --json VALUE only\n", EXIT_USAGE)
    edit = _read_for_edit(args.file)
    value = _json_value(args.value, args.path, args.stringify) if args.json else args.value
    if args.through_aliases and _held(edit, args.path):
        edit.document.set(args.path, value, through_aliases=True)
        return _write_edit(edit, args.diff, args.rewrite)
    parent = _parent(edit, args.path, create=True)
    step = args.path[-1]
    if isinstance(parent, dict) and isinstance(step, str):
        parent[step] = value
    elif isinstance(parent, list) and isinstance(step, int) and -len(parent) <= step <= len(parent):
        # The index just past the end appends: the one way to grow a sequence.
        if step == len(parent):
            parent.append(value)
        else:
            parent[step] = value
    else:
        raise _Failure(f"{edit.name}: {_no_value(args.path, parent)}\n", EXIT_INVALID)
    return _write_edit(edit, args.diff, args.rewrite)


def _del(args: argparse.Namespace) -> int:
    edit = _read_for_edit(args.file)
    parent = _parent(edit, args.path)
    if _child(parent, args.path[-1]) is _NOTHING:
        raise _Failure(f"{edit.name}: {_no_value(args.path, parent)}\n", EXIT_INVALID)
    if args.through_aliases:
        edit.document.delete(args.path, through_aliases=True)
    else:
        del parent[args.path[-1]]
    return _write_edit(edit, args.diff, args.rewrite)


def _held(edit: _Edit, steps: Sequence[str | int]) -> bool:
    """Whether the document as read holds a value at ``steps``."""
    try:
        edit.document.places(tuple(steps))
    except KeyError:
        return False
    return True


def _explain(args: argparse.Namespace) -> int:
    layers = [_layer(name) for name in args.files if not (args.skip_missing and _missing_file(name))]
    if not layers:
        raise _Failure("vorn explain: none of the files exists\n", EXIT_USAGE)
    value: Any = merged(layer.data for layer in layers)
    for depth, step in enumerate(args.path):
        child = _child(value, step)
        if child is _NOTHING:
            names = " + ".join(layer.name for layer in layers)
            raise _Failure(f"{names}: {_no_value(args.path[: depth + 1], value)}\n", EXIT_INVALID)
        value = child
    chain = history([layer.data for layer in layers], [(step,) for step in args.path])
    # The value in force first, then each it replaced, the last replaced first.
    places = [_place(layers[held.layer], held.steps) for held in reversed(chain)]
    if args.json:
        origin, *overrides = places
        _write_json({"path": path_text(args.path), "value": value, "origin": origin, "overrides": overrides}, 2)
    else:
        _write_stdout("".join(f"{p['file']}:{p['line']}:{p['column']}: {_shown_value(p['value'])}\n" for p in places))
    return EXIT_OK


def _missing_file(name: str) -> bool:
    return name != "-" and not os.path.lexists(name)


def _layer(name: str) -> Layer:
    path, data = _read_input(name)
    text = _decode(path, data)
    try:
        return layer_of(path, text)
    except DecodeError as error:
        fault = _diagnostics.text_fault(path, data, error.lineno, error.colno, error.msg)
        raise _Failure(_diagnostics.render(fault), EXIT_INVALID) from None


def _place(layer: Layer, steps: tuple[str | int, ...]) -> dict[str, Any]:
    span = layer.place(steps)
    return {"file": layer.name, "line": span.lineno, "column": span.colno, "value": value_at(layer.data, steps)}


def _shown_value(value: Any) -> str:
    """A value on one line: a string as it is when that is unambiguous, or
    else quoted as JSON; a mapping or sequence by its size."""
    if isinstance(value, dict):
        return f"a mapping of {len(value)} entr{'y' if len(value) == 1 else 'ies'}"
    if isinstance(value, list):
        return f"a sequence of {len(value)} item{'' if len(value) == 1 else 's'}"
    plain = value and value == value.strip() and value.isprintable()
    shown = _diagnostics.escaped(value if plain else json.dumps(value, ensure_ascii=False))
    limit = _diagnostics.LONGEST_MESSAGE
    return shown if len(shown) <= limit else shown[: limit - len(_diagnostics.CUT)] + _diagnostics.CUT


class _Edit(NamedTuple):
    name: str
    document: Document
    # A byte-order mark the file began with: written back, as every byte
    # the change does not touch is.
    prefix: bytes


def _read_for_edit(name: str) -> _Edit:
    if name == "-":
        raise _Failure("vorn: a document is changed in place, so FILE cannot be standard input\n", EXIT_USAGE)
    path, data = _read_bytes(name)
    content = data.removeprefix(_BYTE_ORDER_MARK)
    try:
        document = Document.parse(_decode(path, content), path=path)
    except DecodeError as error:
        fault = _diagnostics.text_fault(path, content, error.lineno, error.colno, error.msg)
        raise _Failure(_diagnostics.render(fault), EXIT_INVALID) from None
    return _Edit(path, document, data[: len(data) - len(content)])


def _json_value(text: str, steps: Sequence[str | int], stringify: bool) -> Any:
    """The JSON ``text`` as data to put at ``steps``; what from-json refuses
    is refused here too, named by its place in the document."""
    try:
        value = parse_json(text)
    except json.JSONDecodeError as error:
        raise _json_fault("VALUE", text.encode("utf-8", "surrogateescape"), error) from None
    except RecursionError:
        raise _Failure("VALUE: the JSON is nested too deeply to be read\n", EXIT_INVALID) from None
    try:
        return vorn_value(value, stringify=stringify, path=path_text(steps))
    except NotAString as error:
        raise _Failure(f"VALUE: {error}\n", EXIT_INVALID) from None


def _parent(edit: _Edit, steps: Sequence[str | int], create: bool = False) -> Any:
    """The value that holds the last of ``steps``. With ``create``, a key
    missing from a mapping on the way gets an empty mapping, where the step
    after it is a key too (an index names an item that is not there). A
    walk that stops before it ends the command, reported as get reports it."""
    value: Any = edit.document.data
    for depth, step in enumerate(steps[:-1]):
        child = _child(value, step)
        if child is _NOTHING and create and isinstance(value, dict) and isinstance(step, str):
            if isinstance(steps[depth + 1], int):
                where = path_text(steps[: depth + 1])
                raise _Failure(
                    f"{edit.name}: no value at {where}, and set adds only mappings on the way: "
                    f"set {where} to a list first (--json '[]')\n",
                    EXIT_INVALID,
                )
            child = value[step] = {}
        if child is _NOTHING:
            raise _Failure(f"{edit.name}: {_no_value(steps[: depth + 1], value)}\n", EXIT_INVALID)
        value = child
    return value


def _write_edit(edit: _Edit, show_diff: bool, rewrite: bool) -> int:
    """Writes the changed document over its file, or prints the change as a
    unified diff; an unchanged document is neither written nor shown."""
    name, document, prefix = edit
    try:
        text = document.dumps(rewrite=rewrite)
    except EncodeError as error:
        raise _Failure(f"{name}: {error.location}: {error.reason}\n", EXIT_INVALID) from None
    except EditError as error:
        raise _Failure(
            f"{name}: {error.location}: {error.reason}; pass --rewrite to write the whole document anew "
            "(its comments and layout are then lost)\n",
            EXIT_INVALID,
        ) from None
    except UnicodeEncodeError:
        raise _Failure(f"{name}: {_surrogate_fault(document.data)}\n", EXIT_INVALID) from None
    if text == document.text:
        return EXIT_OK
    if show_diff:
        _write_stdout(_unified_diff(name, document.text, text))
        return EXIT_OK
    try:
        # What Document.save does, with the file's own first bytes kept.
        write_atomically(name, prefix + text.encode("utf-8"))
    except OSError as error:
        raise _Failure(f"vorn: cannot write {name}: {_os_reason(error)}\n", EXIT_USAGE) from None
    return EXIT_OK


def _add_edit_options(parser: argparse.ArgumentParser, what: str) -> None:
    parser.add_argument(
        "--through-aliases",
        action="store_true",
        help=f"{what} where it is written (in an anchored block) and at every alias and merge that "
        "repeats it, so that they stay aliases and merges",
    )
    parser.add_argument(
        "--rewrite",
        action="store_true",
        help="where the change cannot be made in the text in place, write the whole document anew "
        "(its comments and layout are then lost) instead of failing",
    )


def _unified_diff(name: str, before: str, after: str) -> str:
    """The change from ``before`` to ``after`` as ``diff -u`` shows it, with
    ``name`` as both file names."""
    lines = difflib.unified_diff(_lines(before), _lines(after), name, name)
    # A last line without a line feed is marked, as patch expects, rather
    # than run into the next line of the diff.
    return "".join(line if line.endswith("\n") else line + "\n\\ No newline at end of file\n" for line in lines)


def _lines(text: str) -> list[str]:
    """The lines of ``text`` with their line feeds. Only a line feed ends a
    line of a document: str.splitlines would also split at a form feed or
    U+2028 inside a value."""
    lines = [line + "\n" for line in text.split("\n")]
    lines[-1] = lines[-1][:-1]
    return lines if lines[-1] else lines[:-1]


def _child(value: Any, step: str | int) -> Any:
    """The value at ``step`` in ``value``, or _NOTHING."""
    if isinstance(step, str) and isinstance(value, dict):
        return value.get(step, _NOTHING)
    if isinstance(step, int) and isinstance(value, list) and -len(value) <= step < len(value):
        return value[step]
    return _NOTHING


_NOTHING = object()


def _no_value(steps: Sequence[str | int], parent: Any) -> str:
    """Says that the walk found nothing at ``steps`` (the last of which is
    missing from ``parent``), and why, when the key or index alone is not
    the reason."""
    where = path_text(steps)
    above = path_text(steps[:-1])
    if isinstance(parent, str):
        return f"no value at {where}: {above} is a string"
    if isinstance(steps[-1], int) and isinstance(parent, dict):
        return f"no value at {where}: {above} is a mapping"
    if isinstance(steps[-1], str) and isinstance(parent, list):
        return f"no value at {where}: {above} is a sequence"
    if isinstance(parent, list):
        return f"no value at {where}: {above} holds {len(parent)} item{'' if len(parent) == 1 else 's'}"
    return f"no value at {where}"


def _write_json(value: Any, indent: int) -> None:
    try:
        text = json.dumps(value, ensure_ascii=False, indent=indent)
    except RecursionError:
        # Deeper than json's own recursion allows: the same text, written
        # in pieces as it is made.
        _write_pieces(_json_pieces(value, indent))
        _write_stdout("\n")
        return
    _write_stdout(text + "\n")


def _from_json(args: argparse.Namespace) -> int:
    path, data = _read_input(args.file)
    text = _decode(path, data)
    try:
        root = parse_json(text)
    except json.JSONDecodeError as error:
        raise _json_fault(path, data, error) from None
    except RecursionError:
        raise _Failure(f"{path}: the JSON is nested too deeply to be read\n", EXIT_INVALID) from None
    if not isinstance(root, dict):
        raise _Failure(f"{path}: the JSON must be an object, as a vorn document is a mapping\n", EXIT_INVALID)
    try:
        document = vorn_data(root, stringify=args.stringify)
    except NotAString as error:
        raise _Failure(f"{path}: {error}\n", EXIT_INVALID) from None
    try:
        output = checked_text(document, args.lossy)
    except EncodeError as error:
        hint = "; pass --lossy to write it anyway" if error.lossy_helps else ""
        raise _Failure(f"{path}: {error.location}: {error.reason}{hint}\n", EXIT_INVALID) from None
    except UnicodeEncodeError:
        raise _Failure(f"{path}: {_surrogate_fault(document)}\n", EXIT_INVALID) from None
    except RecursionError:
        raise _Failure(f"{path}: the JSON is nested too deeply to be written as a document\n", EXIT_INVALID) from None
    _write_stdout(output)
    return EXIT_OK


def _fmt(args: argparse.Namespace) -> int:
    status = EXIT_OK
    for name in args.files:
        try:
            status = max(status, _format_one(name, args))
        except _Failure as failure:
            _write_stderr(failure.text)
            status = max(status, failure.status)
    return status


def _format_one(name: str, args: argparse.Namespace) -> int:
    """Formats one file (or standard input, printed), and says whether it
    changed when only asked to check."""
    path, data = _read_bytes(name)
    content = data.removeprefix(_BYTE_ORDER_MARK)
    text = _decode(path, content, EXIT_USAGE)
    repairs: list[Repair] = []
    try:
        if args.fix:
            text, repairs = repair(text)
        formatted = format_text(text)
    except DecodeError as error:
        fault = _diagnostics.text_fault(path, content, error.lineno, error.colno, error.msg)
        raise _Failure(_diagnostics.render(fault), EXIT_USAGE) from None
    except FormatFault as error:
        raise _Failure(f"{path}: {error}\n", EXIT_USAGE) from None
    _write_stderr("".join(f"{path}:{done.lineno}:{done.colno}: fixed: {done.msg}\n" for done in repairs))
    before = content.decode("utf-8")
    if args.diff and formatted != before:
        _write_stdout(_unified_diff(path, before, formatted))
    if args.check or args.diff:
        if formatted != before and args.check:
            _write_stderr(f"{path}: would be reformatted\n")
            return EXIT_INVALID
        return EXIT_OK
    if name == "-":
        _write_stdout(formatted)
    elif formatted != before:
        try:
            write_atomically(name, data[: len(data) - len(content)] + formatted.encode("utf-8"))
        except OSError as error:
            raise _Failure(f"vorn: cannot write {name}: {_os_reason(error)}\n", EXIT_USAGE) from None
    return EXIT_OK


def _from_yaml(args: argparse.Namespace) -> int:
    path, data = _read_input(args.file)
    text = _decode(path, data)
    try:
        from ._from_yaml import ConversionFault, NotConvertible, convert, yaml
    except ModuleNotFoundError:
        raise _Failure('vorn from-yaml needs PyYAML: pip install "vorn[yaml]"\n', EXIT_USAGE) from None
    try:
        conversion = convert(text, args.lossy)
    except yaml.MarkedYAMLError as error:
        reason = "; ".join(part for part in (error.context, error.problem) if part)
        mark = error.problem_mark or error.context_mark
        if mark is None:
            raise _Failure(f"{path}: invalid YAML: {reason}\n", EXIT_INVALID) from None
        fault = _diagnostics.text_fault(path, data, mark.line + 1, mark.column + 1, f"invalid YAML: {reason}")
        raise _Failure(_diagnostics.render(fault), EXIT_INVALID) from None
    except yaml.YAMLError as error:
        raise _Failure(f"{path}: invalid YAML: {error}\n", EXIT_INVALID) from None
    except NotConvertible as error:
        message = f"{error.location}: {error.reason}" + (
            "; pass --lossy to write it anyway" if error.lossy_helps else ""
        )
        if not error.line:
            raise _Failure(f"{path}: {message}\n", EXIT_INVALID) from None
        fault = _diagnostics.text_fault(path, data, error.line, error.column, message)
        raise _Failure(_diagnostics.render(fault), EXIT_INVALID) from None
    except RecursionError:
        raise _Failure(f"{path}: the YAML is nested too deeply to be converted\n", EXIT_INVALID) from None
    except ConversionFault as error:
        raise _Failure(f"{path}: {error}\n", EXIT_INVALID) from None
    notes = [f"{path}:{loss}\n" for loss in dict.fromkeys(conversion.losses)]
    if conversion.documents_left_out:
        notes.append(f"{path}: the {conversion.documents_left_out} YAML documents after the first were left out\n")
    if conversion.dropped_tags:
        tags = ", ".join(f"{tag} {count}" for tag, count in conversion.dropped_tags.items())
        notes.append(f"{path}: tags dropped, as vorn keeps none ({tags}); the values are as YAML reads them\n")
    if conversion.dropped_line_feeds:
        count = conversion.dropped_line_feeds
        notes.append(
            f"{path}: {count} block scalar{'s' if count > 1 else ''} lost {'their' if count > 1 else 'its'} final "
            "line feed, which a vorn literal block cannot end with\n"
        )
    _write_stdout(conversion.text)
    _write_stderr("".join(notes))
    return EXIT_OK


def _surrogate_fault(document: dict[str, Any]) -> str:
    """Names the first key or string, in the JSON's order, that holds a lone
    surrogate (from a \\ud800-style escape): it has no UTF-8 form."""
    # (location, a key or value, whether it is a key)
    pending: list[tuple[str, Any, bool]] = [("$", document, False)]
    while pending:
        location, value, is_key = pending.pop()
        if isinstance(value, str):
            surrogate = _lone_surrogate(value)
            if surrogate is not None:
                holder = "key" if is_key else "string"
                return f"{location}: the {holder} holds {surrogate}, which no UTF-8 text can carry; correct the escape"
        elif isinstance(value, dict):
            for key, item in reversed(value.items()):
                pending += [(location + key_step(key), item, False), (location + key_step(key), key, True)]
        else:
            pending += [(f"{location}[{index}]", item, False) for index, item in reversed(list(enumerate(value)))]
    return "a string holds a lone surrogate, which no UTF-8 text can carry; correct the escape"


def _lone_surrogate(text: str) -> str | None:
    for char in text:
        if "\ud800" <= char <= "\udfff":
            return f"the lone surrogate \\u{ord(char):04x}"
    return None


def _json_pieces(value: Any, indent: int) -> Iterator[str]:
    """``json.dumps(value, ensure_ascii=False, indent=indent)`` for a tree of
    dict, list and str, in pieces, with an explicit stack instead of
    recursion."""
    encode = json.encoder.encode_basestring
    unit = " " * indent
    # Per open container: its children, whether it is a dict, its depth and
    # how many children have been written.
    stack: list[list[Any]] = []
    while True:
        if isinstance(value, str):
            yield encode(value)
        elif value:
            yield "{" if isinstance(value, dict) else "["
            children = iter(value.items()) if isinstance(value, dict) else iter(value)
            stack.append([children, isinstance(value, dict), len(stack) + 1, 0])
        else:
            yield "{}" if isinstance(value, dict) else "[]"
        while stack:
            top = stack[-1]
            child: Any = next(top[0], _DONE)
            if child is _DONE:
                stack.pop()
                yield "\n" + unit * (top[2] - 1) + ("}" if top[1] else "]")
                continue
            yield ("\n" if top[3] == 0 else ",\n") + unit * top[2]
            top[3] += 1
            if top[1]:
                yield encode(child[0]) + ": "
                value = child[1]
            else:
                value = child
            break
        else:
            return


_DONE = object()


def _read_input(name: str) -> tuple[str, bytes]:
    """The display name and the bytes of a file, or of standard input for
    "-", without one leading UTF-8 byte-order mark."""
    path, data = _read_bytes(name)
    return path, data.removeprefix(_BYTE_ORDER_MARK)


_BYTE_ORDER_MARK = b"\xef\xbb\xbf"


def _read_bytes(name: str) -> tuple[str, bytes]:
    if name == "-":
        try:
            if sys.stdin is None:
                raise OSError("there is none")
            content = sys.stdin.buffer.read() if hasattr(sys.stdin, "buffer") else sys.stdin.read()
        except (OSError, ValueError) as error:  # ValueError: a closed file
            raise _Failure(f"vorn: cannot read standard input: {_os_reason(error)}\n", EXIT_USAGE) from None
        return STDIN_NAME, content if isinstance(content, bytes) else content.encode("utf-8", "surrogateescape")
    try:
        with open(name, "rb") as file:
            return name, file.read()
    except (OSError, ValueError) as error:  # ValueError: a NUL in the name
        raise _Failure(f"vorn: cannot read {name}: {_os_reason(error)}\n", EXIT_USAGE) from None


def _os_reason(error: Exception) -> str:
    return (error.strerror if isinstance(error, OSError) else None) or str(error)


def _decode(path: str, data: bytes, status: int = EXIT_INVALID) -> str:
    """The text of an input's ``data``, which its byte-order mark has left
    already; bytes that are not UTF-8 and a second mark are reported as
    the readers report them."""
    try:
        text = decoded(data, path)
        refuse_second_mark(text, path)
    except DecodeError as error:
        fault = _diagnostics.text_fault(path, data, error.lineno, error.colno, error.msg)
        raise _Failure(_diagnostics.render(fault), status) from None
    return text


def _parse_document(path: str, data: bytes, into: Any = None) -> Any:
    try:
        return parse(_decode(path, data), path=path, into=into)
    except DecodeError as error:
        fault = _diagnostics.text_fault(path, data, error.lineno, error.colno, error.msg)
        raise _Failure(_diagnostics.render(fault), EXIT_INVALID) from None
    except ValidationError as error:
        raise _Failure(f"{error}\n", EXIT_INVALID) from None


def _json_fault(path: str, data: bytes, error: json.JSONDecodeError) -> _Failure:
    fault = _diagnostics.text_fault(path, data, error.lineno, error.colno, f"invalid JSON: {error.msg}")
    return _Failure(_diagnostics.render(fault), EXIT_INVALID)


def _write_stdout(text: str) -> None:
    # Documents are UTF-8 whatever the terminal's locale says; a file name
    # that is not (one of "vorn check -v") shows its odd bytes escaped.
    stream = _stream(sys.stdout, "standard output")
    data = text.encode("utf-8", "backslashreplace")
    try:
        stream.flush()
        buffer: IO[bytes] | None = getattr(stream, "buffer", None)
        if buffer is None:
            stream.write(data.decode("utf-8"))
        else:
            buffer.write(data)
            buffer.flush()
    except (OSError, ValueError) as error:  # ValueError: a closed file
        raise _Failure(f"vorn: cannot write to standard output: {_os_reason(error)}\n", EXIT_USAGE) from None


def _write_pieces(pieces: Iterator[str]) -> None:
    """Writes text made in many small pieces, a megabyte or so at a time."""
    batch: list[str] = []
    size = 0
    for piece in pieces:
        batch.append(piece)
        size += len(piece)
        if size >= 1 << 20:
            _write_stdout("".join(batch))
            batch.clear()
            size = 0
    _write_stdout("".join(batch))


def _write_stderr(text: str) -> None:
    # Nowhere left to report a failure to write a report: it is dropped.
    try:
        _stream(sys.stderr, "standard error").write(text.encode("utf-8", "backslashreplace").decode("utf-8"))
    except (OSError, ValueError, _Failure):
        pass


def _stream(stream: IO[str] | None, name: str) -> IO[str]:
    if stream is None:
        raise _Failure(f"vorn: there is no {name} to write to\n", EXIT_USAGE)
    return stream


def _non_negative(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        value = -1
    if value < 0:
        raise argparse.ArgumentTypeError(f"expected a whole number of 0 or more, got {text!r}")
    return value


def _path(text: str) -> tuple[str | int, ...]:
    try:
        return parse_path(text)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error)) from None


def _entry_path(text: str) -> tuple[str | int, ...]:
    steps = _path(text)
    if not steps:
        raise argparse.ArgumentTypeError("the root $ cannot be set or deleted; name an entry or item in it")
    return steps


def _schema(spec: str) -> Any:
    """The JSON Schema in the file SPEC (ending in .json), or the type
    named by MODULE:NAME (NAME may be dotted), once pydantic has shown that
    it can validate into it."""
    if spec.lower().endswith(".json"):
        try:
            return load_json_schema(spec)
        except SchemaFileError as error:
            raise argparse.ArgumentTypeError(str(error)) from None
    module_name, _, attributes = spec.partition(":")
    if not module_name or not attributes:
        raise argparse.ArgumentTypeError(
            f"expected MODULE:NAME, as in myapp.settings:Settings, or a JSON Schema file ending in .json, not {spec!r}"
        )
    # Found as "python -m" finds modules, from the current folder first:
    # the console script's own folder holds no one's models.
    if os.getcwd() not in sys.path and "" not in sys.path:
        sys.path.insert(0, os.getcwd())
    try:
        target: Any = importlib.import_module(module_name)
    except ModuleNotFoundError as error:
        raise argparse.ArgumentTypeError(f"cannot import {module_name}: {error}") from None
    except Exception as error:  # the module's own code failed
        raise argparse.ArgumentTypeError(f"cannot import {module_name}: {type(error).__name__}: {error}") from None
    names = attributes.split(".")
    for depth, name in enumerate(names):
        if not hasattr(target, name):
            holder = ":".join([module_name, ".".join(names[:depth])]).rstrip(":")
            raise argparse.ArgumentTypeError(f"{holder} has no attribute {name!r}")
        target = getattr(target, name)
    refused = not_a_type(target)
    if refused is not None:
        raise argparse.ArgumentTypeError(
            f"{spec} is {refused}, not a type: name a model, a dataclass or another type to validate into"
        )
    try:
        adapter_for(target)
    except ModuleNotFoundError as error:
        raise argparse.ArgumentTypeError(str(error)) from None
    except Exception as error:
        reason = str(error).partition("\n")[0]
        raise argparse.ArgumentTypeError(f"pydantic cannot validate into {spec}: {reason}") from None
    return target


def _build_parser() -> argparse.ArgumentParser:
    formatter = argparse.RawDescriptionHelpFormatter
    parser = argparse.ArgumentParser(
        prog="vorn",
        description=(
            "Check vorn documents, print values from them, change them in place, say which of\n"
            "layered settings files set a value, and convert them to and from JSON."
        ),
        epilog=(
            "examples:\n"
            "  vorn check config/*.vorn\n"
            "  vorn get service.vorn '$.database.port'\n"
            "  vorn set service.vorn '$.database.port' 5433 --diff\n"
            "  vorn del service.vorn '$.service.upstreams[1]'\n"
            "  vorn explain base.vorn production.vorn '$.database.port'\n"
            "  vorn to-json service.vorn --indent 4\n"
            "  vorn from-json settings.json > settings.vorn\n"
            "  vorn from-yaml compose.yaml > compose.vorn\n\n"
            "exit status: 0 success, 1 an invalid document, 2 a usage error or unreadable file"
        ),
        formatter_class=formatter,
    )
    parser.add_argument("--version", action="version", version=f"%(prog)s {__version__}")
    commands = parser.add_subparsers(title="commands", metavar="COMMAND", required=True)

    check = commands.add_parser(
        "check",
        help="validate documents",
        description=(
            "Validate each document. For each invalid one, print FILE:LINE:COLUMN: message\n"
            "to standard error, then the offending line and a caret under the column.\n"
            "Lines and columns count from 1, columns in characters from the start of the\n"
            "line, as editors count them. A long line is shown cut to about 120 columns\n"
            "around the column, with control characters and invalid bytes escaped.\n\n"
            "With --schema, a document whose data do not fit the type is invalid too, and\n"
            "each value at fault is reported the same way: FILE:LINE:COLUMN: $.place: message.\n"
            "The schema is a type (MODULE:NAME) for pydantic, or a JSON Schema file (.json),\n"
            "against which strings are first read as the integers, numbers and booleans\n"
            "the schema asks for, as pydantic reads them (see the README's coercion table).\n\n"
            "A document that reads but likely not as meant gets warnings, shown the same way\n"
            "as FILE:LINE:COLUMN: warning: message [code], then the fix on a help: line:\n"
            "a key written twice in one mapping [repeated-key], an item whose colon makes it\n"
            "a mapping [colon-in-item], an anchor no alias or merge uses [unused-anchor], an\n"
            "item '- key:' whose deeper lines do not nest under key [empty-item-key], and\n"
            "YAML's habits (flow collections, '- - x', tags, escapes in double quotes,\n"
            "'it''s', '<<: [*a, *b]', a value lost to '#'...). They fail the check only\n"
            "with --strict."
        ),
        epilog=(
            "examples:\n"
            "  vorn check --schema myapp.settings:Settings config/*.vorn\n"
            "  vorn check --schema schemas/service.json service.vorn\n\n"
            "exit status: 0 all valid, 1 any invalid (or, with --strict, any warning),\n"
            "2 a usage error, a --schema that cannot be used, or an unreadable file"
        ),
        formatter_class=formatter,
    )
    check.add_argument("files", nargs="+", metavar="FILE", help='a document to check; "-" reads standard input')
    check.add_argument("-v", "--verbose", action="store_true", help="print FILE: OK for each valid document")
    check.add_argument("--strict", action="store_true", help="fail (exit 1) on warnings too")
    check.add_argument(
        "--schema",
        type=_schema,
        metavar="MODULE:NAME|FILE.json",
        help=(
            "also validate each document into this type with pydantic (a model, a dataclass, a TypedDict...), "
            "as in myapp.settings:Settings, or against this JSON Schema file, reporting every value that does not fit"
        ),
    )
    check.set_defaults(command=_check)

    get = commands.add_parser(
        "get",
        help="print the value at a path",
        description=(
            "Print the value at PATH in the document: a string as its text and a line\n"
            "feed, a mapping or sequence as the writer writes it (a document fragment,\n"
            "with no version line of its own), or anything as JSON with --json. A path\n"
            "that leads nowhere is an error naming the first step that has no value."
        ),
        epilog=(
            'paths: $ is the root, .key or ["any key"] an entry, [N] the item N (from 0, or\n'
            "from the end when negative: [-1] is the last):\n"
            '  $.database.port   $.services[-1].name   $["odd key"].x   $.log-level\n\n'
            "exit status: 0 printed, 1 an invalid document or no value at PATH, 2 a usage\n"
            "error or unreadable file"
        ),
        formatter_class=formatter,
    )
    get.add_argument("file", metavar="FILE", help='the document; "-" reads standard input')
    get.add_argument("path", type=_path, metavar="PATH", help="where the value is, e.g. $.server.port")
    get.add_argument("--json", action="store_true", help="print the value as JSON")
    get.set_defaults(command=_get)

    editing_notes = (
        "The file is replaced atomically, and only where the data changed: comments,\n"
        "order, quoting and anchors stay as written. With --diff, nothing is written;\n"
        "the change is printed as a unified diff instead. A change that leaves the data\n"
        "as they were writes and prints nothing. A path that leads nowhere is an error\n"
        "naming where the walk stopped, as get names it."
    )
    editing_status = (
        "exit status: 0 changed (or nothing to change), 1 an invalid document, a path\n"
        "that leads nowhere or data the document cannot hold, 2 a usage error or a\n"
        "file that cannot be read or written"
    )
    set_value = commands.add_parser(
        "set",
        help="set the value at a path, in place",
        description=(
            "Set the value at PATH to VALUE, a string, or with --json a JSON object, array\n"
            "or string: a whole subtree. Keys missing on the way are added as mappings; in a\n"
            "sequence, [N] replaces the item N and the index one past the last item appends,\n"
            "but an index never names an item that is not there.\n"
            "As with from-json, a JSON number, boolean or null is refused unless --stringify\n"
            "writes it as its JSON text.\n\n" + editing_notes
        ),
        epilog=(
            "examples:\n"
            "  vorn set service.vorn '$.service.image' registry.example.com/orders-api:2.15.0\n"
            '  vorn set service.vorn \'$.service.upstreams[2]\' --json \'{"name": "billing", "url": "https://billing"}\'\n'
            "  vorn set service.vorn '$.environments.staging.replicas' 2 --diff\n\n" + editing_status
        ),
        formatter_class=formatter,
    )
    set_value.add_argument("file", metavar="FILE", help="the document, changed in place")
    set_value.add_argument("path", type=_entry_path, metavar="PATH", help="where the value goes, e.g. $.server.port")
    set_value.add_argument("value", metavar="VALUE", help="the string to set (with --json, a JSON value)")
    set_value.add_argument("--json", action="store_true", help="read VALUE as JSON: an object, array or string")
    set_value.add_argument(
        "--stringify", action="store_true", help="with --json, write numbers, booleans and null as their JSON text"
    )
    set_value.add_argument("--diff", action="store_true", help="print the change as a unified diff; write nothing")
    _add_edit_options(set_value, "set the value")
    set_value.set_defaults(command=_set)

    delete = commands.add_parser(
        "del",
        help="delete the value at a path, in place",
        description=(
            "Delete the entry or item at PATH, with the comment lines above it; the items\n"
            "after a deleted item move up by one. A PATH with no value is an error.\n\n" + editing_notes
        ),
        epilog=(
            "examples:\n"
            "  vorn del service.vorn '$.defaults.retries'\n"
            "  vorn del service.vorn '$.service.upstreams[0]' --diff\n\n" + editing_status
        ),
        formatter_class=formatter,
    )
    delete.add_argument("file", metavar="FILE", help="the document, changed in place")
    delete.add_argument("path", type=_entry_path, metavar="PATH", help="the entry or item to delete, e.g. $.hosts[0]")
    delete.add_argument("--diff", action="store_true", help="print the change as a unified diff; write nothing")
    _add_edit_options(delete, "delete the entry")
    delete.set_defaults(command=_del)

    explain = commands.add_parser(
        "explain",
        help="say which of layered files set a value",
        description=(
            "Layer the documents in order, as vorn.settings reads settings files: a later\n"
            "document's mappings are merged into the earlier ones key by key, its strings\n"
            "and sequences replace theirs. Print where the value in force at PATH is written,\n"
            "as FILE:LINE:COLUMN: value, then each value it replaced, the last replaced first.\n"
            "A place is where the value is written, through aliases and merges. A string is\n"
            "shown as it is, or as JSON when it has spaces at its ends or characters that do\n"
            "not print; a mapping or sequence by its size (--json shows them whole)."
        ),
        epilog=(
            "example:\n"
            "  $ vorn explain base.vorn production.vorn '$.database.port'\n"
            "  production.vorn:4:9: 6543\n"
            "  base.vorn:5:9: 5432\n\n"
            "exit status: 0 printed, 1 an invalid document or no value at PATH, 2 a usage\n"
            "error or a file that cannot be read"
        ),
        formatter_class=formatter,
    )
    explain.add_argument(
        "files",
        nargs="+",
        metavar="FILE",
        help='a document, in order: a later one overrides an earlier one; "-" reads standard input',
    )
    explain.add_argument("path", type=_path, metavar="PATH", help="where the value is, e.g. $.database.port")
    explain.add_argument(
        "--skip-missing",
        action="store_true",
        help="leave out a FILE that does not exist, as settings leave out an OptionalFile",
    )
    explain.add_argument(
        "--json",
        action="store_true",
        help='print {"path", "value", "origin", "overrides"}, each place as {"file", "line", "column", "value"}',
    )
    explain.set_defaults(command=_explain)

    to_json = commands.add_parser(
        "to-json",
        help="print a document as JSON",
        description=(
            "Print the document as JSON on standard output: a JSON object whose values\n"
            "are strings, arrays and objects. Comments are not carried over."
        ),
        formatter_class=formatter,
    )
    to_json.add_argument("file", metavar="FILE", help='the document; "-" reads standard input')
    to_json.add_argument(
        "--indent", type=_non_negative, default=2, metavar="N", help="spaces per level of nesting (default: 2)"
    )
    to_json.set_defaults(command=_to_json)

    from_json = commands.add_parser(
        "from-json",
        help="print a JSON object as a document",
        description=(
            "Print a JSON object of strings, arrays and objects as a vorn document on\n"
            "standard output. vorn holds only strings, so a number, boolean or null is an\n"
            "error naming its JSON path, unless --stringify writes it as its JSON text.\n"
            "Nothing is printed for an object whose document would not read back equal:\n"
            "a tab anywhere, a line feed in a key, a multi-line string a literal block\n"
            'changes, or no "_vorn_version": "1.0" at the root. The error names the\n'
            "first such value; --lossy writes them anyway (a key with a line feed never)."
        ),
        formatter_class=formatter,
    )
    from_json.add_argument("file", metavar="FILE", help='the JSON file; "-" reads standard input')
    from_json.add_argument(
        "--stringify",
        action="store_true",
        help="write numbers, booleans and null as their JSON text (8080, true, null)",
    )
    from_json.add_argument(
        "--lossy",
        action="store_true",
        help="write strings that would not read back unchanged anyway (see Round-trip limits in the README)",
    )
    from_json.set_defaults(command=_from_json)

    fmt = commands.add_parser(
        "fmt",
        help="lay documents out in the one layout",
        description=(
            "Rewrite each document in vorn's one layout, which has no options: two spaces a\n"
            "level, items two spaces deeper than their key, one space after a colon, after\n"
            "a hyphen and before an end-of-line comment, no White_Space at line ends, one\n"
            "blank line at most between lines and none at either end, one final line end,\n"
            "line ends as the file has them. Key order, quoting, anchors and comments stay.\n"
            "The result is read back first: the same data, the same comments in order, and\n"
            'its own layout. A file already laid out is not touched. "-" reads standard\n'
            "input and prints the result.\n\n"
            "With --fix, what is certainly meant is repaired first: items written at their\n"
            "key's indentation (YAML's compact lists) are indented under the key, each\n"
            "repair reported as FILE:LINE:COLUMN: fixed: ...; a fault it cannot repair stays."
        ),
        epilog=(
            "exit status: 0 formatted (or nothing to change), 1 with --check when a file\n"
            "would change, 2 a usage error or a file that cannot be read"
        ),
        formatter_class=formatter,
    )
    fmt.add_argument("files", nargs="+", metavar="FILE", help='a document to lay out; "-" reads standard input')
    fmt.add_argument("--check", action="store_true", help="write nothing; exit 1 if a file would change")
    fmt.add_argument("--diff", action="store_true", help="write nothing; print the changes as a unified diff")
    fmt.add_argument("--fix", action="store_true", help="also indent items written at their key's indentation")
    fmt.set_defaults(command=_fmt)

    from_yaml = commands.add_parser(
        "from-yaml",
        help="convert a YAML document into vorn, comments kept",
        description=(
            "Print one YAML document whose root is a mapping as a vorn document on standard\n"
            "output, with its comment lines, end-of-line comments, blank lines between groups\n"
            "and key order. Every scalar becomes the string YAML reads (no types: yes stays\n"
            "yes), flow collections become blocks, and anchors, aliases and merges stay so\n"
            "where vorn can say them, else they are written out. A block scalar becomes a\n"
            "literal block without its final line feed (their number goes to standard error).\n"
            "Tags of the YAML's own (!Ref) are dropped, and said so on standard error. What\n"
            "vorn cannot carry (a blank line or White_Space at a line's end inside a\n"
            "multi-line string, a tab, several documents) is an error naming its place,\n"
            'unless --lossy. Needs PyYAML (pip install "vorn[yaml]").'
        ),
        epilog="exit status: 0 converted, 1 invalid YAML or YAML vorn cannot carry, 2 a usage error or unreadable file",
        formatter_class=formatter,
    )
    from_yaml.add_argument("file", metavar="FILE", help='the YAML file; "-" reads standard input')
    from_yaml.add_argument(
        "--lossy",
        action="store_true",
        help="convert what vorn cannot carry anyway: drop the blank line, the White_Space, or the later documents",
    )
    from_yaml.set_defaults(command=_from_yaml)

    lsp = commands.add_parser(
        "lsp",
        help="serve the editor: a language server on stdio",
        description=(
            "Run the language server on standard input and output, for an editor to start:\n"
            "diagnostics (read faults, warnings, schema errors), hover, completion,\n"
            "definition, references and rename of anchors, the outline, folding, semantic\n"
            "tokens, formatting and quick fixes for every open .vorn document. A document\n"
            "names its schema with a '# vorn: schema=REF' comment line at its top, or the\n"
            "workspace's pyproject.toml does in [tool.vorn.schemas]. Needs the extra:\n"
            'pip install "vorn[lsp]".'
        ),
        epilog="exit status: 0 when the client ends the session, 2 without the extra's packages",
        formatter_class=formatter,
    )
    lsp.set_defaults(command=_lsp)
    return parser
