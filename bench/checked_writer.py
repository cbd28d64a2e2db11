"""What the writers' lossless check costs: vorn.dumps, which checks that
its text reads back equal, against the unchecked native writer it wrapped
before (_vorn_native.dumps, in a wrapper as it was), both against
json.dumps(indent=2, sort_keys=True), on every shape, at 2 MB unless told.

    python -m bench.checked_writer [--sizes "2 MB" ...] [--runs N]

Prints, per document, the minimum times per call and their ratios (the
unchecked writer and vorn.dumps against json, and vorn.dumps against the
unchecked writer), each table ending with the geometric mean and the worst
ratio. Times are process CPU time, as in the harness (bench/timing.py); the
calls take turns, run by run, so that a busy spell on the machine slows
all rather than one, and each keeps the minimum over its runs. Unlike the
harness, each result is dropped at once: the vorn calls return the same
text, so they pay the same for freeing it, and the allocator sees the same
pattern for each (keeping the 2 MB results made the ratio of the first
document measured swing by up to a half).
"""

import argparse
import gc
import json
import statistics
import time

from bench.documents import SIZES, build_sized
from bench.shapes import SHAPES
from bench.timing import TARGET_RUN_SECONDS, warm_up


def interleaved_minimums(calls, argument, runs: int) -> list[float]:
    """The minimum time per call of each of `calls` on `argument`, the
    calls taking turns for `runs` rounds."""
    loops = []
    for call in calls:
        _, seconds = warm_up(call, argument)
        loops.append(max(1, int(TARGET_RUN_SECONDS / max(seconds, 1e-9))))
    best = [float("inf")] * len(calls)
    for _ in range(runs):
        for index, call in enumerate(calls):
            start = time.process_time()
            for _ in range(loops[index]):
                call(argument)
            best[index] = min(best[index], (time.process_time() - start) / loops[index])
    return best


def print_ratios(header: str, rows: list[tuple[str, float, float]], scale: float) -> None:
    """Prints (shape, first seconds, second seconds) rows in the unit that
    `scale` makes of seconds, each with second / first, then their geometric
    mean and the worst of them."""
    print(header)
    for name, first, second in rows:
        print(f"  {name:<15} {first * scale:9.3f} {second * scale:9.3f}  {second / first:5.3f}")
    ratios = [second / first for _, first, second in rows]
    print(f"  geometric mean {statistics.geometric_mean(ratios):.3f}, worst {max(ratios):.3f}")


def writer_times(shapes, size: str, calls, runs: int) -> list[tuple[str, list[float]]]:
    """(shape, seconds of each of ``calls``) per shape; the vorn calls
    (all but the first) must write the same text."""
    rows = []
    for shape in shapes:
        obj = build_sized(shape, SIZES[size], calls[1]).obj
        if len({call(obj) for call in calls[1:]}) != 1:
            raise AssertionError(f"{shape.name}: the vorn writers wrote different texts")
        # The garbage of building the document is collected first, so that
        # no collection of it lands in one call's runs and not another's.
        gc.collect()
        rows.append((shape.name, interleaved_minimums(calls, obj, runs)))
    return rows


def comparison_arguments(module: str, description: str, default_size: str, argv) -> argparse.Namespace:
    """The options of a comparison that takes turns: the sizes of document
    to measure and the rounds of turns per document."""
    parser = argparse.ArgumentParser(
        prog=f"python -m {module}", description=description, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--sizes", nargs="+", choices=list(SIZES), default=[default_size])
    parser.add_argument("--runs", type=int, default=25, help="rounds of turns per document (default: 25)")
    return parser.parse_args(argv)


def main(argv=None) -> None:
    arguments = comparison_arguments("bench.checked_writer", __doc__, "2 MB", argv)

    import vorn

    import _vorn_native

    def json_indent(obj):
        return json.dumps(obj, indent=2, sort_keys=True)

    def unchecked(obj):
        # vorn.dumps as it was: a Python call around the native writer,
        # which noted a TypeError's place only once it had failed.
        try:
            return _vorn_native.dumps(obj)
        except TypeError:
            raise

    names = ["json", "unchecked", "vorn.dumps"]
    for size in arguments.sizes:
        unit, scale = ("us", 1e6) if SIZES[size] < 100_000 else ("ms", 1e3)
        rows = writer_times(SHAPES, size, [json_indent, unchecked, vorn.dumps], arguments.runs)
        for first, second in [(0, 1), (0, 2), (1, 2)]:
            header = f"{names[first]} {unit}, {names[second]} {unit}, {names[second]} / {names[first]}"
            table = [(name, times[first], times[second]) for name, times in rows]
            print_ratios(f"{size}: shape, {header}", table, scale)


if __name__ == "__main__":
    main()
