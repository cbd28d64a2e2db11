"""What changing one value of a document costs: read it for editing, set one
scalar, write the text back.

    python -m bench.editing [--size "2 MB"] [--peer-size "200 KB"] [--shapes ...] [--runs N]

vorn: ``vorn.Document.parse(text)``, the scalar set in ``data``, ``dumps()``;
timed against ``vorn.loads`` of the same text, at --size (2 MB). The
peers, which keep comments and layout too, do the same on the same data at
--peer-size (200 KB, where they already take up to a second a call),
against vorn's edit at that size: ruamel.yaml's round-trip mode
(``YAML()``: load, set, dump to a StringIO) on the YAML of the bench
shapes, and tomlkit (parse, set, ``tomlkit.dumps``) on their TOML. The
scalar is a string of the document's own, mid-document (never one an
alias or merge shares), and gets "-edited" appended.

Before anything is timed, every tool's output is read back (by vorn,
PyYAML and tomllib) and must hold the changed data; the lines each changed
are reported. Times are process CPU time, the minimum over --runs rounds
in which the calls compared take turns (bench/checked_writer.py); each
peer comparison runs every tool in a process of its own
(isolated_minimums). Writes
bench/EDITING.md and bench/editing.png (see --report, --chart).
"""

import argparse
import copy
import difflib
import gc
import io
import multiprocessing
import shlex
import sys
import time
import tomllib
from collections.abc import Callable
from dataclasses import dataclass
from pathlib import Path

import tomlkit
import vorn
import yaml
from ruamel.yaml import YAML

from bench.checked_writer import interleaved_minimums
from bench.documents import SIZES, build_sized
from bench.machine import describe, load_average
from bench.renderers import to_toml
from bench.shapes import SHAPES, SHAPES_BY_NAME
from bench.timing import TARGET_RUN_SECONDS, warm_up

ROOT = Path(__file__).resolve().parent.parent
_SafeLoader = getattr(yaml, "CSafeLoader", yaml.SafeLoader)
# The round-trip mode (typ="rt", the default), made once as a program would.
_ROUND_TRIP = YAML()

Steps = tuple[str | int, ...]

# What the edit is held to: at most this many times `loads` of the same
# text, and at least these many times faster than each peer.
EDIT_OVER_LOADS_TARGET = 1.5
RUAMEL_TARGET = 300
TOMLKIT_TARGET = 100


def _middle(container) -> str | int:
    return len(container) // 2 if isinstance(container, list) else list(container)[len(container) // 2]


# Per shape, where its changed scalar is: in the middle of the document,
# and written there, not shared through an anchor.
SCALARS: dict[str, Callable[[dict], Steps]] = {
    "repeated_keys": lambda obj: ("records", _middle(obj["records"]), "name"),
    "unique_keys": lambda obj: (_middle(obj),),
    "short_strings": lambda obj: ("items", _middle(obj["items"])),
    "literal_blocks": lambda obj: ("blocks", _middle(obj["blocks"])),
    "deep": lambda obj: ("chains", _middle(obj["chains"]), "next", "next", "id"),
    "commented": lambda obj: ("records", _middle(obj["records"]), "name"),
    "anchors": lambda obj: ("services", _middle(obj["services"]), "name"),
    "non_ascii": lambda obj: ("records", _middle(obj["records"]), "名前"),
}


def _set(data, steps: Steps, value: str) -> None:
    for step in steps[:-1]:
        data = data[step]
    data[steps[-1]] = value


def _get(data, steps: Steps):
    for step in steps:
        data = data[step]
    return data


@dataclass
class Edit:
    """One document's change and the calls that make it."""

    steps: Steps
    value: str
    expected: dict

    def vorn(self, text: str) -> str:
        document = vorn.Document.parse(text)
        _set(document.data, self.steps, self.value)
        return document.dumps()

    def ruamel(self, text: str) -> str:
        data = _ROUND_TRIP.load(text)
        _set(data, self.steps, self.value)
        output = io.StringIO()
        _ROUND_TRIP.dump(data, output)
        return output.getvalue()

    def tomlkit(self, text: str) -> str:
        data = tomlkit.parse(text)
        _set(data, self.steps, self.value)
        return tomlkit.dumps(data)


def edit_of(obj: dict, shape: str) -> Edit:
    steps = SCALARS[shape](obj)
    value = _get(obj, steps) + "-edited"
    expected = copy.deepcopy(obj)
    _set(expected, steps, value)
    return Edit(steps, value, expected)


