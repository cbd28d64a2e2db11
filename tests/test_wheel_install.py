"""`pip wheel .` builds a wheel; installed into a new virtual environment, it
passes the Python test suite there, without the source tree on the path."""

import importlib.metadata
import os
import subprocess
import sys
import tarfile
import zipfile
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent
# Set for the suite that runs inside the new environment, which must not
# build and test yet another wheel.
INSIDE_WHEEL_ENV = "VORN_TESTING_INSTALLED_WHEEL"

pytestmark = pytest.mark.skipif(
    os.environ.get(INSIDE_WHEEL_ENV) == "1", reason="already running inside the installed wheel's environment"
)

# pydantic, pydantic-settings, PyYAML and the language server's packages
# come through the package's extras, at the versions the suite runs with
# here (and PyYAML's stubs, for the type check; pytest-lsp to drive the
# server).
TEST_REQUIREMENTS = [
    f"{name}=={importlib.metadata.version(name)}"
    for name in (
        "pytest",
        "hypothesis",
        "mypy",
        "pydantic",
        "pydantic-settings",
        "PyYAML",
        "types-PyYAML",
        "types-jsonschema",
        "types-Pygments",
        "pygls",
        "lsprotocol",
        "jsonschema",
        "Pygments",
        "pytest-lsp",
        "pytest-asyncio",
    )
]


def run(*command, **options):
    return subprocess.run([str(part) for part in command], capture_output=True, text=True, **options)


@pytest.fixture(scope="module")
def wheel(tmp_path_factory):
    out = tmp_path_factory.mktemp("dist")
    # A build folder of its own that outlives the run keeps rebuilds incremental.
    build_dir = Path(os.environ.get("BUILD_ROOT", ROOT / "build")) / "wheel-test"
    result = run(
        sys.executable,
        "-m",
        "pip",
        "wheel",
        "--no-deps",
        "--no-build-isolation",
        "--disable-pip-version-check",
        "-q",
        "-w",
        out,
        ROOT,
        env={**os.environ, "SKBUILD_BUILD_DIR": str(build_dir)},
    )
    assert result.returncode == 0, result.stderr
    [wheel] = out.glob("vorn-*.whl")
    return wheel


@pytest.fixture(scope="module")
def environment(tmp_path_factory, wheel):
    prefix = tmp_path_factory.mktemp("venv") / "env"
    assert run(sys.executable, "-m", "venv", prefix).returncode == 0
    result = run(
        prefix / "bin" / "python",
        "-m",
        "pip",
        "install",
        "-q",
        "--disable-pip-version-check",
        f"{wheel}[pydantic,settings,yaml,lsp]",
        *TEST_REQUIREMENTS,
    )
    assert result.returncode == 0, result.stderr
    return prefix


def isolated_env(prefix):
    env = {name: value for name, value in os.environ.items() if name not in ("PYTHONPATH", "VIRTUAL_ENV")}
    # The round-trip property has already run in full against the same
    # sources; here it only needs to show that the installation works.
    env.update(
        {
            INSIDE_WHEEL_ENV: "1",
            "VORN_ROUND_TRIP_EXAMPLES": "100",
            "VIRTUAL_ENV": str(prefix),
            "PATH": f"{prefix / 'bin'}{os.pathsep}{env['PATH']}",
        }
    )
    return env


def test_wheel_holds_the_package_the_extension_its_stubs_and_the_command(wheel):
    with zipfile.ZipFile(wheel) as archive:
        names = set(archive.namelist())
        [entry_points] = [name for name in names if name.endswith(".dist-info/entry_points.txt")]
        assert "vorn = vorn.cli:main" in archive.read(entry_points).decode()
        assert "vorn = vorn.pygments_lexer:VornLexer" in archive.read(entry_points).decode()
    expected = {
        "vorn/__init__.py",
        "vorn/cli.py",
        "vorn/py.typed",
        "vorn/_native.pyi",
        "_vorn_native.pyi",
        "_vorn_native-stubs/__init__.pyi",
    }
    assert expected <= names
    for module in ("_vorn_native", "vorn/_native"):
        assert any(name.startswith(f"{module}.cpython-313") and name.endswith(".so") for name in names)
    assert any(name.endswith(".dist-info/licenses/LICENSE") for name in names)


def test_sdist_holds_the_license_but_not_the_developers_files(tmp_path):
    result = run(
        sys.executable,
        "-c",
        "import sys, scikit_build_core.build as b; print(b.build_sdist(sys.argv[1]))",
        tmp_path,
        cwd=ROOT,
    )
    assert result.returncode == 0, result.stderr
    with tarfile.open(tmp_path / result.stdout.split()[-1]) as archive:
        names = {name.split("/", 1)[1] for name in archive.getnames() if "/" in name}
    assert {"LICENSE", "pyproject.toml", "CMakeLists.txt", "python/vorn/__init__.py", "fuzz/vorn.dict"} <= names
    left_out = ("fuzz/corpus", "fuzz/regressions", "bench/RESULTS.md", "bench/ratios.png")
    assert [name for name in names if name.startswith(left_out)] == []


def test_modules_are_imported_from_the_new_environment(environment, tmp_path):
    result = run(
        environment / "bin" / "python",
        "-c",
        "import vorn, _vorn_native, vorn._native as w; print(vorn.__file__); print(_vorn_native.__file__); "
        "print(w.__file__)",
        cwd=tmp_path,
        env=isolated_env(environment),
    )
    assert result.returncode == 0, result.stderr
    for module_file in result.stdout.split():
        assert Path(module_file).is_relative_to(environment)


def test_python_suite_passes_against_the_installed_wheel(environment, tmp_path):
    # Run from an empty folder: only the tests come from the source tree;
    # python/vorn is not on the path, so every import uses the installation.
    result = run(
        environment / "bin" / "python",
        "-m",
        "pytest",
        "-q",
        "-p",
        "no:cacheprovider",
        "--rootdir",
        ROOT,
        ROOT / "tests",
        cwd=tmp_path,
        env=isolated_env(environment),
    )
    assert result.returncode == 0, result.stdout[-5000:] + result.stderr[-2000:]
    assert " passed" in result.stdout.splitlines()[-1]
