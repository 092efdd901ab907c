#!/usr/bin/env bash
# Line and branch coverage by the unit and end-to-end tests: builds the
# coverage preset (gcc with gcov), runs every test and prints the gcovr
# summaries of the database and the installer (resdat/, install/), the timing
# library (timing/), the tools (tools/) and the POSIX platform layer
# (platform/). Branches that only exceptions can take, and those the compiler
# proves unreachable, are left out.
#
#   scripts/coverage.sh            summaries and per-file tables
#   ORVEX_COVERAGE_HTML=1 ...      also build/coverage/html/index.html
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset coverage >/dev/null
cmake --build --preset coverage -j 2
find build/coverage -name '*.gcda' -delete
# Some end-to-end cases run the installer as an unprivileged user, which must
# be able to create and update the counter files too.
find build/coverage -type d -exec chmod a+rwx {} +
(umask 0 && ctest --preset coverage -j 2) >build/coverage/ctest.log 2>&1 || {
    cat build/coverage/ctest.log
    exit 1
}
tail -n 3 build/coverage/ctest.log

common=(--root . --object-directory build/coverage --exclude-throw-branches
        --exclude-unreachable-branches --exclude 'tests/' --exclude 'build/')
report() {
    local title=$1
    shift
    echo
    echo "== $title: lines"
    gcovr "${common[@]}" "$@" --txt
    echo "== $title: branches"
    gcovr "${common[@]}" "$@" --txt --branches --print-summary
}
report "resdat/ and install/" --filter 'resdat/' --filter 'install/'
report "timing/" --filter 'timing/'
report "tools/" --filter 'tools/'
report "platform/" --filter 'platform/'
if [[ -n ${ORVEX_COVERAGE_HTML:-} ]]; then
    mkdir -p build/coverage/html
    gcovr "${common[@]}" --filter 'resdat/' --filter 'install/' --filter 'timing/' \
        --filter 'tools/' --filter 'platform/' \
        --html-details build/coverage/html/index.html
    echo "HTML: build/coverage/html/index.html"
fi
