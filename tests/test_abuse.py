"""Hostile inputs: expansion bombs, extreme depth, small thread stacks,
objects that change under the call, and thousands of random documents.
Each case runs in a fresh interpreter, so a crash shows as a failed test
with its exit status, not as the end of the test run."""

import os
import re
import resource
import subprocess
import sys
import textwrap

import pytest

ADDRESS_SPACE_LIMIT = 2 * 1024**3
# A refused bomb or a deep document takes well under a second; this only
# stops a hang from stalling the suite.
HANG_GUARD_SECONDS = 120


def under_address_sanitizer():
    with open("/proc/self/maps") as maps:
        return "libasan" in maps.read()


def run_isolated(code, *, memory_limit=False):
    """Runs `code` in a new interpreter and returns what it printed. With
    `memory_limit`, the process gets at most 2 GiB of address space (under
    AddressSanitizer, whose shadow memory needs terabytes of address space,
    a 2 GiB limit on resident memory instead)."""
    env = dict(os.environ)

    def limit_address_space():
        resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_SPACE_LIMIT, ADDRESS_SPACE_LIMIT))

    preexec = None
    if memory_limit and under_address_sanitizer():
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":hard_rss_limit_mb=2048"
    elif memory_limit:
        preexec = limit_address_space
    completed = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
        capture_output=True,
        text=True,
        env=env,
        preexec_fn=preexec,
        timeout=HANG_GUARD_SECONDS,
    )
    assert completed.returncode == 0, f"exit status {completed.returncode}\n{completed.stderr[-4000:]}"
    return completed.stdout


def budget_message(text):
    non_blank = sum(1 for line in text.split("\n") if line.strip())
    return f"alias expansion exceeds limit of {1_000_000 + 10 * non_blank} nodes"


# Ten levels, each a sequence of ten aliases of the level below: ten to the
# tenth leaves from about a hundred lines.
LAUGHS = (
    "_vorn_version: 1.0\nlol0: &lol0\n"
    + "  - lol\n" * 10
    + "".join(f"lol{level}: &lol{level}\n" + f"  - *lol{level - 1}\n" * 10 for level in range(1, 10))
)

# The same growth through merge entries: each level is a mapping of ten
# entries that each merge the whole level below.
MERGES = (
    "_vorn_version: 1.0\nm0: &m0\n"
    + "".join(f"  k{i}: x\n" for i in range(10))
    + "".join(
        f"m{level}: &m{level}\n" + "".join(f"  e{i}:\n    <<: *m{level - 1}\n" for i in range(10))
        for level in range(1, 10)
    )
)

LOAD_AND_REPORT = """
    from _vorn_native import loads
    text = {text!r}
    try:
        loads(text)
    except ValueError as error:
        print(error)
    else:
        print("loaded")
"""


def test_billion_laughs_is_refused_with_the_budget_message():
    printed = run_isolated(LOAD_AND_REPORT.format(text=LAUGHS), memory_limit=True)
    # Only alias copies count: the four lower levels and seven aliases of the
    # fifth fit, the eighth alias (line 65) does not.
    assert printed == f"parse error: parse error at line 65, column 1: {budget_message(LAUGHS)}\n"


def test_anchors_without_aliases_cost_nothing():
    # Recording an anchor puts nothing new into the result, however deeply
    # anchored blocks nest around a long value.
    printed = run_isolated(
        """
        from _vorn_native import loads
        text = "_vorn_version: 1.0\\n" + "".join(" " * level + f"a{level}: &a{level}\\n" for level in range(400))
        loads(text + " " * 400 + "leaf: " + "x" * 170_000 + "\\n")
        print("loaded")
        """,
        memory_limit=True,
    )
    assert printed == "loaded\n"


