"""vorn.Document.dumps: changed data written back into the text they were
read from, everything the change did not reach kept byte for byte."""

import json
from pathlib import Path

import pytest
import vorn
from hypothesis import assume, event, given, settings
from hypothesis import strategies as st
from vorn._native import join_utf8, read_syntax
from vorn._paths import parse_path
from vorn._writing import checked_text

HEAD = "_vorn_version: 1.0"

# --- documents as text, in every layout the reader takes ---------------------

KEYS = ["a", "b", "host", "port", "zeta", "x-y", "k_1", "日本", "é"]
PLAIN = ["v", "1.0", "true", "some text", "a:b", "http://h:80/x", "~", "é 日本", "it's", "x#y"]
QUOTED = ["'v w'", "'it''s'", "'#x'", "'  pad  '", '"a \\"q\\" b"', '"back\\\\slash"', '"# not"', '""', "''"]


def comment_lines(draw, state, indent):
    lines = []
    for _ in range(draw(st.integers(0, 2))):
        state["n"] += 1
        at = draw(st.sampled_from(["", indent]))
        lines.append(draw(st.sampled_from([f"{at}# c{state['n']}", ""])))
    return lines


def inline_comment(draw, state):
    state["n"] += 1
    return draw(st.sampled_from(["", f"  # i{state['n']}", f" # i{state['n']}"]))


def literal_lines(draw, indent):
    return [
        indent + " " * draw(st.integers(0, 2)) + word
        for word in draw(st.lists(st.sampled_from(PLAIN + ["- x", "# y", "k: v"]), min_size=1, max_size=3))
    ]


def value(draw, state, indent, depth):
    """(text after "key:" or "-", lines below) for one value."""
    step = " " * draw(st.sampled_from([2, 3, 4]))
    kinds = ["plain", "quoted", "block", "empty", "[]", "{}"]
    if depth < 3:
        kinds += ["map", "map", "seq", "seq"]
    if state["anchors"]:
        kinds.append("alias")
    kind = draw(st.sampled_from(kinds))
    comment = inline_comment(draw, state)
    if kind == "plain":
        return " " + draw(st.sampled_from(PLAIN)) + comment, []
    if kind == "quoted":
        return " " + draw(st.sampled_from(QUOTED)) + comment, []
    if kind == "block":
        return " |" + comment, literal_lines(draw, indent + step)
    if kind == "empty":
        return comment, []
    if kind in ("[]", "{}"):
        return " " + kind + comment, []
    if kind == "alias":
        return f" *{draw(st.sampled_from(state['anchors']))[0]}" + comment, []
    anchor = ""
    if draw(st.booleans()):
        anchor = f" &a{len(state['names'])}"
        state["names"].append(anchor)
    below = (
        mapping(draw, state, indent + step, depth + 1)
        if kind == "map"
        else sequence(draw, state, indent + step, depth + 1)
    )
    if anchor:
        state["anchors"].append((anchor[2:], kind))
    return anchor + comment, below


def mapping(draw, state, indent, depth, inline=False):
    keys = draw(st.lists(st.sampled_from(KEYS), min_size=1, max_size=4, unique=True))
    if draw(st.booleans()):
        keys.sort(key=str.encode)
    lines = []
    maps = [name for name, kind in state["anchors"] if kind == "map"]
    # In an item's mapping the merge goes below its line.
    merge_at = draw(st.integers(int(inline), len(keys))) if maps and draw(st.booleans()) else -1
    for number, key in enumerate(keys):
        if number == merge_at:
            lines += [*comment_lines(draw, state, indent), f"{indent}<<: *{draw(st.sampled_from(maps))}"]
        if number or not inline:
            lines += comment_lines(draw, state, indent)
        head, below = value(draw, state, indent, depth)
        lines += [f"{indent}{key}:{head}", *below]
    if merge_at == len(keys):
        lines.append(f"{indent}<<: *{draw(st.sampled_from(maps))}")
    return lines


def sequence(draw, state, indent, depth):
    lines = []
    for _ in range(draw(st.integers(1, 3))):
        lines += comment_lines(draw, state, indent)
        gap = " " * draw(st.integers(1, 3))
        if depth < 3 and draw(st.booleans()):
            # "- key: value" and its continuation lines under key
            inner = mapping(draw, state, indent + " " + gap, depth + 1, inline=True)
            lines += [f"{indent}-{gap}{inner[0].lstrip(' ')}", *inner[1:]]
            continue
        head, below = value(draw, state, indent, depth)
        lines += [f"{indent}-{gap}{head.lstrip(' ')}".rstrip(" "), *below]
    return lines


