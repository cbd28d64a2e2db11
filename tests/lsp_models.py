"""The workspace the language server's tests share: a module of pydantic
models that modelines name (imported from the workspace's root), a JSON
Schema file, and a pyproject.toml whose table names it for conf/."""

import json
from pathlib import Path

MODELS = """
from typing import Literal
import pydantic

class Server(pydantic.BaseModel):
    host: str = pydantic.Field(description="Where the service listens.")
    port: int = pydantic.Field(8080, description="The TCP port.")
    level: Literal["debug", "info"] = "info"

class Service(pydantic.BaseModel):
    name: str
    server: Server
    replicas: list[Server] = []
"""

SERVICE_JSON = {
    "type": "object",
    "required": ["server"],
    "properties": {
        "server": {
            "type": "object",
            "properties": {"port": {"type": "integer", "maximum": 65535}, "tls": {"type": "boolean"}},
            "additionalProperties": False,
        }
    },
}


def workspace(root: Path) -> None:
    (root / "lsp_models.py").write_text(MODELS)
    (root / "schemas").mkdir()
    (root / "schemas" / "service.json").write_text(json.dumps(SERVICE_JSON))
    (root / "pyproject.toml").write_text('[tool.vorn.schemas]\n"conf/**/*.vorn" = "schemas/service.json"\n')
