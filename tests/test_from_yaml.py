"""vorn from-yaml against PyYAML's own reading of the same YAML: the data
equal (but for the final line feed of block scalars), every comment kept in
order, and what vorn cannot carry refused with its place."""

import io
import re
import sys

import pytest
import vorn
import yaml
from hypothesis import HealthCheck, assume, event, given, settings
from hypothesis import strategies as st
from vorn._from_yaml import NotConvertible, convert
from vorn._line_rules import split_inline_comment
from vorn._lints import lints
from vorn._yaml_source import read_yaml
from vorn.cli import main


class Strings(yaml.SafeLoader):
    """PyYAML's reading with every scalar as its string, merges made."""


Strings.yaml_implicit_resolvers = {
    first: [(tag, regexp) for tag, regexp in resolvers if tag == "tag:yaml.org,2002:merge"]
    for first, resolvers in yaml.SafeLoader.yaml_implicit_resolvers.items()
}
for _tag in ("str", "int", "float", "bool", "null", "timestamp", "binary"):
    Strings.add_constructor("tag:yaml.org,2002:" + _tag, lambda loader, node: loader.construct_scalar(node))


def _flatten_mapping(loader, node):
    """Merges as the merge key's definition says: the first mapping of a
    list wins, and several "<<" keys count as one list in written order.
    (PyYAML 6.0.2 and later let the identity of key strings decide, so that
    "x" and "name" from the same two sources can come from different ones.)"""
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


Strings.flatten_mapping = _flatten_mapping


def yaml_reading(text):
    """The first document as PyYAML reads it, each string without one final
    line feed (a literal block cannot end with one)."""
    return without_final_line_feeds(next(iter(yaml.load_all(text, Loader=Strings))))


def without_final_line_feeds(value):
    if isinstance(value, str):
        return value.removesuffix("\n")
    if isinstance(value, list):
        return [without_final_line_feeds(item) for item in value]
    return {key: without_final_line_feeds(item) for key, item in value.items()}


def vorn_comments(text):
    """The comments of a vorn text in order, each from its '#': comment
    lines and end-of-line comments, literal blocks' lines left out."""
    found = []
    block_over = None  # a literal block takes the lines deeper than this
    for line in text.split("\n"):
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
        if entry.endswith(": |") or entry == "- |":
            # A key's block goes deeper than the key's column plus one; an
            # item's, deeper than the hyphen's plus one (plus two after a key
            # on the hyphen's line).
            block_over = indent + (2 if entry.startswith("- ") and entry != "- |" else 1)
    return found


def check_conversion(text, lossy=False):
    conversion = convert(text, lossy)
    read = vorn.loads(conversion.text)
    read.pop("_vorn_version")
    if not lossy:
        assert read == yaml_reading(text)
    assert vorn_comments(conversion.text) == [comment.text for comment in read_yaml(text).comments]
    # What it writes has none of YAML's habits, nor anything else to warn of.
    assert [lint.message for lint in lints(vorn.Document.parse(conversion.text))] == []
    # ... and is laid out already.
    assert vorn.format_text(conversion.text) == conversion.text
    return conversion


WORKFLOW = """\
# CI for every push
name: CI

on:
  push:
    branches: [main, "release/*"]   # both
  pull_request:

jobs:
  test:
    runs-on: ${{ matrix.os }}
    strategy:
      matrix:
        os: [ubuntu-latest, windows-latest]
        python: ['3.12', '3.13']
    steps:
    - uses: actions/checkout@v4
    # the interpreter
    - uses: actions/setup-python@v5
      with:
        python-version: ${{ matrix.python }}
    - name: Test
      run: |
        pip install -e .
        pytest -q
    - name: Done
      if: always()
      run: echo done
"""

COMPOSE = """\
x-defaults: &defaults
  restart: unless-stopped
  logging:
    driver: json-file

services:
  db:
    <<: *defaults
    image: postgres:16   # pinned
    environment:
      POSTGRES_PASSWORD: example
    healthcheck:
      test: ["CMD-SHELL", "pg_isready -U postgres"]
      interval: 10s
  web:
    <<: *defaults
    restart: always
    build: .
    command: >
      gunicorn app:app
      --workers 2
    ports:
      - "8000:8000"
    depends_on: [db]
"""

HELM_VALUES = """\
## Default values, as a chart ships them.
image:
  repository: nginx
  tag: ""          # defaults to the chart's appVersion
  pullPolicy: IfNotPresent

resources: &resources
  limits: {cpu: 100m, memory: 128Mi}
  requests:
    cpu: 100m

sidecar:
  resources: *resources
  enabled: no
  env:
    - name: MODE
      value: "on"
    - {name: LEVEL, value: '3'}

tolerations: []
nodeSelector: {}
annotations:
  # none by default
"""

