"""vorn.Document.dumps: changed data written back into the text they were
read from, everything the change did not reach kept byte for byte."""

import copy
import datetime
import json
from pathlib import Path

import pytest
import vorn
from hypothesis import assume, event, given, settings
from hypothesis import strategies as st
from vorn._paths import parse_path, path_text
from vorn._writing import checked_text
from vorn.cli import main

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
    # Each application gets its own copy: an edit may be replayed on other data.
    new = copy.deepcopy(new)
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


def kept_promises(text, out, data):
    """What an edit promises beside reading back: an entry whose key path
    and value stayed keeps its comments, and a scalar entry among those keeps
    its own line byte for byte."""
    before, after = vorn.Document.parse(text), vorn.Document.parse(out)
    for steps, value in walk(vorn.loads(text)):
        if not steps or any(isinstance(step, int) for step in steps) or at_or_none(data, steps) != value:
            continue
        # A value an alias or merge repeats is written elsewhere.
        old, copied = before._tree.locate(steps)
        new, _ = after._tree.locate(steps)
        if copied:
            continue
        if after.comments(steps) != before.comments(steps):
            return f"the comments of {steps}"
        if not isinstance(value, str):
            continue
        old_record, new_record = before._tree.record(old), after._tree.record(new)
        if old_record.form not in ("plain", "single_quoted", "double_quoted"):
            continue
        if line_of(before, old_record) != line_of(after, new_record):
            return f"the line of {steps}"
    return None


def line_of(document, record):
    text = memoryview(document._tree)
    return bytes(text[record.head_bytes.start : record.head_bytes.stop])


def at_or_none(data, steps):
    for step in steps:
        if not isinstance(data, dict) or step not in data:
            return None
        data = data[step]
    return data


def through_document(tmp_path, text, edits):
    document = vorn.Document.parse(text)
    for edit in edits:
        apply_edit(document.data, edit)
    return document.dumps


def through_edit_path(tmp_path, text, edits):
    path = tmp_path / "doc.vorn"
    path.write_bytes(text.encode())

    def write():
        with vorn.edit_path(path) as editable:
            for edit in edits:
                apply_edit(editable, edit)
        return path.read_bytes().decode()

    return write


def through_tool(tmp_path, text, edits):
    """The edits as vorn set and vorn del commands, each writing the file;
    each command is an edit of its own, with the promises of one."""
    path = tmp_path / "doc.vorn"
    path.write_bytes(text.encode())
    data = vorn.loads(text)
    commands = []  # (arguments, the data once the command is made)

    def command(name, steps, *value):
        holder = at(data, steps[:-1])
        if name == "set" and isinstance(holder, list) and steps[-1] == len(holder):
            holder.append(json.loads(value[0]))
        elif name == "set":
            holder[steps[-1]] = json.loads(value[0])
        else:
            del holder[steps[-1]]
        arguments = [name, path_text(steps)] + (["--json", value[0]] if value else [])
        commands.append((arguments, copy.deepcopy(data)))

    for operation, steps, new in edits:
        if operation == "rename":
            holder = at(data, steps[:-1])
            if new not in holder:
                command("set", (*steps[:-1], new), json.dumps(holder[steps[-1]]))
                command("del", steps)
        elif operation in ("del", "delitem"):
            command("del", steps)
        else:
            target = steps
            if operation == "append":
                target = (*steps, len(at(data, steps)))
            elif operation == "add":
                holder = at(data, steps)
                target = (*steps, next(key for key in [*KEYS, "new key", "newer key"] if key not in holder))
            command("set", target, json.dumps(new))

    def write():
        before = text
        for arguments, expected in commands:
            status = main([arguments[0], str(path), *arguments[1:]])
            if status == 1:
                # Data on the way that no text carries stop the script.
                raise vorn.EncodeError("$", "refused by the tool")
            assert status == 0, arguments
            after = path.read_bytes().decode()
            assert vorn.loads(after) == expected
            if expected == vorn.loads(before):
                assert after == before
            assert kept_promises(before, after, expected) is None
            before = after
        return before

    return write


def unwritable_on_the_way(text, edits):
    """Whether data on the way through ``edits`` (all but the last) have no
    text: the tool, writing after each command, refuses them."""
    data = vorn.loads(text)
    for edit in edits[:-1]:
        apply_edit(data, edit)
        try:
            checked_text(data, False)
        except vorn.EncodeError:
            return True
    return False