def changed_lines(before: str, after: str) -> str:
    """ "removed/added": the lines a unified diff of the two texts takes
    out and puts in."""
    diff = list(difflib.unified_diff(before.split("\n"), after.split("\n"), lineterm="", n=0))[2:]
    removed = sum(1 for line in diff if line.startswith("-"))
    added = sum(1 for line in diff if line.startswith("+"))
    return f"{removed}/{added}"


@dataclass
class Row:
    shape: str
    size_bytes: int
    loads_s: float
    edit_s: float
    vorn_lines: str
    peer_size_bytes: int = 0
    peer_edit_s: float = 0.0
    ruamel_s: float = 0.0
    ruamel_lines: str = ""
    tomlkit_s: float = 0.0
    tomlkit_lines: str = ""


def _tool_worker(connection, tool: str, text: str, edit: Edit) -> None:
    """Runs one tool's edit in a process of its own: each "run" times the
    calls of one turn and answers the time per call."""
    call = getattr(edit, tool)
    _, seconds = warm_up(call, text)
    loops = max(1, int(TARGET_RUN_SECONDS / max(seconds, 1e-9)))
    gc.collect()
    while connection.recv() == "run":
        start = time.process_time()
        for _ in range(loops):
            call(text)
        connection.send((time.process_time() - start) / loops)


def isolated_minimums(jobs: list[tuple[str, str, Edit]], runs: int) -> list[float]:
    """The minimum time per call of each (tool, text, edit), each tool in a
    process of its own and the tools taking turns for `runs` rounds.

    In one process, a tool runs in a heap the others shaped: whether the
    allocator gave vorn's freed megabyte back to the system after each
    call (and vorn faulted it in again at the next) depended on what ran
    before, and its time swung between two levels 1.7 times apart. In a
    process of its own each tool's time is steady; vorn's is the higher
    of the two levels, that of a program doing nothing but edits."""
    context = multiprocessing.get_context("spawn")
    workers = []
    for job in jobs:
        ours, theirs = context.Pipe()
        process = context.Process(target=_tool_worker, args=(theirs, *job), daemon=True)
        process.start()
        workers.append((process, ours))
    best = [float("inf")] * len(jobs)
    try:
        for _ in range(runs):
            for index, (_, connection) in enumerate(workers):
                connection.send("run")
                best[index] = min(best[index], connection.recv())
    finally:
        for process, connection in workers:
            connection.send("stop")
            process.join()
    return best


def _checked(name: str, output: str, read: Callable[[str], object], edit: Edit, shape: str) -> str:
    if read(output) != edit.expected:
        raise AssertionError(f"{shape}: {name}'s output does not read back as the changed data")
    return output


def measure(shape: str, size: str, peer_size: str, runs: int, log) -> Row:
    document = build_sized(SHAPES_BY_NAME[shape], SIZES[size], vorn.dumps)
    edit = edit_of(document.obj, shape)
    text = document.vorn
    edited = _checked("vorn", edit.vorn(text), vorn.loads, edit, shape)
    loads_s, edit_s = interleaved_minimums([vorn.loads, edit.vorn], text, runs)
    row = Row(shape, len(text.encode()), loads_s, edit_s, changed_lines(text, edited))
    log(f"{shape} {size}: loads {loads_s * 1e3:.1f} ms, edit {edit_s * 1e3:.1f} ms")
    if not peer_size:
        return row

    document = build_sized(SHAPES_BY_NAME[shape], SIZES[peer_size], vorn.dumps)
    edit = edit_of(document.obj, shape)
    texts = {"vorn": document.vorn, "yaml": document.yaml, "toml": to_toml(document.obj)}
    if tomllib.loads(texts["toml"]) != document.obj:
        raise AssertionError(f"{shape}: the TOML does not read as the data")
    _checked("vorn", edit.vorn(texts["vorn"]), vorn.loads, edit, shape)
    ruamel_text = _checked("ruamel.yaml", edit.ruamel(texts["yaml"]), lambda t: yaml.load(t, _SafeLoader), edit, shape)
    toml_text = _checked("tomlkit", edit.tomlkit(texts["toml"]), tomllib.loads, edit, shape)
    jobs = [("vorn", texts["vorn"], edit), ("ruamel", texts["yaml"], edit), ("tomlkit", texts["toml"], edit)]
    row.peer_size_bytes = len(texts["vorn"].encode())
    row.peer_edit_s, row.ruamel_s, row.tomlkit_s = isolated_minimums(jobs, runs)
    row.ruamel_lines = changed_lines(texts["yaml"], ruamel_text)
    row.tomlkit_lines = changed_lines(texts["toml"], toml_text)
    log(
        f"{shape} {peer_size}: edit {row.peer_edit_s * 1e3:.2f} ms, ruamel.yaml {row.ruamel_s * 1e3:.0f} ms, "
        f"tomlkit {row.tomlkit_s * 1e3:.0f} ms"
    )
    return row


