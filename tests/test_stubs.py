"""The type information shipped with the package, checked with mypy against
the installed modules."""

import json
import os
import shutil
import subprocess
import sys

import pytest

pytest.importorskip("mypy")


def run_mypy(tool, *args, cwd):
    # Run from an empty folder so that only the installed package is seen.
    return subprocess.run([sys.executable, "-m", tool, *args], capture_output=True, text=True, cwd=cwd)


@pytest.mark.parametrize("module", ["_vorn_native", "vorn._native"])
def test_stub_matches_the_native_module(tmp_path, module):
    result = run_mypy("mypy.stubtest", module, cwd=tmp_path)
    assert result.returncode == 0, result.stdout + result.stderr


def test_package_passes_strict_type_checking(tmp_path):
    result = run_mypy("mypy", "--strict", "--no-incremental", "-p", "vorn", cwd=tmp_path)
    assert result.returncode == 0, result.stdout + result.stderr


# Typed user code that uses every public name; both checkers must pass it.
USER_CODE = """\
import dataclasses
import datetime
import io
from typing import Any

import vorn
import vorn.settings
from vorn import Value


@dataclasses.dataclass
class Service:
    port: str


text: str = vorn.dumps({"_vorn_version": "1.0", "tags": ["a", "b"], "db": {"port": "5432"}})
config: dict[str, Any] = vorn.loads(text)
port: int = int(config["db"]["port"])
also: dict[str, Any] = vorn.parse(text, path="app.vorn")
tree: Value = {"_vorn_version": "1.0", "when": "now"}
vorn.dump(tree, io.StringIO())
vorn.dump(tree, io.BytesIO(), lossy=True)
vorn.dump_path(tree, "out.vorn")
vorn.dump_path({"n": 1, "at": datetime.date(2024, 5, 1)}, "out.vorn", default=vorn.stringify)
numbers: str = vorn.dumps({"port": 8080}, default=vorn.stringify, lossy=True)
fragment: str = vorn.dumps(["a"], lossy=True)
shown: str = vorn.stringify(None)
read: dict[str, Any] = vorn.load(io.BytesIO(b"")) | vorn.load_path("out.vorn")
service: Service = vorn.loads(text, into=Service)
services: list[Service] = [vorn.parse(text, path="a.vorn", into=Service), vorn.load_path("out.vorn", into=Service)]
service = vorn.load(io.StringIO(text), into=Service)
try:
    vorn.loads("oops")
except vorn.DecodeError as error:
    where: tuple[int, int, int, str, str | None] = (error.lineno, error.colno, error.pos, error.msg, error.path)
except vorn.ValidationError as invalid:
    issue: vorn.ValidationIssue = invalid.errors[0]
    report: tuple[str, int, int, str, Any, str, str | None] = (
        issue.path, issue.lineno, issue.colno, issue.msg, issue.input, issue.type, invalid.path
    )
except vorn.EncodeError as error:
    location: str = error.location
version: str = vorn.__version__
document: vorn.Document = vorn.Document.parse(text, path="app.vorn")
spans: list[vorn.Span] = [document.span("$.db.port"), document.key_span(("db", "port"))]
notes: vorn.Comments = document.comments("$.tags[0]")
line: int = spans[0].lineno + len(notes.above)
values: dict[str, Any] = vorn.Document.load_path("out.vorn").data | vorn.Document.load(io.StringIO(text)).data
document.data["db"]["port"] = "6543"
edited: str = document.dumps()
document.data["db"]["since"] = datetime.date(2024, 5, 1)
edited = document.dumps(default=vorn.stringify)
document.save("out.vorn", default=vorn.stringify)
with vorn.edit_path("out.vorn") as editable:
    editable["owner"] = "me"
laid_out: str = vorn.format_text(text)
with vorn.edit_path("out.vorn", default=vorn.stringify) as editable:
    editable["replicas"] = 3


class Settings(vorn.settings.VornSettings):
    model_config = vorn.settings.VornSettingsConfigDict(vorn_file=["a.vorn", vorn.settings.OptionalFile("b.vorn")])
    port: int


try:
    # pydantic's own typing asks for the fields that the sources give.
    settings = Settings()  # type: ignore[call-arg]
    origin: vorn.settings.Origin = vorn.settings.origin_of(settings, "port")
    places: list[str] = [str(origin), *(str(place) for place in origin.overrides)]
    source = vorn.settings.VornConfigSettingsSource(Settings, vorn_file="a.vorn")
except vorn.settings.SettingsValidationError as invalid:
    issues: list[vorn.settings.SettingsIssue] = invalid.errors
    at: tuple[int, vorn.settings.Origin | None] = (issues[0].lineno, issues[0].origin)
"""

# Each line is a mistake both checkers must flag.
USER_MISTAKES = [
    'vorn.dumps({"a": 1})',
    'port: int = vorn.loads("", into=str)',
    "vorn.dumps([8080])",
    'vorn.dump_path({"a": None}, "out.vorn")',
    'vorn.dumps({"a": 1}, default=len)',
]


def test_typed_user_code_passes_mypy(tmp_path):
    (tmp_path / "user.py").write_text(USER_CODE)
    result = run_mypy("mypy", "--strict", "--no-incremental", "user.py", cwd=tmp_path)
    assert result.returncode == 0, result.stdout + result.stderr


def test_mypy_flags_values_that_are_not_strings(tmp_path):
    (tmp_path / "user.py").write_text("import vorn\n" + "\n".join(USER_MISTAKES) + "\n")
    result = run_mypy("mypy", "--no-incremental", "user.py", cwd=tmp_path)
    flagged = {int(line.split(":")[1]) for line in result.stdout.splitlines() if ": error:" in line}
    assert flagged == set(range(2, len(USER_MISTAKES) + 2)), result.stdout


def run_pyright(folder):
    pyright = shutil.which("pyright", path=os.path.dirname(sys.executable))
    if pyright is None:
        pytest.skip("pyright is not installed")
    (folder / "pyrightconfig.json").write_text(json.dumps({"typeCheckingMode": "strict"}))
    result = subprocess.run(
        [pyright, "--outputjson", "--pythonpath", sys.executable, "user.py"], capture_output=True, text=True, cwd=folder
    )
    try:
        return json.loads(result.stdout)["generalDiagnostics"]
    except (json.JSONDecodeError, KeyError):
        pytest.fail(f"pyright did not run: {result.stdout}{result.stderr}")


def test_typed_user_code_passes_pyright(tmp_path):
    (tmp_path / "user.py").write_text(USER_CODE)
    errors = [d for d in run_pyright(tmp_path) if d["severity"] == "error"]
    assert errors == []


def test_pyright_flags_values_that_are_not_strings(tmp_path):
    (tmp_path / "user.py").write_text("import vorn\n" + "\n".join(USER_MISTAKES) + "\n")
    errors = [d for d in run_pyright(tmp_path) if d["severity"] == "error"]
    assert {d["range"]["start"]["line"] for d in errors} == set(range(1, len(USER_MISTAKES) + 1)), errors
