"""Measures one document: checks every loader's result, then times every
loader and dumper that applies at its size, then the memory of loads."""

from pathlib import Path

from bench.documents import binary_forms, check_agreement, count_objects
from bench.memory import measure_memory
from bench.peers import PeerSet
from bench.ratios import CaseResult
from bench.shapes import Document
from bench.timing import time_calls, warm_up


def _inputs(document: Document) -> dict:
    return {
        "vorn": document.vorn,
        "json": document.json,
        "yaml": document.yaml,
        "obj": document.obj,
        **binary_forms(document),
    }


def _applies(peer, inputs) -> bool:
    argument = inputs[peer.form]
    size = len(argument.encode()) if isinstance(argument, str) else len(inputs["vorn"].encode())
    return peer.max_bytes is None or size <= peer.max_bytes


def measure_document(document: Document, size: str, peers: PeerSet, vorn, with_memory: bool, root: Path) -> CaseResult:
    inputs = _inputs(document)
    loaders = [peer for peer in peers.loaders if _applies(peer, inputs)]
    dumpers = [peer for peer in peers.dumpers if _applies(peer, inputs)]

    # Warm-ups first: their results are checked before anything is timed.
    first_loads, loaded = {}, {}
    for peer in loaders:
        result, first_loads[peer.name] = warm_up(peer.call, inputs[peer.form])
        if peer.checked:
            loaded[peer.name] = result
    check_agreement(document, vorn.loads, loaded)
    del loaded
    first_dumps = {}
    for peer in dumpers:
        text, first_dumps[peer.name] = warm_up(peer.call, document.obj)
        if peer.name == "vorn" and vorn.loads(text) != document.obj:
            raise AssertionError(f"{document.shape}: vorn dumps does not read back to its objects")

    case = CaseResult(
        shape=document.shape,
        size=size,
        count=document.count,
        input_bytes={form: len(inputs[form].encode()) for form in ("vorn", "json", "yaml")},
        objects=count_objects(document.obj),
    )
    for peer in loaders:
        case.loads[peer.name] = time_calls(peer.call, inputs[peer.form], first_loads[peer.name])
    for peer in dumpers:
        case.dumps[peer.name] = time_calls(peer.call, document.obj, first_dumps[peer.name])
    if with_memory:
        case.memory = measure_memory(document, root)
    return case
