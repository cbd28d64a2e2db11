"""A document's diagnostics: its read fault (an error), every ``vorn
check`` warning with its code, and the values its schema refuses (errors),
each where it is written, with the aliases and merges that brought it as
related information."""

from __future__ import annotations

from lsprotocol import types

from .._document import Document
from .._errors import DecodeError
from .._json_schema import SchemaFault
from .._lints import Lint
from .._native import VERSION_KEY, SyntaxKind
from .._paths import path_text
from .._spans import Span
from .documents import OpenDocument
from .schemas import SchemaChoice, SchemaStore, SchemaUnusable

SOURCE = "vorn"
# The code of a read fault, for the quick fixes that repair one.
READ_FAULT = "read-fault"


def diagnose(document: OpenDocument, store: SchemaStore) -> list[types.Diagnostic]:
    read = document.document()
    if read is None:
        assert document.fault is not None
        # The changes go on being noted against the last text that read,
        # whose warnings are renewed once the text reads again (a line
        # being typed does not read until its colon).
        return [fault_diagnostic(document, document.fault)]
    changed = document.take_changed_lines()
    found = [_lint(document, lint) for lint in document.lint_cache.lints(read, document.lines, changed)]
    choice = store.choice(document.path, _leading(document))
    if choice is not None:
        found += _schema_diagnostics(document, read, store, choice)
    return found


def _leading(document: OpenDocument) -> list[str]:
    """The lines up to the first that is neither blank nor a comment."""
    leading = []
    for line in document.lines.iter_lines():
        leading.append(line)
        content = line.strip()
        if content and not content.startswith("#"):
            break
    return leading


def fault_diagnostic(document: OpenDocument, fault: DecodeError) -> types.Diagnostic:
    """The read fault, from its column to the end of the line's text."""
    line = document.lines.line(fault.lineno - 1)
    end = max(fault.colno, len(line.rstrip()) + 1)
    span = Span(fault.lineno, fault.colno, fault.lineno, end)
    return types.Diagnostic(
        range=document.lines.range(span),
        message=fault.msg,
        severity=types.DiagnosticSeverity.Error,
        code=READ_FAULT,
        source=SOURCE,
    )


def _lint(document: OpenDocument, lint: Lint) -> types.Diagnostic:
    span = lint.span or Span(lint.lineno, lint.colno, lint.lineno, lint.colno)
    return types.Diagnostic(
        range=document.lines.range(span),
        message=f"{lint.message}\nhelp: {lint.help}",
        severity=types.DiagnosticSeverity.Warning,
        code=lint.code,
        source=SOURCE,
    )


def _schema_diagnostics(
    document: OpenDocument, read: Document, store: SchemaStore, choice: SchemaChoice
) -> list[types.Diagnostic]:
    try:
        schema = store.load(choice)
    except SchemaUnusable as refused:
        span = choice.declared_at or _first_line(document)
        return [
            types.Diagnostic(
                range=document.lines.range(span),
                message=str(refused),
                severity=types.DiagnosticSeverity.Error,
                code="schema-unusable",
                source=SOURCE,
            )
        ]
    data = dict(read.data)
    data.pop(VERSION_KEY, None)
    try:
        faults = schema.faults(data)
    except Exception as error:  # a validator of the user's own failed
        return [
            types.Diagnostic(
                range=document.lines.range(choice.declared_at or _first_line(document)),
                message=f"the schema's validation failed: {type(error).__name__}: {error}",
                severity=types.DiagnosticSeverity.Error,
                code="schema-unusable",
                source=SOURCE,
            )
        ]
    return [_schema_fault(document, read, fault) for fault in faults]


def _first_line(document: OpenDocument) -> Span:
    return Span(1, 1, 1, len(document.lines.line(0)) + 1)


def _schema_fault(document: OpenDocument, read: Document, fault: SchemaFault) -> types.Diagnostic:
    tree = read._tree
    steps = fault.steps
    # A validator may have changed the data: the nearest place written.
    place = tree.written_at(steps)
    while place is None and steps:
        steps = steps[:-1]
        place = tree.written_at(steps)
    related = []
    if place is None or place.record is None:
        span = _first_line(document)
    else:
        record = tree.record(place.record)
        key = None if place.key_record is None else tree.record(place.key_record).key_span
        span = key if fault.at_key and key is not None else record.value_span
        for index in place.via:
            via = tree.record(index)
            merged = via.kind == SyntaxKind.MERGE
            related.append(
                types.DiagnosticRelatedInformation(
                    location=types.Location(
                        document.uri, document.lines.range(via.head_span if merged else via.value_span)
                    ),
                    message="merged in by this '<<'" if merged else "reached through this alias",
                )
            )
    return types.Diagnostic(
        range=document.lines.range(span),
        message=f"{path_text(fault.named)}: {fault.msg}",
        severity=types.DiagnosticSeverity.Error,
        code=fault.type,
        source=SOURCE,
        related_information=related or None,
    )
