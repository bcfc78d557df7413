#!/usr/bin/env python3
"""ondivo-cli info --json and html on the receipts and notices of the exchange system.

  messaggi_sdi_test.py ONDIVO-CLI [CORPUS]

Every message under CORPUS/receipts is read in place: its code comes from the name the system
gave the file (..._RC_001.xml), its identifiers, dates and errors from xmllint queries by
local-name. The header values of info and the text of the page (parsed as HTML, accents
folded as the viewer folds them) must show them. Messages written here cover what the corpus
lacks: markup in every text, many errors, both outcomes, missing elements, and documents that
are not messages at all.
"""
import html.parser
import json
import pathlib
import datetime
import re
import zoneinfo
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI = sys.argv[1]
CORPUS = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else None

SDI = "http://www.fatturapa.gov.it/sdi/messaggi/v1.0"
FATTURA = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fattura/messaggi/v1.0"
NON_GESTITO = "Documento xml non gestito"

# What each message is called: the words the header and the page give it.
WORDS = {
    "RC": "Ricevuta di consegna",
    "NS": "Notifica di scarto",
    "MC": "Notifica di mancata consegna",
    "NE": "Notifica di esito",
    "DT": "Notifica di decorrenza termini",
    "AT": "Attestazione di avvenuta trasmissione della fattura con impossibilità di recapito",
    "EC": "Esito committente",
    "SE": "Scarto esito committente",
    "MT": "File dei metadati",
}

# The tags our stylesheet writes; any other in a page came from a text of the message.
OUR_TAGS = {"html", "head", "meta", "title", "style", "body", "div", "table", "thead", "tbody",
            "tr", "td", "th", "h1", "h2", "p", "span"}

GRAVE = {"à": "a'", "è": "e'", "é": "e'", "ì": "i'", "ò": "o'", "ù": "u'",
         "À": "A'", "È": "E'", "É": "E'", "Ì": "I'", "Ò": "O'", "Ù": "U'", "€": "EU"}


def folded(text):
    """The text as the viewer's page shows it: the accented vowels as plain pairs."""
    return "".join(GRAVE.get(ch, ch) for ch in text)


def spaced(text):
    return " ".join(text.split())


class Page(html.parser.HTMLParser):
    """The text of a page, its tags, and the cells of each row of its errors table."""

    def __init__(self, data):
        super().__init__(convert_charrefs=True)
        self.tags = set()
        self.parts = []
        self.errors = []
        self._in_errors = False
        self._in_style = False
        self._cell = None
        self.feed(data)
        self.text = spaced(" ".join(self.parts))

    def handle_starttag(self, tag, attrs):
        self.tags.add(tag)
        classes = (dict(attrs).get("class") or "").split()
        if tag == "table" and "errori" in classes:
            self._in_errors = True
        elif tag == "tr" and self._in_errors:
            self.errors.append([])
        elif tag == "td" and self._in_errors:
            self._cell = []
        self._in_style = tag == "style"
        self.parts.append(" ")

    def handle_endtag(self, tag):
        if tag == "table":
            self._in_errors = False
        elif tag == "td" and self._cell is not None:
            self.errors[-1].append(spaced("".join(self._cell)))
            self._cell = None
        self._in_style = False
        self.parts.append(" ")

    def rows(self):
        """Code and description of each row of the errors table."""
        return [row[:2] for row in self.errors if row]

    def handle_data(self, data):
        if self._in_style:
            return
        self.parts.append(data)
        if self._cell is not None:
            self._cell.append(data)


def run(*args):
    return subprocess.run([CLI] + [str(a) for a in args], capture_output=True, check=False)


def info(path):
    res = run("info", path, "--json")
    return res, (json.loads(res.stdout) if res.returncode == 0 else None)


def page(path):
    res = run("html", path)
    return res, (Page(res.stdout.decode("cp1252")) if res.returncode == 0 else None)


def xmllint(expr, path):
    out = subprocess.run(["xmllint", "--nonet", "--xpath", expr, str(path)],
                         capture_output=True, check=False)
    text = out.stdout.decode("utf-8")
    return text[:-1] if text.endswith("\n") else text  # the line end some versions add


def child(path, *names):
    """The text of the first element down that chain of names from the document element."""
    expr = "/*" + "".join("/*[local-name()='%s'][1]" % n for n in names)
    return xmllint("normalize-space(%s)" % expr, path)


def errors_of(path):
    """[code, description] of each Errore of the message's ListaErrori, in order."""
    each = "/*/*[local-name()='ListaErrori']/*[local-name()='Errore']"
    count = int(float(xmllint("count(%s)" % each, path) or 0))
    return [[xmllint("normalize-space((%s)[%d]/*[local-name()='%s'])" % (each, i, name), path)
             for name in ("Codice", "Descrizione")] for i in range(1, count + 1)]


