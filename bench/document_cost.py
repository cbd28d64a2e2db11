"""What reading with positions costs: ``vorn.Document.parse`` against
``vorn.loads`` on the 2 MB documents of every shape, in time per call (CPU
time, best of the runs) and in the peak memory of one call (fresh
processes, as the main benchmark measures it).

Usage: python -m bench.document_cost [SIZE]   (SIZE as in bench.documents,
default "2 MB"); prints a Markdown table of the ratios.
"""

import statistics
import sys
import tempfile
from pathlib import Path

import vorn

from bench.documents import SIZES, build_sized
from bench.memory import PROBES_PER_LOADER, probe
from bench.shapes import SHAPES
from bench.timing import time_calls, warm_up

ROOT = Path(__file__).resolve().parent.parent


def peak(loader: str, path: Path) -> float:
    return statistics.median(probe(loader, path, ROOT) for _ in range(PROBES_PER_LOADER))


def main(argv: list[str]) -> None:
    size = argv[0] if argv else "2 MB"
    print(f"| shape ({size}) | loads ms | Document.parse ms | time ratio | memory ratio |")
    print("|---|---|---|---|---|")
    for shape in SHAPES:
        document = build_sized(shape, SIZES[size], vorn.dumps)
        text = document.vorn
        assert vorn.Document.parse(text).data == vorn.loads(text)
        times = {}
        for name, call in (("loads", vorn.loads), ("document", vorn.Document.parse)):
            _, first = warm_up(call, text)
            times[name] = time_calls(call, text, first).min_s
        with tempfile.TemporaryDirectory() as scratch:
            path = Path(scratch, "doc.vorn")
            path.write_text(text, encoding="utf-8")
            memory = peak("vorn-document", path) / peak("vorn", path)
        print(
            f"| {shape.name} | {times['loads'] * 1e3:.1f} | {times['document'] * 1e3:.1f} "
            f"| {times['document'] / times['loads']:.2f} | {memory:.2f} |"
        )


if __name__ == "__main__":
    main(sys.argv[1:])
