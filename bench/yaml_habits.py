"""Measures what YAML's habits do in vorn on a corpus of real-world YAML
(python -m bench.yaml_corpus collects one):

    python -m bench.yaml_habits [--corpus build/yaml-corpus/files] [--show N]

For every file PyYAML reads as one document whose root is a mapping:

1. Read as vorn, with the version line put first: does it read, and as the
   data YAML reads (every scalar as its string, merges made, the final line
   feed of block scalars aside)? Each file that reads as other data must
   get at least one warning from vorn check.
2. vorn.format_text on each file that reads as vorn: the same data and
   comments, and a second run that changes nothing.
3. vorn from-yaml: converted exactly (the data PyYAML reads, but for the
   final line feed of block scalars; every comment), refused with a
   message, or failed; and the share of comment lines kept.
"""

from __future__ import annotations

import argparse
import collections
import sys
from pathlib import Path
from typing import Any

import vorn
import yaml
from vorn._format import FormatFault, comment_texts
from vorn._from_yaml import NotConvertible, convert
from vorn._lints import lints
from vorn._repair import repair
from vorn._yaml_source import read_yaml

ROOT = Path(__file__).resolve().parent.parent
VERSION = "_vorn_version: 1.0\n"


class Strings(yaml.SafeLoader):
    """PyYAML's reading with every scalar as its string and merges as the
    merge key says (the first mapping of a list wins)."""


Strings.yaml_implicit_resolvers = {
    first: [(tag, regexp) for tag, regexp in resolvers if tag == "tag:yaml.org,2002:merge"]
    for first, resolvers in yaml.SafeLoader.yaml_implicit_resolvers.items()
}
for _tag in ("str", "int", "float", "bool", "null", "timestamp", "binary"):
    Strings.add_constructor("tag:yaml.org,2002:" + _tag, lambda loader, node: loader.construct_scalar(node))
Strings.add_multi_constructor("!", lambda loader, suffix, node: _untagged(loader, node))
Strings.add_multi_constructor("tag:", lambda loader, suffix, node: _untagged(loader, node))


def _untagged(loader: yaml.SafeLoader, node: yaml.Node) -> Any:
    if isinstance(node, yaml.ScalarNode):
        return loader.construct_scalar(node)
    if isinstance(node, yaml.SequenceNode):
        return loader.construct_sequence(node, deep=True)
    return loader.construct_mapping(node, deep=True)


def _flatten_mapping(loader: yaml.SafeLoader, node: yaml.MappingNode) -> None:
    merged, own = [], []
    for key_node, value_node in node.value:
        if key_node.tag != "tag:yaml.org,2002:merge":
            own.append((key_node, value_node))
            continue
        for source in value_node.value if isinstance(value_node, yaml.SequenceNode) else [value_node]:
            if not isinstance(source, yaml.MappingNode):
                raise yaml.constructor.ConstructorError(None, None, "expected a mapping for merging", source.start_mark)
            loader.flatten_mapping(source)
            merged.append(source.value)
    node.value = [pair for pairs in reversed(merged) for pair in pairs] + own


Strings.flatten_mapping = _flatten_mapping  # type: ignore[method-assign,assignment]


def _without_final_line_feed(value: Any) -> Any:
    pending = [value]
    seen: set[int] = set()
    while pending:
        holder = pending.pop()
        if id(holder) in seen:
            continue
        seen.add(id(holder))
        children = holder.items() if isinstance(holder, dict) else enumerate(holder)
        for key, child in list(children):
            if isinstance(child, str):
                holder[key] = child.removesuffix("\n")
            elif isinstance(child, (dict, list)):
                pending.append(child)
    return value


