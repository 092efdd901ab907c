#!/usr/bin/env bash
# valgrind memcheck over the native unit and end-to-end tests, on the release
# build (the sanitizer build cannot run under valgrind). Each test program runs
# whole under valgrind, and so does every process it starts (the end-to-end
# runner's orvexinst), as many programs at a time as there are cores. Fails on
# any memory error and on definite or indirect leaks. The oracle grids, which
# run the same formulas over thousands of sizes against a reference
# calculator, stay out: they run natively under the sanitizers.
#
#   scripts/memcheck.sh [BUILD_DIR]     default build/release (the release
#                                       preset), configured and built if needed
# Environment: ORVEX_MEMCHECK_JOBS=N programs at a time (default: the cores).
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${1:-build/release}
cmake --preset release -B "$dir" >/dev/null
cmake --build "$dir" -j 2

# The programs' own operator new/delete (test_posix_registry brings malloc-based
# ones to inject allocation failures) are left alone: valgrind sees the
# mallocs and frees beneath them.
# The reference calculator the timing oracle runs thousands of times is not
# ours: it runs natively.
valgrind_args=(--error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect
               --soname-synonyms=somalloc=nouserintercepts --trace-children=yes
               --trace-children-skip='*/edid-decode,*/xmllint' --vgdb=no -q)

# What stays out of valgrind, as a gtest filter a program.
declare -A filters=([test_vesa_oracle]='-*Grid*')

tests_dir=$PWD/$dir/tests
mkdir -p "$tests_dir/tmp"
jobs=${ORVEX_MEMCHECK_JOBS:-$(nproc 2>/dev/null || echo 2)}

# run_one PROGRAM: the program under valgrind; its log in NAME.memcheck.log,
# its exit status and time in NAME.memcheck.status.
run_one() {
    local program=$1 name status start=$SECONDS
    name=$(basename "$program")
    local filter=()
    if [[ -n ${filters[$name]:-} ]]; then
        filter=(--gtest_filter="${filters[$name]}")
    fi
    set +e
    (cd "$tests_dir" && ORVEX_TEST_TMP=$tests_dir/tmp valgrind "${valgrind_args[@]}" \
        "$program" "${filter[@]}" >"$tests_dir/$name.memcheck.log" 2>&1)
    status=$?
    set -e
    echo "$status $((SECONDS - start))" >"$tests_dir/$name.memcheck.status"
}

programs=()
for program in "$tests_dir"/test_*; do
    [[ -x $program && -f $program ]] || continue
    programs+=("$program")
    rm -f "$tests_dir/$(basename "$program").memcheck.status"
    while (($(jobs -rp | wc -l) >= jobs)); do
        wait -n || true
    done
    run_one "$program" &
done
wait

failed=()
for program in "${programs[@]}"; do
    name=$(basename "$program")
    log=$tests_dir/$name.memcheck.log
    read -r status seconds <"$tests_dir/$name.memcheck.status" || status=1
    summary=$(grep -aE '^\[  (PASSED|FAILED)  \]' "$log" | head -n 1)
    echo "== $name: exit $status, ${seconds:-?} s; $summary"
    if ((status != 0)); then
        grep -aE '^==[0-9]+== ' "$log" | head -n 30
        failed+=("$name")
    fi
done
if ((${#failed[@]})); then
    echo "memcheck: FAILED: ${failed[*]} (logs: $tests_dir/*.memcheck.log)"
    exit 1
fi
echo "memcheck: clean (${#programs[@]} programs, $jobs at a time)"
