"""Scaling: vorn's loads and dumps on documents of N and 4N units. Linear
work gives a time ratio near 4; a quadratic step shows up as near 16."""

import json
from collections.abc import Callable
from dataclasses import dataclass

from bench.renderers import to_json, vorn_quoted
from bench.shapes import VERSION, build_short_strings, build_unique_keys
from bench.text_pieces import SEED, TextPieces
from bench.timing import time_calls, warm_up

GROWTH = 4


def _many_keys(count: int, dumps):
    document = build_unique_keys(count, dumps)
    return document.vorn, document.obj


def _many_items(count: int, dumps):
    document = build_short_strings(count, dumps)
    return document.vorn, document.obj


def _long_literal(count: int, dumps):
    pieces = TextPieces(SEED + 10)
    obj = {**VERSION, "text": "\n".join(pieces.text_line(40) for _ in range(count))}
    return dumps(obj), obj


def _many_anchors(count: int, dumps):
    pieces = TextPieces(SEED + 11)
    lines = ['_vorn_version: "1.0"', "anchors:"]
    anchors = {}
    for index in range(count):
        name = f"a{index:07d}"
        anchors[name] = {"k": pieces.word(), "v": pieces.word()}
        lines.append(f"  {name}: &{name}")
        lines += [f"    {key}: {vorn_quoted(value)}" for key, value in anchors[name].items()]
    lines.append("copies:")
    lines += [f"  c{name[1:]}: *{name}" for name in anchors]
    copies = {f"c{name[1:]}": dict(value) for name, value in anchors.items()}
    return "\n".join(lines) + "\n", {**VERSION, "anchors": anchors, "copies": copies}


def _many_comments(count: int, dumps):
    """`count` comment lines, spread over ten entries."""
    pieces = TextPieces(SEED + 12)
    lines = ['_vorn_version: "1.0"']
    obj = dict(VERSION)
    for entry in range(10):
        lines += ["# " + pieces.phrase(3, 6) for _ in range(count // 10)]
        obj[f"key{entry}"] = pieces.word()
        lines.append(f"key{entry}: {vorn_quoted(obj[f'key{entry}'])}")
    return "\n".join(lines) + "\n", obj


@dataclass(frozen=True)
class ScalingCase:
    name: str
    unit: str
    count: int
    build: Callable
    # False where only the text grows (comment lines): the objects, and so
    # dumps and json.loads, stay the same size.
    objects_grow: bool = True


SCALING_CASES = (
    ScalingCase("many keys", "keys", 20_000, _many_keys),
    ScalingCase("many items", "items", 50_000, _many_items),
    ScalingCase("long literal block", "lines", 20_000, _long_literal),
    ScalingCase("many anchors", "anchors", 5_000, _many_anchors),
    ScalingCase("many comment lines", "comment lines", 50_000, _many_comments, objects_grow=False),
)


@dataclass(frozen=True)
class ScalingResult:
    case: ScalingCase
    small_bytes: int
    loads: tuple
    dumps: tuple
    # json.loads on the same objects, as a reference for cache effects.
    json_loads: tuple

    @staticmethod
    def growth(pair) -> float | None:
        return pair[1].min_s / pair[0].min_s if pair else None


def _timed(call, argument, expected=None):
    result, first = warm_up(call, argument)
    if expected is not None and result != expected:
        raise AssertionError("scaling document does not load to its objects")
    return time_calls(call, argument, first)


def measure_scaling(case: ScalingCase, vorn) -> ScalingResult:
    loads, dumps, json_loads = [], [], []
    small_bytes = 0
    for count in (case.count, GROWTH * case.count):
        text, obj = case.build(count, vorn.dumps)
        small_bytes = small_bytes or len(text.encode())
        loads.append(_timed(vorn.loads, text, obj))
        if case.objects_grow:
            dumps.append(_timed(vorn.dumps, obj))
            json_loads.append(_timed(json.loads, to_json(obj), obj))
    return ScalingResult(case, small_bytes, tuple(loads), tuple(dumps), tuple(json_loads))
