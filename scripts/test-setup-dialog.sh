#!/usr/bin/env bash
# orvexsetup's dialog as a real window: the native runner test_setup_dialog_wine
# (tests/wine) plays its cases against orvexsetup.exe under Wine on a private
# Xvfb display: preselections read back from the dialog, choices made with
# mouse clicks, the dialog ended with OK, Cancel, Escape or Alt+F4, the device
# key checked afterwards. The first case captures the dialog as a PNG.
#   scripts/test-setup-dialog.sh [WINDOWS_BUILD_DIR [PNG [RUNNER]]]
# Defaults: build/mingw, WINDOWS_BUILD_DIR/test-output/orvexsetup-dialog.png
# and build/wine-host/tests/wine/test_setup_dialog_wine (which
# scripts/test-windows.sh builds). Uses $WINEPREFIX (default
# WINDOWS_BUILD_DIR/wineprefix, made when missing). Its wineserver is
# restarted for the display and stopped at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=xvfb-wine.sh
. "$here/xvfb-wine.sh"
build=$(cd "${1:-$here/../build/mingw}" && pwd)
png=${2:-$build/test-output/orvexsetup-dialog.png}
runner=${3:-$here/../build/wine-host/tests/wine/test_setup_dialog_wine}
# The runner works in directories of its own: the capture's path made absolute.
case "$png" in
/*) ;;
*) png=$PWD/$png ;;
esac

: "${WINEPREFIX:=$build/wineprefix}"
export WINEPREFIX WINEDEBUG=-all
unset WAYLAND_DISPLAY

fail() {
    echo "test-setup-dialog: FAILED: $*" >&2
    exit 1
}

require_display_tools
[ -f "$build/install/orvexsetup.exe" ] || fail "$build/install/orvexsetup.exe is not built"
[ -x "$runner" ] || fail "$runner is not built"

work=$(mktemp -d)
trap 'close_display "$work"' EXIT
open_display "$work"

mkdir -p "$(dirname "$png")"
rm -f "$png"
ORVEX_DIALOG_PNG=$png "$runner" "${@:4}" || fail "the dialog cases failed"

[ -s "$png" ] || fail "no capture of the dialog in $png"
geometry=$(/usr/bin/convert "$png" -format '%wx%h %k' info:)
colours=${geometry##* }
[ "$colours" -ge 3 ] || fail "the capture is blank ($geometry)"
echo "test-setup-dialog: OK; the dialog captured as $png ($geometry: width x height, colours)"
