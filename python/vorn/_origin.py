"""Where a value of layered settings came from: a place in a settings file,
or one of the other sources settings are read from."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Literal, TypeAlias

#: The kinds of source a value can come from: a vorn settings file, an
#: environment variable, an argument given to the settings class, a dotenv
#: file, a secrets file, another settings source, or the field's default.
OriginKind: TypeAlias = Literal["file", "environment", "init", "dotenv", "secrets", "source", "default"]


@dataclass(frozen=True, slots=True)
class Origin:
    """Where a value came from. For a vorn file, ``path``, ``lineno`` and
    ``colno`` are the place the value is written, through anchors and
    merges: lines and columns from 1, columns in characters. For the other
    kinds ``name`` says which variable, argument or source it was, and
    ``path`` the dotenv or secrets file. ``overrides`` are the origins of
    the values it replaced, the one it replaced last first.

    >>> str(Origin("prod.vorn", 4, 9))
    'prod.vorn:4:9'
    >>> str(Origin(None, kind="environment", name="APP_DATABASE__PORT"))
    'environment variable APP_DATABASE__PORT'
    """

    path: str | None
    lineno: int | None = None
    colno: int | None = None
    kind: OriginKind = "file"
    name: str | None = None
    overrides: tuple[Origin, ...] = ()

    def __str__(self) -> str:
        match self.kind:
            case "file":
                return f"{self.path}:{self.lineno}:{self.colno}"
            case "environment":
                return f"environment variable {self.name}"
            case "init":
                return f"init argument {self.name}"
            case "dotenv":
                return f"variable {self.name} of dotenv file {self.path}"
            case "secrets":
                return f"secrets file {self.path}"
            case "source":
                return f"settings source {self.name}"
            case "default":
                return "the field's default"
