#!/usr/bin/env bash
# Every test: the native build with sanitizers, the native release build's
# tests under valgrind, each fuzzing harness for a while, and the Windows
# builds (the programs that ship checked from their files, the tests under
# Wine). Installs what it needs first (Debian 12, root). Each part says how
# long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
bash scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
step=$SECONDS
took() {
    echo "== $1: $((SECONDS - step)) s"
    step=$SECONDS
}

echo "== asan: configure, build, test"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"
took "asan: built and tested"

# The release build's tests run under valgrind, all of them but the oracle
# grids (which the sanitizer build has just run): that is the release run.
echo "== release: configure, build; its tests under valgrind"
bash scripts/memcheck.sh build/release
took "release: built, tests under valgrind"

echo "== fuzz: each harness for 20 s"
bash scripts/fuzz.sh 20
took "fuzz: built and run"

# The Windows builds: the programs that ship read from their files, the unit
# tests, the end-to-end table, orvexres.exe against the Linux build, Wine as
# NT 4.0 and 3.51, the load-failure box and orvexsetup's dialog on Xvfb. It
# fails, and so does this, when the programs of the build under test cannot
# run under Wine.
echo "== Windows: the mingw builds under Wine"
bash scripts/test-windows.sh
took "Windows"
echo "== all tests: $((SECONDS - start)) s"