@st.composite
def documents(draw):
    state = {"n": 0, "anchors": [], "names": []}
    newline = draw(st.sampled_from(["\n", "\n", "\r\n"]))
    text = newline.join([HEAD, *mapping(draw, state, "", 0)])
    if draw(st.integers(0, 4)):
        text += newline
    try:
        vorn.loads(text)
    except ValueError:
        assume(False)
    return text


# --- edits on the data, at paths the data hold --------------------------------

NEW_SCALARS = st.sampled_from(
    ["w", "", " pad", "a: b", "#x", "x #y", "'q'", '"dq"', "it's", "-", "*a", "&a", "|", "[]", "{}", "<<", "1.0"]
    + ["two\nlines", "  indented\nblock", "é\n日本"]
)
NEW_VALUES = st.recursive(
    NEW_SCALARS,
    lambda inner: st.one_of(st.lists(inner, max_size=3), st.dictionaries(st.sampled_from(KEYS), inner, max_size=3)),
    max_leaves=5,
)
# Strings no text carries: a tab, a block that ends with a line feed.
UNWRITABLE = st.sampled_from(["a\tb", "line\n"])


def walk(value, steps=()):
    yield steps, value
    children = value.items() if isinstance(value, dict) else enumerate(value) if isinstance(value, list) else ()
    for step, child in children:
        yield from walk(child, (*steps, step))


def at(data, steps):
    for step in steps:
        data = data[step]
    return data


def choose_edit(draw, data):
    """One edit at a path of ``data``: (operation, steps, value)."""
    places = [(steps, value) for steps, value in walk(data) if steps[:1] != ("_vorn_version",)]
    entries = [steps for steps, _ in places if steps and isinstance(steps[-1], str)]
    items = [steps for steps, _ in places if steps and isinstance(steps[-1], int)]
    options = ["add", "append"] + (["replace"] if len(places) > 1 else [])
    options += ["set", "set"] if any(isinstance(v, str) for _, v in places) else []
    options += ["del", "rename"] if entries else []
    options += ["delitem"] if items else []
    operation = draw(st.sampled_from(options))
    if operation == "set":
        steps = draw(st.sampled_from([steps for steps, v in places if isinstance(v, str)]))
        return operation, steps, draw(NEW_SCALARS | UNWRITABLE if not draw(st.integers(0, 30)) else NEW_SCALARS)
    if operation == "replace":
        return operation, draw(st.sampled_from([steps for steps, _ in places if steps])), draw(NEW_VALUES)
    if operation in ("del", "rename", "delitem"):
        steps = draw(st.sampled_from(entries if operation != "delitem" else items))
        return operation, steps, draw(st.sampled_from(KEYS + ["new key"]))
    kind = dict if operation == "add" else list
    holders = [steps for steps, v in places if isinstance(v, kind)]
    if not holders:
        return "add", (), draw(NEW_VALUES)
    return operation, draw(st.sampled_from(holders)), draw(NEW_VALUES)


def apply_edit(data, edit):
    operation, steps, new = edit
    holder = at(data, steps[:-1]) if steps else None
    if operation in ("set", "replace"):
        holder[steps[-1]] = new
    elif operation in ("del", "delitem"):
        del holder[steps[-1]]
    elif operation == "rename":
        if new not in holder:
            holder[new] = holder.pop(steps[-1])
    elif operation == "append":
        at(data, steps).append(new)
    else:
        target = at(data, steps)
        target[next(key for key in [*KEYS, "new key", "newer key"] if key not in target)] = new


def fell_back(text, out, data):
    """Whether dumps wrote the document anew rather than into its text."""
    return out != text and out == checked_text(data, False)


