"""Peak memory of vorn's loads and json.loads on the same document, each in
fresh processes (see memory_probe.py), relative to the input size."""

import statistics
import subprocess
import sys
import tempfile
from dataclasses import dataclass
from pathlib import Path

from bench.shapes import Document

PROBES_PER_LOADER = 3


@dataclass(frozen=True)
class MemoryFigures:
    vorn_input: int
    json_input: int
    vorn_peak: int
    json_peak: int

    @property
    def vorn_per_input(self) -> float:
        return self.vorn_peak / self.vorn_input

    @property
    def json_per_input(self) -> float:
        return self.json_peak / self.json_input

    @property
    def ratio(self) -> float:
        """vorn's peak over json's, for the same objects."""
        return self.vorn_peak / self.json_peak


def probe(loader: str, path: Path, root: Path) -> int:
    completed = subprocess.run(
        [sys.executable, "-m", "bench.memory_probe", loader, str(path)],
        cwd=root,
        capture_output=True,
        text=True,
        check=True,
    )
    return int(completed.stdout)


def measure_memory(document: Document, root: Path) -> MemoryFigures:
    """Median peaks over a few fresh processes per loader, each loader
    reading its own rendering of the document."""
    with tempfile.TemporaryDirectory() as scratch:
        vorn_path = Path(scratch, "doc.vorn")
        json_path = Path(scratch, "doc.json")
        vorn_path.write_text(document.vorn, encoding="utf-8")
        json_path.write_text(document.json, encoding="utf-8")
        vorn_peak = statistics.median(probe("vorn", vorn_path, root) for _ in range(PROBES_PER_LOADER))
        json_peak = statistics.median(probe("json", json_path, root) for _ in range(PROBES_PER_LOADER))
    return MemoryFigures(len(document.vorn.encode()), len(document.json.encode()), vorn_peak, json_peak)
