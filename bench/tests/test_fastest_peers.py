"""The documents and the headline arithmetic of bench.fastest_peers."""

import pytest

import _vorn_native
from bench.documents import check_agreement
from bench.fastest_peers import FIGURES, FIXED_SHAPES, FIXED_SHAPES_BY_NAME, ShapeResult, headlines, section


@pytest.mark.parametrize("shape", FIXED_SHAPES, ids=lambda shape: shape.name)
def test_every_rendering_loads_to_the_objects_and_builds_are_deterministic(shape):
    document = shape.build(4, _vorn_native.dumps)
    check_agreement(document, _vorn_native.loads)
    assert document.vorn == shape.build(4, _vorn_native.dumps).vorn


def test_the_blocks_are_literal_blocks_of_fifty_lines_and_the_config_has_its_services():
    blocks = FIXED_SHAPES_BY_NAME["blocks"].build(3, _vorn_native.dumps)
    assert [text.count("\n") + 1 for text in blocks.obj["blocks"].values()] == [50, 50, 50]
    assert blocks.vorn.count(": |\n") == 3
    config = FIXED_SHAPES_BY_NAME["config"].build(5, _vorn_native.dumps).obj
    assert len(config["services"]) == 5 and all("env" in service for service in config["services"].values())


def test_headlines_are_geometric_means_with_the_worst_document_and_skip_what_did_not_run():
    results = [
        ShapeResult("a", 1, {}, {"loads_orjson": 1.0, "memory_json": 2.0}),
        ShapeResult("b", 1, {}, {"loads_orjson": 4.0}),
    ]
    found = {figure.name: (mean, worst) for figure, mean, worst in headlines(results)}
    assert found["loads_orjson"] == (pytest.approx(2.0), (4.0, "b"))
    assert found["memory_json"] == (pytest.approx(2.0), (2.0, "a"))
    assert found["loads_msgspec"] == (None, None)
    assert len(found) == len(FIGURES)


def test_the_section_shows_every_figure_and_every_document():
    seconds = {"vorn loads": 0.002, "vorn dumps": 0.001}
    results = [ShapeResult("maps", 1000, seconds, {"dumps_orjson": 2.5}, {"vorn loads": 4.1})]
    text = "\n".join(section(results))
    assert all(figure.label in text for figure in FIGURES)
    assert "| maps (1,000 maps of 10 keys) | 1 | 2 | 1 | – | – | – | 2.50 | – | 4.10 | – |" in text