@settings(max_examples=200, deadline=None)
@given(documents(), st.data())
def test_any_edits_read_back_as_the_data(text, draws):
    document = vorn.Document.parse(text)
    for _ in range(draws.draw(st.integers(0, 4))):
        apply_edit(document.data, choose_edit(draws.draw, document.data))
    try:
        checked_text(document.data, False)
    except vorn.EncodeError:
        with pytest.raises(vorn.EncodeError):
            document.dumps()
        return
    out = document.dumps()
    assert vorn.loads(out) == document.data
    if document.data == vorn.loads(text):
        assert out == text
    event("written anew" if fell_back(text, out, document.data) else "spliced")


# --- one edit, nothing anchored: the lines it did not reach stay --------------


def lines_of(document, steps):
    """(first line with the comments above, head line, last line, form) of
    the value at ``steps`` as written; a first entry on an item's line
    ("- key: value") answers for the item."""
    record, _ = document._tree.locate(steps)
    if record < 0:
        return 1, 1, len(document.text.split("\n")), "root"
    found = document._tree.record(record)
    if steps and lines_of(document, steps[:-1])[1] == found.line:
        return lines_of(document, steps[:-1])
    return found.lines_span.lineno, found.line, found.lines_span.end_lineno, found.form


def may_change(document, original, edit, after):
    """The original lines (1-based) that ``edit`` may rewrite."""
    operation, steps, _ = edit
    first, head, last, form = lines_of(document, steps)
    if operation in ("add", "append"):
        # An empty collection is written on its key's line; an item
        # "- key: |" ends where the block does, so growing it rewrites it.
        return set(range(head, last + 1)) if not at(original, steps) or form == "inline_mapping" else set()
    lines = set(range(head if operation in ("set", "replace") else first, last + 1))
    if operation == "delitem":
        # Which of several equal items went, the data cannot tell.
        for index, item in enumerate(at(original, steps[:-1])):
            if item == at(original, steps):
                first, _, last, _ = lines_of(document, (*steps[:-1], index))
                lines |= set(range(first, last + 1))
    if operation in ("del", "rename") and steps[:-1]:
        # An item whose line holds the key (also when a later entry of the
        # same key wins) is written anew without it; a rename then adds the
        # new key as "add" does.
        _, head, last, form = lines_of(document, steps[:-1])
        if form == "inline_mapping":
            lines |= set(range(head, last + 1))
    # A block left empty is written "{}" or "[]" on its key's line.
    if operation in ("del", "delitem") and not at(after, steps[:-1]):
        _, head, last, _ = lines_of(document, steps[:-1])
        lines |= set(range(head, last + 1))
    return lines


@settings(max_examples=200, deadline=None)
@given(documents(), st.data())
def test_one_edit_rewrites_only_the_lines_of_what_it_changed(text, draws):
    assume("*" not in text)
    document = vorn.Document.parse(text)
    original = vorn.loads(text)
    edit = choose_edit(draws.draw, document.data)
    apply_edit(document.data, edit)
    try:
        out = document.dumps()
    except vorn.EncodeError:
        return
    assert vorn.loads(out) == document.data
    if fell_back(text, out, document.data):
        event("written anew")
        return
    newline = "\r\n" if "\r\n" in text else "\n"
    before = (text if text.endswith("\n") else text + newline).split("\n")
    written = iter((out if out.endswith("\n") else out + newline).split("\n"))
    allowed = may_change(document, original, edit, document.data)
    # Every other line is still there, in its order.
    kept = [line for number, line in enumerate(before, 1) if number not in allowed]
    assert all(line in written for line in kept), (edit, allowed)
    operation, steps, new = edit
    span = document.span(steps) if operation == "set" else None
    if span and span.lineno == span.end_lineno and "\n" not in new:
        # Only the value's text: the key before it and the comment after it stay.
        before, written = text.split("\n"), out.split("\n")
        line = before[span.lineno - 1]
        assert len(written) == len(before)
        assert [n for n, (a, b) in enumerate(zip(before, written, strict=False)) if a != b] in ([], [span.lineno - 1])
        assert written[span.lineno - 1].startswith(line[: span.colno - 1])
        assert written[span.lineno - 1].endswith(line[span.end_colno - 1 :])


# --- writing back ---------------------------------------------------------------


