#!/usr/bin/env bash
# Create a fresh Wine prefix for the Windows tests, without any dialogue, and
# leave a persistent wineserver running for it so that each later `wine` call
# starts in about 0.1 s instead of about 3 s.
#   WINEPREFIX   the prefix (default: build/mingw/wineprefix of this checkout);
#                a prefix this script made before is removed first (any other
#                non-empty directory there is refused).
#   WINEARCH     win32 for a 32-bit prefix (default: Wine's, 64-bit).
#   ORVEX_WINE   the Wine loader (default: Debian's wrapper `wine`).
# The server keeps the display choice it starts with: run this with DISPLAY as
# the tests will have it (unset for headless runs). Stop the server with
# `WINEPREFIX=... wineserver -k`.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:=$(dirname "$here")/build/mingw/wineprefix}"
case "$WINEPREFIX" in
/*) ;;
*) WINEPREFIX=$(pwd)/$WINEPREFIX ;;
esac
export WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko download prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Only a prefix made by this script is ever removed: WINEPREFIX may name
# someone's own prefix by mistake.
marker=$WINEPREFIX/.orvex-test-prefix
if [ -e "$WINEPREFIX" ] && [ ! -e "$marker" ] && [ -n "$(ls -A "$WINEPREFIX")" ]; then
    echo "wine-prefix.sh: $WINEPREFIX exists and was not made by this script; not touching it" >&2
    exit 1
fi

# A server still running for an older prefix at this path would keep it alive.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
touch "$marker"

wine=${ORVEX_WINE:-wine}
"$wine" wineboot -i
wineserver -w

# A crashing program must not open the debugger's dialogue and block.
"$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
wineserver -w

# The persistent server, and Wine's services started with no terminal or pipe
# of the caller (they outlive every program and would keep such a pipe open).
wineserver -p
"$wine" cmd /c exit 0 </dev/null >/dev/null 2>&1
echo "wine-prefix.sh: $WINEPREFIX ready, wineserver persistent" >&2
