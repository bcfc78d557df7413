#!/usr/bin/env python3
"""ondivo-cli html and pdf with the user's own stylesheet (--foglio).

Arguments: the ondivo-cli program, then `--pdf` to try the PDFs too (the viewer must be built).

html runs from a copy of ondivo-cli in a temporary program folder whose FODISTILE holds small
stylesheets writing their own name, so Ondivo's page is known. The page a user's sheet makes is
checked against xsltproc run on the same sheet and invoice, with the sheet's declared encoding
set to UTF-8, then, in Python: characters outside Windows-1252 as numeric references, the
thirteen-row accent folding done through the code page, Windows-1252 bytes, and the declared
charset read as windows-1252. A sheet that fails leaves the page to Ondivo's, says so on
standard error and still ends with status 0; a --foglio that names no file is a wrong argument.
A user's sheet neither writes files nor reaches the network (a local server counts the
connections), and the choices the window remembers are not applied by the command line.
"""
import os
import pathlib
import shutil
import socket
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI = pathlib.Path(sys.argv[1]).resolve()
PDF = "--pdf" in sys.argv[2:]

NAMES = {
    "FPA12": "Foglio_di_stile_fatturaPA_v1.2.3.xsl",
    "FPR12": "Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl",
    "FSM10": "Foglio_di_stile_VFSM10_v1.0.2.xsl",
    "SdI": "Foglio_di_stile_messaggi_SdI.xsl",
}
OURS = """<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html"/>
<xsl:template match="/"><html><body><p>foglio %s</p>
<p><xsl:value-of select="//*[local-name()='Numero']"/></p></body></html></xsl:template>
</xsl:stylesheet>
"""
TEXT = "\u00e0\u00e8\u00e9\u00ec\u00f2\u00f9 \u20ac \u00f1 \u4e2d \U0001f600"
MARKER = "MARCATORE FOGLIO MIO"


def mine(output='method="html"', body="", attributes=""):
    """A user's sheet: the marker, the test's text, the invoice's number and description."""
    return ("""<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform" %s>
<xsl:output %s/>
<xsl:template match="/"><html><head><title>Mio</title></head><body><h1>%s</h1>
<p>%s</p><p><xsl:value-of select="//*[local-name()='Numero']"/></p>
<p><xsl:value-of select="//*[local-name()='Descrizione']"/></p>%s</body></html>
</xsl:template></xsl:stylesheet>
""" % (attributes, output, MARKER, TEXT, body)).encode("utf-8")


def invoice(fmt, number="FT 1/2024"):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<p:FatturaElettronica xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/'
            'fatture/v1.2" versione="%s"><FatturaElettronicaHeader><DatiTrasmissione>'
            "<FormatoTrasmissione>%s</FormatoTrasmissione></DatiTrasmissione>"
            "</FatturaElettronicaHeader><FatturaElettronicaBody><DatiGenerali>"
            "<DatiGeneraliDocumento><TipoDocumento>TD01</TipoDocumento><Divisa>EUR</Divisa>"
            "<Data>2024-03-01</Data><Numero>%s</Numero></DatiGeneraliDocumento></DatiGenerali>"
            "<DatiBeniServizi><DettaglioLinee><NumeroLinea>1</NumeroLinea>"
            "<Descrizione>%s</Descrizione><PrezzoUnitario>1.00</PrezzoUnitario>"
            "<PrezzoTotale>1.00</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>"
            "</DatiBeniServizi></FatturaElettronicaBody></p:FatturaElettronica>"
            % (fmt, fmt, number, TEXT)).encode("utf-8")


RECEIPT = ('<?xml version="1.0" encoding="UTF-8"?>\n<ns:RicevutaConsegna xmlns:ns="http://'
           'ivaservizi.agenziaentrate.gov.it/docs/xsd/fattura/messaggi/v1.0" versione="1.0">'
           "<IdentificativoSdI>1</IdentificativoSdI><NomeFile>IT01234567890_00001.xml</NomeFile>"
           "</ns:RicevutaConsegna>").encode("utf-8")

