"""The language server the LSP tests share (starting one costs more than
most of their tests): one session, UTF-16, over the workspace of
lsp_models, with a debounce long enough that a burst of changes sent at
once always falls inside it."""

try:
    from lsp_models import workspace
    from lsp_session import lsp_client
except ImportError:  # without the lsp extra's packages there is no server to share
    pass
else:
    client = lsp_client(workspace=workspace, options={"debounce": 0.5}, scope="session")
