"""The pydantic model the language server's tests name in modelines: a
workspace's module, imported from the workspace's root."""

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