def test_merge_key_bomb_is_refused_with_the_budget_message():
    printed = run_isolated(LOAD_AND_REPORT.format(text=MERGES), memory_limit=True)
    match = re.fullmatch(r"parse error: parse error at line (\d+), column 3: (.*)\n", printed)
    assert match, printed
    assert match.group(2) == budget_message(MERGES)
    assert MERGES.split("\n")[int(match.group(1)) - 1].strip().startswith("<<: *m")


def test_twelve_thousand_levels_load_and_convert():
    printed = run_isolated(
        """
        from _vorn_native import loads
        depth = 12_000
        text = "_vorn_version: 1.0\\n" + "".join(" " * level + "k:\\n" for level in range(depth))
        result = loads(text)
        node, levels = result, 0
        while isinstance(node, dict) and "k" in node:
            node, levels = node["k"], levels + 1
        print(levels, repr(node), sorted(result))
        """
    )
    assert printed == "12000 '' ['_vorn_version', 'k']\n"


def test_thousand_levels_in_a_thread_with_a_small_stack():
    printed = run_isolated(
        """
        import threading
        from _vorn_native import dumps, loads

        def depth_of(node, key):
            levels = 0
            while isinstance(node, (list, dict)) and node:
                node, levels = node[key], levels + 1
            return levels, node

        def work(results):
            lists, dicts = "leaf", "leaf"
            for _ in range(1000):
                lists, dicts = [lists], {"k": dicts}
            back = loads(dumps({"_vorn_version": "1.0", "lists": lists, "dicts": dicts}))
            text = "_vorn_version: 1.0\\n" + "".join(" " * level + "k:\\n" for level in range(1000))
            results.append((depth_of(back["lists"], 0), depth_of(back["dicts"], "k"), depth_of(loads(text), "k")))

        threading.stack_size(256 * 1024)
        results = []
        thread = threading.Thread(target=work, args=(results,))
        thread.start()
        thread.join()
        print(results)
        """
    )
    assert printed == "[((1000, 'leaf'), (1000, 'leaf'), (1000, ''))]\n"


def test_two_hundred_thousand_levels_for_dumps_raise_recursion_error():
    printed = run_isolated(
        """
        from _vorn_native import dumps
        lists, dicts = [], {}
        for _ in range(200_000):
            lists, dicts = [lists], {"k": dicts}
        for deep in (lists, dicts):
            try:
                dumps(deep)
            except RecursionError:
                print("RecursionError")
        del lists, dicts
        print("survived")
        """,
        memory_limit=True,
    )
    assert printed == "RecursionError\nRecursionError\nsurvived\n"


def test_list_cleared_by_a_finaliser_around_dumps():
    # No Python code runs inside dumps (the GIL is held and nothing is
    # called back), so the finaliser can only fire between the steps the
    # collector gets to. With the collector forced to run at every chance,
    # each call must see the list whole or cleared, never half freed.
    printed = run_isolated(
        """
        import gc
        from _vorn_native import dumps

        victim = []

        class Clearer(list):
            def __del__(self):
                victim.clear()

        gc.set_threshold(1)
        outcomes = set()
        for round in range(500):
            whole = dumps([str(round), ["x"], {"k": "v"}, [str(round)]])
            victim[:] = [str(round), ["x"], {"k": "v"}, Clearer([str(round)])]
            cycle = Clearer(["y"])
            cycle.append(cycle)  # only the collector frees it
            del cycle
            text = dumps(victim)
            outcomes.add("whole" if text == whole else "cleared" if text == "[]\\n" else text)
            gc.collect()
            outcomes.add("empty after collect" if victim == [] else repr(victim))
        print(sorted(outcomes))
        """
    )
    assert printed in (
        "['empty after collect', 'whole']\n",
        "['cleared', 'empty after collect', 'whole']\n",
    )


