#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop sees: the two
# programs, a valid desktop entry naming them and its icon, and the udev rule.
# usage: check_install.sh <build folder>
set -euo pipefail
build=$1
command -v desktop-file-validate >/dev/null || { echo "desktop-file-validate missing"; exit 77; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*"; exit 1; }
for program in quoravi quoravi-acquire; do
    [[ -x $prefix/bin/$program ]] || fail "bin/$program not installed"
done
desktop=$prefix/share/applications/quoravi.desktop
[[ -f $desktop ]] || fail "no desktop entry"
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
for key in Name Comment Exec Icon; do
    grep -q "^$key=." "$desktop" || fail "desktop entry without $key"
done
grep -qx 'Categories=Science;Engineering;' "$desktop" || fail "desktop entry categories"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[[ -x $prefix/bin/$exec_name ]] || fail "Exec names $exec_name, which is not installed"
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
icon=$prefix/share/icons/hicolor/128x128/apps/$icon_name.png
[[ -f $icon ]] || fail "no icon $icon_name in the hicolor theme"
[[ $(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] || fail "icon is no PNG"
rule=$prefix/share/quoravi/60-quoravi-ftdi.rules
[[ -f $rule ]] || fail "no udev rule"
grep -q 'ATTRS{idVendor}=="0403"' "$rule" || fail "udev rule without the FTDI vendor"
echo "install check passed"
