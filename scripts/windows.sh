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
# Wine reads arguments and Linux file names in the locale's encoding.
export LC_ALL=C.UTF-8
export ONDIVO_LIBRERIE="$build/librerie"
# One Wine server for the whole run, instead of one started and stopped per program.
export PATH="$PATH:/usr/lib/wine"
wineserver64 -p 2>/dev/null || true
trap 'wineserver64 -k 2>/dev/null || true' EXIT
wine64 wineboot -i >/dev/null 2>&1 || true # the Windows folder made once, before any test

cmake -S "$radice" -B "$build/ondivo" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$radice/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DONDIVO_BUILD_APP=OFF -DONDIVO_PDF=OFF \
    -DONDIVO_OPENSSL="$ONDIVO_LIBRERIE/bin/openssl.exe" \
    -DONDIVO_GTEST_SORGENTE=/usr/src/googletest > "$build/configura.log"
cmake --build "$build/ondivo" -j"$(nproc)"

# Left out under Wine: what does not depend on the system (the stylesheets' own tests, the
# page layout in Chromium), and the tests written for Linux alone: they read /proc, expect
# errno's texts, make symbolic links, stand in for the signature tool with shell scripts, or
# compare outputs with Linux paths and a program folder laid out the Linux way, or make the
# trusted list's signer known in the XDG data folder (cli_firma_oracolo). The Windows
# forms of those cases are in tests/cli/windows_cli_test.py and tests/platform/windows_test.cpp.
solo_linux='^(layout|stylesheets_.*|html_corpus|html_cli|attachments_oracle|hostile_cli|hostile_envelope'
solo_linux+='|cli_(p7m_corpus|attachments_corpus|info_corpus|attachments|elenco|firma_oracolo|conti_oracolo|sola_lettura|stesso_documento)'
solo_linux+='|FileToBase64\.FileThatCannotBeReadRaisesTheStreamError'
solo_linux+='|SalvaAllegati\.(UnreadableFileGivesTheOpenMessageAndNoFolder|FolderThatCannotBeMadeGivesTheCreateMessage|SymbolicLinkInTheFolderIsNotFollowed)'
solo_linux+='|SalvaAllegato\.MissingFolderRaisesTheCreateError'
solo_linux+='|ApriDocumento\.(ReadsTheXmlTakenOutOfAnEnvelope|AWithdrawnOpenEndsTheToolItWaitsFor))$'
cd "$build/ondivo"
ctest --output-on-failure -j"$(nproc)" --timeout 600 -E "$solo_linux"
echo "Windows: compilazione e prove in $((SECONDS - inizio)) s"
