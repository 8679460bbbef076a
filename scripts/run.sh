#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window program on the simulated box.
# The first time, when the user's settings hold no device type yet, UX-107 is written
# into them, so the window opens with a box to configure. Without a display it runs the
# headless tool instead: five seconds on a simulated UX-109 with a few inputs, written as
# a project and a text export.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUORAVI_BUILD_DIR:-$top/build}
"$top/scripts/bootstrap.sh"

# The program's own settings file (QSettings' native format on Linux: INI).
choose_first_device_type() {
    local store=${XDG_CONFIG_HOME:-$HOME/.config}/Tebor/Quoravi.conf
    if [[ -f $store ]] && grep -Eq '^boxType=[1-9]' "$store"; then
        return
    fi
    mkdir -p "$(dirname "$store")"
    touch "$store"
    local updated
    updated=$(awk '
        /^boxType=/ { next }
        { print }
        /^\[General\]$/ { print "boxType=8"; done = 1 }
        END { if (!done) { print ""; print "[General]"; print "boxType=8" } }
    ' "$store")
    printf '%s\n' "$updated" >"$store"
    echo "First start: device type UX-107 chosen in $store"
}

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    choose_first_device_type
    exec "$build/quoravi" --simulate
fi

echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running the headless acquisition instead."
out=$build/quickstart
mkdir -p "$out"
"$build/tools/quoravi-acquire" --type UX-109 --simulate \
    --select ai1,ai2,ai3,di1,di2,cnt1 \
    --rate ai1=200 --rate ai2=50 --rate ai3=10 --rate di1=20 --rate di2=20 --rate cnt1=5 \
    --stop timeout --duration 5 \
    --project "$out/run.xml" --data "$out/run.txt"
echo "The project and the text export are in $out"
