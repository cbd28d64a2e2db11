"""The module's face: what importing it gives, and that initialising it
again hands back the same object."""

import ctypes
import subprocess
import sys
import textwrap

import pytest

import _vorn_native

# Attributes the import machinery itself puts on an extension module.
INTERPRETER_DUNDERS = {"__name__", "__doc__", "__package__", "__loader__", "__spec__", "__file__"}


def test_namespace_holds_the_two_functions_and_all_only():
    names = set(vars(_vorn_native))
    assert names - INTERPRETER_DUNDERS == {"__all__", "loads", "dumps"}
    assert _vorn_native.__all__ == ["loads", "dumps"]
    assert type(_vorn_native.__all__) is list
    assert _vorn_native.__doc__ == ""
    assert _vorn_native.__name__ == "_vorn_native"


# (function, name, text signature)
FUNCTIONS = [
    (_vorn_native.loads, "loads", "(s)"),
    (_vorn_native.dumps, "dumps", "(obj)"),
]


@pytest.mark.parametrize(("function", "name", "signature"), FUNCTIONS)
def test_functions_are_bound_builtins_with_only_a_signature(function, name, signature):
    assert type(function).__name__ == "builtin_function_or_method"
    assert function.__name__ == name
    assert function.__qualname__ == name
    assert function.__doc__ is None
    assert function.__text_signature__ == signature
    assert function.__module__ == "_vorn_native"
    assert function.__self__ is _vorn_native


def init_function():
    library = ctypes.PyDLL(_vorn_native.__file__)
    init = library.PyInit__vorn_native
    init.restype = ctypes.py_object  # ctypes takes over the new reference
    return init


def test_initialising_again_returns_the_same_module_unchanged():
    init = init_function()
    before = sys.getrefcount(_vorn_native)
    assert init() is _vorn_native
    assert init() is _vorn_native
    assert sys.getrefcount(_vorn_native) == before
    assert _vorn_native.__all__ == ["loads", "dumps"]


def run_python(code, cwd):
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)], cwd=cwd, capture_output=True, text=True, timeout=60
    )


def test_imports_from_any_directory(tmp_path):
    result = run_python(
        """
        import _vorn_native
        print(_vorn_native.loads(s=""), _vorn_native.dumps(obj=[]), end="")
        """,
        cwd=tmp_path,
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout == "{} []\n"


def test_a_second_interpreter_cannot_import_it(tmp_path):
    # A legacy-style subinterpreter lets single-phase modules load, so the
    # module's own check is what refuses it.
    result = run_python(
        """
        import _interpreters
        import _vorn_native
        interpreter = _interpreters.create("legacy")
        failure = _interpreters.exec(interpreter, "import _vorn_native")
        print(failure.type.__name__, "|", failure.msg)
        """,
        cwd=tmp_path,
    )
    assert result.returncode == 0, result.stderr
    kind, message = result.stdout.strip().split(" | ")
    assert kind == "ImportError"
    assert "does not support subinterpreters" in message
