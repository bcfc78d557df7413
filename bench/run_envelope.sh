#!/usr/bin/env bash
# ondivo-cli p7m on a 5 MB invoice in a DER envelope, next to `openssl cms -verify -noverify`
# on the same file; then the same envelope written as wrapped Base64 text.
# Usage: bench/run_envelope.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../build-bench}
cli=$build/ondivo/ondivo-cli
[ -x "$cli" ] && [ -e "$build/ondivo/ossl/openssl" ] || {
    cmake -S "$here/.." -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DONDIVO_BUILD_APP=OFF >/dev/null
    cmake --build "$build" --target ondivo-cli programfolder >/dev/null
}
command -v hyperfine >/dev/null || apt-get install -y -q hyperfine >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

python3 "$here/genfattura.py" "$tmp/f.xml" --lines 16500
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=bench \
    -days 1 -keyout "$tmp/k.pem" -out "$tmp/c.pem" 2>/dev/null
openssl cms -sign -nodetach -binary -outform DER -in "$tmp/f.xml" -signer "$tmp/c.pem" \
    -inkey "$tmp/k.pem" -out "$tmp/f.xml.p7m"
openssl base64 -in "$tmp/f.xml.p7m" | sed 's/$/\r/' >"$tmp/b.xml.p7m"
echo "invoice: $(wc -c <"$tmp/f.xml") bytes; envelope: $(wc -c <"$tmp/f.xml.p7m") bytes DER," \
    "$(wc -c <"$tmp/b.xml.p7m") bytes Base64"

# One hyperfine run for the three, so that they meet the same machine load.
hyperfine -N -w 3 -r 30 --export-json "$tmp/h.json" \
    "openssl cms -verify -noverify -inform DER -binary -in $tmp/f.xml.p7m -out $tmp/ref.xml" \
    "$cli p7m $tmp/f.xml.p7m" "$cli p7m $tmp/b.xml.p7m" >/dev/null
for out in ref.xml b.xml; do
    cmp -s "$tmp/f.xml" "$tmp/$out" || { echo "$out differs from the invoice" >&2; exit 1; }
done
python3 - "$tmp/h.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
names = ["openssl cms -verify -noverify (DER)", "ondivo-cli p7m (DER)", "ondivo-cli p7m (Base64, CR LF)"]
for name, x in zip(names, r):
    print("%-36s median %6.1f ms  min %6.1f ms  ratio (median) %.2fx  (min) %.2fx" % (
        name, x["median"] * 1000, x["min"] * 1000, x["median"] / r[0]["median"], x["min"] / r[0]["min"]))
print("target for the DER envelope: <= 1.1x")
PY
