"""Every document of the corpus through loads().

tests/data/valid/NAME.vorn loads to the JSON value in NAME.json;
tests/data/invalid/NAME.vorn raises ValueError whose text is NAME.error
(the file holds the message and exactly one line feed after it). A new
case is a new pair of files.
"""

import json
from pathlib import Path

import pytest

import _vorn_native

DATA = Path(__file__).parent / "data"


def documents(kind: str, expected_suffix: str) -> list:
    sources = sorted((DATA / kind).glob("*.vorn"))
    assert sources, f"no documents in {DATA / kind}"
    return [pytest.param(source, source.with_suffix(expected_suffix), id=source.stem) for source in sources]


def read_document(path: Path) -> str:
    # Bytes, not text mode: line ends must reach the reader untranslated.
    return path.read_bytes().decode("utf-8")


@pytest.mark.parametrize(("source", "expected"), documents("valid", ".json"))
def test_valid_document_loads_to_expected_value(source: Path, expected: Path) -> None:
    assert _vorn_native.loads(read_document(source)) == json.loads(expected.read_text(encoding="utf-8"))


@pytest.mark.parametrize(("source", "expected"), documents("invalid", ".error"))
def test_invalid_document_raises_exact_error(source: Path, expected: Path) -> None:
    message = expected.read_bytes().decode("utf-8")
    assert message.endswith("\n") and not message.endswith("\n\n"), f"{expected.name}: one final line feed"
    with pytest.raises(ValueError) as raised:
        _vorn_native.loads(read_document(source))
    assert str(raised.value) == message[:-1]
    assert raised.value.args == (message[:-1],)


def test_every_document_has_its_expectation() -> None:
    for kind, suffix in (("valid", ".json"), ("invalid", ".error")):
        stems = {path.stem for path in (DATA / kind).iterdir()}
        for stem in stems:
            assert (DATA / kind / f"{stem}.vorn").exists(), f"{kind}/{stem}{suffix} has no document"
            assert (DATA / kind / f"{stem}{suffix}").exists(), f"{kind}/{stem}.vorn has no expectation"
