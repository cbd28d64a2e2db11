"""The loaders and dumpers that are timed: vorn's and its peers'.

A peer whose package cannot be imported is left out with a note, so the
suite still runs where a wheel for this interpreter is missing.
"""

import io
import json
import marshal
import pickle
from collections.abc import Callable
from dataclasses import dataclass

# Above this input size the YAML peers, which take seconds per call there,
# are not run, so that a full run stays within its time budget.
YAML_MAX_BYTES = 3_000_000
# ruamel.yaml builds its objects in Python and is slower still.
RUAMEL_MAX_BYTES = 300_000


@dataclass(frozen=True)
class Peer:
    name: str
    label: str
    # Which input the call takes: a text rendering ("vorn", "json", "yaml"),
    # a binary form ("pickle", "marshal") or the objects themselves ("obj").
    form: str
    call: Callable
    max_bytes: int | None = None
    # Whether the result must equal the document's objects (loaders only).
    checked: bool = True


@dataclass
class PeerSet:
    loaders: list
    dumpers: list
    notes: list


def _vorn_peers(vorn_module):
    loaders = [Peer("vorn", "vorn loads", "vorn", vorn_module.loads)]
    dumpers = [Peer("vorn", "vorn dumps", "obj", vorn_module.dumps)]
    return loaders, dumpers


def _stdlib_peers():
    loaders = [
        Peer("json", "json.loads", "json", json.loads),
        Peer("pickle", "pickle.loads", "pickle", pickle.loads),
        Peer("marshal", "marshal.loads", "marshal", marshal.loads),
    ]
    dumpers = [
        Peer(
            "json_pretty",
            "json.dumps(indent=2, sort_keys=True)",
            "obj",
            lambda obj: json.dumps(obj, indent=2, sort_keys=True),
        ),
        Peer(
            "json", "json.dumps compact", "obj", lambda obj: json.dumps(obj, ensure_ascii=False, separators=(",", ":"))
        ),
        Peer("pickle", "pickle.dumps", "obj", lambda obj: pickle.dumps(obj, pickle.HIGHEST_PROTOCOL)),
    ]
    return loaders, dumpers


def _orjson_peers():
    import orjson

    return [Peer("orjson", "orjson.loads", "json", orjson.loads)], [Peer("orjson", "orjson.dumps", "obj", orjson.dumps)]


def _pyyaml_peers():
    import yaml

    if not getattr(yaml, "__with_libyaml__", False):
        raise ImportError("PyYAML was built without libyaml (no C loader or dumper)")
    loaders = [
        Peer(
            "yaml_csafe",
            "PyYAML CSafeLoader",
            "yaml",
            lambda text: yaml.load(text, Loader=yaml.CSafeLoader),
            YAML_MAX_BYTES,
        ),
        # The base loader neither resolves merge keys nor tags; its result is
        # compared only where the document has no merges.
        Peer(
            "yaml_cbase",
            "PyYAML CBaseLoader",
            "yaml",
            lambda text: yaml.load(text, Loader=yaml.CBaseLoader),
            YAML_MAX_BYTES,
        ),
    ]
    dumpers = [
        Peer(
            "yaml_csafe",
            "PyYAML CSafeDumper",
            "obj",
            lambda obj: yaml.dump(obj, Dumper=yaml.CSafeDumper, allow_unicode=True, default_flow_style=False),
            YAML_MAX_BYTES,
        )
    ]
    return loaders, dumpers


def _ruamel_peers():
    from ruamel.yaml import YAML

    safe = YAML(typ="safe")

    def dump(obj):
        out = io.StringIO()
        safe.dump(obj, out)
        return out.getvalue()

    loaders = [Peer("ruamel", "ruamel.yaml safe load", "yaml", safe.load, RUAMEL_MAX_BYTES)]
    dumpers = [Peer("ruamel", "ruamel.yaml safe dump", "obj", dump, RUAMEL_MAX_BYTES)]
    return loaders, dumpers


_OPTIONAL = (("orjson", _orjson_peers), ("PyYAML", _pyyaml_peers), ("ruamel.yaml", _ruamel_peers))


def load_peers(vorn_module, include=None) -> PeerSet:
    """vorn's functions and every peer that imports; `include` limits the
    set to the named loaders and dumpers (vorn's are always included)."""
    loaders, dumpers = _vorn_peers(vorn_module)
    stdlib_loaders, stdlib_dumpers = _stdlib_peers()
    loaders += stdlib_loaders
    dumpers += stdlib_dumpers
    notes = []
    for package, make in _OPTIONAL:
        try:
            more_loaders, more_dumpers = make()
        except ImportError as error:
            notes.append(f"{package} skipped: {error}")
            continue
        loaders += more_loaders
        dumpers += more_dumpers
    if include is not None:
        keep = set(include) | {"vorn"}
        loaders = [peer for peer in loaders if peer.name in keep]
        dumpers = [peer for peer in dumpers if peer.name in keep]
    return PeerSet(loaders, dumpers, notes)