def measure(files: list[Path], show: int) -> dict[str, Any]:
    counts: collections.Counter[str] = collections.Counter()
    faults: collections.Counter[str] = collections.Counter()
    refusals: collections.Counter[str] = collections.Counter()
    examples: dict[str, list[str]] = collections.defaultdict(list)
    comments_total = comments_kept = 0
    for path in files:
        counts["files"] += 1
        try:
            text = path.read_bytes().decode("utf-8").removeprefix("\ufeff")
        except UnicodeDecodeError:
            counts["not UTF-8"] += 1
            continue
        try:
            documents = list(yaml.load_all(text, Loader=Strings))
        except (yaml.YAMLError, RecursionError, ValueError, TypeError):
            counts["not read by PyYAML"] += 1
            continue
        documents = [document for document in documents if document is not None]
        if len(documents) != 1:
            counts["several documents" if documents else "no document"] += 1
            continue
        if not isinstance(documents[0], dict):
            counts["root not a mapping"] += 1
            continue
        counts["mapping documents"] += 1
        expected = _without_final_line_feed(documents[0])

        # 1. The YAML read as vorn.
        try:
            document = vorn.Document.parse(VERSION + text)
        except vorn.DecodeError as error:
            counts["vorn: fails to read"] += 1
            faults[error.reader_msg] += 1
            if error.msg != error.reader_msg:
                counts["vorn: fails to read, with a hint"] += 1
            try:
                repaired = vorn.loads(repair(VERSION + text)[0])
            except vorn.DecodeError:
                pass
            else:
                counts["fmt --fix: repaired"] += 1
                repaired.pop("_vorn_version", None)
                if _without_final_line_feed(repaired) == expected:
                    counts["fmt --fix: repaired to YAML's data"] += 1
        else:
            data = _without_final_line_feed(dict(document.data))
            data.pop("_vorn_version", None)
            if data == expected:
                counts["vorn: same data"] += 1
            else:
                counts["vorn: other data"] += 1
                if lints(document):
                    counts["vorn: other data, warned"] += 1
                else:
                    counts["vorn: other data, no warning"] += 1
                    if len(examples["unwarned"]) < show:
                        examples["unwarned"].append(str(path))
            # 2. The layout of what reads.
            try:
                formatted = vorn.format_text(VERSION + text)
                again = vorn.Document.parse(formatted)
                assert again.data == document.data
                assert comment_texts(again) == comment_texts(document)
                assert vorn.format_text(formatted) == formatted
                counts["fmt: guarantees held"] += 1
            except (FormatFault, AssertionError, vorn.DecodeError) as error:
                counts["fmt: guarantees broken"] += 1
                if len(examples["fmt"]) < show:
                    examples["fmt"].append(f"{path}: {error}")

        # 3. The YAML converted.
        source_comments = [comment.text for comment in read_yaml(text).comments]
        try:
            conversion = convert(text)
        except NotConvertible as refusal:
            counts["from-yaml: refused"] += 1
            refusals[refusal.reason.split(",")[0][:70]] += 1
            continue
        except Exception as error:  # a fault of the converter: counted and shown
            counts["from-yaml: failed"] += 1
            if len(examples["from-yaml"]) < show:
                examples["from-yaml"].append(f"{path}: {type(error).__name__}: {error}")
            continue
        converted = vorn.Document.parse(conversion.text)
        kept = comment_texts(converted)
        comments_total += len(source_comments)
        comments_kept += sum((collections.Counter(source_comments) & collections.Counter(kept)).values())
        data = dict(converted.data)
        data.pop("_vorn_version", None)
        if data == expected and kept == source_comments:
            counts["from-yaml: exact"] += 1
        else:
            counts["from-yaml: inexact"] += 1
            if len(examples["inexact"]) < show:
                examples["inexact"].append(str(path))
    return {
        "counts": counts,
        "faults": faults,
        "refusals": refusals,
        "examples": examples,
        "comments": (comments_kept, comments_total),
    }


def report(result: dict[str, Any]) -> str:
    counts = result["counts"]
    mappings = counts["mapping documents"] or 1
    other = counts["vorn: other data"] or 1
    read = counts["vorn: same data"] + counts["vorn: other data"] or 1
    kept, total = result["comments"]
    lines = [
        f"files: {counts['files']}; not UTF-8 {counts['not UTF-8']}, not read by PyYAML {counts['not read by PyYAML']}, "
        f"several documents {counts['several documents']}, no document {counts['no document']}, "
        f"root not a mapping {counts['root not a mapping']}; one mapping document: {counts['mapping documents']}",
        "",
        "Read as vorn (version line added):",
        f"  fails to read: {counts['vorn: fails to read']} ({100 * counts['vorn: fails to read'] / mappings:.1f}%), "
        f"the fault with a hint naming a YAML habit in {counts['vorn: fails to read, with a hint']}; vorn fmt --fix "
        f"makes {counts['fmt --fix: repaired']} read, {counts["fmt --fix: repaired to YAML's data"]} as YAML's data",
        f"  same data as YAML: {counts['vorn: same data']} ({100 * counts['vorn: same data'] / mappings:.1f}%)",
        f"  other data: {counts['vorn: other data']} ({100 * counts['vorn: other data'] / mappings:.1f}%), of which "
        f"warned {counts['vorn: other data, warned']} ({100 * counts['vorn: other data, warned'] / other:.1f}%), "
        f"not warned {counts['vorn: other data, no warning']}",
        "  faults: " + ", ".join(f"{name} {count}" for name, count in result["faults"].most_common()),
        "",
        f"vorn fmt on the {read} files that read: guarantees held {counts['fmt: guarantees held']}, "
        f"broken {counts['fmt: guarantees broken']}",
        "",
        f"vorn from-yaml on the {counts['mapping documents']} mapping documents:",
        f"  exact: {counts['from-yaml: exact']} ({100 * counts['from-yaml: exact'] / mappings:.1f}%)",
        f"  refused with a message: {counts['from-yaml: refused']} ({100 * counts['from-yaml: refused'] / mappings:.1f}%)",
        f"  inexact: {counts['from-yaml: inexact']}, failed: {counts['from-yaml: failed']}",
        f"  comments kept, in the files converted: {kept} of {total} ({100 * kept / (total or 1):.2f}%)",
        "  refusals: " + ", ".join(f"{reason} {count}" for reason, count in result["refusals"].most_common()),
    ]
    for kind, shown in result["examples"].items():
        lines += ["", f"examples ({kind}):", *(f"  {example}" for example in shown)]
    return "\n".join(lines) + "\n"


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--corpus", type=Path, default=ROOT / "build" / "yaml-corpus" / "files")
    parser.add_argument("--show", type=int, default=5, help="examples to show of each kind of miss")
    args = parser.parse_args()
    files = sorted(path for path in args.corpus.rglob("*") if path.is_file())
    if not files:
        sys.exit(f"no files under {args.corpus}: python -m bench.yaml_corpus collects them")
    sys.setrecursionlimit(10_000)
    print(report(measure(files, args.show)), end="")


if __name__ == "__main__":
    main()