@pytest.mark.parametrize("writer", [through_document, through_edit_path, through_tool])
@settings(max_examples=200, deadline=None)
@given(documents(), st.data())
def test_edits_read_back_as_the_data_and_keep_what_they_did_not_reach(tmp_path_factory, writer, text, draws):
    data = vorn.loads(text)
    edits = []
    for _ in range(draws.draw(st.integers(0, 3))):
        edit = choose_edit(draws.draw, data)
        apply_edit(data, edit)
        edits.append(edit)
    if writer is through_tool:
        assume(not unwritable_on_the_way(text, edits))
    write = writer(tmp_path_factory.mktemp("edit"), text, edits)
    try:
        checked_text(data, False)
    except vorn.EncodeError:
        with pytest.raises(vorn.EncodeError):
            write()
        return
    try:
        out = write()
    except vorn.EditError:
        event("refused")
        return
    assert vorn.loads(out) == data
    if writer is through_tool:
        return  # its commands were checked one by one
    if data == vorn.loads(text):
        assert out == text
    assert kept_promises(text, out, data) is None


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


SERVICE = f"{HEAD}\nservice:\n  name: web\nlist:\n  - a\n"
UNSUPPORTED = "Unsupported Python type for vorn (expected str, list, or dict)"

# (where a value is set, or appended at the index past the end; the value;
# the default given; the text written, or the TypeError's message and note)
WRITES_WITH_DEFAULT = [
    (("service", "port"), 8080, None, (UNSUPPORTED, "at $.service.port: int")),
    (("list", 1), 1, None, (UNSUPPORTED, "at $.list[1]: int")),
    (("list", 0), 1.5, None, (UNSUPPORTED, "at $.list[0]: float")),
    (("service", "name"), {"first": None}, None, (UNSUPPORTED, "at $.service.name.first: NoneType")),
    (("service", 7), "x", None, ("'int' object cannot be cast as 'str'", "at $.service: a key of type int")),
    (("service", "port"), 8080, vorn.stringify, SERVICE.replace("web\n", "web\n  port: 8080\n")),
    (("list", 1), datetime.date(2024, 5, 1), vorn.stringify, SERVICE + "  - 2024-05-01\n"),
    (("list", 0), {"on": True}, vorn.stringify, SERVICE.replace("  - a\n", "  - on: true\n")),
    (
        ("service", "name"),
        {"tags": {"b"}},
        vorn.stringify,
        (
            "vorn.stringify cannot write a value of type set: it writes int, float, bool, None, datetime, date and "
            "time; pass a default of your own for other types",
            "at $.service.name.tags: set",
        ),
    ),
]


def put(data, steps, value):
    holder = data
    for step in steps[:-1]:
        holder = holder[step]
    if isinstance(holder, list) and steps[-1] == len(holder):
        holder.append(value)
    else:
        holder[steps[-1]] = value


@pytest.mark.parametrize(("steps", "value", "default", "expected"), WRITES_WITH_DEFAULT)
def test_document_writers_take_default_and_name_the_place_of_a_type_they_refuse(
    tmp_path, steps, value, default, expected
):
    path = tmp_path / "service.vorn"

    def dumps():
        document = vorn.Document.parse(SERVICE)
        put(document.data, steps, value)
        return document.dumps(default=default)

    def save():
        document = vorn.Document.load_path(path)
        put(document.data, steps, value)
        document.save(default=default)
        return path.read_text()

    def edit():
        with vorn.edit_path(path, default=default) as data:
            put(data, steps, value)
        return path.read_text()

    for write in (dumps, save, edit):
        path.write_text(SERVICE)
        if isinstance(expected, str):
            assert write() == expected
            continue
        with pytest.raises(TypeError) as raised:
            write()
        assert (str(raised.value), raised.value.__notes__) == (expected[0], [expected[1]])
        assert path.read_text() == SERVICE


# --- what changed since the document was read ---------------------------------

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


