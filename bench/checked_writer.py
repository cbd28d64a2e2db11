"""What the package writers' lossless check costs: vorn._native's checked
pass against _vorn_native.dumps on every shape, at 2 MB unless told.

    python -m bench.checked_writer [--sizes "2 MB" ...] [--runs N]

Prints, per document, the minimum times per call and their ratio, then the
geometric mean and the worst ratio. Times are process CPU time, as in the
harness (bench/timing.py); the two calls take turns, run by run, so that a
busy spell on the machine slows both rather than one, and each keeps the
minimum over its runs. Unlike the harness, each result is dropped at once:
both calls return the same text, so both pay the same for freeing it, and
the allocator sees the same pattern for both (keeping the 2 MB results
made the ratio of the first document measured swing by up to a half).
"""

import argparse
import gc
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


def overheads(shapes, size: str, dumps, checked, runs: int) -> list[tuple[str, float, float]]:
    """(shape, dumps seconds, checked seconds) per shape; the checked pass
    must accept each document and write the same text."""
    rows = []
    for shape in shapes:
        obj = build_sized(shape, SIZES[size], dumps).obj
        if checked(obj) != dumps(obj):
            raise AssertionError(f"{shape.name}: the checked pass refused the document or wrote other text")
        # The garbage of building the document is collected first, so that
        # no collection of it lands in one call's runs and not the other's.
        gc.collect()
        plain, lossless = interleaved_minimums([dumps, checked], obj, runs)
        rows.append((shape.name, plain, lossless))
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

    from vorn import _native

    import _vorn_native

    def checked(obj):
        return _native.checked_dumps(obj, False)

    for size in arguments.sizes:
        rows = overheads(SHAPES, size, _vorn_native.dumps, checked, arguments.runs)
        print_ratios(f"{size}: shape, dumps ms, checked ms, checked / dumps", rows, 1e3)


if __name__ == "__main__":
    main()
