"""Instructions per call of `_vorn_native.loads` and `dumps` on the documents
of bench.fastest_peers, counted by callgrind: unlike times, the counts
repeat exactly on a busy machine, so a change to the reader or the writer
can be judged by them before the timings are taken on an idle one.

    python -m bench.instructions [--shapes ...] [--calls loads dumps] [--calls-per-run N] [--keep DIR] [--growth]

Each count comes from a process of its own under valgrind, collecting only
inside the native entry point; the call runs once to warm up (kept room,
caches of the interpreter), then --calls-per-run times (default 3), and the
count is divided by that. The extension must keep its symbols: install it
with `bash -c 'source scripts/lib.sh; install_package -Cinstall.strip=false'`.
--keep DIR keeps the measuring runs' callgrind
files there (callgrind.SHAPE.CALL), for callgrind_annotate. Needs valgrind
on PATH.

--growth counts each call again on a document of four times the count, for
the six documents and the scaling cases of bench.scaling: work that grows
linearly costs 4 times the instructions. Unlike the times' growth, the
count does not rise with the caches a larger document overflows, so it
tells a step that does more than linear work from a machine whose memory
is slower for more data.
"""

import argparse
import re
import subprocess
import sys
import tempfile
from pathlib import Path

from bench.fastest_peers import FIXED_SHAPES_BY_NAME, GROWTH
from bench.scaling import SCALING_CASES

ROOT = Path(__file__).resolve().parent.parent
SCALING_CASES_BY_NAME = {case.name: case for case in SCALING_CASES}

# The native entry points, as callgrind names them.
# Collection is on inside the entry point alone, which callgrind finds by
# its symbol: the extension must keep its symbols (scikit-build strips them
# unless installed with -Cinstall.strip=false).
ENTRY_POINT = "vorn::binding::{call}(*"
CALLS = ("loads", "dumps")

_RUNNER = """
import marshal, sys
import _vorn_native
call = getattr(_vorn_native, sys.argv[1])
with open(sys.argv[2], "rb") as source:
    argument = marshal.load(source)
call(argument)
if sys.argv[3] == "measure":
    for _ in range(int(sys.argv[4])):
        call(argument)
"""


def _instructions(call: str, argument_path: Path, mode: str, calls: int, out: Path) -> int:
    subprocess.run(
        [
            "valgrind",
            "--tool=callgrind",
            f"--callgrind-out-file={out}",
            "--collect-atstart=no",
            f"--toggle-collect={ENTRY_POINT.format(call=call)}",
            sys.executable,
            "-c",
            _RUNNER,
            call,
            str(argument_path),
            mode,
            str(calls),
        ],
        cwd=ROOT,
        check=True,
        capture_output=True,
    )
    totals = re.search(r"^(?:totals|summary): (\d+)", out.read_text(), re.MULTILINE)
    if mode == "measure" and int(totals.group(1)) == 0:
        raise SystemExit("callgrind found no vorn::binding entry point: install the extension unstripped")
    return int(totals.group(1))


def count_argument(argument, call: str, calls_per_run: int, kept: Path | None = None) -> float:
    """Instructions of one call on `argument`, less the warm-up call's."""
    import marshal

    with tempfile.TemporaryDirectory() as scratch_name:
        scratch = Path(scratch_name)
        argument_path = scratch / "argument.marshal"
        argument_path.write_bytes(marshal.dumps(argument))
        warm = _instructions(call, argument_path, "warm", 0, scratch / "callgrind.warm")
        measured = _instructions(call, argument_path, "measure", calls_per_run, kept or scratch / "callgrind.measure")
    return (measured - warm) / calls_per_run


def _arguments(name: str, count_factor: int) -> tuple:
    """The text and the objects of a document, at its count times
    `count_factor`: one of the six documents or a scaling case."""
    import _vorn_native

    if name in FIXED_SHAPES_BY_NAME:
        shape = FIXED_SHAPES_BY_NAME[name]
        document = shape.build(count_factor * shape.count, _vorn_native.dumps)
        return document.vorn, document.obj
    case = SCALING_CASES_BY_NAME[name]
    return case.build(count_factor * case.count, _vorn_native.dumps)


def count(name: str, call: str, calls_per_run: int, keep: Path | None = None, count_factor: int = 1) -> float:
    text, obj = _arguments(name, count_factor)
    kept = keep / f"callgrind.{name.replace(' ', '_')}.{call}" if keep else None
    return count_argument(text if call == "loads" else obj, call, calls_per_run, kept)


def print_growth(names, calls, calls_per_run: int) -> None:
    print(f"| document | call | M instructions at N | at {GROWTH}N | growth |")
    print("|---|---|---|---|---|")
    for name in names:
        grows = name in FIXED_SHAPES_BY_NAME or SCALING_CASES_BY_NAME[name].objects_grow
        for call in calls if grows else ("loads",):
            small, large = (count(name, call, calls_per_run, count_factor=factor) for factor in (1, GROWTH))
            print(f"| {name} | {call} | {small / 1e6:.2f} | {large / 1e6:.2f} | {large / small:.2f} |", flush=True)


def main(argv=None) -> None:
    parser = argparse.ArgumentParser(
        prog="python -m bench.instructions", description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--shapes", nargs="+", choices=list(FIXED_SHAPES_BY_NAME), default=list(FIXED_SHAPES_BY_NAME))
    parser.add_argument("--calls", nargs="+", choices=CALLS, default=list(CALLS))
    parser.add_argument("--calls-per-run", type=int, default=3)
    parser.add_argument("--keep", type=Path, help="folder to keep the callgrind files in")
    parser.add_argument("--growth", action="store_true", help="count at N and 4N, the scaling cases too")
    arguments = parser.parse_args(argv)
    if arguments.growth:
        print_growth([*arguments.shapes, *SCALING_CASES_BY_NAME], arguments.calls, arguments.calls_per_run)
        return
    if arguments.keep:
        arguments.keep.mkdir(parents=True, exist_ok=True)
    print("| document | " + " | ".join(f"{call} Minstr" for call in arguments.calls) + " |")
    print("|---|" + "---|" * len(arguments.calls))
    for shape in arguments.shapes:
        counts = [count(shape, call, arguments.calls_per_run, arguments.keep) / 1e6 for call in arguments.calls]
        print(f"| {shape} | " + " | ".join(f"{value:.2f}" for value in counts) + " |", flush=True)


if __name__ == "__main__":
    main()
