#!/usr/bin/env bash
# valgrind memcheck over the native unit and end-to-end tests, on the release
# build (the sanitizer build cannot run under valgrind). Each test program runs
# whole under valgrind, and so does every process it starts (the end-to-end
# runner's orvexinst). Fails on any memory error and on definite or indirect
# leaks.
#
#   scripts/memcheck.sh [BUILD_DIR]     default build/release (the release
#                                       preset), configured and built if needed
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

tests_dir=$PWD/$dir/tests
mkdir -p "$tests_dir/tmp"
failed=()
for program in "$tests_dir"/test_*; do
    [[ -x $program && -f $program ]] || continue
    name=$(basename "$program")
    log=$tests_dir/$name.memcheck.log
    start=$SECONDS
    set +e
    (cd "$tests_dir" && ORVEX_TEST_TMP=$tests_dir/tmp valgrind "${valgrind_args[@]}" \
        "$program" >"$log" 2>&1)
    status=$?
    set -e
    summary=$(grep -aE '^\[  (PASSED|FAILED)  \]' "$log" | head -n 1)
    echo "== $name: exit $status, $((SECONDS - start)) s; $summary"
    if ((status != 0)); then
        grep -aE '^==[0-9]+== ' "$log" | head -n 30
        failed+=("$name")
    fi
done
if ((${#failed[@]})); then
    echo "memcheck: FAILED: ${failed[*]} (logs: $tests_dir/*.memcheck.log)"
    exit 1
fi
echo "memcheck: clean"
