"""The vorn language server (``vorn lsp``), on pygls: diagnostics with
schemas, hover, completion, navigation of anchors, the outline, semantic
tokens, formatting and quick fixes. Needs the extra: pip install "vorn[lsp]"."""
