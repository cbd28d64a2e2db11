"""bench/RESULTS.md: the Targets, per-document ratios, every timing, the
scaling runs and the core's throughput, as Markdown tables."""

from bench import fastest_peers
from bench.ratios import RATIOS, TARGET_SIZES, headlines

_LOADERS_SHOWN = ("vorn", "json", "orjson", "pickle", "marshal", "yaml_csafe", "yaml_cbase", "ruamel")
_DUMPERS_SHOWN = ("vorn", "json_pretty", "json", "orjson", "pickle", "yaml_csafe", "ruamel")
_PEER_HEADINGS = {
    "vorn": "vorn",
    "json": "json",
    "orjson": "orjson",
    "pickle": "pickle",
    "marshal": "marshal",
    "yaml_csafe": "PyYAML C safe",
    "yaml_cbase": "PyYAML C base",
    "ruamel": "ruamel safe",
    "json_pretty": "json indent=2 sorted",
}


def ms(seconds: float | None) -> str:
    if seconds is None:
        return "–"
    value = seconds * 1e3
    return f"{value:.3g}" if value < 100 else f"{value:.0f}"


def ratio(value: float | None) -> str:
    if value is None:
        return "–"
    return f"{value:.2f}" if value < 100 else f"{value:.0f}"


def kilobytes(count: int) -> str:
    return f"{count / 1e3:,.1f}"


def table(headings, rows) -> list:
    lines = ["| " + " | ".join(headings) + " |", "|" + "|".join("---" for _ in headings) + "|"]
    lines += ["| " + " | ".join(str(cell) for cell in row) + " |" for row in rows]
    return lines + [""]


def _min_median(timing) -> str:
    return "–" if timing is None else f"{ms(timing.min_s)} / {ms(timing.median_s)}"


def targets_section(cases) -> list:
    rows = []
    for line in headlines(cases):
        bound = ("≤ " if line.kind == "max" else "≥ ") + f"{line.bound:g}"
        met = {True: "yes", False: "**no**", None: "not measured"}[line.met]
        rows.append((line.label, ratio(line.value), bound, met, line.count))
    return [
        "## Targets",
        "",
        f"Over the shapes at {' and '.join(TARGET_SIZES)}: geometric means of the ratios of "
        "minimum times per call, and the worst single shape. Memory compares peak "
        "resident-set growth during one call (see Method).",
        "",
    ] + table(("figure", "value", "target", "met", "documents"), rows)


def documents_section(cases) -> list:
    rows = [
        (
            case.shape,
            case.size,
            f"{case.count:,}",
            kilobytes(case.input_bytes["vorn"]),
            kilobytes(case.input_bytes["json"]),
            kilobytes(case.input_bytes["yaml"]),
            f"{case.objects:,}",
        )
        for case in cases
    ]
    return ["## Documents", ""] + table(("shape", "size", "count", "vorn KB", "JSON KB", "YAML KB", "objects"), rows)


# Short column headings for the ratios; the section's legend spells them out.
_SHORT = {
    "loads_json": "loads ÷ json",
    "loads_orjson": "loads ÷ orjson",
    "loads_pickle": "loads ÷ pickle",
    "csafe_loads": "CSafeLoader ÷ loads",
    "cbase_loads": "CBaseLoader ÷ loads",
    "dumps_json": "dumps ÷ json indent",
    "csafe_dumps": "CSafeDumper ÷ dumps",
}


