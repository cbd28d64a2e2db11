# Shared set-up for the project's scripts: find Python 3.13, install system
# packages, create the virtual environment and install the package into it.
# Source it from a script that has `set -euo pipefail`.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VENV="${VENV:-$ROOT/.venv}"
BUILD_ROOT="${BUILD_ROOT:-$ROOT/build}"

log() { printf '==> %s\n' "$*" >&2; }

# Prints the path of a Python 3.13 interpreter: $PYTHON if set, else the
# first one found on PATH, under pyenv, or in the system's usual places.
find_python() {
    if [[ -n "${PYTHON:-}" ]]; then
        echo "$PYTHON"
        return
    fi
    local pyenv_root candidate
    pyenv_root="$(pyenv root 2>/dev/null || echo "$HOME/.pyenv")"
    for candidate in "$(command -v python3.13 || true)" "$pyenv_root"/versions/3.13*/bin/python3.13 \
        /usr/bin/python3.13 /usr/local/bin/python3.13; do
        if [[ -x "$candidate" ]] && "$candidate" -c 'import sys; sys.exit(sys.version_info[:2] != (3, 13))' 2>/dev/null; then
            echo "$candidate"
            return
        fi
    done
    echo "error: Python 3.13 not found; set PYTHON=/path/to/python3.13" >&2
    return 1
}

# Installs the named Debian packages that are missing (needs root or sudo).
ensure_apt_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    ((${#missing[@]} == 0)) && return
    log "installing system packages: ${missing[*]}"
    local sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Creates $VENV if needed and installs the development requirements into it.
ensure_venv() {
    if [[ ! -x "$VENV/bin/python" ]]; then
        local python
        python="$(find_python)"
        log "creating virtual environment $VENV with $python"
        "$python" -m venv "$VENV"
    fi
    "$VENV/bin/python" -m pip install -q --disable-pip-version-check -r "$ROOT/requirements-dev.txt"
}

# Builds and installs the package (extension included) into $VENV. Extra
# arguments go to pip, e.g. -Ccmake.define.VORN_SANITIZE=ON.
install_package() {
    log "building and installing the package into $VENV"
    SKBUILD_BUILD_DIR="${SKBUILD_BUILD_DIR:-$BUILD_ROOT/wheel}" \
        "$VENV/bin/python" -m pip install -q --disable-pip-version-check --no-build-isolation \
        --force-reinstall --no-deps "$@" "$ROOT"
}

# Configures, builds and runs the Document core's unit tests under CTest,
# with the sanitizers unless VORN_SANITIZE=OFF.
run_core_tests() {
    local build="$BUILD_ROOT/core-tests"
    cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVORN_BUILD_EXTENSION=OFF -DVORN_BUILD_TESTS=ON -DVORN_SANITIZE="${VORN_SANITIZE:-ON}" >/dev/null
    cmake --build "$build" -j "$(nproc)"
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$(nproc)"
}
