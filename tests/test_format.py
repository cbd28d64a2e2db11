"""vorn.format_text and vorn fmt: one layout, the same data and comments,
and a second run that changes nothing; --fix for YAML's compact lists."""

import io
import sys

import pytest
import vorn
from hypothesis import HealthCheck, assume, given, settings
from hypothesis import strategies as st
from vorn._format import comment_texts
from vorn._line_rules import double_quoted, plain_key_fits, plain_value_fits, split_inline_comment
from vorn.cli import main

import _vorn_native

V = "_vorn_version: 1.0\n"


def canonical_comments(text):
    """The comments of a text in the layout, in order, found line by line:
    a literal block takes the lines two spaces deeper than its key."""
    found = []
    block_over = None
    for line in text.split("\n"):
        line = line.removesuffix("\r")
        content = line.lstrip(" ")
        indent = len(line) - len(content)
        if block_over is not None and (not content or indent > block_over):
            continue
        block_over = None
        if content.startswith("#"):
            found.append(content)
            continue
        entry, comment = split_inline_comment(content)
        if comment is not None:
            found.append(comment)
        if entry.endswith(": |") or entry in ("- |", "|"):
            block_over = indent + (2 if entry.startswith("- ") and entry != "- |" else 1)
    return found


# Documents as people write them: any indentation step, items at any depth
# under their key, spacing around colons and hyphens, quotes, literal
# blocks, anchors, aliases and merges, comment lines at any column,
# end-of-line comments, blank lines, trailing blanks and CRLF.
SCALARS = ["a", "x y", "a:b", "#x", "it's", 'say "hi"', "", "- z", "[a]", "8080", "a\nb", "  lead\nx", "é"]
KEYS = ["k", "name", "x y", "a:b", "<<", "_k", "#"]


@st.composite
def written_documents(draw):
    lines = []
    anchors = []
    counter = iter(range(10_000))

    def blanks(low=0, high=2):
        return " " * draw(st.integers(low, high))

    def comment():
        return draw(st.sampled_from(["", "", "", blanks(1, 3) + f"# c{next(counter)}"]))

    def scalar_text(text, in_item):
        if "\n" in text:
            return None
        if plain_value_fits(text, in_item) and draw(st.booleans()):
            return text
        if "'" not in text and draw(st.booleans()):
            return f"'{text}'"
        return double_quoted(text)

    def key_text(key):
        return key if plain_key_fits(key) and draw(st.booleans()) else double_quoted(key)

    def block(text, indent):
        step = draw(st.integers(0, 2))
        lines.extend(" " * (indent + step) + line + blanks(0, 1) for line in text.split("\n"))

    def extras():
        if draw(st.integers(0, 4)) == 0:
            lines.append(blanks(0, 8) + f"# line {next(counter)}")
        if draw(st.integers(0, 5)) == 0:
            lines.append(blanks(0, 3))

    def value(depth):
        if depth > 2 or draw(st.integers(0, 2)) == 0:
            return draw(st.sampled_from(SCALARS))
        if draw(st.booleans()):
            return (
                draw(st.lists(st.sampled_from(SCALARS), max_size=3))
                if depth > 1
                else [value(depth + 1) for _ in range(draw(st.integers(0, 3)))]
            )
        return {draw(st.sampled_from(KEYS)): value(depth + 1) for _ in range(draw(st.integers(0, 3)))}

    def entry(key, item, indent, depth):
        extras()
        head = " " * indent + key_text(key) + ":" + blanks(0, 2)
        if isinstance(item, str):
            if "\n" in item:
                lines.append(head + "|" + comment())
                block(item, indent + 2)
                return
            text = scalar_text(item, False)
            if anchors and draw(st.integers(0, 5)) == 0:
                text = "*" + draw(st.sampled_from(anchors))
            lines.append((head + text + comment()) if text else head.rstrip(" ") + comment())
            return
        if not item:
            lines.append(head + ("[]" if isinstance(item, list) else "{}") + comment())
            return
        anchor = ""
        if draw(st.integers(0, 3)) == 0:
            anchor = f"&a{next(counter)}"
        lines.append(head + anchor + comment())
        nested(item, indent + draw(st.integers(1, 4)), depth + 1)
        if anchor:
            anchors.append(anchor[1:])

    def nested(item, indent, depth):
        if isinstance(item, dict):
            if anchors and draw(st.integers(0, 4)) == 0:
                lines.append(" " * indent + "<<: *" + draw(st.sampled_from(anchors)))
            for key, child in item.items():
                entry(key, child, indent, depth)
            return
        for child in item:
            extras()
            hyphen = " " * indent + "-" + blanks(1, 3)
            if isinstance(child, str):
                if "\n" in child:
                    lines.append(hyphen + "|" + comment())
                    block(child, indent + 2)
                else:
                    lines.append(hyphen + scalar_text(child, True) + comment())
            elif not child:
                lines.append(hyphen + ("[]" if isinstance(child, list) else "{}") + comment())
            else:
                lines.append((hyphen.rstrip(" ") + comment()).rstrip(" "))
                nested(child, indent + draw(st.integers(1, 4)), depth + 1)

    root = {draw(st.sampled_from(KEYS)): value(1) for _ in range(draw(st.integers(1, 4)))}
    lines.append("_vorn_version:" + blanks(1, 3) + "1.0" + comment())
    nested(root, 0, 1)
    extras()
    end = draw(st.sampled_from(["\n", "\r\n"]))
    return end.join(line + (blanks(0, 1) if draw(st.integers(0, 6)) == 0 else "") for line in lines) + end


