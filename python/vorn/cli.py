"""The ``vorn`` command: check documents and convert them to and from JSON."""

from __future__ import annotations

import argparse
import json
import sys
from collections.abc import Sequence
from typing import Any

from _vorn_native import dumps

from . import __version__, _diagnostics
from ._errors import DecodeError
from ._json_bridge import NotAString, parse_json, vorn_data
from ._reading import parse

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
    return int(args.command(args))


def _check(args: argparse.Namespace) -> int:
    status = EXIT_OK
    for name in args.files:
        try:
            path, data = _read_input(name)
            _parse_document(path, data)
        except _Failure as failure:
            sys.stderr.write(failure.text)
            status = max(status, failure.status)
            continue
        if args.verbose:
            print(f"{path}: OK", flush=True)
    return status


def _to_json(args: argparse.Namespace) -> int:
    try:
        document = _parse_document(*_read_input(args.file))
    except _Failure as failure:
        sys.stderr.write(failure.text)
        return failure.status
    text = json.dumps(document, ensure_ascii=False, indent=args.indent)
    _write_stdout(text + "\n")
    return EXIT_OK


def _from_json(args: argparse.Namespace) -> int:
    try:
        path, data = _read_input(args.file)
        text = _decode(path, data)
        try:
            root = parse_json(text)
        except json.JSONDecodeError as error:
            raise _json_fault(path, data, text, error) from None
        if not isinstance(root, dict):
            raise _Failure(f"{path}: the JSON must be an object, as a vorn document is a mapping\n", EXIT_INVALID)
        try:
            document = vorn_data(root, stringify=args.stringify)
        except NotAString as error:
            raise _Failure(f"{path}: {error}\n", EXIT_INVALID) from None
    except _Failure as failure:
        sys.stderr.write(failure.text)
        return failure.status
    if "_vorn_version" not in document:
        sys.stderr.write(
            f"vorn: warning: {path} has no _vorn_version at its root; "
            "add \"_vorn_version\": \"1.0\" for the output to load\n"
        )
    _write_stdout(dumps(document))
    return EXIT_OK


def _read_input(name: str) -> tuple[str, bytes]:
    """The display name and the bytes of a file, or of standard input for "-"."""
    if name == "-":
        return STDIN_NAME, sys.stdin.buffer.read()
    try:
        with open(name, "rb") as file:
            return name, file.read()
    except OSError as error:
        raise _Failure(f"vorn: cannot read {name}: {error.strerror or error}\n", EXIT_USAGE) from None


def _decode(path: str, data: bytes) -> str:
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError as error:
        fault = _diagnostics.byte_fault(path, data, error.start, f"not valid UTF-8 ({error.reason})")
        raise _Failure(_diagnostics.render(fault), EXIT_INVALID) from None


def _parse_document(path: str, data: bytes) -> dict[str, Any]:
    try:
        return parse(_decode(path, data), path=path)
    except DecodeError as error:
        fault = _diagnostics.document_fault(path, data, error.lineno, error.colno, error.msg)
        raise _Failure(_diagnostics.render(fault), EXIT_INVALID) from None


def _json_fault(path: str, data: bytes, text: str, error: json.JSONDecodeError) -> _Failure:
    # JSON positions count characters; the caret needs the byte offset.
    offset = len(text[: error.pos].encode("utf-8"))
    fault = _diagnostics.byte_fault(path, data, offset, f"invalid JSON: {error.msg}")
    return _Failure(_diagnostics.render(fault), EXIT_INVALID)


def _write_stdout(text: str) -> None:
    # Documents are UTF-8 whatever the terminal's locale says.
    sys.stdout.flush()
    sys.stdout.buffer.write(text.encode("utf-8"))
    sys.stdout.buffer.flush()


def _non_negative(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        value = -1
    if value < 0:
        raise argparse.ArgumentTypeError(f"expected a whole number of 0 or more, got {text!r}")
    return value


def _build_parser() -> argparse.ArgumentParser:
    formatter = argparse.RawDescriptionHelpFormatter
    parser = argparse.ArgumentParser(
        prog="vorn",
        description="Check vorn documents and convert them to and from JSON.",
        epilog=(
            "examples:\n"
            "  vorn check config/*.vorn\n"
            "  vorn to-json service.vorn --indent 4\n"
            "  vorn from-json settings.json > settings.vorn\n\n"
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
            "Columns count UTF-8 bytes from the start of the line's content."
        ),
        epilog="exit status: 0 all valid, 1 any invalid, 2 a usage error or unreadable file",
        formatter_class=formatter,
    )
    check.add_argument("files", nargs="+", metavar="FILE", help='a document to check; "-" reads standard input')
    check.add_argument("-v", "--verbose", action="store_true", help="print FILE: OK for each valid document")
    check.set_defaults(command=_check)

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
            "error naming its JSON path, unless --stringify writes it as its JSON text."
        ),
        formatter_class=formatter,
    )
    from_json.add_argument("file", metavar="FILE", help='the JSON file; "-" reads standard input')
    from_json.add_argument(
        "--stringify",
        action="store_true",
        help="write numbers, booleans and null as their JSON text (8080, true, null)",
    )
    from_json.set_defaults(command=_from_json)
    return parser
