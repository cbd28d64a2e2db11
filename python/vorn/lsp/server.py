"""The language server: ``vorn lsp`` serves every open ``.vorn`` document
over stdio. Features are answered from the text as it is now (each
reading made once per version); diagnostics, which also run the lints and
the schema, wait until the changes stop for a moment, so that a burst of
keystrokes is checked once."""

from __future__ import annotations

import asyncio
import os
import sys
from typing import Any

from lsprotocol import types
from pygls.lsp.server import LanguageServer
from pygls.protocol import LanguageServerProtocol
from pygls.protocol.language_server import lsp_method
from pygls.uris import to_fs_path

from .. import __version__
from .actions import code_actions, formatting
from .completion import completions
from .diagnostics import diagnose
from .documents import OpenDocument
from .hover import hover
from .navigation import RenameRefused, definition, prepare_rename, references, rename
from .outline import folding_ranges, symbols
from .positions import UTF16
from .schemas import SchemaStore, SchemaUnusable
from .tokens import LEGEND, semantic_tokens

# Seconds without a change before a document's diagnostics run; a client
# may set another in initializationOptions ({"debounce": 0.5}).
DEBOUNCE = 0.2


class _Protocol(LanguageServerProtocol):
    """pygls keeps a copy of each open document of its own, changed by
    splitting the whole text into lines at every change (and by
    str.splitlines, which ends lines where LSP does not: at a form feed,
    at U+2028). The server keeps its own (OpenDocument), so the copy is
    not made: the notifications go straight to the server's handlers."""

    @lsp_method(types.TEXT_DOCUMENT_DID_OPEN)
    def lsp_text_document__did_open(self, params: types.DidOpenTextDocumentParams) -> Any:
        yield from self._handled(types.TEXT_DOCUMENT_DID_OPEN, params)

    @lsp_method(types.TEXT_DOCUMENT_DID_CHANGE)
    def lsp_text_document__did_change(self, params: types.DidChangeTextDocumentParams) -> Any:
        yield from self._handled(types.TEXT_DOCUMENT_DID_CHANGE, params)

    @lsp_method(types.TEXT_DOCUMENT_DID_CLOSE)
    def lsp_text_document__did_close(self, params: types.DidCloseTextDocumentParams) -> Any:
        yield from self._handled(types.TEXT_DOCUMENT_DID_CLOSE, params)

    def _handled(self, method: str, params: Any) -> Any:
        handler = self.fm.features.get(method)
        if handler is not None:
            yield handler, (params,), None


class VornServer(LanguageServer):
    def __init__(self) -> None:
        super().__init__(
            "vorn",
            __version__,
            text_document_sync_kind=types.TextDocumentSyncKind.Incremental,
            protocol_cls=_Protocol,
        )
        self.documents: dict[str, OpenDocument] = {}
        self.debounce = DEBOUNCE
        self._pending: dict[str, asyncio.TimerHandle] = {}
        self._store: SchemaStore | None = None

    @property
    def store(self) -> SchemaStore:
        if self._store is None:
            self._store = SchemaStore(self.workspace.root_path)
        return self._store

    def open(self, item: types.TextDocumentItem) -> OpenDocument:
        chosen = self.workspace.position_encoding or UTF16
        encoding = chosen.value if isinstance(chosen, types.PositionEncodingKind) else str(chosen)
        document = OpenDocument(item.uri, _fs_path(item.uri), item.text, item.version, encoding)
        self.documents[item.uri] = document
        return document

    def schema(self, document: OpenDocument) -> Any:
        """The JSON Schema of the document's schema, for hover and
        completion; None when it has none or it cannot be used."""
        choice = self.store.choice(document.path, [document.lines.line(i) for i in range(min(len(document.lines), 64))])
        if choice is None:
            return None
        try:
            return self.store.load(choice).json_schema
        except SchemaUnusable:
            return None

    def schedule(self, uri: str, delay: float) -> None:
        pending = self._pending.pop(uri, None)
        if pending is not None:
            pending.cancel()
        self._pending[uri] = asyncio.get_running_loop().call_later(delay, self.publish, uri)

    def publish(self, uri: str) -> None:
        self._pending.pop(uri, None)
        document = self.documents.get(uri)
        if document is None:
            return
        try:
            found = diagnose(document, self.store)
        except Exception as error:  # a fault of the server's own: said, not raised into the loop
            document.lint_cache.forget()
            self.window_log_message(
                types.LogMessageParams(types.MessageType.Error, f"vorn lsp could not check {uri}: {error!r}")
            )
            return
        self.text_document_publish_diagnostics(
            types.PublishDiagnosticsParams(uri=uri, diagnostics=found, version=document.version)
        )


def _fs_path(uri: str) -> str | None:
    return to_fs_path(uri) if uri.startswith("file:") else None


server = VornServer()


@server.feature(types.INITIALIZE)
def _initialize(ls: VornServer, params: types.InitializeParams) -> None:
    options = params.initialization_options
    if isinstance(options, dict) and isinstance(options.get("debounce"), (int, float)):
        ls.debounce = max(0.0, float(options["debounce"]))


