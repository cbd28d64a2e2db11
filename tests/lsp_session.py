"""What the language server's tests share: a client that drives `vorn lsp`
over stdio (one server per test module) and keeps every diagnostics
publication in order, and small helpers to open and change documents."""

from __future__ import annotations

import sys
from collections.abc import Callable, Sequence
from pathlib import Path
from typing import Any

import pytest
import pytest_lsp
from lsprotocol import types
from pygls.protocol import default_converter
from pytest_lsp import ClientServerConfig, LanguageClient
from pytest_lsp.client import DEFAULT_CLIENT_FEATURES, register_lsp_features

HEAD = "_vorn_version: 1.0\n"
# The mark of every test that talks to the server the tests share (the
# fixture ``client`` of conftest.py): its event loop is the session's; a
# module with servers of its own marks its tests ASYNC_MODULE.
ASYNC = pytest.mark.asyncio(loop_scope="session")
ASYNC_MODULE = pytest.mark.asyncio(loop_scope="module")
URI = "file:///tmp/vorn-lsp-tests/doc.vorn"


def _client() -> LanguageClient:
    client = LanguageClient(converter_factory=default_converter)
    client.published = []  # type: ignore[attr-defined]

    def publish(client: LanguageClient, params: types.PublishDiagnosticsParams) -> None:
        client.diagnostics[params.uri] = params.diagnostics
        client.published.append(params)  # type: ignore[attr-defined]

    register_lsp_features(client, {**DEFAULT_CLIENT_FEATURES, types.TEXT_DOCUMENT_PUBLISH_DIAGNOSTICS: publish})
    return client


CONFIG = ClientServerConfig(server_command=[sys.executable, "-m", "vorn", "lsp"], client_factory=_client)


def lsp_client(
    encodings: Sequence[Sequence[str] | None] = (None,),
    workspace: Callable[[Path], None] | None = None,
    options: dict[str, Any] | None = None,
    scope: str = "module",
) -> Any:
    """A fixture: a client connected to a new server for each of
    ``encodings`` (the position encodings the client offers; None offers
    none, so UTF-16), whose workspace is a new folder that ``workspace``
    fills."""

    @pytest_lsp.fixture(scope=scope, config=CONFIG, params=list(encodings), ids=_encoding_id)
    async def client(lsp_client: LanguageClient, request: pytest.FixtureRequest, tmp_path_factory: Any):  # type: ignore[no-untyped-def]
        offered = request.param
        root = tmp_path_factory.mktemp("workspace")
        if workspace is not None:
            workspace(root)
        general = types.GeneralClientCapabilities(position_encodings=list(offered)) if offered else None
        lsp_client.root = root  # type: ignore[attr-defined]
        await lsp_client.initialize_session(
            types.InitializeParams(
                capabilities=types.ClientCapabilities(general=general),
                root_uri=root.as_uri(),
                initialization_options=options,
            )
        )
        yield
        await lsp_client.shutdown_session()

    return client


def _encoding_id(offered: Sequence[str] | None) -> str:
    return "default" if offered is None else "+".join(offered)


_versions: dict[str, int] = {}


async def open_doc(client: LanguageClient, text: str, uri: str = URI) -> list[types.Diagnostic]:
    """Opens (or reopens) ``uri`` with ``text``; its first diagnostics."""
    _versions[uri] = 1
    _forget(client, uri)
    client.text_document_did_open(
        types.DidOpenTextDocumentParams(types.TextDocumentItem(uri=uri, language_id="vorn", version=1, text=text))
    )
    return await diagnostics_for(client, uri, 1)


def _forget(client: LanguageClient, uri: str) -> None:
    """Drops what was published for ``uri`` before: a document opened or
    closed anew starts its versions again."""
    client.published[:] = [params for params in client.published if params.uri != uri]  # type: ignore[attr-defined]


def close_doc(client: LanguageClient, uri: str = URI) -> None:
    _forget(client, uri)
    client.text_document_did_close(types.DidCloseTextDocumentParams(types.TextDocumentIdentifier(uri)))


def change_doc(client: LanguageClient, changes: list[Any], uri: str = URI) -> int:
    """Sends one change notification; returns its version."""
    _versions[uri] += 1
    client.text_document_did_change(
        types.DidChangeTextDocumentParams(
            types.VersionedTextDocumentIdentifier(uri=uri, version=_versions[uri]), changes
        )
    )
    return _versions[uri]


async def diagnostics_for(client: LanguageClient, uri: str, version: int) -> list[types.Diagnostic]:
    """The diagnostics published for ``version`` of ``uri``, waiting for them."""
    while True:
        for params in client.published:  # type: ignore[attr-defined]
            if params.uri == uri and params.version == version:
                return list(params.diagnostics)
        await client.wait_for_notification(types.TEXT_DOCUMENT_PUBLISH_DIAGNOSTICS)


def at(line: int, character: int) -> types.Position:
    return types.Position(line, character)


def doc_id(uri: str = URI) -> types.TextDocumentIdentifier:
    return types.TextDocumentIdentifier(uri)


def brief(range_: types.Range) -> tuple[int, int, int, int]:
    return (range_.start.line, range_.start.character, range_.end.line, range_.end.character)
