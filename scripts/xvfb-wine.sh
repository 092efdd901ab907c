# Sourced by the scripts that show Windows programs on a display of their own
# (a private Xvfb display, a wineserver that takes it). Not run by itself.
#   start_xvfb DIR        starts Xvfb (its log and display number in DIR), sets
#                         DISPLAY and xvfb_pid; returns 1 when it does not start
#   stop_xvfb             stops it again (nothing when none was started)
#   start_wine_on_display restarts the wineserver of $WINEPREFIX so that it
#                         takes $DISPLAY (a server keeps the display it started
#                         with), starts Wine's services away from the caller's
#                         pipes, and lets Wine draw frames itself (no window
#                         manager runs)
#   stop_wine             stops that wineserver
#   open_display DIR      a display of our own (its files in DIR), then a
#                         server that takes it (wine-run.sh makes the prefix if
#                         needed); the caller's fail when Xvfb does not start
#   close_display DIR     stops the server and the display, removes DIR
#   require_display_tools fails (the caller's fail) unless Xvfb, xdotool, xwd
#                         and ImageMagick's convert are there
#   system_dir BUILD      prints where the programs of the Windows build BUILD
#                         find their system directory in $WINEPREFIX: a 64-bit
#                         program in system32; a 32-bit one in syswow64 of a
#                         64-bit prefix, system32 of a 32-bit one
# Wine's tools run with $ORVEX_WINE (scripts/windows-arch.sh), default `wine`.
xvfb_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
xvfb_pid=

start_xvfb() {
    local dir=$1
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$dir/display" ] && break
        sleep 0.1
    done
    [ -s "$dir/display" ] || return 1
    export DISPLAY=:$(tr -d '\n' <"$dir/display")
}

stop_xvfb() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=
    fi
}

stop_wine() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

start_wine_on_display() {
    stop_wine
    bash "$xvfb_here/wine-run.sh" cmd /c exit 0 </dev/null >/dev/null 2>&1
    "${ORVEX_WINE:-wine}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
}

open_display() {
    start_xvfb "$1" || fail "Xvfb did not start: $(cat "$1/xvfb.log")"
    start_wine_on_display
}

close_display() {
    stop_wine
    stop_xvfb
    rm -rf "$1"
}

require_display_tools() {
    for tool in Xvfb xdotool xwd; do
        command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup-windows.sh installs it)"
    done
    [ -x /usr/bin/convert ] || fail "/usr/bin/convert is missing (imagemagick)"
}

system_dir() {
    local windows=$WINEPREFIX/drive_c/windows
    if ! grep -q '^ORVEX_WINDOWS_BITS:INTERNAL=64$' "$1/CMakeCache.txt" 2>/dev/null &&
        [ -d "$windows/syswow64" ]; then
        echo "$windows/syswow64"
    else
        echo "$windows/system32"
    fi
}
