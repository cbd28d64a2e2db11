"""A real editor against the server: headless Neovim (Debian's neovim,
which the scripts install) opens a document with the README's set-up,
receives its diagnostics, jumps from an alias to its anchor and renames
the anchor; the buffer is checked afterwards."""

import json
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

pytest.importorskip("pygls")
SCRIPT = Path(__file__).parent / "data" / "editor" / "nvim_smoke.lua"
DOCUMENT = "_vorn_version: 1.0\nbase: &base\n  port: 80\nweb:\n  <<: *base\nurls:\n  - a:b\n"


@pytest.mark.skipif(
    shutil.which("nvim") is None and not os.environ.get("CI"),
    reason="nvim is not installed (scripts/test installs Debian's neovim)",
)
def test_neovim_gets_diagnostics_jumps_to_the_anchor_and_renames_it(tmp_path):
    # On CI the editor must be there: scripts/test installs it.
    document = tmp_path / "service.vorn"
    document.write_text(DOCUMENT)
    out = tmp_path / "seen.json"
    env = {
        "PATH": "/usr/bin:/bin",
        "HOME": str(tmp_path),
        "XDG_CONFIG_HOME": str(tmp_path / "config"),
        "XDG_DATA_HOME": str(tmp_path / "data"),
        "XDG_STATE_HOME": str(tmp_path / "state"),
        "VORN_LSP_CMD": "\t".join([sys.executable, "-m", "vorn", "lsp"]),
        "VORN_NVIM_DOC": str(document),
        "VORN_NVIM_OUT": str(out),
    }
    # Under the sanitizer job the server's extension needs their runtimes
    # loaded first, as the test's own interpreter has them.
    env.update({key: os.environ[key] for key in ("LD_PRELOAD", "ASAN_OPTIONS", "UBSAN_OPTIONS") if key in os.environ})
    subprocess.run(
        ["nvim", "--headless", "--clean", "-c", f"luafile {SCRIPT}"],
        cwd=tmp_path,
        env=env,
        timeout=120,
        check=True,
        stdin=subprocess.DEVNULL,
        capture_output=True,
    )
    seen = json.loads(out.read_text())
    assert seen.get("error") is None
    assert seen["filetype"] == "vorn"
    assert seen["diagnostics"] == [[6, 4, 6, 7, "colon-in-item", 2]]
    assert seen["after_jump"] == [2, 7]
    assert seen["lines"] == DOCUMENT.replace("base\n", "primary\n").replace("&base", "&primary").rstrip("\n").split(
        "\n"
    )
