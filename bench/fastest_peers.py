"""vorn against the fastest peers, from one process: `loads` against
orjson.loads, msgspec.json.decode and pickle.loads (the cost of making the
objects at all), `dumps` against orjson.dumps(OPT_INDENT_2 | OPT_SORT_KEYS),
on six documents of fixed size; and the peak memory of one `loads` against
one json.loads, each in fresh processes.

    python -m bench.fastest_peers [--rounds N] [--shapes ...] [--no-memory] [--no-scaling]

The calls of one document take turns, round by round, so that a busy spell
of the machine slows all of them rather than one; each figure is the median
over the rounds of the time per call (process CPU time), and a ratio divides
two such medians. The five headline figures are geometric means over the
documents. Scaling times `loads` and `dumps` again at four times each
document's count: linear work costs 4 times as much.
"""

import argparse
import gc
import json
import pickle
import statistics
import sys
import time
from collections.abc import Callable
from dataclasses import dataclass, field
from pathlib import Path

from bench.memory import measure_memory
from bench.renderers import to_json, to_yaml
from bench.shapes import (
    DEEP_DEPTH,
    VERSION,
    Document,
    build_deep,
    build_repeated_keys,
    build_short_strings,
    build_unique_keys,
)
from bench.text_pieces import SEED, TextPieces
from bench.timing import TARGET_RUN_SECONDS, warm_up

ROOT = Path(__file__).resolve().parent.parent
ROUNDS = 7
GROWTH = 4


def _literal_block(pieces: TextPieces, lines: int) -> str:
    # As shapes.py's blocks: the first line not indented, some others
    # indented further, no blank lines and no trailing blanks.
    rows = []
    for index in range(lines):
        indent = "" if index == 0 or not pieces.chance(0.2) else " " * (2 * pieces.integer(1, 2))
        rows.append(indent + pieces.text_line(pieces.integer(30, 70)))
    return "\n".join(rows)


def build_blocks(count: int, dumps) -> Document:
    """`count` literal blocks of 50 lines each."""
    pieces = TextPieces(SEED + 20)
    obj = {**VERSION, "blocks": {f"block_{index:06d}": _literal_block(pieces, 50) for index in range(count)}}
    return Document("blocks", count, obj, dumps(obj), to_json(obj), to_yaml(obj))


def _service(pieces: TextPieces, index: int) -> dict:
    service = {
        "image": f"registry.example.com/{pieces.word()}/{pieces.word()}:{pieces.integer(1, 9)}.{pieces.integer(0, 30)}",
        "replicas": str(pieces.integer(1, 8)),
        "command": ["python", "-m", pieces.word(), "--port", str(8000 + index)],
        "env": {f"{pieces.word().upper()}_{key}": pieces.phrase(1, 2) for key in range(pieces.integer(3, 8))},
        "ports": [f"{8000 + index}:{80 + port}" for port in range(pieces.integer(1, 3))],
        "healthcheck": {"path": "/" + pieces.word(), "interval": f"{pieces.integer(5, 60)}s", "timeout": "2s"},
        "resources": {
            "limits": {"cpu": f"{pieces.integer(1, 8) * 250}m", "memory": f"{pieces.integer(1, 16) * 128}Mi"},
            "requests": {"cpu": f"{pieces.integer(1, 4) * 100}m", "memory": f"{pieces.integer(1, 8) * 64}Mi"},
        },
        "labels": {
            "team": pieces.word(),
            "tier": pieces.pick(("web", "worker", "batch")),
            "owner": pieces.phrase(1, 2),
        },
    }
    if pieces.chance(0.3):
        service["script"] = "\n".join(pieces.text_line(pieces.integer(20, 60)) for _ in range(pieces.integer(2, 6)))
    return service


def build_config(count: int, dumps) -> Document:
    """A configuration: a few settings at the top, then `count` services
    of nested mappings, short lists and now and then a script."""
    pieces = TextPieces(SEED + 21)
    obj = {
        **VERSION,
        "project": {"name": pieces.word(), "owner": pieces.phrase(2, 3), "description": pieces.text_line(60)},
        "logging": {"level": "info", "format": "json", "outputs": ["stdout", "/var/log/" + pieces.word() + ".log"]},
        "services": {f"{pieces.word()}_{index:04d}": _service(pieces, index) for index in range(count)},
    }
    return Document("config", count, obj, dumps(obj), to_json(obj), to_yaml(obj))


@dataclass(frozen=True)
class FixedShape:
    name: str
    title: str
    count: int
    build: Callable[[int, Callable], Document]