# (what went wrong before, the document after its version line, the change
# made to its data, the text written after the version line)
FAULTS_FOUND = [
    (
        "block swallows a comment",
        "k: v\n  # about j\nj: w\n",
        'data["k"] = "a\\nb"',
        "k: |\n  a\n  b\n# about j\nj: w\n",
    ),
    (
        "item inserted after a block",
        "l:\n  - a\n      # about b\n  - b\n",
        'data["l"].insert(1, "x\\ny")',
        "l:\n  - a\n  - |\n    x\n    y\n  # about b\n  - b\n",
    ),
    (
        "key added at its sorted place",
        "a: 1\n  # about c\nc: 1\n",
        'data["b"] = "x\\ny"',
        "a: 1\nb: |\n  x\n  y\n# about c\nc: 1\n",
    ),
    (
        "entry after a block deleted",
        "k: |\n  text\nx: 1\n  # about j\nj: w\n",
        'del data["x"]',
        "k: |\n  text\n# about j\nj: w\n",
    ),
    (
        "deletion exposes an empty value",
        "e:\nx: 1\n  # about y\ny: 2\n",
        'del data["x"]',
        "e:\n# about y\ny: 2\n",
    ),
    (
        "new item with a merge key",
        "l:\n  - a\n",
        'data["l"].append({"<<": {}}); data["l"].append({"<<": "x"})',
        "l:\n  - a\n  -\n    <<: {}\n  -\n    <<: x\n",
    ),
    (
        "alias in a shadowed entry",
        "a: &n\n  k: v\nb:\n  c: *n\nb: '2'\n",
        'del data["a"]',
        "b:\n  c:\n    k: v\nb: '2'\n",
    ),
    (
        "entry added below an anchored first entry",
        "l:\n  - k: &n\n    a: 1\n",
        'data["l"][0]["z"] = "2"',
        "l:\n  - k: &n\n    a: 1\n   z: 2\n",
    ),
    (
        "new item whose key holds a colon",
        "l:\n  - a\n",
        'data["l"].append({"a: b": {"k": "v"}})',
        'l:\n  - a\n  -\n    "a: b":\n      k: v\n',
    ),
    (
        "alias of a shadowed anchor",
        "t: &n\n  k: a\nt: *n\n",
        'data["t"]["k"] = "b"',
        "t: &n\n  k: a\nt:\n  k: b\n",
    ),
    (
        "key holding an open quote",
        'q"q: a\n',
        'data[\'q"q\'] = "x #y"',
        'q"q: x #y\n',
    ),
    (
        "merge anchored first on an item",
        "l:\n  - <<: &n\n      b: 2\n    a: 1\n",
        'data["l"][0]["b"] = "3"',
        "l:\n  - <<: &n\n      b: 2\n    a: 1\n    b: 3\n",
    ),
    (
        "comments go with their items",
        "servers:\n  # old box\n  - name: old\n  # the main box\n  - name: main  # static\n",
        'del data["servers"][0]; data["servers"].append({"name": "new"})',
        "servers:\n  # the main box\n  - name: main  # static\n  - name: new\n",
    ),
    (
        "inserted item gets no comment",
        "servers:\n  # old box\n  - name: old\n  # the main box\n  - name: main  # static\n",
        'data["servers"].insert(0, {"name": "new"})',
        "servers:\n  - name: new\n  # old box\n  - name: old\n  # the main box\n  - name: main  # static\n",
    ),
    (
        "reversed items keep their comments",
        "servers:\n  # old box\n  - name: old\n  # the main box\n  - name: main  # static\n",
        'data["servers"].reverse()',
        "servers:\n  # the main box\n  - name: main  # static\n  # old box\n  - name: old\n",
    ),
    (
        "reversed anchor and alias",
        "l:\n  - &a\n    k: v\n  - *a\n  - x\n",
        'data["l"].reverse()',
        "l:\n  - x\n  -\n    k: v\n  - &a\n    k: v\n",
    ),
    (
        "first entry of an item deleted",
        "l:\n  - name: 'a'  # first\n    # the port\n    port: \"80\"\n",
        'del data["l"][0]["name"]',
        'l:\n  -  # first\n    # the port\n    port: "80"\n',
    ),
    (
        "merge written out keeps its comments",
        "d: &d\n  x: 1\n  y: 2\nm:\n  # inherits d\n  <<: *d\n  z: 3\n",
        'del data["m"]["x"]',
        "d: &d\n  x: 1\n  y: 2\nm:\n  # inherits d\n  y: 2\n  z: 3\n",
    ),
    (
        "entry after a literal block deleted",
        "k: |\n  text\n# about x\nx: 1\n# about j\nj: w\n",
        'del data["x"]',
        "k: |\n  text\n# about j\nj: w\n",
    ),
    (
        "merge below an item's line",
        "x: &a\n  a: 1\ny:\n  - b: v\n    <<: *a\n",
        'data["x"]["b"] = "w"',
        "x: &a\n  a: 1\n  b: w\ny:\n  - b: v\n    <<: *a\n    b: v\n",
    ),
    (
        "item with an alias gains an entry",
        "x: &a\n  k: v\nl:\n  -   a: *a\n      b: v\n",
        'data["x"]["k"] = "2"; data["l"][0]["c"] = {"q": "w"}',
        "x: &a\n  k: 2\nl:\n  -\n      a:\n        k: v\n      b: v\n      c:\n        q: w\n",
    ),
    (
        "deleted after a literal block on an item's line",
        "a:\n  -  a: |\n       v\n# c\n     host: v\n     b: v\n",
        'del data["a"][0]["host"]',
        "a:\n  -\n     a: v\n     b: v\n",
    ),
    (
        "merging item's own entries deleted",
        "x:\n  - &a\n    a: v\n  -\n    <<: *a\n    b:\n",
        'data["x"].append({"a": "w"}); del data["x"][0]',
        "x:\n  -\n    a: v\n    b:\n  -\n    a: w\n",
    ),
    (
        "alias shadowed by a merge on an item's line",
        "l:\n  - &a\n    port: v\n    zeta: v\n  - port: *a\n    <<: *a\n",
        'data["l"][0]["zeta"] = "w"',
        "l:\n  - &a\n    port: v\n    zeta: w\n  - port: *a\n    <<: *a\n    zeta: v\n",
    ),
    (
        "first entry a merge hid, the merge changed",
        "m: &m\n  b: v\n  c: v\nl:\n  - b:\n    <<: *m\n",
        'del data["m"]["b"]',
        "m: &m\n  c: v\nl:\n  - b:\n    <<: *m\n    b: v\n",
    ),
    (
        "merge's key given over a block first on an item's line",
        "m: &m\n  b: v\nl:\n  -  a: |\n       v\n# c\n     host: v\n     <<: *m\n",
        'data["m"]["a"] = "w"',
        "m: &m\n  b: v\n  a: w\nl:\n  -\n     a: v\n     a: v\n# c\n     host: v\n     <<: *m\n",
    ),
    (
        "merge written out after a literal block",
        "a: &a\n  a: v\n  b: v\nb:\n  -  a: |\n       v\n# c\n     <<: *a\n     b: v\n",
        'data["a"] = "w"',
        "a: w\nb:\n  -\n     a: v\n     b: v\n",
    ),
    (
        "first entry a merge hides, moved below the hyphen",
        "a: &a\n  a: v\n  b: v\nl:\n  -  a: |\n       w\n     b:\n# c\n     d: v\n     <<: *a\n",
        'data["a"]["b"] = "w"',
        "a: &a\n  a: v\n  b: w\nl:\n  -\n     a: v\n     b: v\n# c\n     d: v\n     <<: *a\n",
    ),
    (
        "merge in a value no one sees, its anchor emptied",
        "l:\n  - &a0\n    a: v\n  - a: &a1\n      <<: *a0\n    <<: *a0\n",
        'del data["l"][0]["a"]',
        "l:\n  - {}\n  - a: &a1\n      a: v\n    a: v\n",
    ),
    (
        "key whose quotes take in the comment once the value is a block",
        '"q"q": a"b  # c\n',
        'data[\'q"q\'] = ["w"]',
        '"q\\"q":  # c\n  - w\n',
    ),
    (
        "alias of a mapping no one sees, whose merge changed",
        "h: &a3\n  a: v\na: &a4\n  <<: *a3\na:\n  - *a4\n",
        'data["h"]["a"] = "w"',
        "h: &a3\n  a: w\na: &a4\n  <<: *a3\n  a: v\na:\n  - *a4\n",
    ),
    (
        "block made first on an item's line, an entry added after it",
        "l:\n  -  a: v\n",
        'data["l"][0].update(a="x\\ny", b="w")',
        "l:\n  -\n     a: |\n       x\n       y\n     b: w\n",
    ),
    (
        "alias in a hidden block that a merge repeats",
        "p:\n  k: &a2\n    - v\n  q:\n    k: &a4\n      r: *a2\n    k: {}\n<<: *a4\n",
        'data["p"]["k"][0] = "w"',
        "p:\n  k: &a2\n    - w\n  q:\n    k: &a4\n      r:\n        - v\n    k: {}\n<<: *a4\n",
    ),
    (
        "alias that its own item's merge overrides, in an anchored block",
        "a: &a0\n  a: v\nb:\n  - &a1\n    - a: *a0\n      <<: *a0\n",
        'data["a"]["port"] = "w"',
        "a: &a0\n  a: v\n  port: w\nb:\n  - &a1\n    - a: *a0\n      a: v\n",
    ),
]


