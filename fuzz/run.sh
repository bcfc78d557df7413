#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for the given seconds (default 60) on a copy
# of its seed corpus, with its dictionary from fuzz/dict/. An input that crashes, leaks, trips a
# sanitizer or runs longer than 10 s is kept in build-fuzz/crashes/ and fails the run, after
# every target has had its turn. Installs nothing: scripts/setup.sh provides clang.
# Usage: fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
shift || true
build="$root/build-fuzz"
if ! command -v clang++ >/dev/null; then
    echo "clang++ non trovato: eseguire prima scripts/setup.sh" >&2
    exit 2
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DONDIVO_FUZZ=ON -DONDIVO_BUILD_APP=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
targets=("$@")
if ((${#targets[@]} == 0)); then
    mapfile -t targets < <(cd "$build/fuzz" && ls fuzz_*)
fi
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
mkdir -p "$build/crashes" "$build/logs"
failed=()
for t in "${targets[@]}"; do
    name=${t#fuzz_}
    work="$build/corpus/$t"
    mkdir -p "$work"
    cp -rn "$root/fuzz/corpus/$name/." "$work/" 2>/dev/null || true
    case $name in
    elementpath | invoicepage) dict="$root/fuzz/dict/invoice.dict" ;;
    *) dict="$root/fuzz/dict/$name.dict" ;;
    esac
    options=(-max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=4096
        -artifact_prefix="$build/crashes/$t-" -print_final_stats=1)
    [ -f "$dict" ] && options+=(-dict="$dict")
    echo "== $t (${seconds}s)"
    log="$build/logs/$t.log"
    touch "$build/logs/$t.start" # inputs of earlier runs are not this run's failures
    "$build/fuzz/$t" "$work" "${options[@]}" >"$log" 2>&1 || true
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" || true
    nuovi=$(find "$build/crashes" -name "$t-*" -newer "$build/logs/$t.start")
    if [ -n "$nuovi" ] || ! grep -q '^stat::number_of_executed_units' "$log"; then
        grep -E -A 30 '^==[0-9]+==|runtime error|deadly signal|Test unit written' "$log" | head -60 >&2 || true
        failed+=("$t")
    fi
done
echo "fuzz: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
if ((${#failed[@]})); then
    echo "Falliti: ${failed[*]} (input in $build/crashes, log in $build/logs)" >&2
    exit 1
fi