def in_rome(value):
    """An xs:dateTime with an offset or Z as Italian time (the system's time-zone database),
    "yyyy-mm-ddThh:mm:ss"; any other value as it is."""
    m = re.match(r"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2})(?:\.\d+)?(Z|[+-]\d{2}:\d{2})$", value or "")
    if not m:
        return value
    moment = datetime.datetime.fromisoformat(m[1] + (m[2] if m[2] != "Z" else "+00:00"))
    return moment.astimezone(zoneinfo.ZoneInfo("Europe/Rome")).strftime("%Y-%m-%dT%H:%M:%S")


def italian(value):
    """An xs:date or xs:dateTime as the page writes it: dd/mm/yyyy, then hh:mm in Italian time."""
    m = re.match(r"(\d{4})-(\d{2})-(\d{2})(?:T(\d{2}:\d{2}))?", in_rome(value))
    return "%s/%s/%s%s" % (m[3], m[2], m[1], " " + m[4] if m[4] else "") if m else value


# ---- The corpus -----------------------------------------------------------------------------

receipts = sorted((CORPUS / "receipts").rglob("*.xml")) if CORPUS else []
for path in receipts:
    label = str(path.relative_to(CORPUS))
    code = re.search(r"_([A-Z]{2})_\d+\.xml$", path.name)[1]
    ident = child(path, "IdentificativoSdI")
    name = child(path, "NomeFile")
    received = child(path, "DataOraRicezione")
    delivered = child(path, "DataOraConsegna")
    main_date = delivered if code == "RC" and delivered else received

    res, got = info(path)
    if not check(got is not None, label, "info: exit %d %r" % (res.returncode, res.stderr)):
        continue
    want = {"formato": "SDI", "tipo_documento": code + " " + WORDS[code], "numero": ident,
            "fornitore": name or None, "data": in_rome(main_date)[:10] or None}
    for field, value in want.items():
        check(got[field] == value, label, "%s: got %r, want %r" % (field, got[field], value))

    res, shown = page(path)
    if not check(shown is not None, label, "html: exit %d %r" % (res.returncode, res.stderr)):
        continue
    check(not shown.tags - OUR_TAGS, label, "tags %r" % (shown.tags - OUR_TAGS))
    wanted = [folded(WORDS[code]), ident, name, child(path, "MessageId"),
              child(path, "Destinatario", "Codice"), child(path, "Destinatario", "Descrizione"),
              folded(child(path, "Note")), folded(child(path, "Descrizione"))]
    wanted += [italian(d) for d in (received, delivered, child(path, "DataMessaADisposizione"))]
    if code in ("NE", "EC"):
        outcome = child(path, "EsitoCommittente", "Esito") or child(path, "Esito")
        wanted.append({"EC01": "fattura accettata", "EC02": "fattura rifiutata"}[outcome])
    for value in filter(None, wanted):
        check(spaced(value) in shown.text, label, "page lacks %r" % value)
    want_errors = [[c, folded(d)] for c, d in errors_of(path)]
    check(shown.rows() == want_errors, label, "errors %r, want %r" % (shown.errors, want_errors))
check(not CORPUS or len(receipts) >= 9, "corpus", "only %d receipts" % len(receipts))


# ---- Messages of our own --------------------------------------------------------------------

def message(root, uri, body):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<m:%s xmlns:m="%s" versione="1.0">%s</m:%s>'
            % (root, uri, body, root)).encode("utf-8")


def error(code, description, hint):
    return ("<Errore><Codice>%s</Codice><Descrizione>%s</Descrizione><Suggerimento>%s"
            "</Suggerimento></Errore>" % (code, description, hint))


# Markup in every text: it must come out as the very text, no element of it in the page.
HOSTILE = {
    "NomeFile": "<i>IT1_a.xml</i>",
    "Descrizione": "<script>alert(1)</script> &lt;b&gt;",
    "Suggerimento": "<img src=x onerror=alert(2)>",
    "Note": "</p><h3>titolo</h3>",
    "Destinatario": "<a href=\"file:///etc/passwd\">pec</a>",
    "Extra": "<iframe src=\"https://example.invalid/\"></iframe>",
}


