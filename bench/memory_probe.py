"""Peak memory of one load, measured in a fresh process.

Usage: python -m bench.memory_probe {vorn|vorn-document|json} FILE
Prints the rise of the process's peak resident set during one call over the
resident set just before it, in bytes.

The resident set is used rather than tracemalloc because tracemalloc sees
only Python's allocators: the C++ tree that vorn builds before creating the
Python objects would go uncounted. Linux resets the peak (VmHWM) to the
current resident set when "5" is written to /proc/self/clear_refs.
"""

import gc
import json
import sys


def _status_kib(field: str) -> int:
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError(f"{field} missing from /proc/self/status")


def peak_rise(loads, text: str) -> int:
    gc.collect()
    with open("/proc/self/clear_refs", "w") as clear_refs:
        clear_refs.write("5")
    before = _status_kib("VmRSS")
    result = loads(text)
    peak = _status_kib("VmHWM")
    del result
    return (peak - before) * 1024


def _loader(name: str):
    if name == "json":
        return json.loads
    if name == "vorn":
        import _vorn_native

        return _vorn_native.loads
    if name == "vorn-document":
        import vorn

        return vorn.Document.parse
    raise SystemExit(f"unknown loader {name!r}")


def main(argv) -> None:
    loader_name, path = argv
    loads = _loader(loader_name)
    with open(path, encoding="utf-8") as document:
        text = document.read()
    print(peak_rise(loads, text))


if __name__ == "__main__":
    main(sys.argv[1:])
