"""What layered settings cost with vorn, and what knowing where each value
came from adds: the same settings (a database and N services, each with
nested fields, a list and a mapping) written as a base file and a
production file that overrides a few values, and one environment variable
over both, loaded by pydantic-settings four ways:

  yaml    BaseSettings with pydantic-settings' own YamlConfigSettingsSource
          (deep_merge=True) on base.yaml and production.yaml
  vorn    BaseSettings with VornConfigSettingsSource on the .vorn files
  kept    VornSettings on the .vorn files: the same sources, keeping what
          each gave; no origin asked
  asked   VornSettings, then origin_of three values (one from each file
          and one from the environment): the files' positions are read

    python -m bench.layered_settings [--services N ...] [--runs N]

Prints, per size, the minimum time per load and the ratios vorn / yaml,
kept / vorn and asked / vorn. The loads take turns, run by run, as in
python -m bench.checked_writer, whose timing this shares. Each load reads
the files and the environment afresh, as a program's start does.
"""

import argparse
import gc
import os
import tempfile
from pathlib import Path

from bench.checked_writer import interleaved_minimums

ENVIRONMENT = {"BENCH_DATABASE__PORT": "6543"}


def settings_data(services: int) -> tuple[dict, dict]:
    """The base settings and what production changes, as data."""
    base = {
        "database": {"host": "db.internal", "port": "5432", "name": "orders", "pool_size": "20", "timeout": "2.5"},
        "log_level": "info",
        "services": {
            f"service{index}": {
                "image": f"registry.example.com/service{index}:1.{index}.0",
                "replicas": "2",
                "cpu": "500m",
                "memory": "512Mi",
                "port": str(8000 + index),
                "health": "/healthz",
                "env": {"REGION": "eu-west-1", "MODE": "standard"},
                "upstreams": [f"service{(index + 1) % services}", f"service{(index + 2) % services}"],
            }
            for index in range(services)
        },
    }
    production = {
        "database": {"host": "db.production"},
        "log_level": "warn",
        "services": {f"service{index}": {"replicas": "6"} for index in range(0, services, 2)},
    }
    return base, production


def settings_classes(folder: Path):
    """The four loaders, as settings classes reading the files in ``folder``."""
    from pydantic import BaseModel
    from pydantic_settings import BaseSettings, SettingsConfigDict, YamlConfigSettingsSource
    from vorn.settings import VornConfigSettingsSource, VornSettings

    class Database(BaseModel):
        host: str
        port: int
        name: str
        pool_size: int
        timeout: float

    class Service(BaseModel):
        image: str
        replicas: int
        cpu: str
        memory: str
        port: int
        health: str
        env: dict[str, str]
        upstreams: list[str]

    class Fields(BaseModel):
        database: Database
        log_level: str
        services: dict[str, Service]

    common = {"env_prefix": "BENCH_", "env_nested_delimiter": "__"}
    vorn_files = [str(folder / "base.vorn"), str(folder / "production.vorn")]

    class YamlSettings(BaseSettings, Fields):
        model_config = SettingsConfigDict(**common, yaml_file=[folder / "base.yaml", folder / "production.yaml"])

        @classmethod
        def settings_customise_sources(
            cls, settings_cls, init_settings, env_settings, dotenv_settings, file_secret_settings
        ):
            yaml = YamlConfigSettingsSource(settings_cls, deep_merge=True)
            return init_settings, env_settings, dotenv_settings, yaml, file_secret_settings

    class VornSourceSettings(BaseSettings, Fields):
        model_config = SettingsConfigDict(**common, vorn_file=vorn_files)

        @classmethod
        def settings_customise_sources(
            cls, settings_cls, init_settings, env_settings, dotenv_settings, file_secret_settings
        ):
            vorn = VornConfigSettingsSource(settings_cls)
            return init_settings, env_settings, dotenv_settings, vorn, file_secret_settings

    class KeptSettings(VornSettings, Fields):
        model_config = SettingsConfigDict(**common, vorn_file=vorn_files)

    return YamlSettings, VornSourceSettings, KeptSettings


def layered_rows(sizes, runs: int) -> list[tuple[int, list[float]]]:
    """(services, [yaml, vorn, kept, asked] seconds) per size."""
    import vorn
    import yaml
    from vorn.settings import origin_of

    os.environ.update(ENVIRONMENT)
    rows = []
    for services in sizes:
        with tempfile.TemporaryDirectory() as name:
            folder = Path(name)
            for file, data in zip(("base", "production"), settings_data(services)):
                (folder / f"{file}.vorn").write_text(vorn.dumps({"_vorn_version": "1.0", **data}))
                (folder / f"{file}.yaml").write_text(yaml.safe_dump(data))
            yaml_settings, vorn_source_settings, kept_settings = settings_classes(folder)

            def asked(_, kept_settings=kept_settings):
                settings = kept_settings()
                return [
                    origin_of(settings, path)
                    for path in ("database.port", "database.host", "services.service1.replicas")
                ]

            loads = [lambda _, cls=cls: cls() for cls in (yaml_settings, vorn_source_settings, kept_settings)]
            results = [load(None).model_dump() for load in loads]
            if any(result != results[0] for result in results):
                raise AssertionError(f"{services} services: the loaders made different settings")
            origins = [(origin.kind, origin.name or Path(origin.path or "").name) for origin in asked(None)]
            if origins != [("environment", "BENCH_DATABASE__PORT"), ("file", "production.vorn"), ("file", "base.vorn")]:
                raise AssertionError(f"{services} services: origins {origins}")
            gc.collect()
            rows.append((services, interleaved_minimums([*loads, asked], None, runs)))
    return rows


def main(argv=None) -> None:
    parser = argparse.ArgumentParser(
        prog="python -m bench.layered_settings",
        description=__doc__,
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    parser.add_argument(
        "--services", type=int, nargs="+", default=[10, 200], help="services in the settings (default: 10 200)"
    )
    parser.add_argument("--runs", type=int, default=15, help="rounds of turns per size (default: 15)")
    arguments = parser.parse_args(argv)
    print("services, file bytes (vorn), yaml us, vorn us, kept us, asked us, vorn / yaml, kept / vorn, asked / vorn")
    for services, (yaml_time, vorn_time, kept, asked) in layered_rows(arguments.services, arguments.runs):
        size = sum(len(text) for text in _vorn_texts(services))
        print(
            f"  {services:>5} {size:>8} {yaml_time * 1e6:10.1f} {vorn_time * 1e6:9.1f} {kept * 1e6:9.1f} {asked * 1e6:9.1f}"
            f"  {vorn_time / yaml_time:6.3f} {kept / vorn_time:6.3f} {asked / vorn_time:6.3f}"
        )


def _vorn_texts(services: int) -> list[str]:
    import vorn

    return [vorn.dumps({"_vorn_version": "1.0", **data}) for data in settings_data(services)]


if __name__ == "__main__":
    main()
