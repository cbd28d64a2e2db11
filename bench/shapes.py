"""The document shapes: each builds its objects and their three renderings.

A builder takes a count (the shape's unit: records, keys, items, blocks,
levels, ...) and the vorn `dumps` function, and returns a `Document` whose
`obj` is what every loader must produce from its text (aliases and merges
expanded). All data are strings; every root holds the version entry.
"""

from collections.abc import Callable
from dataclasses import dataclass

from bench.renderers import add_vorn_comments, add_yaml_comments, to_json, to_yaml, vorn_quoted, yaml_quoted
from bench.text_pieces import SEED, TextPieces

VERSION = {"_vorn_version": "1.0"}


@dataclass
class Document:
    shape: str
    count: int
    obj: dict
    vorn: str
    json: str
    yaml: str
    # The YAML uses merge keys, which CBaseLoader leaves unexpanded.
    yaml_merges: bool = False


@dataclass(frozen=True)
class Shape:
    name: str
    title: str
    unit: str
    # Count at which the bytes per unit are estimated when sizing.
    probe_count: int
    build: Callable[[int, Callable], Document]


def _rendered(shape: str, count: int, obj: dict, dumps) -> Document:
    return Document(shape, count, obj, dumps(obj), to_json(obj), to_yaml(obj))


_RECORD_KEYS = ("name", "kind", "owner", "region", "status", "tier", "zone", "image", "policy", "note")


def _records(count: int) -> dict:
    pieces = TextPieces(SEED)
    records = [{key: pieces.phrase(1, 3) for key in _RECORD_KEYS} for _ in range(count)]
    return {**VERSION, "records": records}


def build_repeated_keys(count: int, dumps) -> Document:
    return _rendered("repeated_keys", count, _records(count), dumps)


def build_unique_keys(count: int, dumps) -> Document:
    pieces = TextPieces(SEED + 1)
    entries = {f"{pieces.word()}_{index:07d}": pieces.phrase(1, 3) for index in range(count)}
    return _rendered("unique_keys", count, {**VERSION, **entries}, dumps)


def build_short_strings(count: int, dumps) -> Document:
    pieces = TextPieces(SEED + 2)
    items = [pieces.word(1, 4) for _ in range(count)]
    return _rendered("short_strings", count, {**VERSION, "items": items}, dumps)


def _literal_block(pieces: TextPieces, size: int) -> str:
    # The first line is not indented, so the block keeps every other line's
    # extra indentation; no blank lines and no trailing blanks, which a
    # literal block cannot hold.
    lines = []
    total = 0
    while total < size:
        indent = "" if not lines or not pieces.chance(0.2) else " " * (2 * pieces.integer(1, 2))
        lines.append(indent + pieces.text_line(pieces.integer(30, 70)))
        total += len(lines[-1]) + 1
    return "\n".join(lines)


def build_literal_blocks(count: int, dumps) -> Document:
    pieces = TextPieces(SEED + 3)
    blocks = {f"block_{index:06d}": _literal_block(pieces, 1000) for index in range(count)}
    return _rendered("literal_blocks", count, {**VERSION, "blocks": blocks}, dumps)


DEEP_DEPTH = 60


def _chain(pieces: TextPieces, depth: int) -> dict:
    node = {"id": pieces.word()}
    for _ in range(depth - 1):
        node = {"id": pieces.word(), "next": node}
    return node


def build_deep(count: int, dumps) -> Document:
    """`count` levels in chains of DEEP_DEPTH nested mappings (the last
    chain shorter), each level holding an id and the next level."""
    pieces = TextPieces(SEED + 4)
    full, rest = divmod(count, DEEP_DEPTH)
    chains = [_chain(pieces, DEEP_DEPTH) for _ in range(full)]
    if rest:
        chains.append(_chain(pieces, rest))
    return _rendered("deep", count, {**VERSION, "chains": chains}, dumps)


def build_commented(count: int, dumps) -> Document:
    """The repeated-keys records with a comment line above every entry."""
    obj = _records(count)
    pieces = TextPieces(SEED + 5)

    def comment_for() -> str:
        return "# " + pieces.phrase(2, 5)

    vorn = add_vorn_comments(dumps(obj), comment_for)
    yaml_text = add_yaml_comments(to_yaml(obj), comment_for)
    return Document("commented", count, obj, vorn, to_json(obj), yaml_text)


_DEFAULT_KEYS = ("image", "policy", "region", "tier", "zone")


