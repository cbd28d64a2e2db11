"""Argument binding and the errors of the entry points: exact messages,
exact types, causes, and reference counts on every error path."""

import sys

import pytest

from _vorn_native import dumps, loads

SURROGATE_ERROR = "'utf-8' codec can't encode character '\\ud800' in position 1: surrogates not allowed"


# (function, positional arguments, keyword arguments, exact TypeError message)
BINDING_ERRORS = [
    (dumps, (), {}, "dumps() missing 1 required positional argument: 'obj'"),
    (loads, (), {}, "loads() missing 1 required positional argument: 's'"),
    (dumps, ({}, {}), {}, "dumps() takes 1 positional arguments but 2 were given"),
    (loads, ("", "", ""), {}, "loads() takes 1 positional arguments but 3 were given"),
    # Too many positional arguments is found before any keyword is looked at.
    (dumps, ({}, {}), {"obj": {}}, "dumps() takes 1 positional arguments but 2 were given"),
    (loads, ("", ""), {"x": 1}, "loads() takes 1 positional arguments but 2 were given"),
    (dumps, ({},), {"obj": {}}, "dumps() got multiple values for argument 'obj'"),
    (loads, ("",), {"s": ""}, "loads() got multiple values for argument 's'"),
    (loads, ("",), {"x": 1}, "loads() got an unexpected keyword argument 'x'"),
    (loads, (), {"x": 1}, "loads() got an unexpected keyword argument 'x'"),
    # Keywords are checked in order and the first stranger ends the binding.
    (loads, (), {"x": 1, "y": 2}, "loads() got an unexpected keyword argument 'x'"),
    (loads, (), {"s": "", "x": 1}, "loads() got an unexpected keyword argument 'x'"),
    (loads, ("",), {"x": 1, "s": ""}, "loads() got an unexpected keyword argument 'x'"),
    (loads, ("",), {"s": "", "x": 1}, "loads() got multiple values for argument 's'"),
    # Names match byte for byte: no case folding, no prefixes, each
    # function's own parameter only.
    (dumps, (), {"OBJ": {}}, "dumps() got an unexpected keyword argument 'OBJ'"),
    (dumps, (), {"ob": {}}, "dumps() got an unexpected keyword argument 'ob'"),
    (dumps, (), {"s": {}}, "dumps() got an unexpected keyword argument 's'"),
    (loads, (), {"obj": ""}, "loads() got an unexpected keyword argument 'obj'"),
    (loads, (), {"s\0": ""}, "loads() got an unexpected keyword argument 's\0'"),
    (loads, (), {"é": ""}, "loads() got an unexpected keyword argument 'é'"),
    # A keyword without a UTF-8 form cannot match; it is named escaped.
    (loads, (), {"\udc80": ""}, "loads() got an unexpected keyword argument '\\udc80'"),
]


@pytest.mark.parametrize(("function", "args", "kwargs", "message"), BINDING_ERRORS)
def test_argument_binding_errors(function, args, kwargs, message):
    with pytest.raises(TypeError) as caught:
        function(*args, **kwargs)
    assert type(caught.value) is TypeError
    assert caught.value.args == (message,)
    assert caught.value.__cause__ is None


def test_parameter_by_keyword_works_like_by_position():
    assert loads(s="") == loads("") == {}
    assert dumps(obj=["x"]) == dumps(["x"])


def local_class():
    class Local:
        pass

    return Local()


# (argument of loads, qualified name of its type)
NOT_STR = [
    (b"", "bytes"),
    (None, "NoneType"),
    (1, "int"),
    (bytearray(b"x"), "bytearray"),
    (["_vorn_version: 1.0"], "list"),
    (memoryview(b""), "memoryview"),
    (local_class(), "local_class.<locals>.Local"),
]


@pytest.mark.parametrize(("argument", "type_name"), NOT_STR)
def test_loads_refuses_what_is_not_a_str(argument, type_name):
    with pytest.raises(TypeError) as caught:
        loads(argument)
    error = caught.value
    assert type(error) is TypeError
    assert error.args == (f"argument 's': '{type_name}' object cannot be cast as 'str'",)
    assert error.__cause__ is None


def test_loads_refuses_by_keyword_with_the_same_message():
    with pytest.raises(TypeError, match=r"^argument 's': 'bytes' object cannot be cast as 'str'$"):
        loads(s=b"")


class Text(str):
    pass


@pytest.mark.parametrize("text", ["a\ud800", Text("a\ud800")])
def test_loads_of_a_lone_surrogate_raises_the_unchanged_encode_error(text):
    with pytest.raises(UnicodeEncodeError) as caught:
        loads(text)
    error = caught.value
    assert type(error) is UnicodeEncodeError
    assert str(error) == SURROGATE_ERROR
    assert error.object == "a\ud800"
    assert error.__cause__ is None


# (document, the parse error's display text)
DOCUMENT_ERRORS = [
    ("- a\n", "parse error at line 1, column 1: root of document must be a mapping"),
    ("a: 1\n", "parse error at line 1, column 1: missing required _vorn_version at root (Semantic Date Versioning)"),
    (
        "_vorn_version: 1.0\n\tb: 1\n",
        "parse error at line 2, column 1: tabs are not allowed; use spaces for indentation",
    ),
    ("\n\n_vorn_version: 2.0\n", "parse error at line 3, column 1: unsupported _vorn_version '2.0', expected 1.0"),
]


@pytest.mark.parametrize(("document", "display"), DOCUMENT_ERRORS)
def test_document_errors_are_value_errors_behind_one_prefix(document, display):
    with pytest.raises(ValueError) as caught:
        loads(document)
    assert type(caught.value) is ValueError
    assert caught.value.args == ("parse error: " + display,)


def outcome(function, *args, **kwargs):
    """The call's result type or exception type and message; holds on to
    nothing the call returned or raised."""
    try:
        return type(function(*args, **kwargs)).__name__
    except BaseException as error:  # noqa: BLE001 - every kind is compared
        return type(error).__name__, str(error)


# (function, positional arguments, keyword arguments): every path of the
# entry points, successes and failures.
CALLS = [
    (loads, ["_vorn_version: 1.0\nk:\n  - v\n"], {}),
    (loads, [], {"s": "_vorn_version: 1.0\n"}),
    (loads, [b"bytes"], {}),
    (loads, [bytearray(b"x")], {}),
    (loads, ["a\ud800"], {}),
    (loads, ["- not a mapping\n"], {}),
    (loads, ["x", "y"], {}),
    (loads, ["x"], {"s": "y"}),
    (loads, [], {"x": "y", "s": "z"}),
    (dumps, [{"k": ["v", {"n": "w"}]}], {}),
    (dumps, [], {"obj": ["v"]}),
    (dumps, [[object()]], {}),
    (dumps, [{"k": "a\ud800"}], {}),
    (dumps, [["x"]], {"obj": ["y"]}),
]


@pytest.mark.parametrize(("function", "args", "kwargs"), CALLS)
def test_reference_counts_of_arguments_are_unchanged(function, args, kwargs):
    passed = [*args, *kwargs.values()]
    before = [sys.getrefcount(obj) for obj in passed]
    results = [outcome(function, *args, **kwargs) for _ in range(3)]
    assert [sys.getrefcount(obj) for obj in passed] == before
    assert results[0] == results[1] == results[2]
