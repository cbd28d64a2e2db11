"""Runs the C++ micro-benchmark of the core on the generated documents and
reads its parse and emit throughput."""

import json
import subprocess
from dataclasses import dataclass
from pathlib import Path


@dataclass(frozen=True)
class CoreThroughput:
    document: str
    parse_mb_s: float | None
    emit_mb_s: float | None
    error: str | None = None


def document_name(shape: str, size: str) -> str:
    return f"{shape}-{size.replace(' ', '')}"


def clear_documents(directory: Path) -> None:
    directory.mkdir(parents=True, exist_ok=True)
    for old in directory.glob("*.vorn"):
        old.unlink()


def write_document(directory: Path, shape: str, size: str, text: str) -> None:
    Path(directory, document_name(shape, size) + ".vorn").write_text(text, encoding="utf-8")


def parse_report(report: dict) -> list:
    """Rows from Google Benchmark's JSON report, in document order."""
    by_document = {}
    errors = {}
    for entry in report["benchmarks"]:
        operation, _, document = entry["name"].partition("/")
        if operation not in ("parse", "emit"):
            continue  # the micro-benchmarks of one part, in items per second
        row = by_document.setdefault(document, {})
        if entry.get("error_occurred"):
            errors[document] = entry.get("error_message", "error")
            continue
        row[operation] = entry["bytes_per_second"] / 1e6
    return [
        CoreThroughput(document, row.get("parse"), row.get("emit"), errors.get(document))
        for document, row in by_document.items()
    ]


def run_core_bench(binary: Path, directory: Path, min_time_s: float = 0.2) -> list:
    completed = subprocess.run(
        [str(binary), f"--docs={directory}", "--benchmark_format=json", f"--benchmark_min_time={min_time_s}"],
        capture_output=True,
        text=True,
        check=True,
    )
    return parse_report(json.loads(completed.stdout))
