"""Layered settings with pydantic-settings, where every value can say where
it came from (the extra ``pip install "vorn[settings]"``).

``VornConfigSettingsSource`` reads vorn files as pydantic-settings' own
YAML and TOML sources read theirs, from ``vorn_file`` in the model's
config: one path or several, merged in order (a later file's mappings
merged into the earlier ones key by key, its scalars and lists replacing
theirs). ``VornSettings`` is a ``BaseSettings`` that reads them after the
init arguments, the environment and the dotenv files and before the secrets
files, and keeps what each source gave: ``origin_of(settings,
"database.port")`` says where the value in force came from, and a value that
does not validate is reported at its place.

    >>> class Settings(VornSettings):
    ...     model_config = VornSettingsConfigDict(
    ...         vorn_file=["base.vorn", "production.vorn", OptionalFile("local.vorn")],
    ...         env_prefix="APP_",
    ...         env_nested_delimiter="__",
    ...     )
    ...     database: Database
    >>> str(origin_of(Settings(), "database.port"))
    'production.vorn:3:9'

The settings keep their files' texts; positions are read from them when
first asked for.
"""

from __future__ import annotations

import contextvars
import os
import weakref
from collections.abc import Mapping
from typing import Any, ClassVar, cast

try:
    from pydantic import ValidationError as PydanticError
    from pydantic_settings import BaseSettings, InitSettingsSource, PydanticBaseSettingsSource, SettingsConfigDict
    from pydantic_settings.sources import ConfigFileSourceMixin
    from pydantic_settings.sources.types import DEFAULT_PATH
except ImportError as error:
    raise ModuleNotFoundError(
        'vorn.settings needs pydantic-settings, which is not installed: pip install "vorn[settings]"',
        name="pydantic_settings",
    ) from error

from ._layers import Layer, OptionalFile, SettingsFiles, layer_of, merged, read_layers
from ._origin import Origin, OriginKind
from ._paths import parse_path, path_text
from ._settings_errors import SettingsIssue, SettingsValidationError, settings_error
from ._source_origins import Build, field_names
from ._sources import text_at

__all__ = [
    "OptionalFile",
    "Origin",
    "OriginKind",
    "SettingsIssue",
    "SettingsValidationError",
    "VornConfigSettingsSource",
    "VornSettings",
    "VornSettingsConfigDict",
    "origin_of",
]


class VornSettingsConfigDict(SettingsConfigDict, total=False):
    """pydantic-settings' config, with the vorn files to read.

    Attributes:
        vorn_file: a path, an ``OptionalFile``, or a list of them in order:
            a later file overrides an earlier one.
    """

    vorn_file: SettingsFiles | None


class VornConfigSettingsSource(InitSettingsSource, ConfigFileSourceMixin):
    """A pydantic-settings source that reads vorn files: ``vorn_file``, or
    the model config's ``vorn_file``, one path or several, merged in order.
    A file that does not exist raises FileNotFoundError naming it, unless
    given as ``OptionalFile(path)``; one that cannot be read raises
    DecodeError at its fault. Each file's ``_vorn_version`` entry is no
    setting and is left out.

    >>> class Settings(BaseSettings):
    ...     model_config = SettingsConfigDict(vorn_file=["base.vorn", "prod.vorn"])
    ...     port: int
    ...     @classmethod
    ...     def settings_customise_sources(cls, settings_cls, init_settings, env_settings, dotenv_settings, file_secret_settings):
    ...         return init_settings, env_settings, VornConfigSettingsSource(settings_cls)

    Attributes:
        vorn_layers: each file read, in order (``name``, ``text``, ``data``).
        vorn_data: their data merged.
    """

    def __init__(
        self,
        settings_cls: type[BaseSettings],
        vorn_file: SettingsFiles | None = DEFAULT_PATH,
        _init_state: Any = None,
    ) -> None:
        self.vorn_file_path: SettingsFiles | None = (
            vorn_file
            if vorn_file != DEFAULT_PATH
            else cast(VornSettingsConfigDict, settings_cls.model_config).get("vorn_file")
        )
        self.vorn_layers: list[Layer] = read_layers(self.vorn_file_path)
        self.vorn_data = merged(layer.data for layer in self.vorn_layers)
        super().__init__(settings_cls, self.vorn_data, _init_state=_init_state)

    def _read_file(self, path: Any) -> dict[str, Any]:
        # For the base's own reading of files, which skips missing ones.
        name = os.fspath(path)
        return layer_of(name, text_at(name)[1]).data

    def __repr__(self) -> str:
        return f"{type(self).__name__}(vorn_file={self.vorn_file_path!r})"


# The builds of the settings objects being made on this thread, innermost last.
_BUILDING: contextvars.ContextVar[list[Build] | None] = contextvars.ContextVar("vorn_settings_building", default=None)
# What the sources gave each VornSettings object alive, by its id.
_BUILDS: dict[int, Build] = {}