FIXED_SHAPES = (
    FixedShape("maps", "1,000 maps of 10 keys", 1_000, build_repeated_keys),
    FixedShape("unique_keys", "20,000 unique keys", 20_000, build_unique_keys),
    FixedShape("strings", "a list of 100,000 strings", 100_000, build_short_strings),
    FixedShape("blocks", "1,000 literal blocks of 50 lines", 1_000, build_blocks),
    FixedShape("deep", f"200 trees {DEEP_DEPTH} deep", 200 * DEEP_DEPTH, build_deep),
    FixedShape("config", "a configuration of 300 services", 300, build_config),
)
FIXED_SHAPES_BY_NAME = {shape.name: shape for shape in FIXED_SHAPES}


@dataclass(frozen=True)
class Figure:
    """One headline: vorn's call over a peer's, or vorn's memory over json's."""

    name: str
    label: str
    target: float


FIGURES = (
    Figure("loads_orjson", "loads / orjson.loads", 1.0),
    Figure("loads_msgspec", "loads / msgspec.json.decode", 1.0),
    Figure("loads_pickle", "loads / pickle.loads", 1.3),
    Figure("dumps_orjson", "dumps / orjson.dumps(OPT_INDENT_2 | OPT_SORT_KEYS)", 1.5),
    Figure("memory_json", "peak memory, loads / json.loads", 1.1),
)


@dataclass
class ShapeResult:
    shape: str
    vorn_bytes: int
    # Median seconds per call, by call name.
    seconds: dict
    ratios: dict
    # loads and dumps at 4N over N, when measured.
    growth: dict = field(default_factory=dict)


def calls(vorn) -> dict:
    """Every call timed, by name: (input form, function). A peer that does
    not import is left out, and its figures with it."""
    table = {
        "vorn loads": ("vorn", vorn.loads),
        "json.loads": ("json", json.loads),
        "pickle.loads": ("pickle", pickle.loads),
        "vorn dumps": ("obj", vorn.dumps),
    }
    try:
        import orjson

        options = orjson.OPT_INDENT_2 | orjson.OPT_SORT_KEYS
        table["orjson.loads"] = ("json", orjson.loads)
        table["orjson.dumps"] = ("obj", lambda obj: orjson.dumps(obj, option=options))
    except ImportError:
        pass
    try:
        import msgspec

        table["msgspec.json.decode"] = ("json", msgspec.json.Decoder().decode)
    except ImportError:
        pass
    return table


# The calls timed again at 4N: vorn's, and orjson's beside them, whose
# growth shows how much of vorn's the machine's caches cause.
GROWTH_CALLS = ("vorn loads", "vorn dumps", "orjson.loads", "orjson.dumps")

RATIO_CALLS = {
    "loads_orjson": ("vorn loads", "orjson.loads"),
    "loads_msgspec": ("vorn loads", "msgspec.json.decode"),
    "loads_pickle": ("vorn loads", "pickle.loads"),
    "dumps_orjson": ("vorn dumps", "orjson.dumps"),
}


def interleaved_medians(named_calls: dict, inputs: dict, rounds: int) -> dict:
    """The median time per call of each call over `rounds` rounds in which
    the calls take turns. A round of a call repeats it for about
    TARGET_RUN_SECONDS; its results are kept until its time is taken, so
    that freeing them is not timed."""
    loops = {}
    for name, (form, call) in named_calls.items():
        _, seconds = warm_up(call, inputs[form])
        loops[name] = max(1, int(TARGET_RUN_SECONDS / max(seconds, 1e-9)))
    gc.collect()
    per_call = {name: [] for name in named_calls}
    for _ in range(rounds):
        for name, (form, call) in named_calls.items():
            argument = inputs[form]
            kept = [None] * loops[name]
            start = time.process_time()
            for index in range(loops[name]):
                kept[index] = call(argument)
            per_call[name].append((time.process_time() - start) / loops[name])
            del kept
    return {name: statistics.median(times) for name, times in per_call.items()}


def _inputs(document: Document) -> dict:
    return {
        "vorn": document.vorn,
        "json": document.json,
        "pickle": pickle.dumps(document.obj, protocol=pickle.HIGHEST_PROTOCOL),
        "obj": document.obj,
    }


def _checked(document: Document, named_calls: dict, inputs: dict) -> None:
    """Every loader must give the document's objects, and vorn's text must
    read back to them, before anything is timed."""
    for name, (form, call) in named_calls.items():
        if name.endswith("loads") or name.endswith("decode"):
            if call(inputs[form]) != document.obj:
                raise AssertionError(f"{document.shape}: {name} does not give the document's objects")
    vorn_loads = named_calls["vorn loads"][1]
    if vorn_loads(named_calls["vorn dumps"][1](document.obj)) != document.obj:
        raise AssertionError(f"{document.shape}: vorn dumps does not read back to its objects")