FOLDING = [("\u00c0", "A'"), ("\u00e0", "a'"), ("\u00c8", "E'"), ("\u00e8", "e'"),
           ("\u00c9", "E'"), ("\u00e9", "e'"), ("\u00cc", "I'"), ("\u00ec", "i'"),
           ("\u00d2", "O'"), ("\u00f2", "o'"), ("\u00d9", "U'"), ("\u00f9", "u'"),
           ("\u20ac", "EU")]


def as_view_bytes(utf8_output):
    text = utf8_output.decode("utf-8")
    text = text.encode("cp1252", errors="xmlcharrefreplace").decode("cp1252")
    for char, pair in FOLDING:
        if char in text:
            text = text.encode("cp1252").replace(char.encode("cp1252"), pair.encode()).decode(
                "cp1252")
    return text.encode("cp1252").replace(b"charset=UTF-8", b"charset=windows-1252", 1)


class Server:
    """A TCP server on 127.0.0.1 that counts connections and drops each at once."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(16)
        self.sock.settimeout(0.2)
        self.url = "http://127.0.0.1:%d" % self.sock.getsockname()[1]
        self.connections = 0
        self.stop = False
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while not self.stop:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                continue
            self.connections += 1
            conn.close()

    def close(self):
        self.stop = True
        self.thread.join()
        self.sock.close()


def warning(name, reason_start):
    return ("Il foglio di stile \u00ab%s\u00bb non si \u00e8 potuto usare (%s" % (
        name, reason_start)).encode("utf-8")


WARNING_END = "): la fattura \u00e8 mostrata con il foglio di Ondivo.\n".encode("utf-8")

with tempfile.TemporaryDirectory() as tmp:
    tmp = pathlib.Path(tmp)
    program = tmp / "programma"
    (program / "FODISTILE").mkdir(parents=True)
    cli = program / CLI.name
    shutil.copy2(CLI, cli)
    for fmt, name in NAMES.items():
        (program / "FODISTILE" / name).write_text(OURS % fmt)
    # The settings the window would use, with a sheet for every format: never applied here.
    env = dict(os.environ, XDG_CONFIG_HOME=str(tmp / "config"), HOME=str(tmp / "casa"))

    def write(name, content):
        path = tmp / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content)
        return path

    def run(*args, exe=cli, cwd=None):
        return subprocess.run([str(exe), *map(str, args)], capture_output=True, env=env,
                              cwd=cwd, timeout=600)

    def xsltproc(sheet, xml):
        utf8 = write("oracolo/" + sheet.name,
                     sheet.read_bytes().replace(b'encoding="ISO-8859-1"', b'encoding="UTF-8"')
                     .replace(b'encoding="US-ASCII"', b'encoding="UTF-8"'))
        for extra in sheet.parent.glob("parti/*"):
            write("oracolo/parti/" + extra.name, extra.read_bytes())
        got = subprocess.run(["xsltproc", "--nonet", utf8, xml], capture_output=True, check=True)
        return as_view_bytes(got.stdout)

    invoices = {fmt: write("fattura_%s.xml" % fmt, invoice(fmt))
                for fmt in ("FPA12", "FPR12", "FSM10", "SDI11")}
    sheet = write("utente/mio.xsl", mine())
    write("config/ondivo/fogli_di_stile.xml", (
        '<?xml version="1.0" encoding="UTF-8"?>\n<fogliDiStile>%s</fogliDiStile>\n' % "".join(
            '<foglio formato="%s">%s</foglio>' % (f, sheet) for f in ("FPA12", "FPR12", "FSM10"))
    ).encode("utf-8"))

    # Every invoice format takes the sheet given, the unknown one too, whatever encoding the
    # sheet declares; the page is xsltproc's in the view's bytes.
    for label, output in [("noEncoding", 'method="html"'),
                          ("utf8", 'method="html" encoding="UTF-8"'),
                          ("latin1", 'method="html" encoding="ISO-8859-1"'),
                          ("ascii", 'method="html" encoding="US-ASCII"'),
                          ("xmlMethod", 'method="xml" encoding="UTF-8"')]:
        given = write("utente/%s.xsl" % label, mine(output))
        for fmt, xml in invoices.items():
            got = run("html", xml, "--foglio", given)
            want = xsltproc(given, xml)
            if label == "xmlMethod":
                want = want.replace(b'encoding="UTF-8"', b'encoding="windows-1252"', 1)
            check(got.returncode == 0 and got.stderr == b"" and got.stdout == want,
                  "%s %s" % (label, fmt), repr((got.returncode, got.stderr, got.stdout[:300],
                                                want[:300])))
            check(b"a'e'e'i'o'u' EU \xf1 &#20013; &#128512;" in got.stdout, "%s %s text" % (
                label, fmt), repr(got.stdout[:400]))

    # Without --foglio, Ondivo's sheet whatever the settings say; a receipt keeps its own.
    for fmt, ours in [("FPA12", "FPA12"), ("FSM10", "FSM10"), ("SDI11", "FPR12")]:
        got = run("html", invoices[fmt])
        check(got.returncode == 0 and b"<p>foglio %s</p>" % ours.encode() in got.stdout
              and MARKER.encode() not in got.stdout, "settingsNotApplied " + fmt,
              repr(got.stdout[:200]))
    receipt = write("ricevuta.xml", RECEIPT)
    plain = run("html", receipt)
    got = run("html", receipt, "--foglio", sheet)
    check(got.returncode == 0 and got.stdout == plain.stdout and b"foglio SdI" in got.stdout
          and got.stderr == b"", "receiptKeepsItsOwn", repr(got.stderr))

    # A relative path, from the current folder, with imports beside the sheet; -o as before.
    write("utente/parti/base.xsl", b'<xsl:stylesheet version="1.0" '
          b'xmlns:xsl="http://www.w3.org/1999/XSL/Transform"><xsl:template name="base">'
          b"<p>dalla base</p></xsl:template></xsl:stylesheet>")
    importing = write("utente/importa.xsl", mine(body='<xsl:call-template name="base"/>')
                      .replace(b'<xsl:output', b'<xsl:import href="parti/base.xsl"/><xsl:output'))
    out = tmp / "pagina.html"
    got = run("html", invoices["FPR12"], "-o", out, "--foglio", "utente/importa.xsl", cwd=tmp)
    check(got.returncode == 0 and got.stdout == b"" and got.stderr == b"" and out.exists()
          and out.read_bytes() == xsltproc(importing, invoices["FPR12"])
          and b"dalla base" in out.read_bytes(), "relativePathWithImport", repr(got.stderr))

    # Sheets that fail: Ondivo's page, status 0, and the warning naming the sheet and why.
    server = Server()
    ours_page = run("html", invoices["FPA12"]).stdout
    for label, content, reason in [
            ("empty", b"", "non \u00e8 XML ben formato"),
            ("malformed", b"<xsl:stylesheet", "non \u00e8 XML ben formato: "),
            ("anInvoice", invoice("FPA12"), "non \u00e8 un foglio di stile XSLT valido: "),
            ("stops", mine(body='<xsl:message terminate="yes">Basta cos\u00ec</xsl:message>'),
             "Basta cos\u00ec)"),
            ("nothing", b'<xsl:stylesheet version="1.0" '
             b'xmlns:xsl="http://www.w3.org/1999/XSL/Transform"><xsl:template match="/"/>'
             b"</xsl:stylesheet>", "non ha prodotto nessuna pagina)"),
            ("writes", mine(body='<exsl:document href="%s">x</exsl:document>' % (
                tmp / "scritto.html"), attributes='xmlns:exsl="http://exslt.org/common" '
                'extension-element-prefixes="exsl"'), "runtime error: "),
            ("writesXsl11", mine(body='<xsl:document href="%s">x</xsl:document>'
                                 % (tmp / "scritto.html")).replace(b'version="1.0"',
                                                                   b'version="1.1"'),
             "runtime error: "),
            ("importsFromTheNetwork",
             mine().replace(b"<xsl:output", b'<xsl:import href="%s/remoto.xsl"/><xsl:output'
                            % server.url.encode()),
             "non \u00e8 un foglio di stile XSLT valido: "),
            ("readsFromTheNetwork",
             mine(body="<xsl:value-of select=\"document('%s/dati.xml')\"/>" % server.url),
             "runtime error: ")]:
        failing = write("falliti/%s.xsl" % label, content)
        got = run("html", invoices["FPA12"], "--foglio", failing)
        check(got.returncode == 0 and got.stdout == ours_page
              and got.stderr.startswith(warning(failing.name, reason))
              and got.stderr.endswith(WARNING_END) and got.stderr.count(b"\n") == 1,
              "fails " + label, repr((got.returncode, got.stderr)))
        check(not (tmp / "scritto.html").exists(), "fails %s wrote nothing" % label)
    server.close()
    check(server.connections == 0, "network", "%d connections" % server.connections)

    # A --foglio that names no file is a wrong argument: the reason, then the usage.
    for label, args, reason in [
            ("missing", ["--foglio", tmp / "manca.xsl"],
             "Il foglio di stile \u00ab%s\u00bb non esiste\n" % (tmp / "manca.xsl")),
            ("folder", ["--foglio", tmp / "utente"],
             "Il foglio di stile \u00ab%s\u00bb \u00e8 una cartella, non un file\n"
             % (tmp / "utente"))]:
        got = run("html", invoices["FPA12"], *args)
        check(got.returncode == 2 and got.stdout == b""
              and got.stderr.startswith(reason.encode("utf-8")) and b"Uso:" in got.stderr,
              "argument " + label, repr(got.stderr))
    for args in [[invoices["FPA12"], "--foglio"], ["--foglio", sheet, invoices["FPA12"],
                                                   "--foglio", sheet],
                 ["--foglio", "", invoices["FPA12"]], ["--foglio", sheet]]:
        got = run("html", *args)
        check(got.returncode == 2 and b"Uso:" in got.stderr, "usage %r" % args, repr(got.stderr))

    # The usage names the option for both commands.
    got = run("--help")
    check(got.returncode == 2 and b"html FILE [-o OUT] [--foglio FOGLIO.xsl]" in got.stderr
          and b"[--sovrascrivi] [--foglio FOGLIO.xsl]" in got.stderr, "help", repr(got.stderr))

    if PDF:
        # The real program folder, for the viewer's page engine.
        def pdf_text(path):
            return subprocess.run(["pdftotext", "-enc", "UTF-8", path, "-"], capture_output=True,
                                  check=True).stdout.decode("utf-8")

        for fmt in ("FPA12", "FSM10"):
            out = tmp / ("mio_%s.pdf" % fmt)
            got = run("pdf", invoices[fmt], "--foglio", sheet, "-o", out, exe=CLI)
            check(got.returncode == 0 and out.exists() and MARKER in pdf_text(out),
                  "pdf " + fmt, repr(got.stderr))
        # Without --foglio, Ondivo's page, whatever the window remembers.
        out = tmp / "nostro.pdf"
        got = run("pdf", invoices["FPA12"], "-o", out, exe=CLI)
        check(got.returncode == 0 and out.exists() and MARKER not in pdf_text(out)
              and "FT 1/2024" in pdf_text(out), "pdf settingsNotApplied", repr(got.stderr))
        out = tmp / "fallito.pdf"
        failing = tmp / "falliti" / "stops.xsl"
        got = run("pdf", invoices["FPA12"], "-o", out, "--foglio", failing, exe=CLI)
        check(got.returncode == 0 and out.exists() and MARKER not in pdf_text(out)
              and "FT 1/2024" in pdf_text(out)
              and warning(failing.name, "Basta cos\u00ec)") in got.stderr,
              "pdf fails", repr(got.stderr))
        got = run("pdf", invoices["FPA12"], "-d", tmp / "pdf", "--foglio", tmp / "manca.xsl",
                  exe=CLI)
        check(got.returncode == 2 and not (tmp / "pdf").exists()
              and "non esiste".encode() in got.stderr, "pdf missing sheet", repr(got.stderr))

finish()