def ratios_section(cases, sizes) -> list:
    legend = "; ".join(f"{_SHORT[r.name]}: {r.label}" for r in RATIOS)
    lines = [
        "## Ratios by document",
        "",
        "Ratios of minimum times per call; ns/object is vorn loads' minimum time over the "
        "number of dict, list and str objects (keys included) it returns; memory is the peak "
        f"over the loader's own input size, and vorn's peak over json's. Columns: {legend}.",
        "",
    ]
    headings = (
        ["shape", "vorn loads ms (min / median)", "ns/object"]
        + [_SHORT[r.name] for r in RATIOS]
        + ["vorn dumps ms (min / median)", "memory vorn/input", "memory json/input", "memory vorn/json"]
    )
    for size in sizes:
        rows = []
        for case in (case for case in cases if case.size == size):
            memory = case.memory
            rows.append(
                [
                    case.shape,
                    _min_median(case.loads.get("vorn")),
                    f"{case.loads['vorn'].min_s * 1e9 / case.objects:.0f}",
                ]
                + [ratio(r.of(case)) for r in RATIOS]
                + [
                    _min_median(case.dumps.get("vorn")),
                    ratio(memory and memory.vorn_per_input),
                    ratio(memory and memory.json_per_input),
                    ratio(memory and memory.ratio),
                ]
            )
        lines += [f"### {size}", ""] + table(headings, rows)
    return lines


def timings_section(cases, sizes) -> list:
    lines = ["## Time per call, every peer", "", "Milliseconds, minimum / median; – where not run.", ""]
    for size in sizes:
        chosen = [case for case in cases if case.size == size]
        lines += [f"### {size}: loads", ""] + table(
            ["shape"] + [_PEER_HEADINGS[name] for name in _LOADERS_SHOWN],
            [[case.shape] + [_min_median(case.loads.get(name)) for name in _LOADERS_SHOWN] for case in chosen],
        )
        lines += [f"### {size}: dumps", ""] + table(
            ["shape"] + [_PEER_HEADINGS[name] for name in _DUMPERS_SHOWN],
            [[case.shape] + [_min_median(case.dumps.get(name)) for name in _DUMPERS_SHOWN] for case in chosen],
        )
    return lines


def scaling_section(results) -> list:
    rows = []
    for result in results:
        dumps = [ms(timing.min_s) for timing in result.dumps] or ["–", "–"]
        rows.append(
            (
                result.case.name,
                f"{result.case.count:,} {result.case.unit}",
                kilobytes(result.small_bytes),
                ms(result.loads[0].min_s),
                ms(result.loads[1].min_s),
                ratio(result.growth(result.loads)),
                ratio(result.growth(result.json_loads)),
                *dumps,
                ratio(result.growth(result.dumps)),
            )
        )
    return [
        "## Scaling",
        "",
        "vorn's minimum times (ms) at N and 4N units; linear work gives a ratio near 4. json.loads "
        "on the same objects shows how much of a ratio above 4 the machine's caches alone cause.",
        "",
    ] + table(
        (
            "case",
            "N",
            "vorn KB at N",
            "loads N",
            "loads 4N",
            "loads ratio",
            "json.loads ratio",
            "dumps N",
            "dumps 4N",
            "dumps ratio",
        ),
        rows,
    )


def core_section(rows) -> list:
    body = [(row.document, ratio(row.parse_mb_s), ratio(row.emit_mb_s), row.error or "") for row in rows]
    return [
        "## Core alone (C++)",
        "",
        "`read_document` (the reader as `loads` uses it) and `emit` on the same vorn texts, "
        "without Python (Google Benchmark, MB/s of vorn text).",
        "",
    ] + table(("document", "parse MB/s", "emit MB/s", "error"), body)


def render(machine: dict, command: str, date: str, cases, sizes, scaling, core, notes, chart, fastest=()) -> str:
    lines = [
        "# Benchmark results",
        "",
        f"Produced by `{command}` on {date}; every figure below comes from that one run.",
        "",
        "## Machine",
        "",
    ] + table(("", ""), machine.items())
    lines += targets_section(cases)
    if fastest:
        lines += fastest_peers.section(fastest)
    if chart:
        lines += [f"![Ratios at {' and '.join(TARGET_SIZES)}]({chart})", ""]
    lines += ratios_section(cases, sizes)
    if scaling:
        lines += scaling_section(scaling)
    if core:
        lines += core_section(core)
    lines += timings_section(cases, sizes)
    lines += documents_section(cases)
    lines += ["## Method", ""] + [f"- {note}" for note in notes] + [""]
    return "\n".join(lines)