class VornSettings(BaseSettings):
    """A ``BaseSettings`` that also reads the vorn files of its config's
    ``vorn_file`` and keeps what each source gave. Its sources, highest
    priority first: init arguments, environment variables, dotenv files,
    the vorn files, secrets files (override ``settings_customise_sources``
    as usual; return a ``VornConfigSettingsSource(settings_cls)`` among
    them to keep the files).

    A value that does not validate raises SettingsValidationError (a
    ``vorn.ValidationError``) with its place: ``FILE:LINE:COL`` for one from
    a vorn file, the variable for one from the environment. ``origin_of``
    says where any value came from. Keeping costs next to nothing: the
    positions are read from the files' texts only when asked for.
    """

    model_config: ClassVar[VornSettingsConfigDict] = VornSettingsConfigDict(**BaseSettings.model_config, vorn_file=None)

    def __init__(__vorn_self__, **values: Any) -> None:
        builds: list[Build] = []
        token = _BUILDING.set(builds)
        try:
            super().__init__(**values)
        except PydanticError as error:
            if not builds:
                raise
            raise settings_error(type(__vorn_self__), error, builds[-1]) from error
        finally:
            _BUILDING.reset(token)
        if builds:
            key = id(__vorn_self__)
            _BUILDS[key] = builds[-1]
            weakref.finalize(__vorn_self__, _BUILDS.pop, key, None)

    @classmethod
    def settings_customise_sources(
        cls,
        settings_cls: type[BaseSettings],
        init_settings: PydanticBaseSettingsSource,
        env_settings: PydanticBaseSettingsSource,
        dotenv_settings: PydanticBaseSettingsSource,
        file_secret_settings: PydanticBaseSettingsSource,
    ) -> tuple[PydanticBaseSettingsSource, ...]:
        return (
            init_settings,
            env_settings,
            dotenv_settings,
            VornConfigSettingsSource(settings_cls),
            file_secret_settings,
        )

    @classmethod
    def _settings_build_values(
        cls, sources: tuple[PydanticBaseSettingsSource, ...], init_kwargs: dict[str, Any]
    ) -> dict[str, Any]:
        state = super()._settings_build_values(sources, init_kwargs)
        builds = _BUILDING.get()
        if builds is not None:
            builds.append(Build(sources, state, VornConfigSettingsSource))
        return state


def origin_of(settings: VornSettings, path: str | tuple[str | int, ...]) -> Origin:
    """Where the value in force at ``path`` of ``settings`` came from, with
    ``overrides``, the values it replaced, the last replaced first. The
    path names fields as attributes do (``"database.port"``,
    ``"hosts[0]"``, ``"$.database.port"``, or a tuple of keys and indices);
    an alias works too. A path the settings do not hold raises KeyError.

    A value from a vorn file has the place it is written (through anchors
    and merges); a mapping several files hold, which they merged, has the
    last of them and overrides the others. A value no source gave has the
    kind ``"default"``.

    >>> str(origin_of(settings, "database.port"))
    'prod.vorn:4:9'
    >>> [str(place) for place in origin_of(settings, "database.port").overrides]
    ['base.vorn:5:9']
    """
    if not isinstance(settings, VornSettings):
        raise TypeError(
            f"origin_of needs VornSettings, which keep the origins of their values, not {type(settings).__qualname__}"
        )
    build = _BUILDS.get(id(settings))
    if build is None:
        raise ValueError(
            f"this {type(settings).__name__} was not read from its sources (model_copy and model_construct make "
            "settings that were not), so it knows no origins: make it by calling the class"
        )
    steps = _steps(path)
    if not steps:
        raise ValueError("name a field, as in 'database.port': the settings as a whole come from every source")
    origin = build.origin(_choices(settings, steps))
    return Origin(None, kind="default") if origin is None else origin


def _steps(path: str | tuple[str | int, ...]) -> tuple[str | int, ...]:
    if isinstance(path, tuple):
        return path
    if isinstance(path, str):
        return parse_path(path if path.startswith("$") or not path else f"$.{path}")
    raise TypeError(f"a path is a 'database.port' string or a tuple of str and int, not {type(path).__qualname__}")


def _choices(settings: VornSettings, steps: tuple[str | int, ...]) -> list[tuple[str | int, ...]]:
    """For each step, the keys a source may have given its value under: a
    field's names, or a mapping's key, or an index. A step the settings do
    not hold raises KeyError."""
    node: Any = settings
    choices: list[tuple[str | int, ...]] = []
    for step in steps:
        fields = getattr(type(node), "__pydantic_fields__", None)
        if isinstance(step, str) and fields is not None:
            config = getattr(type(node), "model_config", None) or getattr(type(node), "__pydantic_config__", None) or {}
            names = {name: field_names(name, field, config) for name, field in fields.items()}
            # The field's name finds it even where only its alias is read.
            named = step if step in fields else next((name for name in names if step in names[name]), None)
            found = named is not None
            key: str | int = named or step
            node_choices: tuple[str | int, ...] = names.get(key, (step,))
        else:
            found = (isinstance(step, str) and isinstance(node, Mapping) and step in node) or (
                isinstance(step, int) and isinstance(node, (list, tuple)) and 0 <= step < len(node)
            )
            key, node_choices = step, (step,)
        if not found:
            shown = path_text(steps[: len(choices) + 1])
            raise KeyError(f"{type(settings).__name__} has no value at {shown}")
        choices.append(node_choices)
        node = getattr(node, str(key)) if fields is not None else node[key]
    return choices


# Tracebacks and reprs name the classes where users find them.
for _public in (OptionalFile, Origin, SettingsIssue, SettingsValidationError):
    _public.__module__ = __name__
