#!/usr/bin/env bash
# The loader benchmark: generates data files of 1,000, 10,000 and 100,000
# timing blocks and times ReadDatFile against reading the same lines with
# fgets and parsing them with inih, plus WriteResDatFile and peak memory.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_BENCH=ON \
      -DORVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target gen_resdat bench_load >/dev/null

data="$build/data"
mkdir -p "$data"
files=()
for blocks in 1000 10000 100000; do
    file="$data/gen$blocks.dat"
    # Monitors of 100 resolutions each, spread over the blocks.
    [ -f "$file" ] || "$build/bench/gen_resdat" "$blocks" $((blocks / 100)) 100 "$file"
    files+=("$file")
done

echo "machine: $(nproc) cores, $(lscpu 2>/dev/null | sed -n 's/^Model name: *//p')"
"$build/bench/bench_load" --runs "${RUNS:-9}" "${files[@]}"
