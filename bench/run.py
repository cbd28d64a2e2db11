"""The benchmark's command line: python -m bench.run [--quick] [options].

A full run measures every shape at 2 KB, 200 KB and 2 MB (and a few at
20 MB), the scaling cases, the figures against the fastest peers
(bench/fastest_peers.py) and, given its binary, the core alone; it writes
bench/RESULTS.md, bench/ratios.png and a JSON file of every figure. --quick
measures the 200 KB and 2 MB sizes against the Targets' peers only and the
fastest peers' figures without their scaling, writes just the JSON file and
prints the headline ratios.
"""

import argparse
import dataclasses
import datetime
import json
import os
import sys
import time
from pathlib import Path

from bench import chart, core_bench, fastest_peers, report
from bench.documents import SIZES, build_sized
from bench.machine import describe, load_average
from bench.measure import measure_document
from bench.peers import RUAMEL_MAX_BYTES, YAML_MAX_BYTES, load_peers
from bench.ratios import headlines
from bench.scaling import SCALING_CASES, measure_scaling
from bench.shapes import SHAPES, SHAPES_BY_NAME

ROOT = Path(__file__).resolve().parent.parent
# The largest size only for these shapes, to keep a full run near ten minutes:
# the many-small-objects case and the few-long-strings case.
LARGEST_SIZE_SHAPES = ("repeated_keys", "literal_blocks")
MEMORY_SIZES = ("200 KB", "2 MB", "20 MB")
QUICK_SIZES = ("200 KB", "2 MB")
QUICK_PEERS = ("json", "orjson", "pickle", "yaml_csafe", "yaml_cbase", "json_pretty")


def log(message: str) -> None:
    print(message, file=sys.stderr, flush=True)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="python -m bench.run", description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--quick", action="store_true", help="200 KB and 2 MB, Targets' peers, no report")
    parser.add_argument("--sizes", nargs="+", choices=list(SIZES), help="sizes to run")
    parser.add_argument("--shapes", nargs="+", choices=list(SHAPES_BY_NAME), help="shapes to run")
    parser.add_argument("--peers", nargs="+", help="peer names to run besides vorn (default: all)")
    parser.add_argument("--no-memory", action="store_true", help="skip the memory probes")
    parser.add_argument(
        "--no-fastest", action="store_true", help="skip the figures against the fastest peers (bench.fastest_peers)"
    )
    parser.add_argument("--core-bench", type=Path, help="the vorn_core_bench binary to run")
    parser.add_argument("--report", type=Path, help="Markdown report to write (full run: bench/RESULTS.md)")
    parser.add_argument("--chart", type=Path, help="PNG chart to write (full run: bench/ratios.png)")
    parser.add_argument("--json", type=Path, help="JSON file of every figure")
    parser.add_argument("--compare", type=Path, help="an earlier JSON file whose headlines to show beside")
    arguments = parser.parse_args(argv)
    # The same build folder the set-up scripts use, so that runs with their
    # own BUILD_ROOT do not overwrite each other's figures.
    build = Path(os.environ.get("BUILD_ROOT", ROOT / "build")) / "bench"
    if arguments.quick:
        arguments.sizes = arguments.sizes or list(QUICK_SIZES)
        arguments.peers = arguments.peers or list(QUICK_PEERS)
        arguments.json = arguments.json or build / "quick.json"
        arguments.core_bench = None
    else:
        arguments.sizes = arguments.sizes or list(SIZES)
        arguments.report = arguments.report or ROOT / "bench" / "RESULTS.md"
        arguments.chart = arguments.chart or ROOT / "bench" / "ratios.png"
        arguments.json = arguments.json or build / "results.json"
    arguments.shapes = arguments.shapes or [shape.name for shape in SHAPES]
    arguments.build = build
    return arguments


def import_vorn():
    import _vorn_native

    if not hasattr(_vorn_native, "loads") or not hasattr(_vorn_native, "dumps"):
        sys.exit("the installed _vorn_native has no loads and dumps")
    return _vorn_native


def plan(arguments):
    """(shape, size) pairs in the order they are measured: small sizes first."""
    for size in arguments.sizes:
        for name in arguments.shapes:
            if size == "20 MB" and name not in LARGEST_SIZE_SHAPES:
                continue
            yield SHAPES_BY_NAME[name], size


def measure_all(arguments, vorn, peers, docs_dir):
    cases = []
    for shape, size in plan(arguments):
        started = time.perf_counter()
        document = build_sized(shape, SIZES[size], vorn.dumps)
        with_memory = not arguments.no_memory and size in MEMORY_SIZES
        case = measure_document(document, size, peers, vorn, with_memory, ROOT)
        if docs_dir is not None:
            core_bench.write_document(docs_dir, shape.name, size, document.vorn)
        del document
        cases.append(case)
        log(
            f"{size:>6} {shape.name:<15} vorn loads {case.loads['vorn'].min_s * 1e3:8.3f} ms  "
            f"json.loads {case.loads['json'].min_s * 1e3:8.3f} ms  ({time.perf_counter() - started:.1f} s)"
            if "json" in case.loads
            else f"{size:>6} {shape.name:<15} done"
        )
    return cases


