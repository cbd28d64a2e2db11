"""What the package's wrappers cost: vorn.loads (which turns a fault into
DecodeError) against _vorn_native.loads, and vorn.dumps (which adds a note
to a TypeError and offers default=) against _vorn_native.dumps, on every
shape at 2 KB unless told: the smaller the document, the more a wrapper's
fixed cost shows.

    python -m bench.wrappers [--sizes "2 KB" ...] [--runs N]

Prints, per document, the minimum times per call and their ratio, then the
geometric mean and the worst ratio. The calls take turns, run by run, as in
python -m bench.checked_writer, whose timing this shares.
"""

import gc

from bench.checked_writer import comparison_arguments, interleaved_minimums, print_ratios
from bench.documents import SIZES, build_sized
from bench.shapes import SHAPES


def wrapper_rows(size: str, runs: int) -> dict[str, list[tuple[str, float, float]]]:
    """(shape, native seconds, wrapper seconds) per shape, for loads and
    for dumps."""
    import vorn

    import _vorn_native

    rows: dict[str, list[tuple[str, float, float]]] = {"loads": [], "dumps": []}
    for shape in SHAPES:
        document = build_sized(shape, SIZES[size], _vorn_native.dumps)
        if vorn.loads(document.vorn) != _vorn_native.loads(document.vorn):
            raise AssertionError(f"{shape.name}: vorn.loads read other values")
        gc.collect()
        native, wrapped = interleaved_minimums([_vorn_native.loads, vorn.loads], document.vorn, runs)
        rows["loads"].append((shape.name, native, wrapped))
        native, wrapped = interleaved_minimums([_vorn_native.dumps, vorn.dumps], document.obj, runs)
        rows["dumps"].append((shape.name, native, wrapped))
    return rows


def main(argv=None) -> None:
    arguments = comparison_arguments("bench.wrappers", __doc__, "2 KB", argv)
    for size in arguments.sizes:
        for name, rows in wrapper_rows(size, arguments.runs).items():
            print_ratios(f"{size} {name}: shape, _vorn_native us, vorn us, vorn / _vorn_native", rows, 1e6)


if __name__ == "__main__":
    main()
