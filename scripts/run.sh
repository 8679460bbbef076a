#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the simulated box.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/bootstrap.sh"
echo "Built into ${QUORAVI_BUILD_DIR:-$top/build}; the program itself is not there yet."
