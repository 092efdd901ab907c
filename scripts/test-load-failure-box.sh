#!/usr/bin/env bash
# The installer's load-failure message box as a real window: orvexinst.exe runs
# under Wine on a private Xvfb display with no data file, the box is found by
# its caption, captured as a PNG, and closed by pressing OK (Return); the
# installer must then exit with 0, and Wine's relay trace must show the box's
# text and caption and that MessageBoxA returned IDOK.
#   scripts/test-load-failure-box.sh [WINDOWS_BUILD_DIR [PNG]]
# Defaults: build/mingw and WINDOWS_BUILD_DIR/test-output/load-failure-box.png.
# Uses $WINEPREFIX (default WINDOWS_BUILD_DIR/wineprefix, made when missing).
# Its wineserver is restarted for the display (a server keeps the display it
# started with) and stopped at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=xvfb-wine.sh
. "$here/xvfb-wine.sh"
build=$(cd "${1:-$here/../build/mingw}" && pwd)
png=${2:-$build/test-output/load-failure-box.png}
caption='Orvex NT Driver Install Error'
text='Error reading ORVEXRES.DAT'

: "${WINEPREFIX:=$build/wineprefix}"
export WINEPREFIX WINEDEBUG=-all
unset WAYLAND_DISPLAY

fail() {
    echo "test-load-failure-box: FAILED: $*" >&2
    exit 1
}

require_display_tools
installer=$build/install/orvexinst.exe
[ -f "$installer" ] || fail "$installer is not built"

work=$(mktemp -d)
install_pid=
cleanup() {
    if [ -n "$install_pid" ]; then
        kill "$install_pid" 2>/dev/null || true
    fi
    close_display "$work"
}
trap cleanup EXIT

open_display "$work"
"${ORVEX_WINE:-wine}" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
    /d 'user32.MessageBoxA;user32.MessageBoxW' /f >/dev/null 2>&1

# No data file where the installer looks for it.
rm -rf "$(system_dir "$build")/ORVEXRES.DAT"

WINEDEBUG=-all,+relay "${ORVEX_WINE:-wine}" "$installer" </dev/null >/dev/null 2>"$work/trace.txt" &
install_pid=$!

window=
for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name "^$caption\$" 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    kill -0 "$install_pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$window" ] ||
    fail "no visible window captioned '$caption'; message boxes: $(grep -F MessageBox "$work/trace.txt")"
# Let the box finish painting before the capture.
sleep 1

mkdir -p "$(dirname "$png")"
xwd -id "$window" -silent | /usr/bin/convert xwd:- "$png"
geometry=$(/usr/bin/convert "$png" -format '%wx%h %k' info:)
echo "test-load-failure-box: captured window $window ($geometry: width x height, colours) as $png"
colours=${geometry##* }
[ "$colours" -ge 3 ] || fail "the capture is blank ($geometry)"

# The box may close on the key press, before the key release reaches it: the
# exit code, the trace and the vanished window tell whether OK was pressed.
xdotool key --window "$window" Return 2>/dev/null || true
status=
for _ in $(seq 100); do
    if ! kill -0 "$install_pid" 2>/dev/null; then
        status=0
        wait "$install_pid" || status=$?
        install_pid=
        break
    fi
    sleep 0.1
done
# (cleanup kills an installer still running)
[ -n "$status" ] || fail "the installer did not exit after OK"
[ "$status" -eq 0 ] || fail "the installer exited with $status, expected 0"
if xdotool search --onlyvisible --name "^$caption\$" >/dev/null 2>&1; then
    fail "the box is still on the display"
fi

call=$(grep -F 'Call user32.MessageBoxA(' "$work/trace.txt" || true)
case "$call" in
*"(00000000,"*" \"$text\","*" \"$caption\","*) ;;
*) fail "no MessageBoxA call with '$text' and '$caption' in the trace: $call" ;;
esac
# IDOK (1): the box was closed with its OK button.
grep -q "Ret  user32.MessageBoxA() retval=00000001" "$work/trace.txt" ||
    fail "MessageBoxA did not return IDOK: $(grep -F MessageBox "$work/trace.txt")"
[ "$(grep -c 'Call user32.MessageBox' "$work/trace.txt")" -eq 1 ] || fail "more than one message box"
echo "test-load-failure-box: OK: the box appeared, OK closed it, exit code 0"
