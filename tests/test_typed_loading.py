"""Reading into a type with into=: pydantic's faults shown at their place in
the document, through every reader."""

import dataclasses
import functools
import io
import json
import re
import sys
from typing import Annotated, Literal, NewType, TypedDict

import pytest
import vorn

pydantic = pytest.importorskip("pydantic")


class Server(pydantic.BaseModel):
    model_config = pydantic.ConfigDict(extra="forbid")
    host: str
    port: int


class Item(pydantic.BaseModel):
    name: str
    size: int


class Cat(pydantic.BaseModel):
    kind: Literal["cat"]
    lives: int


class Dog(pydantic.BaseModel):
    kind: Literal["dog"]


class Config(pydantic.BaseModel):
    server: Server
    items: list[Item] = []
    pet: Annotated[Cat | Dog, pydantic.Field(discriminator="kind")] | None = None


SERVER = "_vorn_version: 1.0\nserver:\n  host: example.org\n  port: {port}\n"
NOT_AN_INT = "Input should be a valid integer, unable to parse string as an integer"

# (document, the str() of the ValidationError it raises)
FAULTS = [
    pytest.param(
        SERVER.format(port="eighty"),
        f"<string>:4:9: $.server.port: {NOT_AN_INT}\n  port: eighty\n        ^",
        id="wrong-type-at-the-value",
    ),
    pytest.param(
        "_vorn_version: 1.0\nserver:\n  port: 80\n",
        "<string>:2:1: $.server.host: Field required\nserver:\n^",
        id="missing-at-the-key-of-the-mapping-that-lacks-it",
    ),
    pytest.param(
        "# settings\n_vorn_version: 1.0\n",
        "<string>:1:1: $.server: Field required\n# settings\n^",
        id="missing-from-the-root-at-its-start",
    ),
    pytest.param(
        SERVER.format(port="80") + "  debug: yes\n",
        "<string>:5:3: $.server.debug: Extra inputs are not permitted\n  debug: yes\n  ^",
        id="extra-at-its-key",
    ),
    pytest.param(
        SERVER.format(port="80") + "items:\n  - name: a\n    size: big\n  - size: 1\n  - loose\n",
        f"<string>:7:11: $.items[0].size: {NOT_AN_INT}\n    size: big\n          ^\n"
        "<string>:8:5: $.items[1].name: Field required\n  - size: 1\n    ^\n"
        "<string>:9:5: $.items[2]: Input should be a valid dictionary or instance of Item\n  - loose\n    ^",
        id="in-a-list-of-models-at-the-item",
    ),
    pytest.param(
        SERVER.format(port="80") + "pet:\n  kind: cat\n  lives: nine\n",
        f"<string>:7:10: $.pet.lives: {NOT_AN_INT}\n  lives: nine\n         ^",
        id="union-member-names-dropped",
    ),
    pytest.param(
        SERVER.format(port="80") + "pet:\n  kind: cat\n  cat: x\n  lives: nine\n",
        f"<string>:8:10: $.pet.lives: {NOT_AN_INT}\n  lives: nine\n         ^",
        id="union-member-name-that-is-also-a-key",
    ),
    pytest.param(
        "_vorn_version: 1.0\nbase: &b\n  host: example.org\n  port: eighty\nserver:\n  <<: *b\n",
        f"<string>:4:9: $.server.port: {NOT_AN_INT}\n  port: eighty\n        ^\n"
        "<string>:6:3: note: the value at $.server.port comes through here\n  <<: *b\n  ^",
        id="merged-where-written-with-the-merge",
    ),
    pytest.param(
        "_vorn_version: 1.0\nbase: &b\n  host: example.org\n  port: eighty\nserver: *b\n",
        f"<string>:4:9: $.server.port: {NOT_AN_INT}\n  port: eighty\n        ^\n"
        "<string>:5:9: note: the value at $.server.port comes through here\nserver: *b\n        ^",
        id="aliased-where-written-with-the-alias",
    ),
]


@pytest.mark.parametrize(("document", "report"), FAULTS)
def test_faults_are_shown_where_the_document_has_them(document, report):
    with pytest.raises(vorn.ValidationError) as info:
        vorn.loads(document, into=Config)
    assert str(info.value) == report


def write(folder, text):
    (folder / "app.vorn").write_text(text)
    return folder / "app.vorn"


# (a reader of a document's text, with a folder for files; the name its
# faults are shown under)
READERS = [
    (lambda text, folder, into: vorn.loads(text, into=into), "<string>"),
    (lambda text, folder, into: vorn.parse(text, path="app.vorn", into=into), "app.vorn"),
    (lambda text, folder, into: vorn.load(io.StringIO(text), into=into), "<string>"),
    (lambda text, folder, into: vorn.load_path(write(folder, text), into=into), "FOLDER/app.vorn"),
]


@pytest.mark.parametrize(("read", "shown_as"), READERS, ids=["loads", "parse", "load", "load_path"])
def test_every_reader_reads_into_a_type(tmp_path, read, shown_as):
    assert read(SERVER.format(port="80"), tmp_path, Config) == Config(server=Server(host="example.org", port=80))
    with pytest.raises(vorn.ValidationError) as info:
        read(SERVER.format(port="eighty"), tmp_path, Config)
    assert str(info.value).startswith(f"{shown_as.replace('FOLDER', str(tmp_path))}:4:9: $.server.port: ")


class Limits(TypedDict):
    workers: int


# Types besides models, none given the version entry; one that cannot be
# hashed is adapted each time rather than kept.
TARGETS = [
    (Limits, {"workers": 4}),
    (dict[str, str], {"workers": "4"}),
    (Annotated[dict[str, int], {"note": "a dict: this type has no hash"}], {"workers": 4}),
    # Callable, but a type to pydantic.
    (NewType("Counts", dict), {"workers": "4"}),
]


@pytest.mark.parametrize(("into", "expected"), TARGETS)
def test_into_takes_any_type_pydantic_takes(into, expected):
    assert vorn.loads("_vorn_version: 1.0\nworkers: 4\n", into=into) == expected


# Callables that are not types: pydantic would validate the arguments of a
# call to them.
NOT_TYPES = [
    (json.dumps, "the function json.dumps"),
    (functools.partial(int, base=16), "a callable partial object"),
]


@pytest.mark.parametrize(("into", "what"), NOT_TYPES)
def test_into_refuses_a_callable_that_is_not_a_type(into, what):
    with pytest.raises(TypeError) as info:
        vorn.loads("_vorn_version: 1.0\nworkers: 4\n", into=into)
    assert str(info.value) == (
        "into= takes a type for pydantic to validate the data into (a model, a dataclass, a TypedDict, "
        f"list[Model]...), not {what}"
    )


def test_into_without_pydantic_says_how_to_get_it(monkeypatch):
    monkeypatch.setitem(sys.modules, "pydantic", None)

    @dataclasses.dataclass
    class NeverAdapted:
        name: str

    document = "_vorn_version: 1.0\nname: x\n"
    assert vorn.loads(document) == {"_vorn_version": "1.0", "name": "x"}
    with pytest.raises(ImportError, match=re.escape('which is not installed: pip install "vorn[pydantic]"')):
        vorn.loads(document, into=NeverAdapted)
