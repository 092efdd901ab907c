#!/usr/bin/env bash
# Every test: the native build with sanitizers, the native release build, and
# the Windows build under Wine. Installs what it needs first (Debian 12, root).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)

run_native() {
    local preset=$1
    echo "== $preset: configure, build, test"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
}

run_native asan
run_native release

# Hardening: valgrind over the release build's tests, and each fuzzing harness
# for a short while on its seed corpus.
echo "== memcheck: the release build's tests under valgrind"
bash scripts/memcheck.sh build/release
echo "== fuzz: each harness for 20 s"
bash scripts/fuzz.sh 20

# The Windows build under Wine: unit tests, the end-to-end table, orvexres.exe
# against the Linux build, the load-failure box on Xvfb. It fails, and so does
# this, when 32-bit Windows programs cannot run (wine32 missing).
echo "== Windows: the mingw build under Wine"
bash scripts/test-windows.sh
