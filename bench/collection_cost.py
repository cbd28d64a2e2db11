"""What the objects a reader made cost the garbage collector afterwards:
the time of one full gc.collect() over the results of several reads of one
document, for vorn's loads, the data of a vorn Document, json.loads and
orjson.loads. `loads` is `_vorn_native`'s (`vorn.loads` runs the same
reader), so that an earlier build can stand in for it on PYTHONPATH. A
reader that leaves containers in the collector's list
after their children makes every later collection take each child for
unreachable until it reaches the parent.

    python -m bench.collection_cost [--shapes ...] [--reads N]
"""

import argparse
import gc
import json
import statistics
import time

import vorn

import _vorn_native
from bench.fastest_peers import FIXED_SHAPES_BY_NAME


def collection_seconds(read, argument, reads: int) -> float:
    """The median of three full collections over `reads` results."""
    gc.collect()
    kept = [read(argument) for _ in range(reads)]
    times = []
    for _ in range(3):
        start = time.process_time()
        gc.collect()
        times.append(time.process_time() - start)
    del kept
    return statistics.median(times)


def main(argv=None) -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--shapes", nargs="+", default=["deep", "config"], choices=list(FIXED_SHAPES_BY_NAME))
    parser.add_argument("--reads", type=int, default=10)
    args = parser.parse_args(argv)
    readers = {
        "vorn loads": ("vorn", _vorn_native.loads),
        "vorn Document": ("vorn", lambda text: vorn.Document.parse(text).data),
        "json.loads": ("json", json.loads),
    }
    try:
        import orjson

        readers["orjson.loads"] = ("json", orjson.loads)
    except ImportError:
        pass
    for name in args.shapes:
        shape = FIXED_SHAPES_BY_NAME[name]
        document = shape.build(shape.count, vorn.dumps)
        texts = {"vorn": document.vorn, "json": document.json}
        row = "  ".join(
            f"{reader} {collection_seconds(read, texts[form], args.reads) * 1e3:.1f} ms"
            for reader, (form, read) in readers.items()
        )
        print(f"{name:8} gc.collect() over {args.reads} results: {row}", flush=True)


if __name__ == "__main__":
    main()
