"""Collects a corpus of real-world YAML files: the *.yml and *.yaml files
of source distributions from PyPI (CI workflows, pre-commit and docs
configurations, compose files, Helm-style values...) and of Debian
packages. The corpus is for measuring (python -m bench.yaml_habits), not
for the repository: it goes under build/yaml-corpus.

    python -m bench.yaml_corpus [--out build/yaml-corpus]

It uses pip and apt-get as they are: pip download needs each project's
build backend to read its metadata, so a venv of the common backends is
made first and builds run without isolation (about a second a project
instead of thirty). A project that fails to download is skipped. At most
PER_SOURCE files are taken from one archive, spread over its folders, so
that no project weighs more than a few dozen files.
"""

from __future__ import annotations

import argparse
import shutil
import subprocess
import sys
import tarfile
import tempfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PER_SOURCE = 40
LARGEST = 512 * 1024

# Projects whose source distributions are known to carry YAML of the kinds
# people write by hand: CI workflows, compose files, docs configurations,
# Ansible roles, Kubernetes manifests, chart values.
PYPI_PROJECTS = """
    pluggy pytest tox virtualenv pre-commit cattrs attrs setuptools-scm hatch hatchling pip-tools nox
    black isort flake8 pylint mypy pyright ruff coverage pytest-cov pytest-xdist hypothesis
    requests urllib3 httpx httpcore starlette fastapi uvicorn gunicorn flask werkzeug jinja2 click typer rich
    celery kombu redis sqlalchemy alembic psycopg asyncpg django djangorestframework channels
    ansible-core ansible-lint molecule yamllint kubernetes openshift docker mkdocs mkdocs-material mkdocstrings
    sphinx furo pydata-sphinx-theme jupyterlab notebook nbconvert dvc kedro prefect dagster great-expectations
    apache-airflow-providers-cncf-kubernetes connexion openapi-spec-validator jsonschema referencing
    pydantic pydantic-settings dynaconf hydra-core omegaconf datamodel-code-generator cookiecutter copier
    semgrep checkov cfn-lint localstack moto boto3 awscli sceptre troposphere chalice
    salt pulumi ray mlflow bentoml wandb label-studio streamlit gradio
""".split()

# Debian packages that ship YAML: Ansible collections, cloud-init, netplan,
# Prometheus and friends, docs and CI files of many source packages.
DEBIAN_PACKAGES = """
    ansible cloud-init netplan.io prometheus prometheus-alertmanager yamllint python3-kubernetes
    docker-compose salt-common mkdocs ruby-rubocop rubocop golang-github-prometheus-common-dev
""".split()

BACKENDS = [
    "setuptools",
    "setuptools-scm",
    "wheel",
    "hatchling",
    "hatch-vcs",
    "hatch-fancy-pypi-readme",
    "flit-core",
    "poetry-core",
    "pdm-backend",
    "scikit-build-core",
    "cython",
    "versioneer",
    "setuptools-rust",
]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", type=Path, default=ROOT / "build" / "yaml-corpus")
    args = parser.parse_args()
    files = args.out / "files"
    files.mkdir(parents=True, exist_ok=True)
    python = _backend_venv(args.out / "venv")
    with tempfile.TemporaryDirectory() as scratch:
        for name in PYPI_PROJECTS:
            archive = _pip_download(python, name, Path(scratch))
            if archive is not None:
                _extract(archive.name, _members(archive), files / f"pypi-{name}")
        subprocess.run(["apt-get", "update", "-qq"], check=False)
        for name in DEBIAN_PACKAGES:
            for archive in _apt_download(name, Path(scratch)):
                _extract(archive.name, _deb_members(archive), files / f"debian-{name}")
    count = sum(1 for _ in files.rglob("*") if _.is_file())
    print(f"{count} YAML files under {files}")


def _backend_venv(place: Path) -> Path:
    python = place / "bin" / "python"
    if not python.exists():
        subprocess.run([sys.executable, "-m", "venv", str(place)], check=True)
        subprocess.run([str(python), "-m", "pip", "install", "-q", *BACKENDS], check=True)
    return python


def _pip_download(python: Path, name: str, scratch: Path) -> Path | None:
    folder = scratch / f"pypi-{name}"
    folder.mkdir()
    result = subprocess.run(
        [str(python), "-m", "pip", "download", "-q", "--no-deps", "--no-binary", ":all:", "--no-build-isolation"]
        + ["-d", str(folder), name],
        capture_output=True,
        text=True,
    )
    found = sorted(folder.iterdir())
    if result.returncode != 0 or not found:
        print(f"skipped {name}: {result.stderr.strip().splitlines()[-1:] or ['no archive']}", file=sys.stderr)
        return None
    return found[0]


def _apt_download(name: str, scratch: Path) -> list[Path]:
    folder = scratch / f"debian-{name}"
    folder.mkdir()
    result = subprocess.run(["apt-get", "download", "-q", name], cwd=folder, capture_output=True, text=True)
    if result.returncode != 0:
        print(f"skipped {name}: {result.stderr.strip().splitlines()[-1:]}", file=sys.stderr)
    return sorted(folder.glob("*.deb"))


def _is_yaml(path: str) -> bool:
    return path.endswith((".yml", ".yaml")) and "/.git/" not in path


def _members(archive: Path) -> dict[str, bytes]:
    found: dict[str, bytes] = {}
    if archive.suffix == ".zip":
        with zipfile.ZipFile(archive) as bundle:
            for info in bundle.infolist():
                if _is_yaml(info.filename) and info.file_size <= LARGEST:
                    found[info.filename] = bundle.read(info)
        return found
    with tarfile.open(archive) as bundle:
        for member in bundle.getmembers():
            if member.isfile() and _is_yaml(member.name) and member.size <= LARGEST:
                stream = bundle.extractfile(member)
                if stream is not None:
                    found[member.name] = stream.read()
    return found


def _deb_members(archive: Path) -> dict[str, bytes]:
    with tempfile.TemporaryDirectory() as place:
        subprocess.run(["dpkg-deb", "-x", str(archive), place], check=True)
        return {
            str(path.relative_to(place)): path.read_bytes()
            for path in Path(place).rglob("*")
            if path.is_file() and not path.is_symlink() and _is_yaml(path.name) and path.stat().st_size <= LARGEST
        }


def _extract(source: str, members: dict[str, bytes], folder: Path) -> None:
    """Writes at most PER_SOURCE of ``members``, spread evenly over their
    sorted paths, into ``folder``."""
    names = sorted(members)
    step = max(1, len(names) / PER_SOURCE)
    chosen = [names[int(index * step)] for index in range(min(PER_SOURCE, len(names)))]
    if not chosen:
        return
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    for name in chosen:
        (folder / name.replace("/", "__")).write_bytes(members[name])
    print(f"{source}: {len(chosen)} of {len(names)} YAML files", file=sys.stderr)


if __name__ == "__main__":
    main()