def _geomean(values) -> float:
    values = list(values)
    product = 1.0
    for value in values:
        product *= value
    return product ** (1 / len(values))


def _ms(seconds: float) -> str:
    value = seconds * 1e3
    return f"{value:.3g}" if value < 100 else f"{value:,.0f}"


METHOD = """\
vorn: `vorn.Document.parse(text)`, the scalar set in `data`, `dumps()`, timed against `vorn.loads` of
the same text. The peers, which keep comments and layout too, do the same on the same data, against
vorn's edit at their size: ruamel.yaml's round-trip mode (`YAML()`, typ="rt": load, set, dump to a
`StringIO`) on the YAML of the bench shapes, and tomlkit (`parse`, set, `dumps`) on their TOML
(written once by `tomlkit.dumps` of the data, so the commented shape's TOML has no comments). The
changed scalar is mid-document and written there (not shared through an anchor); it gets "-edited"
appended. Every tool's output is first read back (by vorn, PyYAML and tomllib) and must hold the
changed data. Times are process CPU time, the minimum over the rounds in which the calls compared
take turns. Against the peers, each tool runs in a process of its own, so that none runs in a heap
another shaped: in one process, vorn's time swung between two levels 1.7 times apart with what ran
before it; alone it is steady, at the higher level, that of a program doing nothing but edits."""


def report(rows: list[Row], size: str, peer_size: str, command: str) -> str:
    lines = [
        "# Editing: read for editing, change one scalar, write back",
        "",
        "Reproduce with (after `scripts/bench`'s set-up, or `pip install -r bench/requirements.txt`):",
        "",
        "```sh",
        command,
        "```",
        "",
        METHOD,
        "",
        f"## vorn: the edit against `vorn.loads` ({size}; target: at most {EDIT_OVER_LOADS_TARGET:g})",
        "",
        "| shape | KB | loads ms | edit ms | edit / loads | lines removed/added |",
        "|---|---|---|---|---|---|",
    ]
    for row in rows:
        lines.append(
            f"| {row.shape} | {row.size_bytes / 1e3:,.0f} | {_ms(row.loads_s)} | {_ms(row.edit_s)} "
            f"| {row.edit_s / row.loads_s:.2f} | {row.vorn_lines} |"
        )
    ratios = [row.edit_s / row.loads_s for row in rows]
    worst = max(rows, key=lambda row: row.edit_s / row.loads_s)
    lines += [
        "",
        f"Geometric mean {_geomean(ratios):.2f}; worst {max(ratios):.2f} ({worst.shape}).",
        "",
    ]
    peers = [row for row in rows if row.peer_size_bytes]
    if peers:
        lines += [
            f"## The peers ({peer_size}; targets: ruamel.yaml at least {RUAMEL_TARGET} times, "
            f"tomlkit at least {TOMLKIT_TARGET} times vorn's time)",
            "",
            "| shape | vorn KB | vorn edit ms | ruamel.yaml rt ms | ruamel / vorn | tomlkit ms | tomlkit / vorn "
            "| lines removed/added: vorn, ruamel, tomlkit |",
            "|---|---|---|---|---|---|---|---|",
        ]
        for row in peers:
            lines.append(
                f"| {row.shape} | {row.peer_size_bytes / 1e3:,.0f} | {_ms(row.peer_edit_s)} | {_ms(row.ruamel_s)} "
                f"| {row.ruamel_s / row.peer_edit_s:,.0f} | {_ms(row.tomlkit_s)} "
                f"| {row.tomlkit_s / row.peer_edit_s:,.0f} | {row.vorn_lines}, {row.ruamel_lines}, {row.tomlkit_lines} |"
            )
        ruamel = [row.ruamel_s / row.peer_edit_s for row in peers]
        toml = [row.tomlkit_s / row.peer_edit_s for row in peers]
        lines += [
            "",
            f"ruamel.yaml / vorn: geometric mean {_geomean(ruamel):,.0f}, least {min(ruamel):,.0f}. "
            f"tomlkit / vorn: geometric mean {_geomean(toml):,.0f}, least {min(toml):,.0f}.",
            "",
        ]
    lines += ["## Machine", ""]
    facts = describe(ROOT)
    facts["peers"] = f"ruamel.yaml {_version('ruamel.yaml')}, tomlkit {_version('tomlkit')}, PyYAML {yaml.__version__}"
    facts["load average"] = load_average()
    lines += [f"- {label}: {value}" for label, value in facts.items()] + [""]
    return "\n".join(lines)


