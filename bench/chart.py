"""bench/ratios.png: the Targets' ratios per shape, at each target size."""

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (the backend must be chosen first)

from bench.ratios import RATIOS_BY_NAME, TARGET_SIZES  # noqa: E402

_AGAINST_JSON = ("loads_json", "loads_orjson", "dumps_json")
_AGAINST_YAML = ("csafe_loads", "cbase_loads", "csafe_dumps")


def _bars(axes, cases, series, width=0.8):
    step = width / len(series)
    for index, (label, values) in enumerate(series):
        positions = [x + (index - (len(series) - 1) / 2) * step for x in range(len(cases))]
        axes.bar(positions, [value or 0 for value in values], step, label=label)
    axes.set_xticks(range(len(cases)), [case.shape for case in cases], rotation=30, ha="right", fontsize=8)


def draw(cases, path) -> None:
    figure, grid = plt.subplots(len(TARGET_SIZES), 2, figsize=(13, 4.2 * len(TARGET_SIZES)), squeeze=False)
    for row, size in enumerate(TARGET_SIZES):
        chosen = [case for case in cases if case.size == size]
        if not chosen:
            continue
        left, right = grid[row]
        series = [(RATIOS_BY_NAME[name].label, [RATIOS_BY_NAME[name].of(case) for case in chosen])
                  for name in _AGAINST_JSON]
        series.append(("peak memory vorn / json", [case.memory.ratio if case.memory else None
                                                   for case in chosen]))
        _bars(left, chosen, series)
        left.axhline(1.0, color="black", linewidth=0.8)
        left.set_title(f"{size}: vorn against JSON (lower is better)", fontsize=10)
        left.legend(fontsize=7)
        _bars(right, chosen, [(RATIOS_BY_NAME[name].label, [RATIOS_BY_NAME[name].of(case) for case in chosen])
                              for name in _AGAINST_YAML])
        right.set_yscale("log")
        for bound in (20, 30):
            right.axhline(bound, color="grey", linestyle="--", linewidth=0.8)
        right.set_title(f"{size}: YAML's C loaders and dumper over vorn (higher is better)", fontsize=10)
        right.legend(fontsize=7)
    figure.tight_layout()
    figure.savefig(path, dpi=90)
    plt.close(figure)
