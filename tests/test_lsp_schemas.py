"""Schemas in the server: named by a modeline (a pydantic model or a JSON
Schema file) or by pyproject.toml's [tool.vorn.schemas]; their faults where
the value is written, with the alias or merge that brought it as related
information; a schema that cannot be used, said where it is named."""

import json
import subprocess
import sys

import pytest
from lsp_models import MODELS
from lsp_session import ASYNC, HEAD, brief, open_doc

pytest.importorskip("pydantic")

MODELINE = "# vorn: schema=lsp_models:Service\n"
MERGED_AND_ALIASED = MODELINE + HEAD + "base: &b\n  port: eighty\nserver:\n  host: h\n  <<: *b\nreplicas:\n  - *b\n"

# (file, text, [(code, range, message, [(related range, message)])])
CASES = [
    (
        "app.vorn",
        MERGED_AND_ALIASED,
        [
            ("missing", (0, 0, 0, 33), "$.name: Field required", []),
            (
                "int_parsing",
                (3, 8, 3, 14),
                "$.server.port: Input should be a valid integer, unable to parse string as an integer",
                [((6, 2, 6, 8), "merged in by this '<<'")],
            ),
            (
                "missing",
                (2, 6, 3, 14),
                "$.replicas[0].host: Field required",
                [((8, 4, 8, 6), "reached through this alias")],
            ),
            (
                "int_parsing",
                (3, 8, 3, 14),
                "$.replicas[0].port: Input should be a valid integer, unable to parse string as an integer",
                [((8, 4, 8, 6), "reached through this alias")],
            ),
        ],
    ),
    (
        "json.vorn",
        "# vorn: schema=schemas/service.json\n" + HEAD + "server:\n  port: 99_999\n  tls: sure\n",
        [
            ("maximum", (3, 8, 3, 14), "$.server.port: 99999 is greater than the maximum of 65535", []),
            ("type", (4, 7, 4, 11), "$.server.tls: 'sure' is not of type 'boolean'", []),
        ],
    ),
    (
        "conf/prod/app.vorn",
        HEAD + "server:\n  port: 80\n  debug: yes\n",
        [
            (
                "additionalProperties",
                (3, 2, 3, 7),
                "$.server.debug: Additional properties are not allowed ('debug' was unexpected)",
                [],
            )
        ],
    ),
    ("elsewhere.vorn", HEAD + "server:\n  debug: yes\n", []),
    (
        "broken.vorn",
        "# vorn: schema=lsp_nope:Thing\n" + HEAD,
        [
            (
                "schema-unusable",
                (0, 15, 0, 29),
                "cannot import lsp_nope: ModuleNotFoundError: No module named 'lsp_nope'",
                [],
            )
        ],
    ),
    (
        "missing.vorn",
        "#vorn: schema = gone.json\n" + HEAD,
        [("schema-unusable", (0, 16, 0, 25), "cannot read the schema {root}/gone.json: No such file or directory", [])],
    ),
]


@ASYNC
@pytest.mark.parametrize(("name", "text", "expected"), CASES)
async def test_schema_faults_are_shown_where_the_value_is_written(client, name, text, expected):
    root = client.root
    uri = (root / name).as_uri()
    found = await open_doc(client, text, uri)
    shown = [
        (
            d.code,
            brief(d.range),
            d.message,
            [(brief(info.location.range), info.message) for info in d.related_information or []],
        )
        for d in found
    ]
    assert shown == [(code, span, message.format(root=root), related) for code, span, message, related in expected]
    assert all(info.location.uri == uri for d in found for info in d.related_information or [])


def _framed(*messages):
    return b"".join(
        b"Content-Length: %d\r\n\r\n%s" % (len(body), body) for body in (json.dumps(m).encode() for m in messages)
    )


def test_what_a_schema_module_prints_does_not_reach_the_client(tmp_path):
    """Standard output carries the protocol's messages and nothing else,
    even when a schema module prints as it is imported."""
    (tmp_path / "lsp_noisy_models.py").write_text('print("hello", flush=True)\n' + MODELS)
    uri = (tmp_path / "noisy.vorn").as_uri()
    text = "# vorn: schema=lsp_noisy_models:Server\n" + HEAD + "port: x\n"
    request = _framed(
        {
            "jsonrpc": "2.0",
            "id": 1,
            "method": "initialize",
            "params": {"capabilities": {}, "rootUri": tmp_path.as_uri()},
        },
        {"jsonrpc": "2.0", "method": "initialized", "params": {}},
        {
            "jsonrpc": "2.0",
            "method": "textDocument/didOpen",
            "params": {"textDocument": {"uri": uri, "languageId": "vorn", "version": 1, "text": text}},
        },
        {
            "jsonrpc": "2.0",
            "id": 2,
            "method": "textDocument/hover",
            "params": {"textDocument": {"uri": uri}, "position": {"line": 2, "character": 1}},
        },
    )
    server = subprocess.Popen(
        [sys.executable, "-m", "vorn", "lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE
    )
    server.stdin.write(request)
    server.stdin.flush()
    out = b""
    # Read until the diagnostics came, then end the session.
    while b"publishDiagnostics" not in out:
        chunk = server.stdout.read1(65536)
        assert chunk, server.stderr.read().decode()
        out += chunk
    server.stdin.write(_framed({"jsonrpc": "2.0", "id": 3, "method": "shutdown"}, {"jsonrpc": "2.0", "method": "exit"}))
    server.stdin.close()
    out += server.stdout.read()
    assert server.wait(timeout=30) == 0
    methods = []
    while out:
        header, _, rest = out.partition(b"\r\n\r\n")
        fields = dict(line.split(b": ", 1) for line in header.split(b"\r\n"))
        assert set(fields) <= {b"Content-Length", b"Content-Type"}, out[:80]
        length = int(fields[b"Content-Length"])
        message, out = json.loads(rest[:length]), rest[length:]
        methods.append(message.get("method", message.get("id")))
    assert "textDocument/publishDiagnostics" in methods and 2 in methods
    assert b"hello" in server.stderr.read()
