#!/usr/bin/env bash
# Sets up a Debian machine for Ondivo and then runs the viewer or the tests.
#   scripts/setup.sh run    install what is missing, build, lay out build/ondivo/, start the viewer
#   scripts/setup.sh test   the same set-up, then every test (CTest)
#   scripts/setup.sh sanitize   the core libraries and their tests under ASan and UBSan
#   scripts/setup.sh deb    the Debian package build-deb/ondivo_<version>_amd64.deb
#   scripts/setup.sh windows    the core, ondivo-cli and their tests built for Windows and run
#                               under Wine (scripts/windows.sh)
set -euo pipefail

mode=${1:-}
case "$mode" in run|test|sanitize|deb|windows) ;; *) echo "uso: $0 run|test|sanitize|deb|windows" >&2; exit 2 ;; esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-webengine-dev qt6-translations-l10n libgl-dev
    libxml2-dev libxslt1-dev openssl libssl-dev libxmlsec1-dev libarchive-dev libqpdf-dev qt6-pdf-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth xsltproc libxml2-utils python3 time
    # signs the trusted lists of the signature tests
    xmlsec1
    fonts-dejavu-core xdg-utils
    chromium poppler-utils
    # the time-zone database the tests convert the receipts' times with, against our own rules
    tzdata
    # Arial's metrics, under the name the pages ask for after Arial: the layout test then
    # measures the lines as wide as Windows draws them.
    fonts-liberation
    clang libclang-rt-14-dev
    dpkg-dev
)
# The Windows build: the cross-compiler, Wine, zlib for MinGW, and GoogleTest's sources.
if [ "$mode" = windows ]; then
    packages+=(g++-mingw-w64-x86-64-posix wine64 libz-mingw-w64-dev googletest)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "Mancano dei pacchetti e sudo non c'è: eseguire come root, oppure installare" \
                "a mano: ${missing[*]}" >&2
            exit 1
        fi
        sudo="sudo"
    fi
    echo "Installazione dei pacchetti mancanti: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
build() { # folder, cmake options...
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

# Chromium refuses to start as root inside its sandbox.
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox --disable-gpu}"
fi

case "$mode" in
run)
    build build
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
        echo "Nessuno schermo: avvio sotto xvfb-run (QT_QPA_PLATFORM=offscreen è un'alternativa)."
        exec xvfb-run -a build/ondivo/ondivo "${@:2}"
    fi
    exec build/ondivo/ondivo "${@:2}"
    ;;
test)
    build build
    cd build
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs"
    ;;
deb)
    # The Debian package, from a Release build of its own: build-deb/ondivo_<version>_amd64.deb.
    build build-deb -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr
    (cd build-deb && cpack -G DEB >/dev/null)
    ls build-deb/ondivo_*_amd64.deb
    ;;
windows)
    exec bash scripts/windows.sh "${@:2}"
    ;;
sanitize)
    build build-asan -DONDIVO_SANITIZE=ON -DONDIVO_BUILD_APP=OFF
    cd build-asan
    ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs"
    ;;
esac
