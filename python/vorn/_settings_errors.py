"""Layered settings that do not validate: each value at fault reported at
its origin, a vorn file's line and column or the variable that set it."""

from __future__ import annotations

from collections.abc import Mapping, Sequence
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any, Self

from . import _diagnostics
from ._errors import ValidationError, ValidationIssue
from ._origin import Origin
from ._paths import path_text
from ._source_origins import field_names
from ._typed import _data_steps

if TYPE_CHECKING:
    from pydantic_core import ErrorDetails
    from pydantic_core import ValidationError as PydanticError

    from ._source_origins import Build

# pydantic's kinds of fault that are shown at a key rather than a value.
_MISSING = "missing"
_AT_KEY = frozenset({_MISSING, "extra_forbidden"})
_KEY_PART = "[key]"


@dataclass(frozen=True, slots=True)
class SettingsIssue(ValidationIssue):
    """A ``ValidationIssue`` of layered settings, with the origin of the
    value at fault. For a value from a vorn file, ``lineno`` and ``colno``
    are its place in ``origin.path``; for one from elsewhere they are 0. A
    missing field is shown where the mapping that lacks it came from, and
    has no origin when that is the settings' root.

    Attributes:
        origin: where the value at fault came from, or None.
    """

    origin: Origin | None = None


class SettingsValidationError(ValidationError):
    """Layered settings whose values do not validate: a ``vorn.ValidationError``
    raised by a ``VornSettings`` class, from pydantic's ValidationError
    (its ``__cause__``). ``str()`` shows each value at fault at its
    origin: ``FILE:LINE:COL: $.place: message``, the line and a caret for
    one from a vorn file, ``environment variable NAME: $.place: message``
    for one from the environment.

    Attributes:
        errors: a SettingsIssue for each value at fault, in pydantic's order.
        texts: the text of each vorn file read, by its name.
        settings: the name of the settings class.
        doc, path: empty and None: the values come from several sources.
    """

    errors: list[SettingsIssue]  # type: ignore[assignment]
    texts: dict[str, str]
    settings: str

    def __init__(self, errors: Sequence[SettingsIssue], texts: Mapping[str, str], settings: str) -> None:
        ValueError.__init__(self, _report(errors, texts, settings))
        self.errors = list(errors)
        self.texts = dict(texts)
        self.settings = settings
        self.doc = ""
        self.path = None

    def __reduce__(self) -> tuple[type[Self], tuple[list[SettingsIssue], dict[str, str], str]]:  # type: ignore[override]
        return type(self), (self.errors, self.texts, self.settings)


def settings_error(settings: type[Any], error: PydanticError, build: Build) -> SettingsValidationError:
    """pydantic's refusal of the values ``build`` made for the class
    ``settings``, at their origins."""
    names = [field_names(name, field, settings.model_config) for name, field in settings.__pydantic_fields__.items()]
    issues = [_issue(detail, build, names) for detail in error.errors(include_url=False)]
    texts = {layer.name: layer.text for layer in build.layers()}
    return SettingsValidationError(issues, texts, settings.__name__)


def _issue(detail: ErrorDetails, build: Build, names: Sequence[tuple[str, ...]]) -> SettingsIssue:
    loc = detail["loc"]
    steps = _data_steps(build.state, loc, detail["input"])
    last = loc[-1] if loc else None
    named = [*steps, last] if detail["type"] == _MISSING and isinstance(last, str) else steps
    at_key = detail["type"] in _AT_KEY or last == _KEY_PART
    # pydantic names a value by the key it was given under. Every source
    # gave a field's under the same, but for the init arguments, given back
    # their callers' names: at the top, any of the field's names will do.
    choices = [_top_names(names, steps[0]), *((step,) for step in steps[1:])] if steps else []
    origin = build.origin(choices, at_key=at_key) if steps else None
    place = (origin.lineno or 0, origin.colno or 0) if origin is not None and origin.kind == "file" else (0, 0)
    return SettingsIssue(path_text(named), *place, detail["msg"], detail["input"], detail["type"], origin=origin)


def _top_names(names: Sequence[tuple[str, ...]], key: str | int) -> tuple[str | int, ...]:
    return next((choices for choices in names if key in choices), (key,))


def _report(errors: Sequence[SettingsIssue], texts: Mapping[str, str], settings: str) -> str:
    shown = []
    for issue in errors:
        origin = issue.origin
        if origin is not None and origin.path is not None and origin.kind == "file" and origin.path in texts:
            lines = texts[origin.path].split("\n")
            line = lines[issue.lineno - 1].removesuffix("\r") if 0 < issue.lineno <= len(lines) else ""
            fault = _diagnostics.Fault(
                origin.path,
                issue.lineno,
                issue.colno,
                f"{issue.path}: {issue.msg}",
                line.encode("utf-8", "surrogatepass"),
            )
            shown.append(_diagnostics.render(fault))
        else:
            where = settings if origin is None else str(origin)
            shown.append(f"{where}: {issue.path}: {_diagnostics.escaped(issue.msg)}\n")
    return "".join(shown).removesuffix("\n")
