#!/usr/bin/env bash
# The Windows build and its tests under Wine, from a fresh Wine prefix:
#   scripts/test-windows.sh [--xvfb] [ctest arguments...]
# Installs what it needs first (Debian 12, root), builds the mingw preset,
# creates build/mingw/wineprefix anew with a persistent wineserver, and runs
#   1. the unit tests: `ctest --preset mingw` (one test at a time; the ctest
#      arguments go here);
#   2. the installer's end-to-end table and the orvexres.exe comparisons,
#      from native runners built in build/wine-host;
#   3. the load-failure box on a private Xvfb display
#      (scripts/test-load-failure-box.sh; the capture is kept as
#      build/mingw/test-output/load-failure-box.png);
#   4. orvexsetup's dialog driven on a private Xvfb display
#      (scripts/test-setup-dialog.sh; the capture is kept as
#      build/mingw/test-output/orvexsetup-dialog.png);
# then stops the server again. Headless by default (no DISPLAY: message boxes
# return at once and no window can be created); --xvfb runs the unit tests on
# a private Xvfb display instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-windows.sh

use_xvfb=0
if [ "${1:-}" = "--xvfb" ]; then
    use_xvfb=1
    shift
fi

cmake --preset mingw >/dev/null
cmake --build --preset mingw -j 2

# The prefix of the mingw test preset.
export WINEPREFIX=$PWD/build/mingw/wineprefix
export WINEDEBUG=-all

# shellcheck source=xvfb-wine.sh
. scripts/xvfb-wine.sh
xvfb_dir=$(mktemp -d)
cleanup() {
    stop_wine
    stop_xvfb
    rm -rf "$xvfb_dir"
}
trap cleanup EXIT

unset WAYLAND_DISPLAY
if ((use_xvfb)); then
    start_xvfb "$xvfb_dir" || { echo "test-windows: Xvfb did not start" >&2; exit 1; }
    echo "== Xvfb on $DISPLAY"
else
    unset DISPLAY
fi

start=$(date +%s)
# Any server of an older prefix at this path fixed its display choice at its
# start: the prefix script stops it before making the prefix anew.
bash scripts/wine-prefix.sh
ctest --preset mingw "$@"
echo "== Windows unit tests: $(($(date +%s) - start)) s from a fresh prefix"

# The installer's end-to-end table against Wine's registry, and orvexres.exe
# against the Linux orvexres: native runners (tests/wine) built in a native
# build that points at this one. Always headless.
if ((use_xvfb)); then
    stop_wine
    unset DISPLAY
fi
step=$(date +%s)
cmake -S . -B build/wine-host -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DORVEX_WINDOWS_BUILD="$PWD/build/mingw" >/dev/null
cmake --build build/wine-host -j 2 --target test_installer_wine test_orvexres_wine \
    test_setup_dialog_wine
ctest --test-dir build/wine-host -L wine -j 1 --output-on-failure --no-tests=error
echo "== Wine end-to-end runs: $(($(date +%s) - step)) s"

# The load-failure box as a real window on a private Xvfb display, captured.
step=$(date +%s)
bash scripts/test-load-failure-box.sh build/mingw build/mingw/test-output/load-failure-box.png
# orvexsetup's dialog: preselections, clicks, OK, Cancel, Escape, Alt+F4.
bash scripts/test-setup-dialog.sh build/mingw build/mingw/test-output/orvexsetup-dialog.png \
    build/wine-host/tests/wine/test_setup_dialog_wine
echo "== Xvfb runs: $(($(date +%s) - step)) s"
echo "== Windows tests: $(($(date +%s) - start)) s in all from a fresh prefix"
