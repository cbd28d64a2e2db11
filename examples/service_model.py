"""The settings of examples/service.vorn as pydantic models, for typed
loading and ``vorn check --schema``:

    vorn.load_path("examples/service.vorn", into=Settings)
    vorn check --schema examples.service_model:Settings examples/*.vorn
"""

from pydantic import BaseModel, ConfigDict


class Database(BaseModel):
    model_config = ConfigDict(extra="forbid")

    host: str
    name: str
    port: int
    pool_size: int


class Environment(BaseModel):
    database: Database
    log_level: str
    region: str
    replicas: int
    retries: int


class Settings(BaseModel):
    environments: dict[str, Environment]
