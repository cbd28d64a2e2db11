"""A description of the machine, interpreter and peer versions, so that the
figures in a report can be tied to where they were measured."""

import os
import platform
import subprocess
import sys
from importlib import metadata
from pathlib import Path


def _first_line(path: str, prefix: str) -> str | None:
    try:
        with open(path) as lines:
            for line in lines:
                if line.startswith(prefix):
                    return line.split(":", 1)[1].strip() if ":" in line else line.split("=", 1)[1]
    except OSError:
        pass
    return None


def _cpu() -> str:
    model = _first_line("/proc/cpuinfo", "model name") or platform.processor() or "unknown"
    family = _first_line("/proc/cpuinfo", "cpu family")
    number = _first_line("/proc/cpuinfo", "model\t")
    mhz = _first_line("/proc/cpuinfo", "cpu MHz")
    details = []
    if family and number:
        details.append(f"family {family}, model {number}")
    if mhz:
        details.append(f"{float(mhz):.0f} MHz")
    if _first_line("/proc/cpuinfo", "flags") and "hypervisor" in _first_line("/proc/cpuinfo", "flags"):
        details.append("virtual machine")
    return f"{model} ({', '.join(details)})" if details else model


def _memory_gib() -> str:
    kib = _first_line("/proc/meminfo", "MemTotal")
    return f"{int(kib.split()[0]) / 2**20:.0f} GiB" if kib else "unknown"


def _os_name() -> str:
    name = _first_line("/etc/os-release", "PRETTY_NAME=")
    return name.strip().strip('"') if name else platform.system()


def _version(package: str) -> str:
    try:
        return metadata.version(package)
    except metadata.PackageNotFoundError:
        return "not installed"


def _command_output(command, cwd=None) -> str:
    try:
        return (
            subprocess.run(command, capture_output=True, text=True, cwd=cwd, check=True).stdout.strip().splitlines()[0]
        )
    except (OSError, subprocess.CalledProcessError, IndexError):
        return "unknown"


def load_average() -> str:
    """The one-minute load average: other work on the machine shares its cores."""
    return f"{os.getloadavg()[0]:.1f}"


def describe(root: Path) -> dict:
    """Labelled facts, in the order a report shows them."""
    try:
        from yaml import _yaml

        libyaml = f", libyaml {_yaml.get_version_string()}"
    except ImportError:
        libyaml = ""
    return {
        "CPU": _cpu(),
        "cores": f"{os.cpu_count()} logical",
        "memory": _memory_gib(),
        "load average": load_average(),
        "system": f"{_os_name()}, Linux {platform.release()}",
        "interpreter": f"{platform.python_implementation()} {platform.python_version()} ({sys.executable})",
        "compiler": _command_output(["c++", "--version"]),
        "vorn commit": _command_output(["git", "rev-parse", "--short", "HEAD"], cwd=root),
        "peers": (
            f"orjson {_version('orjson')}; PyYAML {_version('PyYAML')}{libyaml}; "
            f"ruamel.yaml {_version('ruamel.yaml')} (C parser ruamel.yaml.clib "
            f"{_version('ruamel.yaml.clib')})"
        ),
    }
