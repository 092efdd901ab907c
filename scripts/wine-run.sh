#!/usr/bin/env bash
# Run a Windows program under Wine for the build and the tests:
#   scripts/wine-run.sh prog.exe [args...]
# The prefix is $WINEPREFIX, by default build/mingw/wineprefix of this checkout;
# it is created (scripts/wine-prefix.sh) when it does not exist yet. Wine's own
# messages are silenced (WINEDEBUG=-all unless set) and the program's exit code
# is passed through (Wine truncates it to 8 bits).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:=$(dirname "$here")/build/mingw/wineprefix}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG

# The loader of the build under test (scripts/windows-arch.sh): ORVEX_WINE, or
# Debian's wrapper. The wrapper falls back to wine64 when wine32 is missing,
# and a 32-bit program then "exits 0" without having run.
wine=${ORVEX_WINE:-wine}
if [ "$wine" = wine ] && [ -x /usr/lib/wine/wine64 ] && [ ! -x /usr/lib/wine/wine ]; then
    echo "wine-run.sh: wine32 is not installed (apt-get install wine32:i386)" >&2
    exit 127
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    # One creator at a time; the others wait and find the prefix made.
    flock "$WINEPREFIX.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || "$1"' sh \
        "$here/wine-prefix.sh" >&2
fi

# A persistent server (exits 2 at once when one runs already): without it
# every call cold-starts Wine's services. When it is new, start the services
# here with no terminal or pipe of the caller: they outlive the program and
# would otherwise keep the caller's pipe open (a test runner or `| tail` then
# waits for ever).
if wineserver -p >/dev/null 2>&1; then
    "$wine" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
fi

exec "$wine" "$@"