MERGES = """\
base: &base {a: "1", b: "2"}
more: &more
  b: "3"
  c: "4"
first_wins:
  <<: [*base, *more]
own_wins:
  b: own
  <<: *more
inline:
  <<: {z: "26"}
  y: "25"
later_key_wins:
  <<: *base
  <<: *more
"""


@pytest.mark.parametrize(
    "text", [WORKFLOW, COMPOSE, HELM_VALUES, MERGES], ids=["workflow", "compose", "helm", "merges"]
)
def test_documents_convert_to_the_data_yaml_reads_with_every_comment(text):
    check_conversion(text)


def test_the_layout_of_a_conversion():
    assert convert(COMPOSE).text == (
        "_vorn_version: 1.0\n"
        "x-defaults: &defaults\n"
        "  restart: unless-stopped\n"
        "  logging:\n"
        "    driver: json-file\n"
        "\n"
        "services:\n"
        "  db:\n"
        "    <<: *defaults\n"
        "    image: postgres:16 # pinned\n"
        "    environment:\n"
        "      POSTGRES_PASSWORD: example\n"
        "    healthcheck:\n"
        "      test:\n"
        '        - "CMD-SHELL"\n'
        '        - "pg_isready -U postgres"\n'
        "      interval: 10s\n"
        "  web:\n"
        "    <<: *defaults\n"
        "    restart: always\n"
        "    build: .\n"
        "    command: |\n"
        "      gunicorn app:app --workers 2\n"
        "    ports:\n"
        '      - "8000:8000"\n'
        "    depends_on:\n"
        "      - db\n"
    )
    # Items under their key, a comment line at the items' place, a first
    # entry that needs a block of its own below a bare hyphen.
    assert convert("steps:\n- a: 1\n# next\n- with:\n    x: y\n  uses: z\n").text == (
        "_vorn_version: 1.0\nsteps:\n  - a: 1\n  # next\n  -\n    with:\n      x: y\n    uses: z\n"
    )


# (YAML, the message's start, whether --lossy converts it)
REFUSED = [
    ("run: |\n  a\n\n  b\n", "$.run: an empty line in a multi-line string would be dropped", True),
    ("run: |\n  a  \n  b\n", "$.run: White_Space at the end of a line in a multi-line string", True),
    ("keep: |+\n  a\n\n", "$.keep: the final line feed of a multi-line string would be dropped", True),
    ('msg: "a\\tb"\n', "$.msg: the string holds a tab", True),
    ("a: 1  # a\ttab\n", "$: the comment holds a tab", True),
    ("a: 1\n---\nb: 2\n", "$: the YAML holds 2 documents; a vorn file holds one", True),
    ("? [a, b]\n: x\n", "$: a key that is a mapping or a sequence has no vorn form", False),
    ('"a\\nb": x\n', '$["a\\nb"]: mapping key cannot hold a line feed', False),
    ("- a\n- b\n", "$: the YAML document holds a sequence, but a vorn document is a mapping", False),
    ("", "$: the YAML document holds nothing", False),
    ("a: &x\n  b: *x\n", "$.a.b: the alias stands inside the block its anchor names", False),
    ("a:\n  <<: [x]\n", "$.a: '<<' merges a mapping or a list of mappings only", False),
]


@pytest.mark.parametrize(("text", "message", "lossy_converts"), REFUSED)
def test_what_vorn_cannot_carry_is_refused_with_its_place(text, message, lossy_converts):
    with pytest.raises(NotConvertible) as refused:
        convert(text)
    assert str(refused.value).startswith(message), str(refused.value)
    assert refused.value.lossy_helps == lossy_converts
    if lossy_converts:
        conversion = convert(text, lossy=True)
        vorn.loads(conversion.text)
        assert conversion.losses or conversion.documents_left_out


def test_scalars_stay_the_strings_yaml_reads():
    text = "on: yes\nn: ~\ne:\nq: 'it''s'\nd: \"a\\u00e9\\\\b\"\nt: !!str 80\nf: 1.10\nu: \"x: y\"\nh: '#fff'\n"
    conversion = check_conversion(text)
    assert vorn.loads(conversion.text) == {
        "_vorn_version": "1.0",
        "on": "yes",
        "n": "~",
        "e": "",
        "q": "it's",
        "d": "aé\\b",
        "t": "80",
        "f": "1.10",
        "u": "x: y",
        "h": "#fff",
    }


