#!/usr/bin/env python3
"""ondivo-cli html with fixtures of its own: stylesheet choice, messages, exit statuses, bytes.

A copy of ondivo-cli runs from a temporary program folder whose FODISTILE holds three small
stylesheets, each writing its own name, so the chosen one shows in the page.
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI = pathlib.Path(sys.argv[1])

NAMES = {
    "FPA12": "Foglio_di_stile_fatturaPA_v1.2.3.xsl",
    "FPR12": "Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl",
    "FSM10": "Foglio_di_stile_VFSM10_v1.0.2.xsl",
}
STYLESHEET = """<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html"/>
<xsl:template match="/"><html><head><title>%s</title></head>
<body><p>foglio %s</p><p><xsl:value-of select="//*[local-name()='Descrizione']"/></p></body></html>
</xsl:template></xsl:stylesheet>
"""
NOT_HANDLED = b"Documento xml non gestito, visualizzazione non possibile!\n"



def invoice(formats, description="Fornitura"):
    elements = "".join("<FormatoTrasmissione>%s</FormatoTrasmissione>" % f for f in formats)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<p:FatturaElettronica xmlns:p="urn:x">'
            "<DatiTrasmissione>%s</DatiTrasmissione><Descrizione>%s</Descrizione>"
            "</p:FatturaElettronica>" % (elements, description)).encode("utf-8")


with tempfile.TemporaryDirectory() as tmp:
    tmp = pathlib.Path(tmp)
    program = tmp / "programma"
    (program / "FODISTILE").mkdir(parents=True)
    cli = program / CLI.name
    shutil.copy2(CLI, cli)
    for fmt, name in NAMES.items():
        (program / "FODISTILE" / name).write_text(STYLESHEET % (fmt, fmt))

    def write(name, content):
        path = tmp / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content)
        return path

    def html(*args, exe=cli):
        return subprocess.run([exe, "html", *map(str, args)], capture_output=True)

    # The stylesheet each format text selects; a fresh process starts from the FPR12 one.
    for label, formats, chosen in [
            ("fpa12", ["FPA12"], "FPA12"), ("fpr12", ["FPR12"], "FPR12"),
            ("fsm10", ["FSM10"], "FSM10"), ("blanksAround", ["\n  FSM10\t "], "FSM10"),
            ("lowerCase", ["fpa12"], "FPR12"), ("oldFormat", ["SDI11"], "FPR12"),
            ("twoAlike", ["FPA12", "FPA12"], "FPR12"), ("besideAnEmptyOne", ["FPA12", ""], "FPA12")]:
        got = html(write(label + ".xml", invoice(formats)))
        check(got.returncode == 0 and b"<p>foglio %s</p>" % chosen.encode() in got.stdout
              and got.stderr == b"", label, repr((got.returncode, got.stdout[-120:], got.stderr)))

    # The bytes the view receives: folded, Windows-1252, characters it lacks as references.
    text = "Perch\u00e9 \u20ac 12,50 \u00e0 \u00c1 \u4e2d \u0101"
    got = html(write("testo.xml", invoice(["FPA12"], text)))
    check(got.returncode == 0, "bytes", repr(got.stderr))
    check(b"<p>Perche' EU 12,50 a' \xc1 &#20013; &#257;</p>" in got.stdout, "bytes",
          repr(got.stdout[-200:]))
    check(b'content="text/html; charset=windows-1252"' in got.stdout, "bytes", "meta")
    got.stdout.decode("cp1252")  # raises on a byte the code page leaves undefined

    # -o writes the same bytes to a file, created or replaced.
    out = write("uscita/pagina.html", b"x" * 100000)
    to_file = html(tmp / "testo.xml", "-o", out)
    check(to_file.returncode == 0 and to_file.stdout == b"" and out.read_bytes() == got.stdout,
          "outputFile", repr(to_file.stderr))
    check(html("-o", out, tmp / "testo.xml").returncode == 0, "outputFileFirst")
    missing_dir = tmp / "assente" / "pagina.html"
    bad = html(tmp / "testo.xml", "-o", missing_dir)
    check(bad.returncode == 1 and bad.stderr.startswith(b'Cannot create file "%s". '
                                                        % str(missing_dir).encode()),
          "outputFileCannotBeCreated", repr(bad.stderr))

    # Envelopes (case-insensitive extension after the last dot of the name) go to the signature
    # tool, which this program folder lacks.
    for name in ["busta.xml.p7m", "BUSTA.XML.P7M", "cartella.xml/busta.P7m"]:
        path = write(name, b"not DER at all")
        got = html(path)
        check(got.returncode == 1 and got.stdout == b"" and got.stderr.startswith(b"OpenSSL non trovato: ")
              and NOT_HANDLED not in got.stderr, name, repr(got.stderr))
    for name in ["busta.p7m.xml", "cartella.p7m/fattura", "busta.p7m7"]:
        got = html(write(name, invoice(["FPR12"])))
        check(got.returncode == 0 and b"foglio FPR12" in got.stdout, name, repr(got.stderr))

    # Files that cannot be shown: no page, status 1, and the messages of the format query as
    # `info` (which runs the query the window runs) prints them.
    for label, path, first in [
            ("missing", tmp / "assente.xml", NOT_HANDLED),
            ("noFormat", write("senza.xml", b"<a><b>FPA12</b></a>"), NOT_HANDLED),
            ("malformed", write("rotta.xml", b"<a><FormatoTrasmissione>FPA12</a>"),
             b"ATTENZIONE, XML CON ERRORI (002)! \r\n"),
            ("notASingleTextNode",
             write("doppio.xml", b"<a><FormatoTrasmissione>FPA12<b/></FormatoTrasmissione></a>"),
             b"Element does not contain a single text node.\n")]:
        got = html(path)
        info = subprocess.run([cli, "info", str(path)], capture_output=True)
        check(got.returncode == 1 and got.stdout == b"" and got.stderr.startswith(first)
              and got.stderr == info.stderr, label, repr((got.stderr, info.stderr)))

    # Without its stylesheet folder: the stylesheet's full path in the message, closing stop.
    bare = tmp / "senza_fogli"
    bare.mkdir()
    shutil.copy2(CLI, bare / CLI.name)
    got = html(tmp / "fpa12.xml", exe=bare / CLI.name)
    check(got.returncode == 1 and got.stdout == b"" and got.stderr == (
        "Errore nel caricamento XSL: %s/FODISTILE/%s.\n" % (bare, NAMES["FPA12"])).encode(),
          "noStylesheetFolder", repr(got.stderr))

    # Wrong arguments: the usage and status 2.
    for args in [[], ["-o"], ["a.xml", "b.xml"], ["a.xml", "-o"], ["a.xml", "-o", "x", "-o", "y"],
                 ["   "]]:
        got = html(*args)
        check(got.returncode == 2 and b"html FILE [-o OUT]" in got.stderr, "usage %r" % args,
              repr(got.stderr))

finish()
