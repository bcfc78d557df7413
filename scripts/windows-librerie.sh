#!/usr/bin/env bash
# Cross-builds with MinGW-w64, from Debian's source packages, the static libraries that the Windows
# build of the core libraries and of ondivo-cli links: OpenSSL, libxml2, libxslt, xmlsec1, libarchive.
# All under BUILD_DIR: sorgenti/ (sources), librerie/ (the install prefix), log/, apt/ and wine/.
# A library whose stamp librerie/.fatto-<name> is there is not built again, unless one it is built
# on has just been rebuilt: a second run only repeats the final checks.
#   scripts/windows-librerie.sh BUILD_DIR
set -euo pipefail

[ $# -eq 1 ] || { echo "uso: $0 BUILD_DIR" >&2; exit 2; }
mkdir -p "$1"
base=$(cd "$1" && pwd)
src=$base/sorgenti prefix=$base/librerie logs=$base/log
mkdir -p "$src" "$prefix"/{bin,include,lib/pkgconfig} "$logs" \
    "$base"/apt/lists/partial "$base"/apt/cache/archives/partial
host=x86_64-w64-mingw32 jobs=$(nproc) start=$SECONDS log=""
show_log() { # on failure, the end of the log of the step that failed
    local rc=$?
    if [ "$rc" -ne 0 ] && [ -n "$log" ]; then echo "ERRORE, ultime righe di $log:" >&2; tail -n 40 "$log" >&2; fi
}
trap show_log EXIT

packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 dpkg-dev cmake ninja-build make perl pkg-config)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installazione dei pacchetti mancanti: ${missing[*]}"
    log=$logs/pacchetti.log
    apt-get update -q >"$log" 2>&1
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >>"$log" 2>&1
    log=""
fi

# Only this prefix's .pc files: nothing from the build machine may leak into a Windows link.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
unset PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR
export WINEPREFIX=$base/wine WINEDEBUG=-all
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)

# A private apt configuration that only knows the source packages of this system's own
# Debian archives: the deb entries of /etc/apt for its release, turned into deb-src.
python3 - "$base/apt/sources.list" <<'PY'
import glob, re, sys
release = dict(l.rstrip("\n").split("=", 1) for l in open("/etc/os-release") if "=" in l)
codename = release.get("VERSION_CODENAME", "").strip('"')
entries = []
for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        lines = open(path).read().splitlines()
    except OSError:
        continue
    for line in lines:
        words = re.sub(r"\[[^]]*\]", "", line.split("#", 1)[0]).split()
        if len(words) >= 4 and words[0] == "deb":
            entries.append((words[1], [words[2]], words[3:]))
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    for stanza in re.split(r"\n\s*\n", open(path).read()):
        fields = {}
        for line in stanza.splitlines():
            if ":" in line and not line.startswith(("#", " ")):
                key, value = line.split(":", 1)
                fields[key.strip().lower()] = value.split()
        if "deb" in fields.get("types", []) and fields.get("enabled", ["yes"]) != ["no"]:
            for uri in fields.get("uris", []):
                entries.append((uri, fields.get("suites", []), fields.get("components", [])))
with open(sys.argv[1], "w") as out:
    for uri, suites, components in entries:
        for suite in suites:
            if codename and (suite == codename or suite.startswith(codename + "-")) \
                    and "main" in components:
                out.write("deb-src %s %s main\n" % (uri, suite))
PY
if [ ! -s "$base/apt/sources.list" ]; then
    echo "Nessun archivio Debian in /etc/apt da cui prendere i sorgenti" >&2
    exit 1
fi
apt_opts=(-q -o Dir::Etc::SourceList="$base/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$base/apt/lists" -o Dir::Cache="$base/apt/cache" -o APT::Sandbox::User=root)
apt_updated=0