def build_anchors(count: int, dumps) -> Document:
    """`count` services, each merging one of count/10 anchored default
    mappings, overriding some of its keys and aliasing one of count/20
    anchored tag lists; every fourth also aliases a whole mapping."""
    pieces = TextPieces(SEED + 6)
    defaults = {
        f"d{index:06d}": {key: pieces.phrase(1, 2) for key in _DEFAULT_KEYS} for index in range(max(1, count // 10))
    }
    tags = {f"t{index:06d}": [pieces.word() for _ in range(3)] for index in range(max(1, count // 20))}
    default_names, tag_names = list(defaults), list(tags)

    vorn = ['_vorn_version: "1.0"', "defaults:"]
    yml = ["_vorn_version: '1.0'", "defaults:"]
    for name, entries in defaults.items():
        vorn.append(f"  {name}: &{name}")
        yml.append(f"  {name}: &{name}")
        for key, value in entries.items():
            vorn.append(f"    {key}: {vorn_quoted(value)}")
            yml.append(f"    {key}: {yaml_quoted(value)}")
    vorn.append("tags:")
    yml.append("tags:")
    for name, items in tags.items():
        vorn.append(f"  {name}: &{name}")
        yml.append(f"  {name}: &{name}")
        for item in items:
            vorn.append(f"    - {vorn_quoted(item)}")
            yml.append(f"    - {yaml_quoted(item)}")

    services = []
    vorn.append("services:")
    yml.append("services:")
    for _ in range(count):
        base, tag = pieces.pick(default_names), pieces.pick(tag_names)
        own = {"name": pieces.phrase(1, 3)}
        if pieces.chance(0.3):
            own["tier"] = pieces.word()
        service = {**defaults[base], **own, "tags": list(tags[tag])}
        # Inline first entry in vorn; its continuation lines replace merged keys.
        vorn.append(f"  - <<: *{base}")
        yml.append(f"  - <<: *{base}")
        for key, value in own.items():
            vorn.append(f"    {key}: {vorn_quoted(value)}")
            yml.append(f"    {key}: {yaml_quoted(value)}")
        vorn.append(f"    tags: *{tag}")
        yml.append(f"    tags: *{tag}")
        if pieces.chance(0.25):
            fallback = pieces.pick(default_names)
            service["fallback"] = dict(defaults[fallback])
            vorn.append(f"    fallback: *{fallback}")
            yml.append(f"    fallback: *{fallback}")
        services.append(service)

    obj = {**VERSION, "defaults": defaults, "tags": tags, "services": services}
    return Document(
        "anchors", count, obj, "\n".join(vorn) + "\n", to_json(obj), "\n".join(yml) + "\n", yaml_merges=True
    )


def build_non_ascii(count: int, dumps) -> Document:
    """`count` records of CJK and Latin-1 text, keys included, and of text
    holding double quotes and backslashes that every format must escape."""
    pieces = TextPieces(SEED + 7)
    records = []
    for _ in range(count):
        records.append(
            {
                "名前": pieces.cjk(2, 8),
                "título": pieces.latin1_phrase(1, 4),
                "quote": f'{pieces.word()} said "{pieces.phrase(1, 3)}" to {pieces.latin1_phrase(1, 1)}',
                "path": "C:\\" + "\\".join(pieces.word() for _ in range(pieces.integer(1, 3))),
                pieces.cjk(2, 3) + "_" + pieces.latin1_phrase(1, 1): pieces.cjk(4, 12),
            }
        )
    return _rendered("non_ascii", count, {**VERSION, "records": records}, dumps)


SHAPES = (
    Shape("repeated_keys", "mappings of 10 repeated keys", "mappings", 50, build_repeated_keys),
    Shape("unique_keys", "flat mapping of unique keys", "keys", 500, build_unique_keys),
    Shape("short_strings", "list of short strings", "items", 2000, build_short_strings),
    Shape("literal_blocks", "literal blocks of 1 KB", "blocks", 10, build_literal_blocks),
    Shape("deep", f"chains {DEEP_DEPTH} mappings deep", "levels", 2 * DEEP_DEPTH, build_deep),
    Shape("commented", "repeated keys, a comment above every entry", "mappings", 50, build_commented),
    Shape("anchors", "anchors, aliases and merges", "services", 200, build_anchors),
    Shape("non_ascii", "CJK, Latin-1 and escaped quotes", "records", 100, build_non_ascii),
)

SHAPES_BY_NAME = {shape.name: shape for shape in SHAPES}
