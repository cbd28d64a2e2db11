import pytest

from bench.memory import MemoryFigures
from bench.ratios import RATIOS_BY_NAME, CaseResult, geometric_mean, headlines
from bench.timing import Timing


def timing(ms: float) -> Timing:
    return Timing(ms / 1e3, 2 * ms / 1e3, 7, 1)


def case(size, loads, dumps=None, memory=None, shape="s"):
    return CaseResult(
        shape,
        size,
        1,
        {},
        1,
        {name: timing(ms) for name, ms in loads.items()},
        {name: timing(ms) for name, ms in (dumps or {}).items()},
        memory,
    )


@pytest.mark.parametrize(
    ("values", "mean"),
    [
        ([1.0, 4.0], 2.0),
        ([2.0, None, 8.0], 4.0),
        ([5.0], 5.0),
        ([], None),
        ([None], None),
    ],
)
def test_geometric_mean(values, mean):
    assert geometric_mean(values) == pytest.approx(mean) if mean else geometric_mean(values) is None


def test_a_ratio_divides_minimum_times_and_needs_both_peers():
    loads_json = RATIOS_BY_NAME["loads_json"]
    assert loads_json.of(case("2 MB", {"vorn": 3.0, "json": 2.0})) == pytest.approx(1.5)
    assert loads_json.of(case("2 MB", {"vorn": 3.0})) is None
    assert RATIOS_BY_NAME["csafe_loads"].of(case("2 MB", {"vorn": 2.0, "yaml_csafe": 90.0})) == pytest.approx(45)


def by_label(lines):
    return {line.label: line for line in lines}


def test_headlines_use_only_the_target_sizes_and_judge_each_bound():
    cases = [
        case(
            "200 KB",
            {"vorn": 1.0, "json": 1.0, "yaml_csafe": 40.0},
            {"vorn": 1.0, "json_pretty": 2.0},
            MemoryFigures(10, 10, 300, 100),
            shape="a",
        ),
        case(
            "2 MB",
            {"vorn": 4.0, "json": 1.0, "yaml_csafe": 40.0},
            {"vorn": 1.0, "json_pretty": 0.5},
            MemoryFigures(10, 10, 100, 100),
            shape="b",
        ),
        # 2 KB documents do not count towards the Targets.
        case("2 KB", {"vorn": 1000.0, "json": 1.0}),
    ]
    lines = by_label(headlines(cases))
    loads = lines["geomean vorn loads / json.loads"]
    assert (loads.value, loads.count, loads.met) == (pytest.approx(2.0), 2, False)
    csafe = lines["geomean CSafeLoader / vorn loads"]
    assert (csafe.value, csafe.met) == (pytest.approx(20.0), False)
    assert lines["geomean vorn dumps / json.dumps(indent=2, sort_keys=True)"].value == pytest.approx(1.0)
    assert lines["geomean vorn dumps / json.dumps(indent=2, sort_keys=True)"].met is True
    memory = lines["geomean peak memory, vorn loads / json.loads"]
    assert (memory.value, memory.met) == (pytest.approx(3**0.5), False)
    assert lines["worst shape vorn loads / json.loads"].value == pytest.approx(4.0)
    assert lines["worst shape vorn dumps / json.dumps(indent=2, sort_keys=True)"].value == pytest.approx(2.0)
    orjson = lines["geomean vorn loads / orjson.loads"]
    assert (orjson.value, orjson.count, orjson.met) == (None, 0, None)


def test_a_minimum_bound_is_met_at_the_bound():
    lines = by_label(headlines([case("2 MB", {"vorn": 1.0, "yaml_cbase": 20.0})]))
    assert lines["geomean CBaseLoader / vorn loads"].met is True