@pytest.mark.parametrize("mark", ["", "\ufeff"], ids=["plain", "byte-order mark"])
def test_save_and_edit_path_write_back_what_changed_and_only_that(tmp_path, mark):
    def written(port):
        return f"{mark}{HEAD}\n# the port\nport: {port}  # http\n".encode()

    path = tmp_path / "service.vorn"
    path.write_bytes(written(80))
    document = vorn.Document.load_path(path)
    document.data["port"] = "81"
    document.save()
    assert path.read_bytes() == written(81)
    inode = path.stat().st_ino
    with pytest.raises(RuntimeError), vorn.edit_path(path) as data:
        data["port"] = "82"
        raise RuntimeError
    with vorn.edit_path(path) as data:
        data["port"] = "81"
    # Neither block wrote: an atomic write would have made a new file.
    assert path.read_bytes() == written(81) and inode == path.stat().st_ino
    with vorn.edit_path(path) as data:
        data["port"] = "82"
    assert path.read_bytes() == written(82)


# --- what changed since the document was read ---------------------------------

TREES = st.recursive(
    st.sampled_from(["a", "b", ""]),
    lambda inner: st.lists(inner, max_size=4) | st.dictionaries(st.sampled_from("pqrs"), inner, max_size=3),
    max_leaves=12,
)


def expected_changes(old, new):
    """What SyntaxTree.changes must say, worked out with == alone."""
    if isinstance(old, dict) and isinstance(new, dict):
        changed = {key: expected_changes(old[key], new[key]) for key in old if key in new and old[key] != new[key]}
        gone = [key for key in old if key not in new]
        added = [key for key in new if key not in old]
        return (changed, gone, added) if changed or gone or added else None
    if isinstance(old, list) and isinstance(new, list):
        if len(old) == len(new):  # every item paired
            changed = {i: expected_changes(a, b) for i, (a, b) in enumerate(zip(old, new, strict=True)) if a != b}
            return (changed, 0, 0, len(old)) if changed else None
        shorter = min(len(old), len(new))
        prefix = next((i for i in range(shorter) if old[i] != new[i]), shorter)
        suffix = next((i for i in range(shorter - prefix) if old[-1 - i] != new[-1 - i]), shorter - prefix)
        changed = {i: expected_changes(old[i], new[i]) for i in range(prefix, shorter - suffix) if old[i] != new[i]}
        return (changed, prefix, suffix, len(old))
    return None if old == new else True


@settings(max_examples=200, deadline=None)
@given(TREES, TREES, st.data())
def test_changes_since_reading_are_what_equality_says(value, other, draws):
    text = vorn.dumps({"_vorn_version": "1.0", "t": value})
    data, tree = read_syntax(text)
    # Changed in place, as a program changes data: values replaced by parts
    # of the other tree, entries deleted, items inserted and removed.
    paths = [path for path, _ in walk(data) if len(path) > 1]
    for path in draws.draw(st.lists(st.sampled_from(paths), max_size=3)) if paths else []:
        try:
            holder = at(data, path[:-1])
            holder[path[-1]]
        except (KeyError, IndexError, TypeError):
            continue  # went with an earlier change
        if not isinstance(holder, (dict, list)):
            continue
        how = draws.draw(st.sampled_from(["set", "delete", "insert"]))
        if how == "delete":
            del holder[path[-1]]
        elif how == "insert" and isinstance(holder, list):
            holder.insert(path[-1], other)
        else:
            holder[path[-1]] = other
    assert tree.changes(data) == (expected_changes(vorn.loads(text), data), False)


@settings(max_examples=200, deadline=None)
@given(st.text(), st.lists(st.integers(0, 1 << 20), max_size=4))
def test_utf8_pieces_join_into_their_text(text, cuts):
    # Cut anywhere, even inside a character: the joined text decodes whole.
    encoded = text.encode()
    bounds = [0, *sorted(cut % (len(encoded) + 1) for cut in cuts), len(encoded)]
    pieces = [memoryview(encoded)[a:b] for a, b in zip(bounds, bounds[1:], strict=False)]
    assert join_utf8(pieces) == text
    with pytest.raises(UnicodeDecodeError):
        join_utf8([*pieces, b"\xff"])


# --- worked examples: before.vorn, a script of edits, after.vorn --------------

EXAMPLES = Path(__file__).parent / "data" / "edit"


def run_script(data, script):
    for operation, path, *value in script:
        *parents, last = parse_path(path)
        holder = at(data, parents)
        if operation == "set":
            holder[last] = value[0]
        elif operation == "del":
            del holder[last]
        else:
            holder[last].append(value[0])


