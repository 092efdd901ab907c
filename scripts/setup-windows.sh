#!/usr/bin/env bash
# Installs what the Windows cross builds and their tests under Wine need, on
# Debian 12, as root: the MinGW-w64 compilers (i686 for the programs that
# ship, x86-64 for the 64-bit build and a probe), Wine, Xvfb with the tools to
# drive and capture windows, and the native compiler and GoogleTest for the
# runners that check the Windows programs from Linux. Wine's 32-bit half
# (wine32:i386) only where the kernel runs 32-bit programs
# (scripts/windows-arch.sh says which build the tests run). Only missing
# packages are installed; running it again changes nothing.
#   --verify   also run a freshly built program of the tested build under Wine
#              (done anyway right after installing anything)
# Fails when the tested build's programs cannot really run: without wine32,
# wine64 starts a 32-bit program in a mode that cannot load it and still
# exits 0.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

verify=0
if [ "${1:-}" = "--verify" ]; then
    verify=1
fi

fail() {
    echo "setup-windows: FAILED: $*" >&2
    exit 1
}

# install_missing PACKAGE...: installs those not installed yet.
install_missing() {
    local p missing=()
    for p in "$@"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    [ "$(id -u)" -eq 0 ] || fail "missing ${missing[*]}; run this as root to install them"
    echo "setup-windows: installing ${missing[*]}"
    # shellcheck source=apt-install.sh
    . "$here/apt-install.sh"
    apt_install "${missing[@]}" || fail "packages missing"
    verify=1
}

install_missing cmake ninja-build g++ googletest libgtest-dev g++-mingw-w64-i686-posix \
    g++-mingw-w64-x86-64-posix wine wine64 xvfb xdotool x11-apps imagemagick

# shellcheck source=windows-arch.sh
. "$here/windows-arch.sh"
if [ "$ORVEX_WINDOWS_ARCH" = x86 ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        [ "$(id -u)" -eq 0 ] || fail "the i386 architecture is not enabled; run this as root"
        dpkg --add-architecture i386
    fi
    install_missing wine32:i386
    # The 32-bit loader must be there, or Debian's wine wrapper falls back to wine64.
    [ -x /usr/lib/wine/wine ] || fail "/usr/lib/wine/wine (the 32-bit Wine loader) is missing"
    compiler=i686-w64-mingw32-gcc-posix
else
    echo "setup-windows: this machine's kernel runs no 32-bit programs: the tests under Wine" \
        "run the 64-bit build (scripts/windows-arch.sh)"
    compiler=x86_64-w64-mingw32-gcc-posix
fi

if ((verify)); then
    # A program of the tested build that reports through its exit code that it ran.
    work=$(mktemp -d)
    trap 'WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
    cat >"$work/probe.c" <<'PROBE'
#include <windows.h>
int main(void) {
    char dir[MAX_PATH];
    return GetSystemDirectoryA(dir, sizeof dir) > 0 ? 42 : 1;
}
PROBE
    "$compiler" -static -o "$work/probe.exe" "$work/probe.c" ||
        fail "the MinGW-w64 compiler $compiler cannot build a program"
    status=0
    WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        "$ORVEX_WINE" "$work/probe.exe" </dev/null >/dev/null 2>&1 || status=$?
    WINEPREFIX="$work/prefix" wineserver -w >/dev/null 2>&1 || true
    [ "$status" -eq 42 ] ||
        fail "a $ORVEX_WINDOWS_ARCH Windows program did not run under Wine (exit $status, expected 42)"
    echo "setup-windows: a $ORVEX_WINDOWS_ARCH Windows program runs under Wine"
fi
