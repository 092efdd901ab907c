#!/usr/bin/env bash
# The Windows builds and their tests under Wine, from fresh Wine prefixes:
#   scripts/test-windows.sh [--xvfb] [ctest arguments...]
# Installs what it needs first (Debian 12, root), then
#   1. builds the programs that ship (the mingw preset: orvexinst.exe and
#      orvexsetup.exe for Windows NT 3.51 and 4.0 on an i486) and checks them
#      from their files, with the probes that show the check at work
#      (tests/nt, cmake/check-nt-program.cmake);
#   2. builds the Windows build under test (scripts/windows-arch.sh: the same
#      32-bit build where this machine runs 32-bit programs, else the 64-bit
#      build of the same sources), creates its prefix anew with a persistent
#      wineserver and runs its unit tests (one at a time; the ctest arguments
#      go here);
#   3. the installer's end-to-end table, the exported-hive round trip and the
#      orvexres.exe comparisons, from native runners built in build/wine-host;
#   4. Wine set to Windows NT 4.0 (a 32-bit prefix where 32-bit programs
#      run): the end-to-end table again; set to NT 3.51: the load-failure box
#      on a private Xvfb display;
#   5. the load-failure box and orvexsetup's dialog on a private Xvfb display
#      (scripts/test-load-failure-box.sh, scripts/test-setup-dialog.sh; the
#      captures are kept in BUILD/test-output);
# then stops the servers again. Headless by default (no DISPLAY: message
# boxes return at once and no window can be created); --xvfb runs the unit
# tests on a private Xvfb display instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-windows.sh
# shellcheck source=windows-arch.sh
. scripts/windows-arch.sh

use_xvfb=0
if [ "${1:-}" = "--xvfb" ]; then
    use_xvfb=1
    shift
fi

start=$(date +%s)
echo "== The programs that ship, read from their files"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j 2 --target nt_programs
ctest --test-dir build/mingw/tests/nt --output-on-failure --no-tests=error

preset=$ORVEX_WINDOWS_PRESET
build=$PWD/build/$preset
if [ "$ORVEX_WINDOWS_ARCH" = x64 ]; then
    echo "== This machine's kernel runs no 32-bit programs, nor Wine's 32-bit half: the tests"
    echo "   under Wine run the 64-bit build of the same sources ($build), with the same"
    echo "   start-up and C runtime as the programs that ship"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j 2

export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all

# shellcheck source=xvfb-wine.sh
. scripts/xvfb-wine.sh
xvfb_dir=$(mktemp -d)
nt_prefix=$build/wineprefix-nt
cleanup() {
    WINEPREFIX=$nt_prefix stop_wine
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

step=$(date +%s)
# Any server of an older prefix at this path fixed its display choice at its
# start: the prefix script stops it before making the prefix anew.
bash scripts/wine-prefix.sh
# Now and then Wine fails to start a program without a word (exit 1, no
# output): a test that fails is tried once more; a real fault fails twice.
retry=(--repeat until-pass:2)
ctest --preset "$preset" "${retry[@]}" "$@"
echo "== Windows unit tests: $(($(date +%s) - step)) s from a fresh prefix"

# The installer's end-to-end table against Wine's registry, and orvexres.exe
# against the Linux orvexres: native runners (tests/wine) built in a native
# build that points at the build under test. Always headless.
if ((use_xvfb)); then
    stop_wine
    unset DISPLAY
fi
step=$(date +%s)
cmake -S . -B build/wine-host -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DORVEX_WINDOWS_BUILD="$build" >/dev/null
cmake --build build/wine-host -j 2 --target test_installer_wine test_orvexres_wine \
    test_setup_dialog_wine
ctest --test-dir build/wine-host -L wine -j 1 --output-on-failure --no-tests=error "${retry[@]}"
echo "== Wine end-to-end runs: $(($(date +%s) - step)) s"

# Wine as Windows NT 4.0 and NT 3.51: code that asks the system for its
# version and takes another path shows here. A prefix of its own, 32-bit
# where 32-bit programs run.
step=$(date +%s)
set_windows_version() {
    WINEPREFIX=$nt_prefix "$ORVEX_WINE" reg add 'HKCU\Software\Wine' /v Version /d "$1" /f \
        >/dev/null
    local shown
    shown=$(WINEPREFIX=$nt_prefix "$ORVEX_WINE" cmd /c ver </dev/null | tr -d '\r')
    case "$shown" in
    *"Windows $2."*) echo "== Wine as $1:" $shown ;;
    *)
        echo "test-windows: Wine set to $1 reports \"$shown\"" >&2
        exit 1
        ;;
    esac
}
nt_arch=()
[ "$ORVEX_WINDOWS_ARCH" = x86 ] && nt_arch=(WINEARCH=win32)
env WINEPREFIX="$nt_prefix" "${nt_arch[@]}" bash scripts/wine-prefix.sh
set_windows_version nt40 4.0
WINEPREFIX=$nt_prefix ctest --test-dir build/wine-host -L wine -R 'InstallerUnderWine' -j 1 \
    --output-on-failure --no-tests=error "${retry[@]}"
set_windows_version nt351 3.51
WINEPREFIX=$nt_prefix bash scripts/test-load-failure-box.sh "$build" \
    "$build/test-output/load-failure-box-nt351.png"
echo "== Wine as NT 4.0 and NT 3.51: $(($(date +%s) - step)) s"

# The load-failure box as a real window on a private Xvfb display, captured.
step=$(date +%s)
bash scripts/test-load-failure-box.sh "$build" "$build/test-output/load-failure-box.png"
# orvexsetup's dialog: preselections, clicks, OK, Cancel, Escape, Alt+F4.
bash scripts/test-setup-dialog.sh "$build" "$build/test-output/orvexsetup-dialog.png" \
    build/wine-host/tests/wine/test_setup_dialog_wine
echo "== Xvfb runs: $(($(date +%s) - step)) s"
echo "== Windows tests: $(($(date +%s) - start)) s in all from fresh prefixes"
