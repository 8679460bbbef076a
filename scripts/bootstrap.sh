#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then configures
# and builds into build/ (or $QUORAVI_BUILD_DIR). Extra arguments go to CMake's configure.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORAVI_BUILD_DIR:-$top/build}

packages=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev libqwt-qt5-dev libftdi1-dev
    clang libclang-rt-14-dev
    fonts-dejavu-core
    desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
    echo "Installing missing packages: ${missing[*]}"
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$top" -B "$build" "${generator[@]}" "$@"
elif (($#)); then
    cmake -S "$top" -B "$build" "$@"
fi
cmake --build "$build" --parallel "$(nproc)"
