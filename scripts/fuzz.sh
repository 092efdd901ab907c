#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz preset, clang) and runs each of them on
# one core for a bounded time, as many at a time as there are cores, starting
# from its seed corpus under fuzz/corpus/. The seeds are copied to a scratch directory first, so the
# committed corpus does not change. Fails when any harness finds a crash, a
# leak, a hang or a broken property; the input is kept in
# build/fuzz/artifacts/<harness>/.
#
#   scripts/fuzz.sh [SECONDS]      each harness for SECONDS (default 20)
#
# Environment: ORVEX_FUZZ_RUNS=N runs each harness for N inputs instead (no
# time limit); ORVEX_FUZZ_HARNESSES="fuzz_hive ..." picks harnesses;
# ORVEX_FUZZ_JOBS=N harnesses at a time (default: the cores). A harness
# with a dictionary of its own (fuzz/<harness>.dict) uses it, the others
# fuzz/resdat.dict.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
harnesses=${ORVEX_FUZZ_HARNESSES:-"fuzz_readdat fuzz_encoder fuzz_roundtrip fuzz_hive fuzz_modeline fuzz_timing_block fuzz_lint fuzz_edid"}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2

root=$PWD
scratch=$root/build/fuzz/scratch
jobs=${ORVEX_FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}

# run_one HARNESS: one harness for its bound; its log in build/fuzz/HARNESS.log
# and its exit status in build/fuzz/HARNESS.status.
run_one() {
    local h=$1 status
    rm -rf "$scratch/$h"
    mkdir -p "$scratch/$h" "$root/build/fuzz/artifacts/$h"
    cp fuzz/corpus/"$h"/* "$scratch/$h/"
    local limit=(-max_total_time="$seconds")
    if [[ -n ${ORVEX_FUZZ_RUNS:-} ]]; then
        limit=(-runs="$ORVEX_FUZZ_RUNS")
    fi
    local dict=$root/fuzz/resdat.dict
    if [[ -f $root/fuzz/$h.dict ]]; then
        dict=$root/fuzz/$h.dict
    fi
    set +e
    nice -n 10 "$root/build/fuzz/fuzz/$h" "${limit[@]}" -max_len=8192 -timeout=10 \
        -dict="$dict" -print_final_stats=1 \
        -artifact_prefix="$root/build/fuzz/artifacts/$h/" "$scratch/$h" \
        >"$root/build/fuzz/$h.log" 2>&1
    status=$?
    set -e
    echo "$status" >"$root/build/fuzz/$h.status"
}

bound="$seconds s"
if [[ -n ${ORVEX_FUZZ_RUNS:-} ]]; then
    bound="$ORVEX_FUZZ_RUNS runs"
fi
for h in $harnesses; do
    rm -f "$root/build/fuzz/$h.status"
    while (($(jobs -rp | wc -l) >= jobs)); do
        wait -n || true
    done
    run_one "$h" &
done
wait

failed=0
for h in $harnesses; do
    log=$root/build/fuzz/$h.log
    status=$(cat "$root/build/fuzz/$h.status" 2>/dev/null || echo 1)
    echo "== $h: $bound (log: $log)"
    grep -aE '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
    if ((status != 0)); then
        echo "== $h FAILED (exit $status):"
        grep -aE '^\*\*\*|ERROR|SUMMARY|^artifact_prefix|Test unit written' "$log" | head -20
        failed=1
    fi
done
exit $failed
