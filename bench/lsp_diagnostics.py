"""What the language server costs on a large document: a 2 MB document
with anchors, aliases and merges, whose schema is a pydantic model.

  parse        Document.parse of the text (the reader with positions)
  diagnostics  one change applied (a character typed in a value; a line
               added; a line removed; two lines pasted in the middle; the
               whole text sent, with a line added), then the server's
               whole check: the reading, the warnings (renewed around the
               changed lines, which a whole text shares with the last
               but for the line added), the schema's validation
  over stdio   `vorn lsp` driven by a client: 100 changes sent in a burst
               (a hover sent among them), how many diagnostics runs they
               made, how long the hover took to answer, and how long the
               diagnostics took after the last change beyond the debounce;
               a completion after '*' among all the document's anchors

    python -m bench.lsp_diagnostics [--megabytes 2] [--runs 5]

Prints the figures and the ratio diagnostics / parse. Timings are the
minimum of the runs (stdio: of one burst).
"""

from __future__ import annotations

import argparse
import asyncio
import sys
import tempfile
import time
from pathlib import Path

MODEL = """
import pydantic

class Service(pydantic.BaseModel):
    name: str
    image: str
    replicas: int
    port: int
    cpu: str
    hosts: list[str]
    env: dict[str, str]

class Deployment(pydantic.BaseModel):
    defaults: dict[str, str]
    services: dict[str, Service]
    mirrors: dict[str, Service]
"""


def document(megabytes: float) -> str:
    """Services that merge shared defaults, each anchored, and mirrors that
    are aliases of them, up to about ``megabytes``."""
    head = "# vorn: schema=bench_lsp_model:Deployment\n_vorn_version: 1.0\n"
    head += "defaults: &defaults\n  image: registry.example.com/app:1.0\n  replicas: 2\n  cpu: 500m\n"
    services, mirrors = ["services:\n"], ["mirrors:\n"]
    size = len(head)
    index = 0
    while size < megabytes * 1_000_000:
        block = (
            f"  svc{index}: &svc{index}\n    <<: *defaults\n    name: svc{index}\n    port: {8000 + index % 1000}\n"
            f"    hosts:\n      - a{index}.example\n      - b{index}.example\n"
            f"    env:\n      REGION: eu-west-1\n      MODE: standard  # the usual\n"
        )
        mirror = f"  m{index}: *svc{index}\n"
        services.append(block)
        mirrors.append(mirror)
        size += len(block) + len(mirror)
        index += 1
    return head + "".join(services) + "".join(mirrors)


def minimum(runs: int, call) -> float:
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        call()
        best = min(best, time.perf_counter() - start)
    return best


def in_process(text: str, root: Path, runs: int) -> dict[str, float]:
    from lsprotocol import types
    from vorn import Document
    from vorn.lsp.diagnostics import diagnose
    from vorn.lsp.documents import OpenDocument
    from vorn.lsp.schemas import SchemaStore

    store = SchemaStore(str(root))
    parse = minimum(runs, lambda: Document.parse(text))
    document = OpenDocument((root / "big.vorn").as_uri(), str(root / "big.vorn"), text, 1)
    assert diagnose(document, store) == []  # the schema loads once, as in the server
    middle = text[: text.index(f"  svc{text.count('&svc') // 2}: ")].count("\n") + 10

    def change_and_check(begin: tuple[int, int], end: tuple[int, int], new_text: str) -> None:
        # Each run changes the text, so nothing of the last check is kept.
        where = types.Range(types.Position(*begin), types.Position(*end))
        document.change(document.version + 1, [types.TextDocumentContentChangePartial(where, new_text)])
        assert diagnose(document, store) == []

    def typed() -> None:
        end = (4, len(document.lines.line(4)))
        change_and_check(end, end, "0")

    def line_added() -> None:
        end = (5, len(document.lines.line(5)))
        change_and_check(end, end, f"\n  note{document.version}: x")

    def line_removed() -> None:
        # One of the lines added before.
        change_and_check((6, 0), (7, 0), "")

    def lines_pasted() -> None:
        version = document.version
        change_and_check((middle, 0), (middle, 0), f"      ZONE{version}: a\n      TIER{version}: b\n")

    def whole_text_sent() -> None:
        # As a client that syncs whole texts sends a line added.
        changed = types.TextDocumentContentChangeWholeDocument(document.text + f"note{document.version}: x\n")
        document.change(document.version + 1, [changed])
        assert diagnose(document, store) == []

    return {
        "parse": parse,
        "typed": minimum(runs, typed),
        "added": minimum(runs, line_added),
        "removed": minimum(runs, line_removed),
        "pasted": minimum(runs, lines_pasted),
        "whole": minimum(runs, whole_text_sent),
    }


