"""The generated documents: every rendering loads to the same objects, and
each shape has the features it is named for."""

import pytest
import yaml

import _vorn_native
from bench.documents import SIZES, build_sized, check_agreement
from bench.shapes import DEEP_DEPTH, SHAPES, SHAPES_BY_NAME


def mapping_depth(obj) -> int:
    """How many mappings deep `obj` nests."""
    deepest, stack = 0, [(obj, 1)]
    while stack:
        item, depth = stack.pop()
        if isinstance(item, dict):
            deepest = max(deepest, depth)
            stack.extend((child, depth + 1) for child in item.values())
    return deepest


@pytest.mark.parametrize("shape", SHAPES, ids=lambda shape: shape.name)
def test_every_rendering_loads_to_the_objects(shape):
    document = shape.build(shape.probe_count, _vorn_native.dumps)
    check_agreement(document, _vorn_native.loads)
    assert document.obj["_vorn_version"] == "1.0"


@pytest.mark.parametrize("shape", SHAPES, ids=lambda shape: shape.name)
@pytest.mark.parametrize("size", ["2 KB", "200 KB"])
def test_sized_documents_are_near_their_size(shape, size):
    target = SIZES[size]
    document = build_sized(shape, target, _vorn_native.dumps)
    assert 0.85 * target <= len(document.vorn.encode()) <= 1.15 * target


@pytest.mark.parametrize("shape", SHAPES, ids=lambda shape: shape.name)
def test_builds_are_deterministic(shape):
    first = shape.build(7, _vorn_native.dumps)
    second = shape.build(7, _vorn_native.dumps)
    assert (first.vorn, first.json, first.yaml) == (second.vorn, second.json, second.yaml)


def test_repeated_keys_records_share_their_ten_keys():
    records = SHAPES_BY_NAME["repeated_keys"].build(30, _vorn_native.dumps).obj["records"]
    assert len(records) == 30
    assert len({tuple(record) for record in records}) == 1 and len(records[0]) == 10


def test_unique_keys_are_all_distinct():
    obj = SHAPES_BY_NAME["unique_keys"].build(5_000, _vorn_native.dumps).obj
    assert len(obj) == 5_001


def test_literal_blocks_are_written_as_blocks_of_about_a_kilobyte():
    document = SHAPES_BY_NAME["literal_blocks"].build(5, _vorn_native.dumps)
    blocks = document.obj["blocks"]
    assert all(1_000 <= len(text) < 1_100 and "\n" in text for text in blocks.values())
    assert document.vorn.count(": |\n") == 5
    assert document.yaml.count(": |-\n") == 5


def test_deep_chains_are_sixty_levels_deep():
    obj = SHAPES_BY_NAME["deep"].build(2 * DEEP_DEPTH + 5, _vorn_native.dumps).obj
    assert [mapping_depth(chain) for chain in obj["chains"]] == [DEEP_DEPTH, DEEP_DEPTH, 5]


def test_commented_has_a_comment_above_every_entry():
    count = 4
    document = SHAPES_BY_NAME["commented"].build(count, _vorn_native.dumps)
    entries = 2 + 10 * count  # version, records, and ten per record
    for text in (document.vorn, document.yaml):
        lines = text.splitlines()
        comments = [index for index, line in enumerate(lines) if line.lstrip().startswith("#")]
        assert len(comments) == entries
        assert all(":" in lines[index + 1] for index in comments)


def test_anchors_merge_and_alias_in_both_texts():
    document = SHAPES_BY_NAME["anchors"].build(40, _vorn_native.dumps)
    for text in (document.vorn, document.yaml):
        assert text.count("<<: *d") == 40 and "tags: *t" in text and "fallback: *d" in text
    # The base loader keeps merge keys as they are, which is why the agreement
    # check leaves it out for this shape.
    assert yaml.load(document.yaml, Loader=yaml.CBaseLoader) != document.obj
    services = document.obj["services"]
    assert all({"image", "policy", "region", "tier", "zone", "name", "tags"} <= set(s) for s in services)


def test_non_ascii_keeps_its_text_and_escapes_quotes():
    document = SHAPES_BY_NAME["non_ascii"].build(5, _vorn_native.dumps)
    assert "名前" in document.json and "título" in document.json
    assert '\\"' in document.json and '\\"' in document.vorn and "\\\\" in document.vorn