def _version(package: str) -> str:
    from importlib import metadata

    return metadata.version(package)


def chart(rows: list[Row], size: str, peer_size: str, path: Path) -> None:
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.ticker import FixedLocator, FormatStrFormatter, NullLocator

    names = [row.shape for row in rows]
    figure, (left, right) = plt.subplots(1, 2, figsize=(14, 4.5))
    left.bar(range(len(rows)), [row.edit_s / row.loads_s for row in rows], 0.6, label="edit / loads")
    left.axhline(EDIT_OVER_LOADS_TARGET, color="grey", linestyle="--", linewidth=0.8)
    left.set_xticks(range(len(rows)), names, rotation=30, ha="right", fontsize=8)
    left.set_title(
        f"{size}: vorn's edit over vorn.loads (lower is better; target {EDIT_OVER_LOADS_TARGET:g} dashed)", fontsize=10
    )
    peers = [row for row in rows if row.peer_size_bytes]
    if peers:
        step = 0.4
        series = (
            ("ruamel.yaml round-trip / vorn", [row.ruamel_s / row.peer_edit_s for row in peers]),
            ("tomlkit / vorn", [row.tomlkit_s / row.peer_edit_s for row in peers]),
        )
        for index, (label, values) in enumerate(series):
            right.bar([x + (index - 0.5) * step for x in range(len(peers))], values, step, label=label)
        right.set_yscale("log")
        right.set_ylim(10, max(max(values) for _, values in series) * 3)
        right.yaxis.set_major_locator(FixedLocator((10, 30, 100, 300, 1000, 3000, 10000)))
        right.yaxis.set_major_formatter(FormatStrFormatter("%g"))
        right.yaxis.set_minor_locator(NullLocator())
        for bound in (RUAMEL_TARGET, TOMLKIT_TARGET):
            right.axhline(bound, color="grey", linestyle="--", linewidth=0.8)
        right.set_xticks(range(len(peers)), [row.shape for row in peers], rotation=30, ha="right", fontsize=8)
        right.set_title(
            f"{peer_size}: the peers' edit over vorn's (higher is better; targets {RUAMEL_TARGET}, {TOMLKIT_TARGET})",
            fontsize=10,
        )
        right.legend(fontsize=7, loc="upper left")
    figure.tight_layout()
    figure.savefig(path, dpi=90)
    plt.close(figure)


def main(argv=None) -> None:
    parser = argparse.ArgumentParser(
        prog="python -m bench.editing", description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--size", choices=list(SIZES), default="2 MB", help="vorn's size (default: 2 MB)")
    parser.add_argument(
        "--peer-size", choices=[*SIZES, ""], default="200 KB", help='the peers\' size; "" skips them (default: 200 KB)'
    )
    parser.add_argument("--shapes", nargs="+", choices=list(SHAPES_BY_NAME), default=[shape.name for shape in SHAPES])
    parser.add_argument("--runs", type=int, default=7, help="rounds of turns (default: 7)")
    parser.add_argument("--report", type=Path, default=ROOT / "bench" / "EDITING.md", help="Markdown to write")
    parser.add_argument("--chart", type=Path, default=ROOT / "bench" / "editing.png", help="PNG to write")
    arguments = parser.parse_args(argv)

    def log(message: str) -> None:
        print(message, file=sys.stderr, flush=True)

    rows = [measure(shape, arguments.size, arguments.peer_size, arguments.runs, log) for shape in arguments.shapes]
    command = shlex.join(["python", "-m", "bench.editing", *(sys.argv[1:] if argv is None else argv)])
    text = report(rows, arguments.size, arguments.peer_size, command)
    arguments.report.write_text(text, encoding="utf-8")
    chart(rows, arguments.size, arguments.peer_size, arguments.chart)
    print(text)


if __name__ == "__main__":
    main()
