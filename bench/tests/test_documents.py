import dataclasses

import pytest

import _vorn_native
from bench.documents import DisagreementError, check_agreement, count_objects
from bench.shapes import SHAPES_BY_NAME


@pytest.mark.parametrize(
    ("obj", "count"),
    [
        ({}, 1),
        ("text", 1),
        ({"a": "b"}, 3),
        ({"a": ["x", "y"], "b": {}}, 7),
        ([[], [[]]], 4),
    ],
)
def test_count_objects_counts_keys_values_and_containers(obj, count):
    assert count_objects(obj) == count


def test_count_objects_takes_any_depth():
    obj = "leaf"
    for _ in range(50_000):
        obj = [obj]
    assert count_objects(obj) == 50_001


def small_document(shape="repeated_keys"):
    return SHAPES_BY_NAME[shape].build(3, _vorn_native.dumps)


@pytest.mark.parametrize(
    ("form", "edit", "loader"),
    [
        ("json", lambda text: text.replace('"records"', '"recordz"'), "json"),
        ("yaml", lambda text: text.replace("records:", "recordz:"), "yaml_csafe"),
        ("vorn", lambda text: text.replace("records:", "recordz:"), "vorn"),
    ],
)
def test_a_rendering_that_differs_is_refused(form, edit, loader):
    document = small_document()
    changed = dataclasses.replace(document, **{form: edit(getattr(document, form))})
    with pytest.raises(DisagreementError, match=rf"^repeated_keys \(3\): {loader} does not load"):
        check_agreement(changed, _vorn_native.loads)


def test_a_loaded_result_that_differs_is_refused():
    document = small_document()
    with pytest.raises(DisagreementError, match="orjson does not load"):
        check_agreement(document, _vorn_native.loads, {"orjson": {"_vorn_version": "1.0"}})


def test_the_base_yaml_loader_is_not_held_to_merges():
    document = small_document("anchors")
    check_agreement(document, _vorn_native.loads, {"yaml_cbase": {"unexpanded": "merges"}})
    with pytest.raises(DisagreementError, match="yaml_cbase"):
        check_agreement(small_document(), _vorn_native.loads, {"yaml_cbase": {}})
