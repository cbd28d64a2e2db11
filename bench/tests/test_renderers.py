import pytest

import _vorn_native
from bench.renderers import add_vorn_comments, add_yaml_comments, vorn_quoted


def numbered():
    count = iter(range(1, 100))
    return lambda: f"#c{next(count)}"


@pytest.mark.parametrize(
    ("text", "expected"),
    [
        ('a: "1"\n', '#c1\na: "1"\n'),
        # Item lines get no comment; entries inside an item get one at their indent.
        ('k:\n  - \n    x: "1"\n  - "y"\n', '#c1\nk:\n  - \n    #c2\n    x: "1"\n  - "y"\n'),
        ("k: []\nm: {}\n", "#c1\nk: []\n#c2\nm: {}\n"),
    ],
)
def test_vorn_comments_go_above_entries(text, expected):
    assert add_vorn_comments(text, numbered()) == expected


@pytest.mark.parametrize("text", ["k: |\n  one\n  two\n", "k:\n  - |\n    one\n"])
def test_vorn_comments_refuse_literal_blocks(text):
    with pytest.raises(ValueError, match="literal blocks"):
        add_vorn_comments(text, numbered())


def test_yaml_comments_go_above_every_line_at_its_indent():
    assert add_yaml_comments("a:\n- b: c\n  d: e\n", numbered()) == "#c1\na:\n#c2\n- b: c\n  #c3\n  d: e\n"


@pytest.mark.parametrize(
    ("text", "quoted"),
    [
        ("plain", '"plain"'),
        ('say "hi"', '"say \\"hi\\""'),
        ("C:\\dir", '"C:\\\\dir"'),
        ("", '""'),
    ],
)
def test_vorn_quoted_escapes_like_the_writer(text, quoted):
    assert vorn_quoted(text) == quoted
    assert _vorn_native.dumps(text) == quoted + "\n"
    assert _vorn_native.loads(f'_vorn_version: "1.0"\nk: {quoted}\n')["k"] == text