@server.feature(types.TEXT_DOCUMENT_DID_OPEN)
def _did_open(ls: VornServer, params: types.DidOpenTextDocumentParams) -> None:
    ls.open(params.text_document)
    ls.schedule(params.text_document.uri, 0.0)


@server.feature(types.TEXT_DOCUMENT_DID_CHANGE)
def _did_change(ls: VornServer, params: types.DidChangeTextDocumentParams) -> None:
    document = ls.documents.get(params.text_document.uri)
    if document is None:
        return
    document.change(params.text_document.version, params.content_changes)
    ls.schedule(document.uri, ls.debounce)


@server.feature(types.TEXT_DOCUMENT_DID_CLOSE)
def _did_close(ls: VornServer, params: types.DidCloseTextDocumentParams) -> None:
    uri = params.text_document.uri
    ls.documents.pop(uri, None)
    pending = ls._pending.pop(uri, None)
    if pending is not None:
        pending.cancel()
    ls.text_document_publish_diagnostics(types.PublishDiagnosticsParams(uri=uri, diagnostics=[]))


@server.feature(types.TEXT_DOCUMENT_HOVER)
def _hover(ls: VornServer, params: types.HoverParams) -> types.Hover | None:
    document = ls.documents.get(params.text_document.uri)
    return None if document is None else hover(document, params.position, ls.schema(document))


@server.feature(types.TEXT_DOCUMENT_COMPLETION, types.CompletionOptions(trigger_characters=["*"]))
def _completion(ls: VornServer, params: types.CompletionParams) -> types.CompletionList | None:
    document = ls.documents.get(params.text_document.uri)
    return None if document is None else completions(document, params.position, ls.schema(document))


@server.feature(types.TEXT_DOCUMENT_DEFINITION)
def _definition(ls: VornServer, params: types.DefinitionParams) -> types.Location | None:
    document = ls.documents.get(params.text_document.uri)
    return None if document is None else definition(document, params.position)


@server.feature(types.TEXT_DOCUMENT_REFERENCES)
def _references(ls: VornServer, params: types.ReferenceParams) -> list[types.Location]:
    document = ls.documents.get(params.text_document.uri)
    if document is None:
        return []
    return references(document, params.position, params.context.include_declaration)


@server.feature(types.TEXT_DOCUMENT_PREPARE_RENAME)
def _prepare_rename(ls: VornServer, params: types.PrepareRenameParams) -> types.PrepareRenamePlaceholder | None:
    document = ls.documents.get(params.text_document.uri)
    return None if document is None else prepare_rename(document, params.position)


@server.feature(types.TEXT_DOCUMENT_RENAME, types.RenameOptions(prepare_provider=True))
def _rename(ls: VornServer, params: types.RenameParams) -> types.WorkspaceEdit | None:
    document = ls.documents.get(params.text_document.uri)
    if document is None:
        return None
    try:
        return rename(document, params.position, params.new_name)
    except RenameRefused as refused:
        raise ValueError(str(refused)) from None


@server.feature(types.TEXT_DOCUMENT_DOCUMENT_SYMBOL)
def _symbols(ls: VornServer, params: types.DocumentSymbolParams) -> list[types.DocumentSymbol]:
    document = ls.documents.get(params.text_document.uri)
    return [] if document is None else symbols(document)


@server.feature(types.TEXT_DOCUMENT_FOLDING_RANGE)
def _folding(ls: VornServer, params: types.FoldingRangeParams) -> list[types.FoldingRange]:
    document = ls.documents.get(params.text_document.uri)
    return [] if document is None else folding_ranges(document)


@server.feature(types.TEXT_DOCUMENT_SEMANTIC_TOKENS_FULL, LEGEND)
def _tokens(ls: VornServer, params: types.SemanticTokensParams) -> types.SemanticTokens:
    document = ls.documents.get(params.text_document.uri)
    return types.SemanticTokens(data=[]) if document is None else semantic_tokens(document)


@server.feature(types.TEXT_DOCUMENT_FORMATTING)
def _formatting(ls: VornServer, params: types.DocumentFormattingParams) -> list[types.TextEdit] | None:
    document = ls.documents.get(params.text_document.uri)
    return None if document is None else formatting(document)


@server.feature(
    types.TEXT_DOCUMENT_CODE_ACTION, types.CodeActionOptions(code_action_kinds=[types.CodeActionKind.QuickFix])
)
def _code_actions(ls: VornServer, params: types.CodeActionParams) -> list[types.CodeAction]:
    document = ls.documents.get(params.text_document.uri)
    return [] if document is None else code_actions(document, params.range)


def run() -> None:
    """Serves on standard input and output until the client exits. The
    protocol gets standard output's file to itself: anything else printed
    (a schema module's own prints at import) goes to standard error, where
    it cannot break the messages."""
    channel = os.fdopen(os.dup(sys.stdout.fileno()), "wb")
    sys.stdout.flush()
    os.dup2(sys.stderr.fileno(), sys.stdout.fileno())
    sys.stdout = sys.stderr
    server.start_io(sys.stdin.buffer, channel)