def measure_shape(shape: FixedShape, vorn, rounds: int, with_memory: bool, with_scaling: bool) -> ShapeResult:
    named_calls = calls(vorn)
    document = shape.build(shape.count, vorn.dumps)
    inputs = _inputs(document)
    _checked(document, named_calls, inputs)
    seconds = interleaved_medians(named_calls, inputs, rounds)
    ratios = {
        name: seconds[top] / seconds[bottom]
        for name, (top, bottom) in RATIO_CALLS.items()
        if top in seconds and bottom in seconds
    }
    if with_memory:
        ratios["memory_json"] = measure_memory(document, ROOT).ratio
    result = ShapeResult(shape.name, len(document.vorn.encode()), seconds, ratios)
    if with_scaling:
        larger = shape.build(GROWTH * shape.count, vorn.dumps)
        grown_calls = {name: named_calls[name] for name in GROWTH_CALLS if name in named_calls}
        small = {name: seconds[name] for name in grown_calls}
        del document, inputs
        large = interleaved_medians(grown_calls, _inputs(larger), rounds)
        result.growth = {name: large[name] / small[name] for name in grown_calls}
    return result


def geometric_mean(values) -> float | None:
    values = [value for value in values if value is not None]
    return statistics.geometric_mean(values) if values else None


def headlines(results) -> list:
    """(figure, geometric mean over the documents, worst document and its
    value) for each of the five figures."""
    lines = []
    for figure in FIGURES:
        present = [(result.ratios[figure.name], result.shape) for result in results if figure.name in result.ratios]
        mean = geometric_mean(value for value, _ in present)
        worst = max(present) if present else None
        lines.append((figure, mean, worst))
    return lines


def _ratio(value) -> str:
    return "–" if value is None else f"{value:.2f}"


def section(results, heading: str = "##") -> list:
    """The Markdown of the figures: the headlines, then every document."""
    lines = [
        f"{heading} Against the fastest peers",
        "",
        "Six documents of fixed size (below), the calls of each taking turns in one process; a time is "
        f"the median of {ROUNDS} rounds, and a ratio divides vorn's time by the peer's on the same "
        "objects. Memory: the peak resident set of one `loads` over that of one `json.loads`, each in "
        "fresh processes. Growth: the time at 4N over N (linear: 4), vorn's and orjson's.",
        "",
        "| figure | geometric mean | worst document | target |",
        "|---|---|---|---|",
    ]
    for figure, mean, worst in headlines(results):
        shown = "–" if worst is None else f"{worst[1]} {worst[0]:.2f}"
        lines.append(f"| {figure.label} | {_ratio(mean)} | {shown} | ≤ {figure.target:g} |")
    lines += [
        "",
        "| document | vorn KB | loads ms | dumps ms | "
        + " | ".join(figure.name.replace("_", " ÷ ") for figure in FIGURES)
        + " | loads growth | dumps growth | orjson loads growth | orjson dumps growth |",
        "|---|---|---|---|" + "---|" * len(FIGURES) + "---|---|---|---|",
    ]
    for result in results:
        title = FIXED_SHAPES_BY_NAME[result.shape].title
        cells = [
            f"{result.shape} ({title})",
            f"{result.vorn_bytes / 1e3:,.0f}",
            f"{result.seconds['vorn loads'] * 1e3:.3g}",
            f"{result.seconds['vorn dumps'] * 1e3:.3g}",
        ]
        cells += [_ratio(result.ratios.get(figure.name)) for figure in FIGURES]
        cells += [_ratio(result.growth.get(name)) for name in GROWTH_CALLS]
        lines.append("| " + " | ".join(cells) + " |")
    return lines + [""]


def measure_all(vorn, names, rounds: int, with_memory: bool, with_scaling: bool, log=None) -> list:
    results = []
    for name in names:
        results.append(measure_shape(FIXED_SHAPES_BY_NAME[name], vorn, rounds, with_memory, with_scaling))
        if log is not None:
            shown = ", ".join(f"{key} {value:.2f}" for key, value in results[-1].ratios.items())
            log(f"fastest peers {name}: {shown}")
    return results


def main(argv=None) -> None:
    parser = argparse.ArgumentParser(
        prog="python -m bench.fastest_peers", description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--rounds", type=int, default=ROUNDS, help=f"rounds of turns per document (default {ROUNDS})")
    parser.add_argument("--shapes", nargs="+", choices=list(FIXED_SHAPES_BY_NAME), default=list(FIXED_SHAPES_BY_NAME))
    parser.add_argument("--no-memory", action="store_true", help="skip the memory probes")
    parser.add_argument("--no-scaling", action="store_true", help="skip the 4N documents")
    arguments = parser.parse_args(argv)

    import _vorn_native

    def log(message):
        print(message, file=sys.stderr, flush=True)

    results = measure_all(
        _vorn_native, arguments.shapes, arguments.rounds, not arguments.no_memory, not arguments.no_scaling, log
    )
    print("\n".join(section(results)))


if __name__ == "__main__":
    main()