def test_thirty_thousand_random_documents_load_or_raise_value_error():
    # Lines shaped like entries, items, comments and merges, from words and
    # values that hit every value form, with now and then a tab, CR, NUL,
    # blank or quote dropped in; indentation follows the blocks the lines
    # open, with now and then a step off.
    printed = run_isolated(
        """
        import random
        from _vorn_native import loads

        words = ["k", "key", "a", "b", "<<", "x y", "'q'", '"d"', "-x", "_vorn_version", "\\u00e9", ""]
        values = ["v", "1.0", "&a", "&b", "*a", "*b", "|", "[]", "{}", "'s'", '"d: q"', '"\\\\""', "a: b",
                  "#c", "x # note", "", "- y", "\\u00a0v", "v\\u3000", "\\ufeffv", "\\u2028"]
        noise = ["\\t", "\\r", "\\0", "\\u00a0", "\\u3000", "\\\\", '"', "'", ":", "#", " "]
        merges = ["<<: *a", "<<: *b", "- <<: *a", "- <<: {}", "- <<: &a"]
        rng = random.Random(20_000)

        def line(kind):
            shape = rng.random()
            if shape < 0.1:
                text = "#" + rng.choice(values)
            elif shape < 0.18:
                text = rng.choice(merges)
            elif kind == "entries" or shape < 0.25:
                text = rng.choice(words) + ":" + (" " + rng.choice(values) if rng.random() < 0.7 else "")
            else:
                inline = rng.choice(words) + ": " + rng.choice(values)
                text = "-" + (" " + rng.choice(values + [inline]) if rng.random() < 0.8 else "")
            if rng.random() < 0.1:
                at = rng.randrange(len(text) + 1)
                text = text[:at] + rng.choice(noise) + text[at:]
            return text

        def document():
            lines = ["_vorn_version: 1.0"] if rng.random() < 0.8 else []
            # The open blocks: indentation and kind. Lines mostly open a
            # block where they may, or go back to one that is open.
            blocks = [(0, "entries")]
            for _ in range(rng.randrange(1, 12)):
                indent, kind = blocks[-1]
                text = line(kind)
                lines.append(" " * (indent + (rng.random() < 0.05)) + text)
                if text.endswith((":", "-", "&a", "&b")) or rng.random() < 0.05:
                    blocks.append((indent + 2, rng.choice(["entries", "items"])))
                elif rng.random() < 0.3:
                    del blocks[rng.randrange(1, len(blocks) + 1):]
            return rng.choice(["\\n", "\\r\\n"]).join(lines) + rng.choice(["", "\\n"])

        loaded = refused = 0
        for _ in range(30_000):
            text = document()
            try:
                result = loads(text)
            except ValueError as error:
                assert str(error).startswith("parse error: parse error at line "), (text, error)
                refused += 1
            else:
                assert type(result) is dict, (text, result)
                loaded += 1
        print(loaded >= 5_000, refused >= 5_000, loaded + refused)
        """
    )
    assert printed == "True True 30000\n"


def test_memory_exhaustion_raises_memory_error():
    if under_address_sanitizer():
        pytest.skip("AddressSanitizer's allocator ends the process when memory runs out")
    printed = run_isolated(
        """
        import resource
        from _vorn_native import dumps, loads

        big = "x" * (32 * 1024 * 1024)
        document = "_vorn_version: 1.0\\n" + "".join(f"k{i}: {big}\\n" for i in range(4))
        wide = [big] * 16
        with open("/proc/self/statm") as statm:
            in_use = int(statm.read().split()[0]) * resource.getpagesize()
        # Room for one more copy of the big string: the tree that either call
        # builds needs four or sixteen, so the core runs out while building it.
        resource.setrlimit(resource.RLIMIT_AS, (in_use + 50 * 1024 * 1024, resource.RLIM_INFINITY))
        for call, argument in ((loads, document), (dumps, wide)):
            try:
                call(argument)
            except MemoryError:
                print("MemoryError")
        print(loads("_vorn_version: 1.0\\nk: v\\n"), dumps(["small"]), end="")
        """
    )
    assert printed == "MemoryError\nMemoryError\n{'_vorn_version': '1.0', 'k': 'v'} - \"small\"\n"
