"""The type information shipped with the package, checked with mypy against
the installed modules."""

import subprocess
import sys
import textwrap

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


def test_user_code_sees_the_declared_types(tmp_path):
    (tmp_path / "user.py").write_text(textwrap.dedent("""\
        import _vorn_native
        import vorn
        reveal_type(vorn.loads)
        reveal_type(_vorn_native.dumps)
        reveal_type(vorn.load_path)
        vorn.dumps(8080)
    """))
    result = run_mypy("mypy", "--no-incremental", "user.py", cwd=tmp_path)
    # Older mypy releases spell builtin types with their module.
    assert result.stdout.replace("builtins.", "").splitlines()[:4] == [
        'user.py:3: note: Revealed type is "def (s: str) -> dict[str, Any]"',
        'user.py:4: note: Revealed type is "def (obj: str | list[Any] | dict[str, Any]) -> str"',
        'user.py:5: note: Revealed type is "def (path: str | os.PathLike[str]) -> dict[str, Any]"',
        'user.py:6: error: Argument 1 to "dumps" has incompatible type "int"; expected "str | list[Any] | dict[str, Any]"  [arg-type]',
    ]