async def over_stdio(text: str, root: Path) -> dict[str, float]:
    from lsprotocol import types
    from pygls.lsp.client import LanguageClient

    client = LanguageClient("bench", "1")
    published: list[tuple[float, int | None]] = []
    debounce = 0.2

    @client.feature(types.TEXT_DOCUMENT_PUBLISH_DIAGNOSTICS)
    def _published(params: types.PublishDiagnosticsParams) -> None:
        published.append((time.perf_counter(), params.version))

    await client.start_io(sys.executable, "-m", "vorn", "lsp")
    await client.initialize_async(
        types.InitializeParams(
            capabilities=types.ClientCapabilities(),
            root_uri=root.as_uri(),
            initialization_options={"debounce": debounce},
        )
    )
    client.initialized(types.InitializedParams())
    uri = (root / "big.vorn").as_uri()
    client.text_document_did_open(
        types.DidOpenTextDocumentParams(types.TextDocumentItem(uri=uri, language_id="vorn", version=1, text=text))
    )
    while not published:
        await asyncio.sleep(0.01)
    published.clear()
    line = text.split("\n")[4]
    hover_line = text[: text.index("  m0: *svc0")].count("\n")
    hover_sent = hover_answered = 0.0
    for count in range(100):
        where = types.Range(types.Position(4, len(line) + count), types.Position(4, len(line) + count))
        client.text_document_did_change(
            types.DidChangeTextDocumentParams(
                types.VersionedTextDocumentIdentifier(version=2 + count, uri=uri),
                [types.TextDocumentContentChangePartial(where, "0")],
            )
        )
        if count == 49:
            hover_sent = time.perf_counter()
            hover = client.text_document_hover_async(
                types.HoverParams(types.TextDocumentIdentifier(uri), types.Position(hover_line, 6))
            )
    last_change = time.perf_counter()
    answer = await hover
    hover_answered = time.perf_counter()
    assert answer is not None
    while not published:
        await asyncio.sleep(0.005)
    await asyncio.sleep(2 * debounce)
    runs = len(published)
    after_last = published[0][0] - last_change - debounce
    # Completion after '*' among every anchor above the last line.
    lines = text.count("\n")
    client.text_document_did_change(
        types.DidChangeTextDocumentParams(
            types.VersionedTextDocumentIdentifier(version=200, uri=uri),
            [
                types.TextDocumentContentChangePartial(
                    types.Range(types.Position(lines, 0), types.Position(lines, 0)), "  new: *"
                )
            ],
        )
    )
    start = time.perf_counter()
    completed = await client.text_document_completion_async(
        types.CompletionParams(types.TextDocumentIdentifier(uri), types.Position(lines, 8))
    )
    completion = time.perf_counter() - start
    await client.shutdown_async(None)
    client.exit(None)
    await client.stop()
    return {
        "runs": runs,
        "hover": hover_answered - hover_sent,
        "after_last": after_last,
        "completion": completion,
        "anchors": len(completed.items),
    }


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--megabytes", type=float, default=2.0)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    text = document(args.megabytes)
    with tempfile.TemporaryDirectory() as folder:
        root = Path(folder)
        (root / "bench_lsp_model.py").write_text(MODEL)
        sys.path.insert(0, folder)
        lines = text.count("\n")
        print(
            f"document: {len(text.encode()) / 1e6:.2f} MB, {lines} lines, {text.count('&svc')} anchors, "
            f"{text.count('<<: *')} merges, {text.count(': *svc')} aliases"
        )
        times = in_process(text, root, args.runs)
        parse = times["parse"]
        print(f"Document.parse:              {parse * 1e3:8.1f} ms")
        for name, label in (
            ("typed", "diagnostics after a change: "),
            ("added", "... after a line added:     "),
            ("removed", "... after a line removed:   "),
            ("pasted", "... after 2 lines pasted:   "),
            ("whole", "... after a whole text sent:"),
        ):
            print(f"{label} {times[name] * 1e3:8.1f} ms  ({times[name] / parse:.2f} x parse)")
        figures = asyncio.run(over_stdio(text, root))
        print(f"100 changes in a burst:      {figures['runs']} diagnostics run(s)")
        print(f"hover sent within the burst: answered in {figures['hover'] * 1e3:.1f} ms")
        print(f"diagnostics after the burst: {figures['after_last'] * 1e3:.1f} ms beyond the debounce")
        print(f"completion after '*':        {figures['completion'] * 1e3:.1f} ms ({figures['anchors']} anchors)")


if __name__ == "__main__":
    main()
