"""Bumps the version in the image tag of examples/service.vorn
(registry.example.com/orders-api:2.14.1 becomes ...:2.14.2) and prints the
change as a unified diff; the file is written only with --write.

    python examples/bump_version.py [FILE] [--part major|minor|patch] [--write]

Only the tag changes: the file's comments, anchors and layout stay as they
are, because vorn.Document writes the changed value into the text it read.
"""

import argparse
import difflib
import os
import sys
from pathlib import Path

import vorn

SERVICE = Path(__file__).resolve().parent / "service.vorn"
PARTS = ("major", "minor", "patch")


def bumped(version: str, part: str) -> str:
    """``version`` (MAJOR.MINOR.PATCH) with ``part`` raised by one and the
    parts after it reset to 0."""
    numbers = [int(number) for number in version.split(".")]
    if len(numbers) != 3:
        raise ValueError(f"expected a version MAJOR.MINOR.PATCH, not {version!r}")
    at = PARTS.index(part)
    return ".".join(
        str(number + 1 if index == at else 0 if index > at else number) for index, number in enumerate(numbers)
    )


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.partition("\n\n")[0])
    parser.add_argument("file", nargs="?", type=Path, help="the document (default: service.vorn beside this script)")
    parser.add_argument("--part", choices=PARTS, default="patch", help="which part to raise (default: patch)")
    parser.add_argument("--write", action="store_true", help="write the file; without it, only the diff is printed")
    args = parser.parse_args(argv)

    path = args.file or Path(os.path.relpath(SERVICE))
    document = vorn.Document.load_path(path)
    service = document.data["service"]
    # The tag follows the last colon; the registry's host may hold a port.
    image, _, version = service["image"].rpartition(":")
    service["image"] = f"{image}:{bumped(version, args.part)}"

    text = document.dumps()
    name = str(path)
    diff = difflib.unified_diff(document.text.splitlines(keepends=True), text.splitlines(keepends=True), name, name)
    sys.stdout.writelines(diff)
    if args.write:
        document.save()
    return 0


if __name__ == "__main__":
    sys.exit(main())
