#!/usr/bin/env bash
# Installs the Debian package made by `scripts/setup.sh deb`, tries it as an ordinary user
# (ondivo-cli info and html from the PATH, a .p7m, attachments, the window offscreen on a
# sample), removes it and checks that none of its files is left. Run as root.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deb=$(ls "$root"/build-deb/ondivo_*_amd64.deb | head -1)
echo "Pacchetto: $deb ($(du -k "$deb" | cut -f1) kB)"
dpkg-deb -f "$deb" Depends
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >/dev/null
mapfile -t files < <(dpkg -L ondivo | while read -r f; do [ -f "$f" ] || [ -L "$f" ] && echo "$f"; done)

user=ondivo-prova
id "$user" >/dev/null 2>&1 || useradd -m "$user"
home=$(getent passwd "$user" | cut -d: -f6)
work=$(mktemp -d)
cp "$root/samples/IT03618420271_FPR12_allegati_esempio.xml" "$work/fattura.xml"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=Prova \
    -days 2 -keyout "$work/k.pem" -out "$work/c.pem" 2>/dev/null
openssl cms -sign -nodetach -binary -outform DER -in "$work/fattura.xml" -signer "$work/c.pem" \
    -inkey "$work/k.pem" -out "$work/firmata.xml.p7m"
chmod 755 "$work"
chmod 644 "$work"/*
# A container has no sandbox for Chromium to start in, for any user.
as_user() {
    su -s /bin/bash "$user" -c \
        "export QTWEBENGINE_CHROMIUM_FLAGS='--no-sandbox --disable-gpu'; cd \"$home\" || exit 1; $*"
}

fail=0
check() { # label, command...
    local label=$1
    shift
    if "$@"; then echo "ok    $label"; else echo "FAIL  $label"; fail=1; fi
}
check "ondivo-cli on the PATH" as_user "command -v ondivo-cli | grep -qx /usr/bin/ondivo-cli"
check "info" as_user "ondivo-cli info $work/fattura.xml | grep -q 'Nordest Software'"
check "html" as_user "ondivo-cli html $work/fattura.xml -o html.html && grep -qi '<html' html.html"
# The envelope's folder is not the user's: the XML goes to the user's cache.
check "p7m into the cache" as_user "ondivo-cli p7m $work/firmata.xml.p7m | grep -q '$home/.cache/ondivo/p7m/'"
check "firma" as_user "ondivo-cli firma $work/firmata.xml.p7m --json | grep -q '\"esito\": \"integra\"'"
# The program folder is not writable: attachments go to the user's data folder.
check "attachments" as_user "ondivo-cli estrai $work/fattura.xml && ls $home/.local/share/ondivo/ALLEGATI/ | grep -q ."
check "pdf" as_user "ondivo-cli pdf $work/fattura.xml -o fattura.pdf && head -c 4 fattura.pdf | grep -q %PDF"
# The window itself, offscreen: its log says when the page is shown.
check "window offscreen" as_user "QT_QPA_PLATFORM=offscreen ONDIVO_TEMPI=1 timeout 60 ondivo $work/fattura.xml 2>finestra.log & for i in {1..600}; do grep -q 'pagina mostrata' finestra.log && break; sleep 0.1; done; kill %1; grep -q 'pagina mostrata' finestra.log || { tail -3 finestra.log; false; }"
check "pdf through the window's engine" as_user "QT_QPA_PLATFORM=offscreen timeout 60 ondivo --pdf $work/fattura.xml finestra.pdf && test -s finestra.pdf"
check "desktop entry" test -f /usr/share/applications/ondivo.desktop
check "MIME type registered" grep -q "ondivo\|fattura" /usr/share/mime/packages/ondivo.xml

DEBIAN_FRONTEND=noninteractive apt-get remove -y -q ondivo >/dev/null
left=0
for f in "${files[@]}"; do
    if [ -e "$f" ] || [ -L "$f" ]; then echo "left behind: $f"; left=1; fi
done
check "nothing left after remove" test "$left" -eq 0
check "no program folder left" test ! -e /usr/lib/ondivo
userdel -r "$user" 2>/dev/null || true
rm -rf "$work"
exit "$fail"