def esc(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


hostile_ns = message("RicevutaScarto", FATTURA, (
    "<IdentificativoSdI>123</IdentificativoSdI><NomeFile>%s</NomeFile>"
    "<DataOraRicezione>2024-03-05T09:07:00.000+01:00</DataOraRicezione><ListaErrori>%s%s%s"
    "</ListaErrori><MessageId>77</MessageId><Note>%s</Note>"
    "<Destinatario><Codice>ABC1234</Codice><Descrizione>%s</Descrizione></Destinatario>"
    "<Extra><Dentro>%s</Dentro></Extra>") % (
        esc(HOSTILE["NomeFile"]),
        error("00001", esc(HOSTILE["Descrizione"]), esc(HOSTILE["Suggerimento"])),
        error("00200", "Partita IVA del cedente non valida", "Correggere la partita IVA"),
        error("00311", "Codice destinatario non valido è", ""),
        esc(HOSTILE["Note"]), esc(HOSTILE["Destinatario"]), esc(HOSTILE["Extra"])))

ONE_ERROR_NO_HINT = message("NotificaScarto", SDI, "<IdentificativoSdI>5</IdentificativoSdI>"
                            "<ListaErrori><Errore><Codice>00102</Codice><Descrizione>Firma non "
                            "valida</Descrizione></Errore></ListaErrori>")

with tempfile.TemporaryDirectory(prefix="ondivo-sdi-") as tmp:
    tmp = pathlib.Path(tmp)

    def write(name, data):
        path = tmp / name
        path.write_bytes(data)
        return path

    # Every text of a hostile rejection is text; every error is a row, in order.
    path = write("hostile_NS.xml", hostile_ns)
    res, shown = page(path)
    if check(shown is not None, "hostile", "html: %r" % res.stderr):
        check(not shown.tags - OUR_TAGS, "hostile", "markup came through: %r"
              % (shown.tags - OUR_TAGS))
        for what, text in HOSTILE.items():
            check(spaced(text) in shown.text, "hostile", "%s not shown as text" % what)
        check(shown.rows() ==
              [["00001", spaced(HOSTILE["Descrizione"])],
               ["00200", "Partita IVA del cedente non valida"],
               ["00311", "Codice destinatario non valido e'"]],
              "hostile", "errors %r" % shown.errors)
        check("05/03/2024 09:07" in shown.text, "hostile", "date")
    res, got = info(path)
    check(got and got["fornitore"] == HOSTILE["NomeFile"] and got["numero"] == "123"
          and got["tipo_documento"] == "NS Notifica di scarto" and got["data"] == "2024-03-05",
          "hostile", "info %r" % (got,))

    res, shown = page(write("one_NS.xml", ONE_ERROR_NO_HINT))
    check(shown and shown.rows() == [["00102", "Firma non valida"]], "noHint",
          "errors %r" % (shown and shown.errors))

    # The recipient's outcome in words, within a notice and on its own.
    for label, data, words in [
            ("neAccepted", message("NotificaEsito", SDI, "<IdentificativoSdI>1</IdentificativoSdI>"
                                   "<EsitoCommittente><Esito>EC01</Esito></EsitoCommittente>"),
             "fattura accettata"),
            ("neRefused", message("NotificaEsito", SDI, "<EsitoCommittente><Esito>EC02</Esito>"
                                  "<Descrizione>Importo errato</Descrizione></EsitoCommittente>"),
             "fattura rifiutata"),
            ("ecRefused", message("NotificaEsitoCommittente", SDI, "<Esito>EC02</Esito>"),
             "fattura rifiutata"),
            ("ecAccepted", message("NotificaEsitoCommittente", SDI, "<Esito>EC01</Esito>"),
             "fattura accettata")]:
        res, shown = page(write(label + ".xml", data))
        check(shown and words in shown.text, label, "page lacks %r" % words)
        other = "rifiutata" if "accettata" in words else "accettata"
        check(shown and other not in shown.text, label, "page says %r" % other)

    # Nothing but the document element: the page still says what it is, info has no values.
    for code, root, uri in [("RC", "RicevutaConsegna", FATTURA),
                            ("DT", "NotificaDecorrenzaTermini", SDI),
                            ("MT", "MetadatiInvioFile", SDI),
                            ("SE", "ScartoEsitoCommittente", SDI)]:
        path = write("empty_%s.xml" % code, message(root, uri, ""))
        res, got = info(path)
        want = {"formato": "SDI", "fornitore": None, "tipo_documento": code + " " + WORDS[code],
                "data": None, "numero": None}
        check(got and {k: got[k] for k in want} == want, "empty" + code, "info %r" % (got,))
        res, shown = page(path)
        check(shown and WORDS[code] in shown.text, "empty" + code, "html %r" % res.stderr)

    # Not messages: the refusal, as for any XML without FormatoTrasmissione.
    for label, data in [
            ("unknownRoot", message("RicevutaSconosciuta", SDI,
                                    "<IdentificativoSdI>1</IdentificativoSdI>")),
            ("noNamespace", b"<RicevutaConsegna><IdentificativoSdI>1</IdentificativoSdI>"
                            b"</RicevutaConsegna>"),
            ("invoiceWithoutFormat", b"<p:FatturaElettronica xmlns:p=\"urn:p\">"
                                     b"<FatturaElettronicaHeader><DatiTrasmissione/>"
                                     b"</FatturaElettronicaHeader></p:FatturaElettronica>")]:
        path = write(label + ".xml", data)
        for command in ("info", "html"):
            res = run(command, path)
            check(res.returncode == 1 and NON_GESTITO in res.stderr.decode() and not res.stdout,
                  label, "%s: exit %d %r" % (command, res.returncode, res.stderr))

finish()
