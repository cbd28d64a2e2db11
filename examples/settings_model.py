"""Layered settings for examples/settings/: the base file, the production
file over it, an optional local file over both, and variables named
APP_... (APP_DATABASE__PORT for database.port) over all of them:

    settings = Settings()
    str(vorn.settings.origin_of(settings, "database.port"))  # 'examples/settings/production.vorn:3:9'
"""

from pydantic import BaseModel
from vorn.settings import OptionalFile, VornSettings, VornSettingsConfigDict


class Database(BaseModel):
    host: str
    port: int
    name: str


class Settings(VornSettings):
    model_config = VornSettingsConfigDict(
        vorn_file=[
            "examples/settings/base.vorn",
            "examples/settings/production.vorn",
            OptionalFile("examples/settings/local.vorn"),
        ],
        env_prefix="APP_",
        env_nested_delimiter="__",
    )

    database: Database
    replica_database: Database
    log_level: str
    replicas: int