fetch() { # package: downloads and unpacks it into sorgenti/<package>, goes there, sets $version
    local p=$1 asked dsc
    if [ $apt_updated = 0 ]; then apt-get "${apt_opts[@]}" update; apt_updated=1; fi
    # The security mirror sometimes lacks the newest version's files: then the one of the
    # release itself. The .dsc's name is asked away from sorgenti/, where files already there
    # are left out.
    for asked in "$p" "$p/$(. /etc/os-release && echo "$VERSION_CODENAME")"; do
        dsc=$(cd "$base/apt" && apt-get "${apt_opts[@]}" source --print-uris "$asked" | awk '$2 ~ /\.dsc$/ {print $2}') || true
        if [ -n "$dsc" ] && (cd "$src" && apt-get "${apt_opts[@]}" source --download-only "$asked"); then
            version=${dsc#*_} version=${version%.dsc}
            rm -rf "${src:?}/$p"
            dpkg-source -x "$src/$dsc" "$src/$p"
            # The Debian patches leave configure.ac and Makefile.am newer than what autotools made of
            # them: the generated files, all dated now, keep make from asking for autotools.
            find "$src/$p" \( -name configure -o -name Makefile.in -o -name aclocal.m4 -o -name config.h.in \) \
                -exec touch -d "@$(date +%s.%N)" {} +
            cd "$src/$p"
            return 0
        fi
    done
    echo "$p: sorgente non trovato" >&2
    return 1
}

autotools=(--build="$(dpkg-architecture -qDEB_BUILD_GNU_TYPE)" --host="$host" --prefix="$prefix"
    --enable-static --disable-shared CC="$host-gcc-posix" CFLAGS=-O2)

make_only() { # folders: builds and installs them and the top folder's own files, no docs or tests
    local d
    for d; do make -j"$jobs" -C "$d"; make -C "$d" install; done
    make -j"$jobs" all-am
    make install-am
}

pc_add() { # file.pc, field (Cflags or Libs.private), flags: appends the flags the field lacks
    local f=$prefix/lib/pkgconfig/$1 field=$2 flag
    shift 2
    grep -q "^$field:" "$f" || echo "$field:" >>"$f"
    for flag; do grep -q -- "^$field:.* $flag\( \|\$\)" "$f" || sed -i "s|^$field:.*|& $flag|" "$f"; done
}

build_openssl() {
    fetch openssl
    # Static, without test programs, loadable modules and what a viewer of signed invoices never
    # meets (TLS extras, SRP, CMP, certificate transparency, rare ciphers and digests); CMS,
    # S/MIME, X.509, OCSP, timestamps, SHA-1/2/3, RSA, ECDSA, DSA, AES and 3DES stay.
    ./Configure mingw64 --cross-compile-prefix=$host- CC=gcc-posix --prefix="$prefix" --libdir=lib \
        no-shared no-module no-legacy no-tests no-aria no-bf no-camellia no-cast no-idea no-mdc2 \
        no-md4 no-rc2 no-rc4 no-seed no-whirlpool no-sm2 no-sm3 no-sm4 no-gost no-siphash no-ec2m \
        no-srp no-psk no-cmp no-ct no-ssl3 no-dtls no-srtp no-nextprotoneg no-ssl-trace no-comp
    make -j"$jobs" build_sw
    make install_sw
    # CryptGenRandom and the window-station check live in advapi32 and user32.
    pc_add libcrypto.pc Libs.private -ladvapi32 -luser32
}

build_libxml2() {
    fetch libxml2
    # No iconv for MinGW in Debian: libxml2's own tables read ISO-8859-x. No zlib: compressed
    # XML never reaches libxml2, archives go through libarchive.
    ./configure "${autotools[@]}" --without-python --without-lzma --without-zlib --without-iconv \
        --without-icu --with-iso8859x --without-http --without-ftp --without-modules \
        --without-readline --without-history
    make_only include
    pc_add libxml-2.0.pc Cflags -DLIBXML_STATIC
}

build_libxslt() {
    fetch libxslt
    ./configure "${autotools[@]}" CPPFLAGS="-DLIBXSLT_STATIC -DLIBEXSLT_STATIC" \
        --with-libxml-prefix="$prefix" --without-python --without-crypto --without-plugins
    make_only libxslt libexslt
    pc_add libxslt.pc Cflags -DLIBXSLT_STATIC
    pc_add libexslt.pc Cflags -DLIBEXSLT_STATIC
}

build_xmlsec1() {
    fetch xmlsec1
    ./configure "${autotools[@]}" CPPFLAGS=-DXMLSEC_STATIC \
        OPENSSL_CFLAGS="$(pkg-config --static --cflags libcrypto)" \
        OPENSSL_LIBS="$(pkg-config --static --libs libcrypto)" --without-nss --without-gnutls \
        --without-gcrypt --disable-crypto-dl --disable-apps-crypto-dl --disable-apps --disable-docs
    make -j"$jobs"
    make install
    pc_add xmlsec1.pc Cflags -DXMLSEC_STATIC
    pc_add xmlsec1-openssl.pc Cflags -DXMLSEC_STATIC
}

# Also meant for the project's own CMake build for Windows.
cat >"$base/mingw-w64.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER $host-gcc-posix)
set(CMAKE_CXX_COMPILER $host-g++-posix)
set(CMAKE_RC_COMPILER $host-windres)
set(CMAKE_FIND_ROOT_PATH "$prefix" /usr/$host)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
EOF

build_libarchive() {
    fetch libarchive
    local off=() o
    for o in BZip2 LZMA ZSTD LZ4 LZO LIBB2 OPENSSL MBEDTLS NETTLE CNG LIBXML2 EXPAT PCREPOSIX \
        LIBGCC ICONV ACL XATTR TAR CPIO CAT TEST INSTALL; do off+=("-DENABLE_$o=OFF"); done
    # CMake 3.25 crashes on the check that runs a program to see whether zlib was built with
    # ZLIB_WINAPI (a 32-bit calling convention; Debian's zlib is not): the answer comes given.
    # No regex library: only bsdtar's -s option needs one.
    cmake -G Ninja -S . -B _build -DCMAKE_TOOLCHAIN_FILE="$base/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DENABLE_ZLIB=ON -DZLIB_LIBRARY="/usr/$host/lib/libz.a" \
        -DZLIB_INCLUDE_DIR="/usr/$host/include" -DZLIB_WINAPI_EXITCODE=1 \
        -DZLIB_WINAPI_EXITCODE__TRYRUN_OUTPUT= -DPOSIX_REGEX_LIB=NONE -DCMAKE_INSTALL_PREFIX="$prefix" "${off[@]}"
    # The static library alone: the project's install rule would also build and install the DLL.
    cmake --build _build --target archive_static -j"$jobs"
    install -m 644 _build/libarchive/libarchive_static.a "$prefix/lib/libarchive.a"
    install -m 644 libarchive/archive.h libarchive/archive_entry.h "$prefix/include/"
    install -m 644 _build/build/pkgconfig/libarchive.pc "$prefix/lib/pkgconfig/"
    pc_add libarchive.pc Cflags -DLIBARCHIVE_STATIC
    pc_add libarchive.pc Libs.private -ladvapi32 # its digests and random numbers use CryptoAPI
}

rebuilt=" "
build() { # library, the libraries it is built on
    local name=$1 dep stale=0 t=$SECONDS
    shift
    for dep; do [[ $rebuilt == *" $dep "* ]] && stale=1; done
    if [ -f "$prefix/.fatto-$name" ] && [ $stale = 0 ]; then
        echo "$name $(cat "$prefix/.fatto-$name"): già compilata"
        return
    fi
    rm -f "$prefix/.fatto-$name"
    log=$logs/$name.log
    echo "$name: compilazione (log in $log)"
    "build_$name" >"$log" 2>&1
    cd "$base"
    echo "$version" >"$prefix/.fatto-$name"
    rebuilt+="$name "
    log=""
    printf '%s %s: %d min %02d s\n' "$name" "$version" $(((SECONDS - t) / 60)) $(((SECONDS - t) % 60))
}

build openssl
build libxml2
build libxslt libxml2
build xmlsec1 openssl libxml2 libxslt
build libarchive

# Checks on every run, so that a cached prefix is proved to still make working Windows programs.
log=$logs/verifica.log
: >"$log"
self_contained() { # program.exe: it asks for no DLL but those that come with Windows
    ! $host-objdump -p "$1" | awk '/DLL Name:/ {print toupper($3)}' |
        grep -vxE '(KERNEL32|ADVAPI32|USER32|GDI32|CRYPT32|WS2_32|MSVCRT)\.DLL' >&2
}
self_contained "$prefix/bin/openssl.exe"
ossl=$("$wine" "$prefix/bin/openssl.exe" version 2>>"$log" | tr -d '\r')
echo "openssl.exe: $ossl"
[[ $ossl == "OpenSSL 3."* ]]
commands=$("$wine" "$prefix/bin/openssl.exe" list -commands 2>>"$log")
grep -qw cms <<<"$commands"
grep -qw smime <<<"$commands"

mkdir -p "$base/prova"
cat >"$base/prova/prova.cpp" <<'EOF'
// Links the five libraries statically and uses each one; exits 0 only if every step works.
#include <archive.h>
#include <archive_entry.h>
#include <libexslt/exslt.h>
#include <libxml/parser.h>
#include <libxslt/transform.h>
#include <libxslt/xsltutils.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <xmlsec/crypto.h>
#include <xmlsec/xmlsec.h>
#include <cstdio>
#include <string>

static int fail(const char* what) { std::fprintf(stderr, "prova fallita: %s\n", what); return 1; }

int main() {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (!OPENSSL_init_crypto(0, nullptr) || !EVP_Digest("abc", 3, md, &n, EVP_sha256(), nullptr) || n != 32
        || md[0] != 0xba || md[31] != 0xad)
        return fail("OpenSSL SHA-256");
    // ISO-8859-15's 0xA4 is the euro sign: read only if the tables that stand in for iconv are there.
    const char xml[] = "<?xml version='1.0' encoding='ISO-8859-15'?><f><n>42</n><v>\xa4</v></f>";
    const char xsl[] = "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'"
                       " xmlns:str='http://exslt.org/strings'><xsl:output method='text'/><xsl:template match='/'>"
                       "<xsl:value-of select=\"concat(str:padding(2, '-'), /f/n, /f/v)\"/></xsl:template>"
                       "</xsl:stylesheet>";
    exsltRegisterAll();
    xmlDocPtr doc = xmlReadMemory(xml, sizeof xml - 1, "f.xml", nullptr, XML_PARSE_NONET);
    xsltStylesheetPtr style = xsltParseStylesheetDoc(xmlReadMemory(xsl, sizeof xsl - 1, "f.xsl", nullptr, 0));
    xmlDocPtr result = doc && style ? xsltApplyStylesheet(style, doc, nullptr) : nullptr;
    xmlChar* text = nullptr;
    int len = 0;
    if (!result || xsltSaveResultToString(&text, &len, result, style) != 0
        || std::string(reinterpret_cast<char*>(text), len) != "--42\xe2\x82\xac")
        return fail("libxml2, libxslt, libexslt o ISO-8859-15");
    if (xmlSecInit() < 0 || xmlSecCheckVersion() != 1 || xmlSecCryptoAppInit(nullptr) < 0 || xmlSecCryptoInit() < 0)
        return fail("xmlsec1");
    xmlSecCryptoShutdown();
    xmlSecCryptoAppShutdown();
    xmlSecShutdown();
    // A zip with one deflated entry, written to memory and read back: zlib both ways.
    static char zip[8192], back[8192];
    size_t used = 0;
    const std::string body(4000, 'x');
    archive* w = archive_write_new();
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, "f.xml");
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_size(e, la_int64_t(body.size()));
    if (archive_write_set_format_zip(w) != ARCHIVE_OK || archive_write_zip_set_compression_deflate(w) != ARCHIVE_OK
        || archive_write_open_memory(w, zip, sizeof zip, &used) != ARCHIVE_OK || archive_write_header(w, e) != ARCHIVE_OK
        || archive_write_data(w, body.data(), body.size()) != la_ssize_t(body.size()) || archive_write_close(w) != ARCHIVE_OK
        || used >= body.size())
        return fail("libarchive, scrittura");
    archive* r = archive_read_new();
    if (archive_read_support_format_zip(r) != ARCHIVE_OK || archive_read_open_memory(r, zip, used) != ARCHIVE_OK
        || archive_read_next_header(r, &e) != ARCHIVE_OK)
        return fail("libarchive, apertura");
    const la_ssize_t got = archive_read_data(r, back, sizeof back);
    if (got < 0 || std::string(back, size_t(got)) != body || archive_read_next_header(r, &e) != ARCHIVE_EOF)
        return fail("libarchive, lettura");
    std::puts("prova riuscita");
    return 0;
}
EOF
# shellcheck disable=SC2046  # pkg-config's flags are meant to be split
$host-g++-posix -std=c++20 -O1 -static -o "$base/prova/prova.exe" "$base/prova/prova.cpp" \
    $(pkg-config --static --cflags --libs libxml-2.0 libxslt libexslt xmlsec1-openssl libarchive libcrypto) \
    >>"$log" 2>&1
self_contained "$base/prova/prova.exe"
"$wine" "$base/prova/prova.exe" 2>>"$log" | tr -d '\r'
# wineserver stays a few seconds after the last program: wait for it, so nothing outlives the script.
"$(dirname "$wine")/wineserver" -w 2>/dev/null || true
log=""
printf 'Totale: %d min %02d s\n' $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60))
