"""Layered settings with the real pydantic-settings: vorn files merged in
order under the environment, dotenv files, init arguments and secrets, the
origin of every value, and values that do not validate shown at theirs."""

import importlib.util
import os
import pickle
import re
import shutil
import sys
from pathlib import Path
from typing import Any

import pytest
import vorn
import vorn.cli
from hypothesis import given
from hypothesis import strategies as st
from vorn._layers import history, merged, value_at

pydantic = pytest.importorskip("pydantic")
settings = pytest.importorskip("vorn.settings")

BASE = """\
_vorn_version: 1.0
templates:
  db: &db
    host: db.internal
    port: 5432
  hosts: &hosts
    - a
    - b
database:
  <<: *db
  name: orders
hosts: *hosts
log_level: info
"""
PRODUCTION = """\
_vorn_version: 1.0
database:
  port: 6543
log_level: warn
"""


class Database(pydantic.BaseModel):
    host: str
    port: int
    name: str = "orders"


class Settings(settings.VornSettings):
    model_config = settings.VornSettingsConfigDict(
        vorn_file=["base.vorn", "production.vorn", settings.OptionalFile("local.vorn")],
        env_prefix="APP_",
        env_nested_delimiter="__",
        env_file=".env",
        secrets_dir="secrets",
    )
    # Where the anchors live.
    templates: dict[str, Any] = {}
    database: Database
    hosts: list[str] = []
    log_level: str = "info"
    replicas: int = 1
    token: str = ""
    region: str = pydantic.Field("eu", validation_alias="deploy_region")


@pytest.fixture
def folder(tmp_path, monkeypatch):
    """The settings' folder, current, with base.vorn and production.vorn;
    no variable of the settings' prefix is set."""
    monkeypatch.chdir(tmp_path)
    (tmp_path / "base.vorn").write_text(BASE)
    (tmp_path / "production.vorn").write_text(PRODUCTION)
    (tmp_path / "secrets").mkdir()
    for name in list(os.environ):
        if name.upper().startswith("APP_"):
            monkeypatch.delenv(name)
    return tmp_path


def arrange(folder, monkeypatch, files):
    """Writes ``files`` by name, or deletes one for None; "$NAME" sets a variable."""
    for name, content in files.items():
        if name.startswith("$"):
            monkeypatch.setenv(name[1:], content)
        elif content is None:
            (folder / name).unlink()
        else:
            (folder / name).write_text(content)


# (files to add or replace, init arguments, path, the origin and those it overrode, as str)
ORIGINS = [
    pytest.param({}, {}, "database.port", ["production.vorn:3:9", "base.vorn:5:11"], id="a-later-file-overrides"),
    pytest.param({}, {}, "database.host", ["base.vorn:4:11"], id="through-a-merge"),
    pytest.param({}, {}, "database.name", ["base.vorn:11:9"], id="beside-a-merge"),
    pytest.param({}, {}, "hosts[1]", ["base.vorn:8:7"], id="through-an-alias"),
    pytest.param({}, {}, "$.log_level", ["production.vorn:4:12", "base.vorn:13:12"], id="a-path-from-the-root"),
    pytest.param({}, {}, "database", ["production.vorn:3:3", "base.vorn:10:3"], id="a-mapping-merged-from-two-files"),
    pytest.param(
        {"$APP_DATABASE__PORT": "7000"},
        {},
        "database.port",
        ["environment variable APP_DATABASE__PORT", "production.vorn:3:9", "base.vorn:5:11"],
        id="environment-over-files-nested-delimiter",
    ),
    pytest.param(
        {"$app_database": '{"port": "1"}'},
        {},
        "database.port",
        ["environment variable app_database", "production.vorn:3:9", "base.vorn:5:11"],
        id="environment-json-named-as-spelled",
    ),
    pytest.param(
        {"$APP_LOG_LEVEL": "error"},
        {"log_level": "debug"},
        "log_level",
        ["init argument log_level", "environment variable APP_LOG_LEVEL", "production.vorn:4:12", "base.vorn:13:12"],
        id="init-over-environment",
    ),
    pytest.param(
        {".env": "# local\nAPP_REPLICAS=2\n"},
        {},
        "replicas",
        ["variable APP_REPLICAS of dotenv file .env"],
        id="dotenv",
    ),
    pytest.param({"secrets/app_token": "s3cret\n"}, {}, "token", ["secrets file secrets/app_token"], id="secrets"),
    pytest.param(
        {"local.vorn": "_vorn_version: 1.0\ntoken: t\n", "secrets/app_token": "s\n"},
        {},
        "token",
        ["local.vorn:2:8", "secrets file secrets/app_token"],
        id="files-over-secrets",
    ),
    pytest.param({}, {}, "replicas", ["the field's default"], id="default"),
    pytest.param(
        {"local.vorn": "_vorn_version: 1.0\ndatabase:\n  port: 1\n"},
        {},
        "database.port",
        ["local.vorn:3:9", "production.vorn:3:9", "base.vorn:5:11"],
        id="optional-file-present",
    ),
    pytest.param(
        {"local.vorn": "_vorn_version: 1.0\nhosts:\n  - c\n"},
        {},
        "hosts[0]",
        ["local.vorn:3:5", "base.vorn:7:7"],
        id="a-later-list-replaces",
    ),
    pytest.param(
        {"local.vorn": "_vorn_version: 1.0\ntemplates:\n  db: none\n", "production.vorn": "_vorn_version: 1.0\n"},
        {},
        "templates.db",
        ["local.vorn:3:7", "base.vorn:3:7"],
        id="a-later-scalar-replaces-a-mapping",
    ),
    pytest.param(
        {
            "production.vorn": "_vorn_version: 1.0\ntemplates:\n  db: none\n",
            "local.vorn": "_vorn_version: 1.0\ntemplates:\n  db:\n    host: h\n",
        },
        {},
        "templates.db.host",
        ["local.vorn:4:11"],
        id="what-a-scalar-replaced-is-no-longer-overridden",
    ),
    pytest.param(
        {"local.vorn": "_vorn_version: 1.0\ndeploy_region: us\n"}, {}, "region", ["local.vorn:2:16"], id="field-alias"
    ),
    pytest.param(
        {"local.vorn": "_vorn_version: 1.0\nReplicas: 5\n"},
        {},
        "replicas",
        ["local.vorn:2:11"],
        id="any-case-at-the-top",
    ),
]


