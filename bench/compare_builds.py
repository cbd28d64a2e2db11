"""Two or more builds of `_vorn_native` timed against each other in one
process, their calls taking turns, on the documents of bench.fastest_peers:
how a change to the reader or the writer was judged on a machine whose
times swing by a tenth from one run to the next.

    python -m bench.compare_builds {loads|dumps} BEFORE.so AFTER.so [...] [--shapes ...] [--rounds N]

Copy the installed extension aside before and after a change (it is
`.venv/lib/python3.13/site-packages/_vorn_native*.so`). Each figure is the
fastest round's time per call (the round least disturbed by the machine),
and each build is given as a ratio to the first. The builds must agree on
every result.
"""

import argparse
import importlib.util
import time
from pathlib import Path
from types import ModuleType

from bench.fastest_peers import FIXED_SHAPES_BY_NAME
from bench.timing import TARGET_RUN_SECONDS, warm_up


def load_build(path: Path, index: int) -> ModuleType:
    spec = importlib.util.spec_from_file_location("_vorn_native", path)
    if spec is None or spec.loader is None:
        raise SystemExit(f"not an extension module: {path}")
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    module.__name__ = f"build {index}"
    return module


def fastest_round_times(calls: list, argument, rounds: int) -> list[float]:
    """The fastest round's time per call of each call; a round repeats a
    call for about TARGET_RUN_SECONDS, keeping its results until timed."""
    _, seconds = warm_up(calls[0], argument)
    loops = max(1, int(TARGET_RUN_SECONDS / max(seconds, 1e-9)))
    best = [float("inf")] * len(calls)
    for _ in range(rounds):
        for index, call in enumerate(calls):
            kept = [None] * loops
            start = time.process_time()
            for loop in range(loops):
                kept[loop] = call(argument)
            best[index] = min(best[index], (time.process_time() - start) / loops)
            del kept
    return best


def main(argv=None) -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("call", choices=("loads", "dumps"))
    parser.add_argument("builds", nargs="+", type=Path)
    parser.add_argument("--shapes", nargs="+", default=list(FIXED_SHAPES_BY_NAME), choices=list(FIXED_SHAPES_BY_NAME))
    parser.add_argument("--rounds", type=int, default=30)
    args = parser.parse_args(argv)
    builds = [load_build(path, index) for index, path in enumerate(args.builds)]
    for name in args.shapes:
        shape = FIXED_SHAPES_BY_NAME[name]
        document = shape.build(shape.count, builds[0].dumps)
        argument = document.vorn if args.call == "loads" else document.obj
        calls = [getattr(build, args.call) for build in builds]
        first = calls[0](argument)
        if any(call(argument) != first for call in calls[1:]):
            raise SystemExit(f"the builds disagree on {name}")
        times = fastest_round_times(calls, argument, args.rounds)
        row = "  ".join(
            f"{path.name} {seconds * 1e3:.3f} ms {seconds / times[0]:.3f}" for path, seconds in zip(args.builds, times)
        )
        print(f"{name:12} {args.call}: {row}", flush=True)


if __name__ == "__main__":
    main()
