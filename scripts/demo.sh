#!/usr/bin/env bash
# The main job on the bundled example: build the installer, run it in a
# sandbox (its own system directory and registry hive) and show what it did.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake --preset release >/dev/null
cmake --build --preset release --target orvexinst orvexregshow >/dev/null

sandbox=sandbox/demo
rm -rf "$sandbox"
mkdir -p "$sandbox/system32"
cp examples/ORVEXRES.DAT "$sandbox/system32/"
cp examples/registry.reg "$sandbox/registry.reg"
export ORVEX_SYSTEM_DIR="$PWD/$sandbox/system32"
export ORVEX_REGISTRY="$PWD/$sandbox/registry.reg"

echo "== Data file: $ORVEX_SYSTEM_DIR/ORVEXRES.DAT"
echo "== Registry hive: $ORVEX_REGISTRY"
echo "== Device key before the installer runs:"
build/release/tools/orvexregshow | tee "$sandbox/before.txt"

set +e
build/release/install/orvexinst
status=$?
set -e

echo
echo "== orvexinst exit code: $status (1: settings installed, 0: data file not loaded)"
echo "== Device key afterwards:"
build/release/tools/orvexregshow | tee "$sandbox/after.txt"
echo
echo "== What changed:"
# diff exits 1 when the files differ: take its lines, then judge them.
changes=$(diff "$sandbox/before.txt" "$sandbox/after.txt" | grep '^[<>]' || true)
if [ -n "$changes" ]; then
    echo "$changes"
else
    echo "(nothing)"
fi
echo
echo "== The hive file itself:"
cat "$ORVEX_REGISTRY"
