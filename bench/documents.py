"""Documents of a given size, their object counts, and the agreement check
that every rendering loads to the same objects before anything is timed."""

import json
import marshal
import pickle

import yaml

from bench.shapes import Document, Shape

SIZES = {"2 KB": 2_000, "200 KB": 200_000, "2 MB": 2_000_000, "20 MB": 20_000_000}


def build_sized(shape: Shape, target_bytes: int, dumps) -> Document:
    """The shape's document whose vorn text is about `target_bytes` long.

    The bytes per unit are estimated from a probe document. A build that
    misses by more than a tenth is corrected in a few damped steps: the deep
    shape's lines grow with depth, so a unit of a small document of it costs
    fewer bytes than the probe's.
    """
    probe = shape.build(shape.probe_count, dumps)
    count = max(1, round(target_bytes * shape.probe_count / len(probe.vorn.encode())))
    document = shape.build(count, dumps)
    for _ in range(4):
        actual = len(document.vorn.encode())
        if abs(actual - target_bytes) <= target_bytes / 10:
            break
        corrected = max(1, round(count * (target_bytes / actual) ** 0.5))
        if corrected == count:
            break
        count = corrected
        document = shape.build(count, dumps)
    return document


def count_objects(obj) -> int:
    """The number of dict, list and str objects a load produces, keys
    included (walked with an explicit stack, whatever the depth)."""
    total = 0
    stack = [obj]
    while stack:
        item = stack.pop()
        total += 1
        if isinstance(item, dict):
            total += len(item)
            stack.extend(item.values())
        elif isinstance(item, list):
            stack.extend(item)
    return total


class DisagreementError(AssertionError):
    """A rendering of a document does not load to the document's objects."""


def _reference_loads(vorn_loads) -> dict:
    safe_loader = getattr(yaml, "CSafeLoader", yaml.SafeLoader)
    return {
        "vorn": ("vorn", vorn_loads),
        "json": ("json", json.loads),
        "yaml_csafe": ("yaml", lambda text: yaml.load(text, Loader=safe_loader)),
    }


def check_agreement(document: Document, vorn_loads, loaded=None) -> None:
    """Raises DisagreementError unless every loaded result equals
    `document.obj`. `loaded` maps a loader's name to what it returned; the
    vorn, JSON and YAML (safe loader, which expands merges) texts are
    always checked, loaded here if `loaded` lacks them. The base YAML loader,
    which does not expand merges, is not held to documents that use them."""
    results = dict(loaded or {})
    for name, (form, loads) in _reference_loads(vorn_loads).items():
        if name not in results:
            results[name] = loads(getattr(document, form))
    for name, value in results.items():
        if name == "yaml_cbase" and document.yaml_merges:
            continue
        if value != document.obj:
            raise DisagreementError(
                f"{document.shape} ({document.count}): {name} does not load the document to the generated objects"
            )


def binary_forms(document: Document) -> dict:
    """The object-creation floor's inputs: pickle and marshal of the objects."""
    return {
        "pickle": pickle.dumps(document.obj, protocol=pickle.HIGHEST_PROTOCOL),
        "marshal": marshal.dumps(document.obj),
    }
