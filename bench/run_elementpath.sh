#!/usr/bin/env bash
# One element path query on a 20,000-line invoice, next to `xmllint --noout` on the same file.
# Usage: bench/run_elementpath.sh [BUILD_DIR]   (the build needs -DONDIVO_BUILD_BENCH=ON)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../build-bench}
[ -x "$build/bench/elementpath_bench" ] || {
    cmake -S "$here/.." -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DONDIVO_BUILD_BENCH=ON \
        -DBUILD_TESTING=OFF -DONDIVO_BUILD_APP=OFF >/dev/null
    cmake --build "$build" --target elementpath_bench >/dev/null
}
command -v hyperfine >/dev/null || apt-get install -y -q hyperfine >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 "$here/genfattura.py" "$tmp/f.xml" --lines 20000
echo "invoice: $(wc -c <"$tmp/f.xml") bytes, 20000 lines"

ours=$(ONDIVO_BENCH_XML="$tmp/f.xml" "$build/bench/elementpath_bench" \
    --benchmark_filter=FormatoTrasmissione --benchmark_repetitions=10 \
    --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
    awk -F, '/_median/ {print $4}')
# xmllint's median over whole runs, in milliseconds.
hyperfine -N -w 3 -r 20 --export-json "$tmp/ref.json" "xmllint --noout $tmp/f.xml" >/dev/null
ref=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["median"]*1000)' "$tmp/ref.json")
awk -v o="$ours" -v r="$ref" 'BEGIN {
    printf "LeggiValoriXml (one query): %.1f ms\nxmllint --noout:            %.1f ms\nratio: %.2fx (target <= 1.5x)\n", o, r, o / r }'