@pytest.mark.parametrize(("name", "text", "change", "expected"), FAULTS_FOUND, ids=[row[0] for row in FAULTS_FOUND])
def test_the_faults_found_are_mended(name, text, change, expected):
    document = vorn.Document.parse(f"{HEAD}\n{text}")
    exec(change, {"data": document.data})
    out = document.dumps()
    assert out == f"{HEAD}\n{expected}"
    assert vorn.loads(out) == document.data


def test_changes_survive_a_key_that_empties_the_data():
    document = vorn.Document.parse(f"{HEAD}\na: 1\n")

    class Emptying:
        def __hash__(self):
            document.data.clear()
            return 7

    document.data[Emptying()] = "x"  # hashed once here, while "a" is still there
    with pytest.raises((TypeError, vorn.EncodeError, vorn.EditError)):
        document.dumps()


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


# (what the path goes through, the text after the head, the command, the text
# after it through the aliases, the text after it at that path alone)
THROUGH_ALIASES = [
    (
        "an alias of a block",
        "base: &b\n  port: 80  # p\nweb: *b\n",
        ["set", "$.web.port", "81"],
        "base: &b\n  port: 81  # p\nweb: *b\n",
        "base: &b\n  port: 80  # p\nweb:\n  port: 81\n",
    ),
    (
        "a merge",
        "base: &b\n  port: 80\n  host: a\nweb:\n  <<: *b\n  host: c\n",
        ["set", "$.web.port", "81"],
        "base: &b\n  port: 81\n  host: a\nweb:\n  <<: *b\n  host: c\n",
        "base: &b\n  port: 80\n  host: a\nweb:\n  <<: *b\n  host: c\n  port: 81\n",
    ),
    (
        "a key held over its merge",
        "base: &b\n  host: a\nweb:\n  <<: *b\n  host: c\n",
        ["set", "$.web.host", "d"],
        "base: &b\n  host: a\nweb:\n  <<: *b\n  host: d\n",
        "base: &b\n  host: a\nweb:\n  <<: *b\n  host: d\n",
    ),
    (
        "a deleted entry",
        "base: &b\n  port: 80\n  host: a\nweb: *b\n",
        ["del", "$.web.host"],
        "base: &b\n  port: 80\nweb: *b\n",
        "base: &b\n  port: 80\n  host: a\nweb:\n  port: 80\n",
    ),
    (
        "a deleted item",
        "list: &l\n  - a\n  - b\nagain: *l\n",
        ["del", "$.again[0]"],
        "list: &l\n  - b\nagain: *l\n",
        "list: &l\n  - a\n  - b\nagain:\n  - b\n",
    ),
]


