"""What reading into a type adds to doing it by hand: vorn.load_path(path,
into=Model) against reading the file, vorn.loads and the validate_python of
a TypeAdapter built beforehand, on valid documents of the repeated-keys
shape (records of ten string fields, a model for which is made here), at
2 KB unless told: the smaller the document, the more a fixed cost shows.

    python -m bench.typed_loading [--sizes "2 KB" ...] [--runs N]

Prints, per size, the minimum times per call and their ratio, then the
geometric mean and the worst ratio. The calls take turns, run by run, as in
python -m bench.checked_writer, whose timing this shares.
"""

import gc
import tempfile
from pathlib import Path

from bench.checked_writer import comparison_arguments, interleaved_minimums, print_ratios
from bench.documents import SIZES, build_sized
from bench.shapes import SHAPES_BY_NAME


def records_model(obj: dict):
    """The model of a repeated-keys document: a list of records, each with
    the first record's keys as str fields."""
    import pydantic

    record = pydantic.create_model("Record", **{key: (str, ...) for key in obj["records"][0]})
    return pydantic.create_model("Records", records=(list[record], ...))


def typed_rows(sizes, runs: int) -> list[tuple[str, float, float]]:
    """(size, by-hand seconds, into= seconds) per size."""
    import pydantic
    import vorn

    rows = []
    with tempfile.TemporaryDirectory() as folder:
        for size in sizes:
            document = build_sized(SHAPES_BY_NAME["repeated_keys"], SIZES[size], vorn.dumps)
            model = records_model(document.obj)
            adapter = pydantic.TypeAdapter(model)

            def by_hand(path, adapter=adapter):
                with open(path, "rb") as file:
                    text = file.read().decode("utf-8")
                return adapter.validate_python(vorn.loads(text))

            def into(path, model=model):
                return vorn.load_path(path, into=model)

            path = Path(folder) / "records.vorn"
            path.write_text(document.vorn, encoding="utf-8")
            if into(path) != by_hand(path):
                raise AssertionError(f"{size}: into= gave another result")
            gc.collect()
            plain, typed = interleaved_minimums([by_hand, into], path, runs)
            rows.append((size, plain, typed))
    return rows


def main(argv=None) -> None:
    arguments = comparison_arguments("bench.typed_loading", __doc__, "2 KB", argv)
    rows = typed_rows(arguments.sizes, arguments.runs)
    print_ratios("size, loads + validate_python us, load_path(into=) us, into / by hand", rows, 1e6)


if __name__ == "__main__":
    main()