@pytest.mark.parametrize(("files", "init", "path", "expected"), ORIGINS)
def test_origin_of_every_value(folder, monkeypatch, files, init, path, expected):
    arrange(folder, monkeypatch, files)
    loaded = Settings(**init)
    origin = settings.origin_of(loaded, path)
    assert [str(origin), *map(str, origin.overrides)] == expected


NOT_AN_INT = "Input should be a valid integer, unable to parse string as an integer"

# (files to add or replace, the exception, its str)
FAILURES = [
    pytest.param(
        {"local.vorn": "_vorn_version: 1.0\ndatabase:\n  port: lots\nreplicas: many\n"},
        vorn.ValidationError,
        f"local.vorn:3:9: $.database.port: {NOT_AN_INT}\n  port: lots\n        ^\n"
        f"local.vorn:4:11: $.replicas: {NOT_AN_INT}\nreplicas: many\n          ^",
        id="at-file-line-column",
    ),
    pytest.param(
        {"$APP_DATABASE__PORT": "x"},
        vorn.ValidationError,
        f"environment variable APP_DATABASE__PORT: $.database.port: {NOT_AN_INT}",
        id="naming-the-variable",
    ),
    pytest.param(
        {"base.vorn": "_vorn_version: 1.0\ndatabase:\n  port: 1\n", "production.vorn": None},
        FileNotFoundError,
        "[Errno 2] No such settings file; if it may be absent, give it as OptionalFile('production.vorn'): "
        "'production.vorn'",
        id="a-missing-file",
    ),
    pytest.param(
        {"base.vorn": "_vorn_version: 1.0\ndatabase:\n  port: 1\n"},
        vorn.ValidationError,
        "production.vorn:2:1: $.database.host: Field required\ndatabase:\n^",
        id="missing-at-the-key-of-the-last-mapping-that-lacks-it",
    ),
    pytest.param(
        {"base.vorn": "_vorn_version: 1.0\n", "production.vorn": "_vorn_version: 1.0\n"},
        vorn.ValidationError,
        "Settings: $.database: Field required",
        id="missing-from-every-source",
    ),
    pytest.param(
        {"local.vorn": "_vorn_version: 1.0\ndatabse:\n  port: 1\n"},
        vorn.ValidationError,
        "local.vorn:2:1: $.databse: Extra inputs are not permitted\ndatabse:\n^",
        id="extra-at-its-key",
    ),
    pytest.param(
        {"local.vorn": "_vorn_version: 1.0\nreplicas\n"},
        vorn.DecodeError,
        "local.vorn:2:1: expected ':' in mapping entry",
        id="a-document-that-does-not-read",
    ),
]


@pytest.mark.parametrize(("files", "error", "report"), FAILURES)
def test_failures_name_their_place(folder, monkeypatch, files, error, report):
    arrange(folder, monkeypatch, files)
    with pytest.raises(error) as info:
        Settings()
    assert str(info.value) == report
    if isinstance(info.value, vorn.ValidationError):
        assert isinstance(info.value.__cause__, pydantic.ValidationError)
        assert pickle.loads(pickle.dumps(info.value)).errors == info.value.errors


def test_origins_need_settings_read_from_their_sources(folder):
    loaded = Settings()
    with pytest.raises(KeyError, match=re.escape("Settings has no value at $.database.prot")):
        settings.origin_of(loaded, "database.prot")
    with pytest.raises(ValueError, match="was not read from its sources"):
        settings.origin_of(loaded.model_copy(), "database.port")
    # Equal settings are equal whatever their origins.
    assert Settings(log_level="warn") == loaded


