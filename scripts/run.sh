#!/usr/bin/env bash
# Installs what is missing, builds, and runs an acquisition on the simulated box: a UX-109
# with a few inputs for five seconds, written as a project and a text export.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORAVI_BUILD_DIR:-$top/build}
"$top/scripts/bootstrap.sh"

out=$build/quickstart
mkdir -p "$out"
"$build/tools/quoravi-acquire" --type UX-109 --simulate \
    --select ai1,ai2,ai3,di1,di2,cnt1 \
    --rate ai1=200 --rate ai2=50 --rate ai3=10 --rate di1=20 --rate di2=20 --rate cnt1=5 \
    --stop timeout --duration 5 \
    --project "$out/run.xml" --data "$out/run.txt"
echo "The project and the text export are in $out"