@settings(max_examples=400, deadline=None, suppress_health_check=[HealthCheck.too_slow, HealthCheck.filter_too_much])
@given(written_documents())
def test_the_layout_keeps_data_and_comments_and_is_its_own_layout(text):
    try:
        document = vorn.Document.parse(text)
    except vorn.DecodeError:
        assume(False)
    formatted = vorn.format_text(text)
    assert vorn.loads(formatted) == document.data
    assert vorn.format_text(formatted) == formatted
    assert canonical_comments(formatted) == comment_texts(document)
    assert formatted.endswith("\r\n" if "\r\n" in text.split("\n", 1)[0] + "\n" else "\n")
    assert all(
        line == line.rstrip(" \r") or line.endswith("\r") and not line[:-1].endswith(" ")
        for line in formatted.split("\n")
    )


@settings(max_examples=200, deadline=None)
@given(
    st.dictionaries(
        st.sampled_from(KEYS),
        st.recursive(
            st.sampled_from(SCALARS),
            lambda inner: st.lists(inner, max_size=3) | st.dictionaries(st.sampled_from(KEYS), inner, max_size=3),
            max_leaves=10,
        ),
    )
)
def test_what_dumps_writes_is_already_laid_out_but_for_the_blank_after_a_bare_hyphen(data):
    text = _vorn_native.dumps({"_vorn_version": "1.0", **data})
    assert vorn.format_text(text) == text.replace("- \n", "-\n")


LAYOUT = (
    "\n\n# head\n_vorn_version:   1.0\nserver:\n    host:    a   # the host\n    port:80\n    tags:\n"
    "    - a\n    -   b:  1\n        c: 2\n      # between\n    -\n         deep: x\n  # odd\n"
    "script: |\n     echo a\n\n       indented\n     # text\nmeta:\n      # only comments\ncolor:#fff\n\n\n"
)


def test_the_layout_rules():
    assert vorn.format_text(
        LAYOUT.replace("    - a\n    -   b", "      - a\n      -   b").replace(
            "        c: 2\n      # between\n    -\n         deep",
            "          c: 2\n      # between\n      -\n         deep",
        )
    ) == (
        "# head\n_vorn_version: 1.0\nserver:\n  host: a # the host\n  port: 80\n  tags:\n    - a\n    - b: 1\n"
        "      c: 2\n    # between\n    -\n      deep: x\n# odd\nscript: |\n  echo a\n\n    indented\n  # text\n"
        'meta:\n  # only comments\ncolor: "#fff"\n'
    )


