"""Reading into a type: pydantic validates the data that were read, and only
when it refuses them is the document read again for the positions of the
values at fault."""

from __future__ import annotations

import functools
import inspect
import os
import typing
from typing import TYPE_CHECKING, Any

from ._document import Document
from ._errors import ValidationError, ValidationIssue
from ._json_schema import SchemaFault
from ._native import VERSION_KEY
from ._paths import path_text
from ._spans import Span

if TYPE_CHECKING:
    from pydantic import TypeAdapter
    from pydantic_core import ErrorDetails
    from pydantic_core import ValidationError as PydanticError

INSTALL_HINT = 'pip install "vorn[pydantic]"'

# Building an adapter compiles a validator, which costs far more than most
# documents take to read; programs read into a handful of types, and the
# bound keeps one that makes types on the fly from growing without end.
ADAPTERS_KEPT = 128

# The fault of a field that is not there: having no key to show, it is
# shown at the mapping that lacks it.
_MISSING = "missing"
# The last part of pydantic's place for a fault in a mapping's key.
_KEY_PART = "[key]"


def validated(data: dict[str, Any], into: Any, doc: str, path: str | os.PathLike[str] | None) -> Any:
    """``data``, read from ``doc``, validated into the type ``into``
    without its version entry; a failure raises ValidationError with a
    position for each fault."""
    adapter = adapter_for(into)
    # The version marks the text as a document: it says nothing about the
    # data, and a model that refuses unknown fields would refuse it.
    data.pop(VERSION_KEY, None)
    try:
        return adapter.validate_python(data)
    except _pydantic_error() as error:
        # pydantic's own error stays reachable as the cause, for programs
        # that use its error objects.
        raise ValidationError(_issues(error, data, doc, path), doc, path) from error


def adapter_for(into: Any) -> TypeAdapter[Any]:
    """pydantic's adapter for ``into``, built once per type; a type that
    cannot be hashed (an Annotated with a list in it) gets a new one each
    time. A callable that is not a type raises TypeError; without pydantic,
    ModuleNotFoundError says how to get it."""
    try:
        return _kept_adapter(into)
    except TypeError:
        try:
            hash(into)
        except TypeError:
            return _new_adapter(into)
        raise


@functools.lru_cache(maxsize=ADAPTERS_KEPT)
def _kept_adapter(into: Any) -> TypeAdapter[Any]:
    return _new_adapter(into)


def not_a_type(into: Any) -> str | None:
    """What ``into`` is, when it is a callable that is not a type (a
    function, a partial): pydantic would take it for a function whose
    arguments to validate, which no document can be. None otherwise."""
    if not callable(into) or isinstance(into, (type, typing.NewType)) or typing.get_origin(into) is not None:
        return None
    if inspect.isroutine(into):
        return f"the function {getattr(into, '__module__', None) or '?'}.{getattr(into, '__qualname__', repr(into))}"
    return f"a callable {type(into).__qualname__} object"


def _new_adapter(into: Any) -> TypeAdapter[Any]:
    refused = not_a_type(into)
    if refused is not None:
        raise TypeError(
            "into= takes a type for pydantic to validate the data into (a model, a dataclass, a TypedDict, "
            f"list[Model]...), not {refused}"
        )
    try:
        from pydantic import TypeAdapter
    except ImportError as error:
        raise ModuleNotFoundError(
            f"reading into a type (into=) needs pydantic, which is not installed: {INSTALL_HINT}", name="pydantic"
        ) from error
    return TypeAdapter(into)


def _pydantic_error() -> type[PydanticError]:
    # Imported once a validation has failed, which needs pydantic anyway.
    from pydantic_core import ValidationError as PydanticError

    return PydanticError


def _issues(
    error: PydanticError, data: dict[str, Any], doc: str, path: str | os.PathLike[str] | None
) -> list[ValidationIssue]:
    document = Document.parse(doc, path=path)
    return [issue_at(fault, document) for fault in pydantic_faults(error, data)]


def pydantic_faults(error: PydanticError, data: dict[str, Any]) -> list[SchemaFault]:
    """pydantic's faults as places in ``data``."""
    return [_fault(detail, data) for detail in error.errors(include_url=False)]


def _fault(detail: ErrorDetails, data: dict[str, Any]) -> SchemaFault:
    loc = detail["loc"]
    steps = tuple(_data_steps(data, loc, detail["input"]))
    last = loc[-1] if loc else None
    if detail["type"] == _MISSING:
        # Named by the field it lacks, shown at the mapping that lacks it.
        named = (*steps, last) if isinstance(last, str) else steps
        return SchemaFault(steps, True, named, detail["msg"], detail["input"], detail["type"])
    at_key = detail["type"] == "extra_forbidden" or last == _KEY_PART
    return SchemaFault(steps, at_key, steps, detail["msg"], detail["input"], detail["type"])


def issue_at(fault: SchemaFault, document: Document) -> ValidationIssue:
    """``fault`` with the position the document shows it at, and the
    aliases and merges that brought the value there."""
    span, via = _place(document, list(fault.steps), at_key=fault.at_key)
    return ValidationIssue(path_text(fault.named), span.lineno, span.colno, fault.msg, fault.input, fault.type, via)


# Past this many ways to read a pydantic place through the data, the first
# found (each part a step wherever it can be) is taken.
_MOST_READINGS = 256


def _data_steps(data: Any, loc: tuple[int | str, ...], input_value: Any) -> list[str | int]:
    """The keys and indices of ``loc`` that lead through ``data``, to the
    deepest value it names. Parts that are not in the data are dropped:
    those pydantic adds for a member of a union (``Cat``, ``int``,
    ``function-after[...]``), ``[key]``, a missing field. A union member's
    name can be a key of the data too: of the readings, the one that ends at
    the value pydantic reports (``input_value``) is taken."""
    readings: list[tuple[Any, list[str | int]]] = []
    pending: list[tuple[int, Any, list[str | int]]] = [(0, data, [])]
    while pending and len(readings) < _MOST_READINGS:
        at, node, steps = pending.pop()
        if at == len(loc):
            if node is input_value:
                return steps
            readings.append((node, steps))
            continue
        part = loc[at]
        pending.append((at + 1, node, steps))
        # Tried first: the part as a step, where it can be one.
        if isinstance(part, str) and isinstance(node, dict) and part in node:
            pending.append((at + 1, node[part], [*steps, part]))
        elif isinstance(part, int) and isinstance(node, list) and 0 <= part < len(node):
            pending.append((at + 1, node[part], [*steps, part]))
    return readings[0][1] if readings else []


def _place(document: Document, steps: list[str | int], *, at_key: bool) -> tuple[Span, tuple[Span, ...]]:
    """Where the value at ``steps`` is written, or its key for ``at_key``
    when it has one (an item and the root have none), and the aliases and
    merges that brought it to ``steps``. Should a validator have changed
    the data in place, the nearest place the document has."""
    while True:
        try:
            written = document.written_at(tuple(steps))
        except KeyError:
            if not steps:
                raise
            steps = steps[:-1]
            continue
        if at_key and steps and isinstance(steps[-1], str) and written.key_span is not None:
            return written.key_span, written.via
        return written.span, written.via