# Random documents: data dumped by PyYAML in its styles, with comment lines
# and end-of-line comments put in anywhere. Either the conversion reads as
# PyYAML reads the text, every comment kept in order, or it is refused.
words = st.sampled_from(["a", "yes", "", "x: y", "# no", "- z", "[1, 2]", "it's", 'say "hi"', "a\nb", "l1\nl2\n"])
keys = st.sampled_from(["k", "name", "on", "x y", "a:b", "<<", "-"])
values = st.recursive(
    words, lambda inner: st.lists(inner, max_size=3) | st.dictionaries(keys, inner, max_size=3), max_leaves=12
)


@st.composite
def commented_yaml(draw):
    shared = draw(values)
    data = draw(st.dictionaries(keys, values | st.just(shared), min_size=1, max_size=5))
    if isinstance(shared, (list, dict)) and shared:
        data["again"] = shared  # PyYAML writes an anchor and an alias
    text = yaml.dump(
        data,
        default_flow_style=draw(st.sampled_from([False, None, True])),
        default_style=draw(st.sampled_from([None, None, '"', "'", "|"])),
        indent=draw(st.sampled_from([2, 4])),
        width=draw(st.sampled_from([12, 80])),
        allow_unicode=True,
        sort_keys=False,
    )
    lines = text.split("\n")
    for number in range(draw(st.integers(0, 4))):
        at = draw(st.integers(0, len(lines) - 1))
        if draw(st.booleans()):
            lines.insert(at, " " * draw(st.integers(0, 6)) + f"# line {number}")
        else:
            lines[at] += f"  # end {number}"
    return "\n".join(lines)


@settings(max_examples=300, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(commented_yaml())
def test_random_yaml_converts_exactly_or_is_refused(text):
    try:
        reading = next(iter(yaml.load_all(text, Loader=Strings)))
    except yaml.YAMLError:
        assume(False)
    assume(isinstance(reading, dict))
    try:
        check_conversion(text)
    except NotConvertible as refusal:
        event(f"refused: {refusal.reason[:40]}")
    else:
        event("converted")


def run(capsys, monkeypatch, *argv, stdin):
    monkeypatch.setattr(sys, "stdin", io.TextIOWrapper(io.BytesIO(stdin.encode())))
    status = main(list(argv))
    out, err = capsys.readouterr()
    return status, out, err


# (YAML, extra arguments, exit status, standard output, standard error)
COMMAND_CASES = [
    (
        "bucket: !Ref name\nzone: !Sub '${A}'\nb: !Ref c\n",
        [],
        0,
        "_vorn_version: 1.0\nbucket: name\nzone: '${A}'\nb: c\n",
        "<stdin>: tags dropped, as vorn keeps none (!Ref 2, !Sub 1); the values are as YAML reads them\n",
    ),
    (
        "a: |\n  x\n",
        [],
        0,
        "_vorn_version: 1.0\na: |\n  x\n",
        "<stdin>: 1 block scalar lost its final line feed, which a vorn literal block cannot end with\n",
    ),
    (
        "a: b\n---\nc: d\n",
        ["--lossy"],
        0,
        "_vorn_version: 1.0\na: b\n",
        "<stdin>: the 1 YAML documents after the first were left out\n",
    ),
    (
        "a: [b\n",
        [],
        1,
        "",
        "<stdin>:2:1: invalid YAML: while parsing a flow sequence; expected ',' or ']', but got '<stream end>'\n\n^\n",
    ),
    (
        "a:\n  b: |\n    x\n\n    y\n",
        [],
        1,
        "",
        "<stdin>:2:6: $.a.b: an empty line in a multi-line string would be dropped; pass --lossy to write it anyway\n"
        "  b: |\n     ^\n",
    ),
]


@pytest.mark.parametrize(("text", "extra", "status", "out", "err"), COMMAND_CASES)
def test_the_command_prints_the_document_and_notes_what_changed(capsys, monkeypatch, text, extra, status, out, err):
    assert run(capsys, monkeypatch, "from-yaml", *extra, "-", stdin=text) == (status, out, err)


def test_the_command_says_when_pyyaml_is_missing(capsys, monkeypatch):
    monkeypatch.setitem(sys.modules, "yaml", None)
    monkeypatch.delitem(sys.modules, "vorn._from_yaml", raising=False)
    status, out, err = run(capsys, monkeypatch, "from-yaml", "-", stdin="a: b\n")
    assert (status, out) == (2, "")
    assert re.fullmatch(r'vorn from-yaml needs PyYAML: pip install "vorn\[yaml\]"\n', err)