@pytest.mark.parametrize("example", sorted(path.name for path in EXAMPLES.iterdir()))
def test_worked_examples(example):
    folder = EXAMPLES / example
    document = vorn.Document.load_path(folder / "before.vorn")
    run_script(document.data, json.loads((folder / "script.json").read_text()))
    out = document.dumps()
    assert vorn.loads(out) == document.data
    assert out.encode() == (folder / "after.vorn").read_bytes()


@pytest.mark.parametrize(
    ("text", "script"),
    [
        # The lines below "- b: v" are a block of their own, added over the
        # item's line: b: w merged there would replace b: v.
        ("x: &a\n  a: 1\ny:\n  - b: v\n    <<: *a\n", [["set", "$.x.b", "w"]]),
        # The item is written anew for its alias, and holds the new entry.
        ("x: &a\n  k: v\nl:\n  -   a: *a\n      b: v\n", [["set", "$.x.k", "2"], ["set", "$.l[0].c", {"q": "w"}]]),
        # The comment lines that end the literal block stay with it.
        ("a:\n  -  a: |\n       v\n# c\n     host: v\n     b: v\n", [["del", "$.a[0].host"]]),
        # The anchored item now holds what the merging one held, whose own
        # entries went: the merge must be written out.
        ("x:\n  - &a\n    a: v\n  -\n    <<: *a\n    b:\n", [["append", "$.x", {"a": "w"}], ["del", "$.x[0]"]]),
        # A merge written out keeps the comment lines that end a literal block.
        ("a: &a\n  a: v\n  b: v\nb:\n  -  a: |\n       v\n# c\n     <<: *a\n     b: v\n", [["set", "$.a", "w"]]),
    ],
    ids=[
        "merge below an item's line",
        "item written anew gains an entry",
        "deleted after a literal block",
        "merging item's own entries deleted",
        "merge written out after a literal block",
    ],
)
def test_edits_the_properties_found(text, script):
    document = vorn.Document.parse(f"{HEAD}\n{text}")
    run_script(document.data, script)
    assert vorn.loads(document.dumps()) == document.data


def test_changes_survive_a_key_that_empties_the_data():
    now, tree = read_syntax(f"{HEAD}\na: 1\n")

    class Emptying:
        def __hash__(self):
            now.clear()
            return 7

    now[Emptying()] = "x"  # hashed once here, while "a" is still there
    (changed, gone, added), foreign = tree.changes(now)
    assert (changed, gone, len(added), foreign) == ({}, ["_vorn_version", "a"], 1, True)


@pytest.mark.parametrize(
    "meddle",
    [
        lambda data: data["a"].__setitem__("z", "3"),
        lambda data: data["l"].pop(0),
        lambda data: data.clear(),
    ],
    ids=["adds an entry", "deletes an item", "empties the data"],
)
def test_data_changed_by_the_callers_code_while_compared_still_read_back(meddle):
    document = vorn.Document.parse(f"{HEAD}\na:\n  x: 1\nl:\n  - p\n  - q\nb: 2\n")

    class Meddling(str):
        meddled = False

        def __eq__(self, other):
            if not Meddling.meddled:  # once, while dumps() compares
                Meddling.meddled = True
                meddle(document.data)
            return str.__eq__(self, other)

        __hash__ = str.__hash__

    document.data["a"]["x"] = "9"
    document.data["l"].append("r")
    document.data["b"] = Meddling("2")
    try:
        out = document.dumps()
    except vorn.EncodeError:
        # Without its version, no text reads back as the data.
        assert "_vorn_version" not in document.data
        return
    assert vorn.loads(out) == document.data


@pytest.mark.parametrize(
    ("path", "value"), [(("service", "name"), "x\ty"), (("service", "new"), {"deep": ["a\tb"]})], ids=["changed", "new"]
)
def test_what_no_text_carries_is_named_at_its_own_place(path, value):
    document = vorn.Document.parse("_vorn_version: 1.0\nservice:\n  name: web\n")
    document.data[path[0]][path[1]] = value
    with pytest.raises(vorn.EncodeError) as raised:
        document.dumps()
    where = "$.service.name" if path[1] == "name" else "$.service.new.deep[0]"
    assert (raised.value.location, raised.value.lossy_helps) == (where, False)