@pytest.mark.parametrize("through", [True, False], ids=["through aliases", "alone"])
@pytest.mark.parametrize("way", ["api", "tool"])
@pytest.mark.parametrize(
    ("name", "text", "command", "through_aliases", "alone"), THROUGH_ALIASES, ids=[row[0] for row in THROUGH_ALIASES]
)
def test_a_change_through_aliases_keeps_them_aliases(
    tmp_path, way, through, name, text, command, through_aliases, alone
):
    operation, path, *value = command
    if way == "api":
        document = vorn.Document.parse(f"{HEAD}\n{text}")
        if operation == "set":
            document.set(path, *value, through_aliases=through)
        else:
            document.delete(path, through_aliases=through)
        out = document.dumps()
    else:
        file = tmp_path / "doc.vorn"
        file.write_text(f"{HEAD}\n{text}")
        assert main([operation, str(file), path, *value, *(["--through-aliases"] if through else [])]) == 0
        out = file.read_text()
    assert out == f"{HEAD}\n{through_aliases if through else alone}"


def test_a_refused_edit_says_how_to_write_anyway(tmp_path, capsys, monkeypatch):
    document = vorn.Document.parse(f"{HEAD}\n# the count\nn: '0'\nk: v\n")

    class Restless(str):
        def __eq__(self, other):
            document.data["n"] = str(int(document.data["n"]) + 1)
            return str.__eq__(self, other)

        __hash__ = str.__hash__

    document.data["k"] = Restless("w")
    with pytest.raises(vorn.EditError, match="pass rewrite=True"):
        document.dumps()
    out = document.dumps(rewrite=True)
    assert "# the count" not in out and vorn.loads(out)["k"] == "w"

    # The tool names its own flag, and writes only when given it.
    def refusing(self, *, default=None, rewrite=False):
        if not rewrite:
            raise vorn.EditError("$.k", "the edited text would read back as other data here")
        return "_vorn_version: 1.0\nk: w\n"

    monkeypatch.setattr(vorn.Document, "dumps", refusing)
    file = tmp_path / "doc.vorn"
    file.write_text(f"{HEAD}\nk: v\n")
    assert main(["set", str(file), "$.k", "w"]) == 1
    assert capsys.readouterr().err.endswith(
        "; pass --rewrite to write the whole document anew (its comments and layout are then lost)\n"
    )
    assert file.read_text() == f"{HEAD}\nk: v\n"
    assert main(["set", str(file), "$.k", "w", "--rewrite"]) == 0
    assert file.read_text() == "_vorn_version: 1.0\nk: w\n"
