"""Instructions per call of `_vorn_native.loads` and `dumps` on the documents
of bench.fastest_peers, counted by callgrind: unlike times, the counts
repeat exactly on a busy machine, so a change to the reader or the writer
can be judged by them before the timings are taken on an idle one.

    python -m bench.instructions [--shapes ...] [--calls loads dumps] [--calls-per-run N] [--keep DIR]

Each count comes from a process of its own under valgrind, collecting only
inside the native entry point; the call runs once to warm up (kept room,
caches of the interpreter), then --calls-per-run times (default 3), and the
count is divided by that. The extension must keep its symbols: install it
with `bash -c 'source scripts/lib.sh; install_package -Cinstall.strip=false'`.
--keep DIR keeps the measuring runs' callgrind
files there (callgrind.SHAPE.CALL), for callgrind_annotate. Needs valgrind
on PATH.
"""

import argparse
import re
import subprocess
import sys
import tempfile
from pathlib import Path

from bench.fastest_peers import FIXED_SHAPES_BY_NAME

ROOT = Path(__file__).resolve().parent.parent

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


def count(shape_name: str, call: str, calls_per_run: int, keep: Path | None = None) -> float:
    """Instructions of one call, less the warm-up call's."""
    import marshal

    import _vorn_native

    shape = FIXED_SHAPES_BY_NAME[shape_name]
    document = shape.build(shape.count, _vorn_native.dumps)
    argument = document.vorn if call == "loads" else document.obj
    with tempfile.TemporaryDirectory() as scratch_name:
        scratch = Path(scratch_name)
        argument_path = scratch / "argument.marshal"
        argument_path.write_bytes(marshal.dumps(argument))
        warm = _instructions(call, argument_path, "warm", 0, scratch / "callgrind.warm")
        kept = (keep or scratch) / f"callgrind.{shape_name}.{call}"
        measured = _instructions(call, argument_path, "measure", calls_per_run, kept)
    return (measured - warm) / calls_per_run


def main(argv=None) -> None:
    parser = argparse.ArgumentParser(
        prog="python -m bench.instructions", description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--shapes", nargs="+", choices=list(FIXED_SHAPES_BY_NAME), default=list(FIXED_SHAPES_BY_NAME))
    parser.add_argument("--calls", nargs="+", choices=CALLS, default=list(CALLS))
    parser.add_argument("--calls-per-run", type=int, default=3)
    parser.add_argument("--keep", type=Path, help="folder to keep the callgrind files in")
    arguments = parser.parse_args(argv)
    if arguments.keep:
        arguments.keep.mkdir(parents=True, exist_ok=True)
    print("| document | " + " | ".join(f"{call} Minstr" for call in arguments.calls) + " |")
    print("|---|" + "---|" * len(arguments.calls))
    for shape in arguments.shapes:
        counts = [count(shape, call, arguments.calls_per_run, arguments.keep) / 1e6 for call in arguments.calls]
        print(f"| {shape} | " + " | ".join(f"{value:.2f}" for value in counts) + " |", flush=True)


if __name__ == "__main__":
    main()