def method_notes(arguments, peers) -> list:
    notes = [
        "Sizes are those of the vorn text; JSON is compact with non-ASCII kept; YAML is block style "
        "(PyYAML's dumper with literal blocks for multi-line strings, hand-written for the "
        "commented and anchors shapes). The documents come from a fixed seed.",
        "Before anything is timed, the vorn, JSON and YAML texts are checked to load to the same "
        "objects (aliases and merges expanded), every loader's warm-up result is compared with them "
        "(CBaseLoader's only where the YAML has no merge keys), and vorn dumps' output must read back "
        "to them.",
        "Time per call: one warm-up call, then 7 runs (5 for calls over 0.5 s); calls shorter than "
        "20 ms are repeated within a run and the run's time divided. Garbage collection stays on; "
        "results are kept until the run ends, so their deallocation is not timed. Times are the "
        "process's CPU time (user and system): on this shared two-core machine the wall clock also "
        "counts waits for a core, while CPU time equals wall time for these single-threaded calls "
        "when the machine is idle.",
        "Peak memory: in a fresh process per call, the rise of the peak resident set (VmHWM, reset "
        "through /proc/self/clear_refs) over the resident set just before the call; median of three "
        "processes. tracemalloc is not used because it does not see the C++ tree that vorn's loads "
        "builds before the Python objects. Each loader reads its own rendering; the ratio compares "
        "the two peaks for the same objects.",
        f"The YAML peers run up to {YAML_MAX_BYTES / 1e6:g} MB of input, ruamel.yaml (typ='safe', "
        f"with its C parser) up to {RUAMEL_MAX_BYTES / 1e3:g} KB; the 20 MB size covers "
        f"{', '.join(LARGEST_SIZE_SHAPES)} only. These limits keep a full run near ten minutes.",
        "CSafeDumper writes block style with non-ASCII kept (allow_unicode); json.dumps with "
        "indent=2 and sort_keys=True is the dumps reference, since vorn writes one entry per line "
        "in key order.",
    ]
    return notes + peers.notes


def save_json(path: Path, machine, cases, scaling, core, fastest) -> None:
    path.parent.mkdir(parents=True, exist_ok=True)
    data = {
        "machine": machine,
        "cases": [dataclasses.asdict(case) for case in cases],
        "headlines": [{"label": line.label, "value": line.value} for line in headlines(cases)],
        "scaling": [
            {
                "case": result.case.name,
                "loads_growth": result.growth(result.loads),
                "dumps_growth": result.growth(result.dumps),
                "json_loads_growth": result.growth(result.json_loads),
            }
            for result in scaling
        ],
        "core": [dataclasses.asdict(row) for row in core],
        "fastest_peers": [dataclasses.asdict(result) for result in fastest],
    }
    path.write_text(json.dumps(data, indent=1))


def earlier_headlines(path: Path | None) -> dict:
    if path is None:
        return {}
    return {line["label"]: line["value"] for line in json.loads(path.read_text())["headlines"]}


def print_headlines(cases, before: dict) -> None:
    for line in headlines(cases):
        bound = ("<=" if line.kind == "max" else ">=") + f" {line.bound:g}"
        verdict = {True: "met", False: "NOT met", None: "not measured"}[line.met]
        earlier = f"  (before {report.ratio(before.get(line.label))})" if line.label in before else ""
        print(f"{line.label:<62} {report.ratio(line.value):>7}  target {bound:<6} {verdict}{earlier}")


def main(argv=None) -> None:
    arguments = parse_arguments(argv)
    # Read before this run's JSON file, which may be the same file, is written.
    before = earlier_headlines(arguments.compare)
    vorn = import_vorn()
    peers = load_peers(vorn, arguments.peers)
    machine = describe(ROOT)
    docs_dir = arguments.build / "docs" if arguments.core_bench else None
    if docs_dir is not None:
        core_bench.clear_documents(docs_dir)

    cases = measure_all(arguments, vorn, peers, docs_dir)
    scaling = []
    if not arguments.quick:
        for case in SCALING_CASES:
            scaling.append(measure_scaling(case, vorn))
            log(f"scaling {case.name}: loads x{scaling[-1].growth(scaling[-1].loads):.2f}")
    fastest = []
    if not arguments.no_fastest:
        fastest = fastest_peers.measure_all(
            vorn,
            list(fastest_peers.FIXED_SHAPES_BY_NAME),
            fastest_peers.ROUNDS,
            with_memory=not arguments.no_memory,
            with_scaling=not arguments.quick,
            log=log,
        )
    core = []
    if arguments.core_bench:
        log("core micro-benchmark")
        order = [core_bench.document_name(case.shape, case.size) for case in cases]
        core = sorted(
            core_bench.run_core_bench(arguments.core_bench, docs_dir), key=lambda row: order.index(row.document)
        )

    machine["load average"] += f" at the start, {load_average()} at the end"
    save_json(arguments.json, machine, cases, scaling, core, fastest)
    if arguments.chart:
        chart.draw(cases, arguments.chart)
    if arguments.report:
        date = datetime.date.today().isoformat()
        command = "scripts/bench" if not arguments.quick else "python -m bench.run --quick"
        chart_link = arguments.chart.name if arguments.chart else None
        arguments.report.write_text(
            report.render(
                machine,
                command,
                date,
                cases,
                arguments.sizes,
                scaling,
                core,
                method_notes(arguments, peers),
                chart_link,
                fastest,
            )
        )
        log(f"wrote {arguments.report}")
    print_headlines(cases, before)
    if fastest:
        print("\n".join(fastest_peers.section(fastest)))


if __name__ == "__main__":
    main()