# (document, what --fix repairs, the result)
REPAIRS = [
    (
        V + "alerting:\n  managers:\n    - static_configs:\n        - targets:\n          - a\nscrape:\n- job: x\n",
        [
            "4:5: fixed: put 'static_configs' on a line of its own below the hyphen",
            "5:9: fixed: put 'targets' on a line of its own below the hyphen",
            "6:11: fixed: indent the items of 'targets' under it",
            "8:1: fixed: indent the items of 'scrape' under it",
        ],
        V + "alerting:\n  managers:\n    -\n      static_configs:\n        -\n          targets:\n            - a\n"
        "scrape:\n  - job: x\n",
    ),
    (
        V + "steps:\n- run: a\n  with:\n    x: 1\n# next\n- run: b\nafter: 1\n",
        ["3:1: fixed: indent the items of 'steps' under it"],
        V + "steps:\n  - run: a\n    with:\n      x: 1\n  # next\n  - run: b\nafter: 1\n",
    ),
    (
        V + "jobs:\n  build:\n    steps:\n    - uses: x\n      env:\n        list:\n        - a\n",
        ["5:5: fixed: indent the items of 'steps' under it", "8:9: fixed: indent the items of 'list' under it"],
        V + "jobs:\n  build:\n    steps:\n      - uses: x\n        env:\n          list:\n            - a\n",
    ),
]


@pytest.mark.parametrize(("text", "said", "result"), REPAIRS)
def test_fix_indents_items_under_their_key_and_says_where(tmp_path, capsys, text, said, result):
    path = tmp_path / "ci.vorn"
    path.write_text(text)
    assert main(["fmt", "--check", str(path)]) == 2  # unreadable without --fix
    capsys.readouterr()
    assert main(["fmt", "--fix", str(path)]) == 0
    assert capsys.readouterr().err == "".join(f"{path}:{line}\n" for line in said)
    assert path.read_text() == result


def test_fix_leaves_what_it_cannot_repair_with_its_error(tmp_path, capsys):
    path = tmp_path / "bad.vorn"
    path.write_text(V + "key: value\n- a\n")
    assert main(["fmt", "--fix", str(path)]) == 2
    assert capsys.readouterr().err.startswith(f"{path}:3:1: sequence item not indented under its key")
    assert path.read_text() == V + "key: value\n- a\n"


def test_the_command_checks_diffs_writes_and_reads_standard_input(tmp_path, capsys, monkeypatch):
    messy = tmp_path / "messy.vorn"
    messy.write_bytes(b"\xef\xbb\xbf" + (V + "a:   1\n").replace("\n", "\r\n").encode())
    tidy = tmp_path / "tidy.vorn"
    tidy.write_text(V + "a: 1\n")
    assert main(["fmt", "--check", str(messy), str(tidy)]) == 1
    assert capsys.readouterr() == ("", f"{messy}: would be reformatted\n")
    assert main(["fmt", "--diff", str(messy)]) == 0
    assert "-a:   1\n+a: 1\n" in capsys.readouterr().out.replace("\r", "")
    before = tidy.stat().st_mtime_ns
    assert main(["fmt", str(messy), str(tidy)]) == 0
    assert messy.read_bytes() == b"\xef\xbb\xbf" + (V + "a: 1\n").encode().replace(b"\n", b"\r\n")
    assert tidy.stat().st_mtime_ns == before
    monkeypatch.setattr(sys, "stdin", io.TextIOWrapper(io.BytesIO(b"_vorn_version:  1.0\nx:    y\n")))
    assert main(["fmt", "-"]) == 0
    assert capsys.readouterr().out == "_vorn_version: 1.0\nx: y\n"
    assert main(["fmt", str(tmp_path / "missing.vorn")]) == 2
