#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for the given seconds (default 60) on a copy
# of its seed corpus. A crash leaves its input in build-fuzz/crashes/ and fails the run.
# Usage: fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
shift || true
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DONDIVO_FUZZ=ON -DONDIVO_BUILD_APP=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
targets=("$@")
if ((${#targets[@]} == 0)); then
    mapfile -t targets < <(cd "$build/fuzz" && ls fuzz_*)
fi
mkdir -p "$build/crashes"
for t in "${targets[@]}"; do
    work="$build/corpus/$t"
    mkdir -p "$work"
    cp -rn "$root/fuzz/corpus/${t#fuzz_}/." "$work/" 2>/dev/null || true
    echo "== $t (${seconds}s)"
    "$build/fuzz/$t" "$work" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=4096 \
        -artifact_prefix="$build/crashes/$t-" -print_final_stats=1 2>&1 |
        grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)' || true
    if ls "$build/crashes/$t-"* >/dev/null 2>&1; then
        echo "$t: crash inputs in $build/crashes" >&2
        exit 1
    fi
done
