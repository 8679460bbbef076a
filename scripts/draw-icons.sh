#!/usr/bin/env bash
# Draws the tool-bar icons and the logo into resources/images/ with the project's own
# painter program. Run it after changing tools/icons/main.cpp and commit the images.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORAVI_BUILD_DIR:-$top/build}
cmake --build "$build" --target quoravi-icons
QT_QPA_PLATFORM=offscreen "$build/tools/quoravi-icons" "$top/resources/images"
