"""bench/ratios.png: the Targets' ratios per shape, at each target size."""

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (the backend must be chosen first)
from matplotlib.ticker import FixedLocator, FormatStrFormatter, NullLocator  # noqa: E402

from bench.ratios import RATIOS_BY_NAME, TARGET_SIZES  # noqa: E402

_AGAINST_JSON = ("loads_json", "loads_orjson", "dumps_json")
_AGAINST_YAML = ("csafe_loads", "cbase_loads", "csafe_dumps")
_LOG_TICKS = (0.5, 1, 2, 5, 10, 20, 30, 50, 100, 200, 500)


def _bars(axes, cases, series, width=0.8):
    step = width / len(series)
    for index, (label, values) in enumerate(series):
        positions = [x + (index - (len(series) - 1) / 2) * step for x in range(len(cases))]
        axes.bar(positions, [value or 0 for value in values], step, label=label)
    axes.set_xticks(range(len(cases)), [case.shape for case in cases], rotation=30, ha="right", fontsize=8)
    return max((value for _, values in series for value in values if value), default=1)


def _against_json(axes, cases, size):
    series = [(RATIOS_BY_NAME[name].label, [RATIOS_BY_NAME[name].of(case) for case in cases]) for name in _AGAINST_JSON]
    series.append(
        ("peak memory, vorn loads / json.loads", [case.memory.ratio if case.memory else None for case in cases])
    )
    highest = _bars(axes, cases, series)
    axes.axhline(1.0, color="black", linewidth=0.8)
    axes.set_ylim(0, highest * 1.5)  # room for the legend above the bars
    axes.set_title(f"{size}: vorn against JSON (lower is better)", fontsize=10)
    axes.legend(fontsize=7, loc="upper left", ncols=2)


def _against_yaml(axes, cases, size):
    series = [(RATIOS_BY_NAME[name].label, [RATIOS_BY_NAME[name].of(case) for case in cases]) for name in _AGAINST_YAML]
    highest = _bars(axes, cases, series)
    axes.set_yscale("log")
    axes.set_ylim(1, max(highest, 30) * 4)
    axes.yaxis.set_major_locator(FixedLocator(_LOG_TICKS))
    axes.yaxis.set_major_formatter(FormatStrFormatter("%g"))
    axes.yaxis.set_minor_locator(NullLocator())
    for bound in (20, 30):
        axes.axhline(bound, color="grey", linestyle="--", linewidth=0.8)
    axes.set_title(
        f"{size}: YAML's C loaders and dumper over vorn (higher is better; targets 20 and 30 dashed)", fontsize=10
    )
    axes.legend(fontsize=7, loc="upper left", ncols=3)


def draw(cases, path) -> None:
    figure, grid = plt.subplots(len(TARGET_SIZES), 2, figsize=(14, 4.5 * len(TARGET_SIZES)), squeeze=False)
    for row, size in enumerate(TARGET_SIZES):
        chosen = [case for case in cases if case.size == size]
        if chosen:
            _against_json(grid[row][0], chosen, size)
            _against_yaml(grid[row][1], chosen, size)
    figure.tight_layout()
    figure.savefig(path, dpi=90)
    plt.close(figure)
