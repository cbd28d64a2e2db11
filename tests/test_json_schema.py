"""JSON Schema for documents: the coercion table (and that it never reads
a string pydantic's lax mode would refuse, nor reads it otherwise), where
the schema asks for a coercion, and where each fault is placed."""

import math

import pytest
from hypothesis import given
from hypothesis import strategies as st
from vorn._json_schema import coerce, coerce_string

pydantic = pytest.importorskip("pydantic")

# (type, string, what the table reads it as; None: it stays a string)
TABLE = [
    ("integer", "8080", 8080),
    ("integer", " -1 ", -1),
    ("integer", "+1_000", 1000),
    ("integer", "2.00", 2),
    ("integer", "2.5", None),
    ("integer", "1e3", None),
    ("integer", "0x10", None),
    ("integer", "", None),
    ("number", "1.5", 1.5),
    ("number", ".5", 0.5),
    ("number", "5.", 5.0),
    ("number", "-1E3", -1000.0),
    ("number", "12", 12),
    ("number", "-Infinity", -math.inf),
    ("number", "1_0", None),
    ("number", "one", None),
    ("boolean", "Yes", True),
    ("boolean", "off", False),
    ("boolean", "1", True),
    ("boolean", "F", False),
    ("boolean", " yes", None),
    ("boolean", "yep", None),
    ("null", "null", None),
    ("null", "", None),
]


@pytest.mark.parametrize(("kind", "text", "value"), TABLE)
def test_the_coercion_table(kind, text, value):
    assert coerce_string(text, kind) == value


PYDANTIC_TYPES = {"integer": int, "number": float, "boolean": bool}


@given(st.sampled_from(sorted(PYDANTIC_TYPES)), st.text(alphabet=" +-_.0159eEinfatyo", max_size=8))
def test_what_the_table_reads_pydantic_reads_alike(kind, text):
    value = coerce_string(text, kind)
    if value is None:
        return
    read = pydantic.TypeAdapter(PYDANTIC_TYPES[kind]).validate_python(text)
    assert read == value or (math.isnan(read) and math.isnan(value))


SCHEMA = {
    "type": "object",
    "properties": {
        "port": {"anyOf": [{"type": "integer"}, {"type": "null"}]},
        "name": {"type": ["string", "integer"]},
        "limits": {"type": "array", "items": {"$ref": "#/$defs/Limit"}},
        "pair": {"type": "array", "prefixItems": [{"type": "boolean"}, {"type": "number"}]},
    },
    "patternProperties": {"^x-": {"type": "integer"}},
    "additionalProperties": {"type": "boolean"},
    "$defs": {
        "Limit": {"type": "object", "properties": {"max": {"$ref": "#/$defs/Count"}}},
        "Count": {"type": "integer"},
    },
}


def test_strings_are_read_where_the_schema_asks_and_nowhere_else():
    data = {
        "port": "80",
        "name": "42",
        "limits": [{"max": "3"}, {"max": "many"}],
        "pair": ["on", "2.5"],
        "x-retries": "4",
        "debug": "no",
    }
    assert coerce(data, SCHEMA, SCHEMA) == {
        "port": 80,
        "name": "42",
        "limits": [{"max": 3}, {"max": "many"}],
        "pair": [True, 2.5],
        "x-retries": 4,
        "debug": False,
    }
    assert data["port"] == "80"  # the data given are not changed
