#!/usr/bin/env bash
# Installs what the Windows cross build and its tests under Wine need, on
# Debian 12, as root: the MinGW-w64 i686 compiler, Wine with its 32-bit half,
# Xvfb with the tools to drive and capture windows, and the native compiler
# and GoogleTest for the runners that check the Windows programs from Linux. Only missing packages
# are installed; running it again changes nothing.
#   --verify   also run a freshly built 32-bit program under Wine (done anyway
#              right after installing anything)
# Fails when 32-bit Windows programs cannot really run: without wine32, wine64
# starts a 32-bit program in a mode that cannot load it and still exits 0.
set -euo pipefail

verify=0
if [ "${1:-}" = "--verify" ]; then
    verify=1
fi

packages=(cmake ninja-build g++ googletest libgtest-dev g++-mingw-w64-i686-posix wine wine64
          wine32:i386 xvfb xdotool x11-apps imagemagick)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if ((${#missing[@]})); then
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup-windows: missing ${missing[*]}; run this as root to install them" >&2
        exit 1
    fi
    echo "setup-windows: installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    # shellcheck source=apt-install.sh
    . "$(dirname "$0")/apt-install.sh"
    apt_install "${missing[@]}" || { echo "setup-windows: FAILED: packages missing" >&2; exit 1; }
    verify=1
fi

fail() {
    echo "setup-windows: FAILED: $*" >&2
    exit 1
}

# The 32-bit loader must be there, or Debian's wine wrapper falls back to wine64.
dpkg -s wine32:i386 >/dev/null 2>&1 || fail "wine32:i386 is not installed"
[ -x /usr/lib/wine/wine ] || fail "/usr/lib/wine/wine (the 32-bit Wine loader) is missing"

if ((verify)); then
    # A 32-bit program that reports through its exit code that it ran.
    work=$(mktemp -d)
    trap 'WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
    cat >"$work/probe.c" <<'PROBE'
#include <windows.h>
int main(void) {
    char dir[MAX_PATH];
    return GetSystemDirectoryA(dir, sizeof dir) > 0 ? 42 : 1;
}
PROBE
    i686-w64-mingw32-gcc-posix -static -o "$work/probe.exe" "$work/probe.c" ||
        fail "the MinGW-w64 i686 compiler cannot build a program"
    status=0
    WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        wine "$work/probe.exe" </dev/null >/dev/null 2>&1 || status=$?
    WINEPREFIX="$work/prefix" wineserver -w >/dev/null 2>&1 || true
    [ "$status" -eq 42 ] ||
        fail "a 32-bit Windows program did not run under Wine (exit $status, expected 42)"
    echo "setup-windows: a 32-bit Windows program runs under Wine"
fi
