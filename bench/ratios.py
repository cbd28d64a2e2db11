"""The ratios reported for each document and the Targets' geometric means.

Every ratio divides minimum times per call (the least noisy figure) of two
calls on the same objects. A ratio whose peer did not run is None.
"""

import math
from dataclasses import dataclass, field

from bench.memory import MemoryFigures

TARGET_SIZES = ("200 KB", "2 MB")


@dataclass
class CaseResult:
    """Everything measured on one document."""

    shape: str
    size: str
    count: int
    input_bytes: dict
    objects: int
    loads: dict = field(default_factory=dict)
    dumps: dict = field(default_factory=dict)
    memory: MemoryFigures | None = None


@dataclass(frozen=True)
class Ratio:
    name: str
    label: str
    # (side, peer) of the numerator and the denominator; side is "loads" or "dumps".
    numerator: tuple
    denominator: tuple
    # The target's bound and whether the ratio must stay at most ("max") or
    # at least ("min") that bound; None for ratios reported without a target.
    bound: float | None = None
    kind: str = "max"

    def of(self, case: CaseResult) -> float | None:
        top = getattr(case, self.numerator[0]).get(self.numerator[1])
        bottom = getattr(case, self.denominator[0]).get(self.denominator[1])
        if top is None or bottom is None:
            return None
        return top.min_s / bottom.min_s


RATIOS = (
    Ratio("loads_json", "vorn loads / json.loads", ("loads", "vorn"), ("loads", "json"), 1.0),
    Ratio("loads_orjson", "vorn loads / orjson.loads", ("loads", "vorn"), ("loads", "orjson"), 1.3),
    Ratio("loads_pickle", "vorn loads / pickle.loads", ("loads", "vorn"), ("loads", "pickle")),
    Ratio("csafe_loads", "CSafeLoader / vorn loads", ("loads", "yaml_csafe"), ("loads", "vorn"), 30.0, "min"),
    Ratio("cbase_loads", "CBaseLoader / vorn loads", ("loads", "yaml_cbase"), ("loads", "vorn"), 20.0, "min"),
    Ratio(
        "dumps_json",
        "vorn dumps / json.dumps(indent=2, sort_keys=True)",
        ("dumps", "vorn"),
        ("dumps", "json_pretty"),
        1.0,
    ),
    Ratio("csafe_dumps", "CSafeDumper / vorn dumps", ("dumps", "yaml_csafe"), ("dumps", "vorn"), 20.0, "min"),
)
RATIOS_BY_NAME = {ratio.name: ratio for ratio in RATIOS}

MEMORY_BOUND = 1.5
WORST_BOUND = 1.5


def geometric_mean(values) -> float | None:
    values = [value for value in values if value is not None]
    if not values:
        return None
    return math.exp(sum(math.log(value) for value in values) / len(values))


@dataclass(frozen=True)
class Headline:
    """One line of the Targets section."""

    label: str
    value: float | None
    bound: float
    kind: str
    count: int

    @property
    def met(self) -> bool | None:
        if self.value is None:
            return None
        # A value on the bound meets it, whatever rounding the mean added.
        slack = self.bound * 1e-9
        return self.value <= self.bound + slack if self.kind == "max" else self.value >= self.bound - slack


def _target_cases(cases):
    return [case for case in cases if case.size in TARGET_SIZES]


def headlines(cases) -> list:
    """The Targets: geometric means over the shapes at 200 KB and 2 MB, and
    the worst shape against json."""
    chosen = _target_cases(cases)
    lines = []
    for ratio in RATIOS:
        if ratio.bound is None:
            continue
        values = [ratio.of(case) for case in chosen]
        present = [value for value in values if value is not None]
        lines.append(Headline(f"geomean {ratio.label}", geometric_mean(present), ratio.bound, ratio.kind, len(present)))
    memory = [case.memory.ratio for case in chosen if case.memory is not None]
    lines.append(
        Headline(
            "geomean peak memory, vorn loads / json.loads", geometric_mean(memory), MEMORY_BOUND, "max", len(memory)
        )
    )
    for name in ("loads_json", "dumps_json"):
        ratio = RATIOS_BY_NAME[name]
        values = [value for value in (ratio.of(case) for case in chosen) if value is not None]
        lines.append(
            Headline(f"worst shape {ratio.label}", max(values) if values else None, WORST_BOUND, "max", len(values))
        )
    return lines
