#!/usr/bin/env bash
# Starts the viewer under Xvfb on a sample invoice and saves a picture of the whole window
# once the page is shown.
# Usage: scripts/screenshot.sh [--trova TEXT | --firme | --elenco] [INVOICE] [OUT.png]
#   --trova TEXT   open the find bar (Ctrl+F) and type TEXT before the picture is taken
#   --firme        click the signature badge and take the details dialog with the window
#   --xml          press Ctrl+U ("Mostra XML") and take the XML window with the main one
#   --elenco       open INVOICE (default: the samples folder) as the list of invoices, wait for
#                  it to be read and its first row shown, and save the screen as OUT.png and the
#                  list window alone as OUT-elenco.png
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
inside=false
if [ "${1:-}" = --inside ]; then
    inside=true
    shift
fi
trova=
firme=false
xml=false
elenco=false
if [ "${1:-}" = --trova ]; then
    trova=$2
    shift 2
elif [ "${1:-}" = --firme ]; then
    firme=true
    shift
elif [ "${1:-}" = --xml ]; then
    xml=true
    shift
elif [ "${1:-}" = --elenco ]; then
    elenco=true
    shift
fi
if $elenco; then
    invoice=${1:-$root/build/ondivo/FATTURE}
    out=${2:-$root/docs/elenco.png}
else
    invoice=${1:-$root/build/ondivo/FATTURE/IT03618420271_FPR12_allegati_esempio.xml}
    out=${2:-$root/docs/ondivo.png}
fi
# A picture taker and a small window manager, so the window gets its title bar.
command -v import >/dev/null || apt-get install -y -q imagemagick >/dev/null
command -v openbox >/dev/null || apt-get install -y -q --no-install-recommends openbox >/dev/null
if [ -n "$trova" ] || $firme || $xml || $elenco; then
    command -v xdotool >/dev/null || apt-get install -y -q --no-install-recommends xdotool >/dev/null
fi
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
export ONDIVO_TEMPI=1

# Waits up to 30 seconds for a line of the log.
attendi() {
    for _ in $(seq 300); do
        grep -q "$1" "$2" && return 0
        sleep 0.1
    done
    return 0
}

shoot() {
    local log
    log=$(mktemp)
    openbox >/dev/null 2>&1 &
    local wm=$!
    sleep 1
    "$root/build/ondivo/ondivo" "$invoice" 2>"$log" &
    local pid=$!
    if $elenco; then
        attendi "elenco letto" "$log"
        sleep 1
        local lista
        lista=$(xdotool search --name '^Elenco fatture$' | head -1)
    fi
    attendi "pagina mostrata" "$log"
    sleep 1 # let the view paint
    if [ -n "$trova" ]; then
        xdotool key ctrl+f
        xdotool type --delay 50 "$trova"
        sleep 1
    fi
    if $firme; then
        # Where the badge is in the maximised window on the 1100x720 screen below; wait for
        # the verdict to replace "Verifica della firma…" first.
        sleep 1
        xdotool mousemove 965 345 click 1
        sleep 1
    fi
    if $xml; then
        xdotool key ctrl+u
        sleep 2
    fi
    import -window root "$out"
    if $elenco; then
        import -window "$lista" "${out%.png}-elenco.png"
    fi
    kill "$pid" "$wm"
    wait "$pid" 2>/dev/null || true
    rm -f "$log"
}
if $inside; then
    # The viewer's own open of an envelope writes its XML beside it: a copy in a temporary
    # folder is opened instead, so nothing is ever written where the envelope is kept.
    case "$invoice" in
    *.p7m | *.P7M)
        copia=$(mktemp -d)
        cp "$invoice" "$copia/"
        invoice="$copia/$(basename "$invoice")"
        trap 'rm -rf "$copia"' EXIT
        ;;
    esac
    shoot
elif $elenco; then
    xvfb-run -a -s "-screen 0 1280x800x24" "$0" --inside --elenco "$invoice" "$out"
    echo "$out ${out%.png}-elenco.png"
else
    xvfb-run -a -s "-screen 0 1100x720x24" "$0" --inside ${trova:+--trova "$trova"} \
        $($firme && echo --firme) $($xml && echo --xml) "$invoice" "$out"
    echo "$out"
fi
