#!/usr/bin/env bash
# The Windows build of everything below the window: the core libraries, ondivo-cli and the
# core's tests cross-compiled with MinGW-w64 against libxml2, libxslt, xmlsec, libarchive and
# OpenSSL built for Windows from Debian's source packages, then run under Wine.
#   bash scripts/windows.sh [BUILD_DIR]     (default: build-windows; the packages it needs are
#                                           installed by scripts/setup.sh windows)
# The libraries are kept in BUILD_DIR/librerie: a second run rebuilds only our own code.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
radice=$PWD
build=$(realpath -m "${1:-build-windows}")
inizio=$SECONDS

bash scripts/windows-librerie.sh "$build"

# Wine keeps its Windows (C:, the registry) inside the build folder, never in the user's home.
export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export ONDIVO_LIBRERIE="$build/librerie"
# One Wine server for the whole run, instead of one started and stopped per program.
wineserver -p 2>/dev/null || true

cmake -S "$radice" -B "$build/ondivo" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$radice/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DONDIVO_BUILD_APP=OFF -DONDIVO_PDF=OFF \
    -DONDIVO_OPENSSL="$ONDIVO_LIBRERIE/bin/openssl.exe" \
    -DONDIVO_GTEST_SORGENTE=/usr/src/googletest > "$build/configura.log"
cmake --build "$build/ondivo" -j"$(nproc)"

cd "$build/ondivo"
ctest --output-on-failure -j"$(nproc)" --timeout 600
wineserver -k 2>/dev/null || true
echo "Windows: compilazione e prove in $((SECONDS - inizio)) s"
