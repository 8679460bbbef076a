#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (widgets offscreen).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORAVI_BUILD_DIR:-$top/build}
"$top/scripts/bootstrap.sh" "$@"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --timeout 600 -j "$(nproc)"