def test_the_source_serves_pydantic_settings_own_classes(folder, monkeypatch):
    from pydantic_settings import BaseSettings, SettingsConfigDict

    class Plain(BaseSettings):
        model_config = SettingsConfigDict(vorn_file="production.vorn", extra="ignore")
        database: dict[str, str]
        log_level: str

        @classmethod
        def settings_customise_sources(cls, settings_cls, init_settings, env_settings, **others):
            return init_settings, env_settings, settings.VornConfigSettingsSource(settings_cls)

    monkeypatch.setenv("LOG_LEVEL", "error")
    assert Plain().model_dump() == {"database": {"port": "6543"}, "log_level": "error"}
    source = settings.VornConfigSettingsSource(Plain, vorn_file=["base.vorn", settings.OptionalFile("none.vorn")])
    assert [layer.name for layer in source.vorn_layers] == ["base.vorn"]


documents = st.recursive(
    st.sampled_from(["x", "y"]),
    lambda children: st.one_of(
        st.lists(children, max_size=2), st.dictionaries(st.sampled_from("abc"), children, max_size=3)
    ),
    max_leaves=8,
)


def merged_by_hand(first, second):
    if not (isinstance(first, dict) and isinstance(second, dict)):
        return second
    return {
        **first,
        **{key: merged_by_hand(first[key], value) if key in first else value for key, value in second.items()},
    }


def leaf_paths(value, steps=()):
    if isinstance(value, dict):
        return [path for key, child in value.items() for path in leaf_paths(child, (*steps, key))]
    if isinstance(value, list):
        return [path for index, child in enumerate(value) for path in leaf_paths(child, (*steps, index))]
    return [steps]


def holds(data, steps):
    try:
        value_at(data, steps)
    except (KeyError, IndexError, TypeError):
        return False
    return True


@given(st.lists(st.dictionaries(st.sampled_from("abc"), documents, max_size=3), max_size=4))
def test_layers_merge_in_order_and_the_last_holder_is_the_origin(layers):
    copies = pickle.loads(pickle.dumps(layers))
    expected: dict = {}
    for layer in layers:
        expected = merged_by_hand(expected, layer)
    assert merged(layers) == expected
    assert layers == copies, "merging changed a layer"
    for steps in leaf_paths(expected):
        chain = history(layers, [(step,) for step in steps])
        origin = chain[-1].layer
        assert value_at(layers[origin], steps) == value_at(expected, steps)
        assert not any(holds(layer, steps) for layer in layers[origin + 1 :])
        assert all(holds(layers[held.layer], steps) for held in chain)


EXAMPLES = Path(__file__).resolve().parent.parent / "examples"


def test_the_readme_example_holds(tmp_path, monkeypatch, capsys):
    shutil.copytree(EXAMPLES / "settings", tmp_path / "examples" / "settings")
    monkeypatch.chdir(tmp_path)
    spec = importlib.util.spec_from_file_location("settings_model", EXAMPLES / "settings_model.py")
    example = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(example)
    monkeypatch.setenv("APP_DATABASE__PORT", "7000")
    loaded = example.Settings()
    origins = {path: settings.origin_of(loaded, path) for path in ("database.port", "database.host")}
    origins |= {path: settings.origin_of(loaded, path) for path in ("replica_database.port", "replica_database.name")}
    assert loaded.database.port == 7000
    assert {path: [str(origin), *map(str, origin.overrides)] for path, origin in origins.items()} == {
        "database.port": [
            "environment variable APP_DATABASE__PORT",
            "examples/settings/production.vorn:3:9",
            "examples/settings/base.vorn:5:9",
        ],
        "database.host": ["examples/settings/production.vorn:4:9", "examples/settings/base.vorn:4:9"],
        "replica_database.port": ["examples/settings/base.vorn:5:9"],
        "replica_database.name": ["examples/settings/base.vorn:6:9"],
    }
    monkeypatch.delenv("APP_DATABASE__PORT")
    (tmp_path / "examples" / "settings" / "local.vorn").write_text("_vorn_version: 1.0\nreplicas: four\n")
    with pytest.raises(settings.SettingsValidationError) as info:
        example.Settings()
    assert str(info.value) == (
        f"examples/settings/local.vorn:2:11: $.replicas: {NOT_AN_INT}\nreplicas: four\n          ^"
    )
    monkeypatch.setenv("APP_REPLICAS", "many")
    with pytest.raises(settings.SettingsValidationError) as info:
        example.Settings()
    assert str(info.value) == f"environment variable APP_REPLICAS: $.replicas: {NOT_AN_INT}"
    assert (
        vorn.cli.main(
            ["explain", *(f"examples/settings/{name}.vorn" for name in ("base", "production")), "$.database.port"]
        )
        == 0
    )
    assert capsys.readouterr().out == (
        "examples/settings/production.vorn:3:9: 6543\nexamples/settings/base.vorn:5:9: 5432\n"
    )


def test_without_pydantic_settings_the_module_says_how_to_get_it(monkeypatch):
    monkeypatch.setitem(sys.modules, "pydantic_settings", None)
    monkeypatch.delitem(sys.modules, "vorn.settings")
    with pytest.raises(ModuleNotFoundError, match=re.escape('not installed: pip install "vorn[settings]"')):
        importlib.import_module("vorn.settings")
