#!/usr/bin/env python3
"""Hostile input that once took time growing with the square of its size, through ondivo-cli.

  hostile_scale_test.py [--sanitizers] ONDIVO-CLI STYLESHEETS GENOSTILE

The five shapes of bench/genostile.py, at sizes where a step quadratic in the input would take
longer than this test's time-out (set in CMakeLists.txt) by itself, and smaller invoices for the
other patterns rewritten for the same reason. Every case runs a copy of ondivo-cli placed in a
program folder of its own (our stylesheets in FODISTILE) and checks, besides the page or the
refusal it expects, that the run ends by itself with its peak memory (/usr/bin/time's maximum
resident set size) below 100 MB + 8 times the input; with --sanitizers, whose shadow memory
dominates, memory is not checked and the inputs are a quarter of the size.
One line per case, then "N passed, M failed".
"""
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

ARGS = [a for a in sys.argv[1:] if a != "--sanitizers"]
SANITIZERS = len(ARGS) < len(sys.argv) - 1
CLI, STYLESHEETS, GENOSTILE = map(pathlib.Path, ARGS[:3])
TIME = "/usr/bin/time"
SCALE = 4 if SANITIZERS else 1

NOT_HANDLED = "Documento xml non gestito, visualizzazione non possibile!\n"
XML_ERRORS = "ATTENZIONE, XML CON ERRORI (002)! \r\n\r\n"
TOO_MANY_ATTRIBUTES = "Un elemento del documento ha più di 256 attributi"
TOO_MANY_NAMESPACES = "Il documento dichiara troppi spazi dei nomi (più di 256 su un elemento)"
TOO_LARGE = "Le entità del documento si espandono oltre il limite consentito"
TOO_MANY_ELEMENTS = re.compile(r"Il documento ha troppi elementi per la sua dimensione "
                               r"\(più di [0-9]+ elementi\)")
NS = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2"


class Outcome:
    def __init__(self, status, out, err, peak):
        self.status, self.out, self.err, self.peak = status, out, err, peak

    @property
    def page(self):
        """The page as text: the view receives Windows-1252 bytes."""
        return self.out.decode("cp1252", "replace")

    @property
    def text(self):
        return self.err.decode("utf-8", "replace")


def run(exe, args, measures):
    """Runs exe under /usr/bin/time, which forks it from a small process of its own (a child
    forked from this Python would inherit its high-water mark). Peak memory in bytes."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        status = subprocess.run([TIME, "-f", "%M", "-o", str(measures), str(exe), *map(str, args)],
                                stdout=out, stderr=err).returncode
        report = measures.read_text() if measures.exists() else ""
        signalled = re.search(r"Command terminated by signal ([0-9]+)", report)
        if signalled:
            status = -int(signalled.group(1))
        peak = int(report.split()[-1]) * 1024 if report.split() else 0
        out.seek(0)
        err.seek(0)
        return Outcome(status, out.read(), err.read(), peak)


def fattura(general="", body="", party=None, fmt="FPR12", wrap=("", "")):
    """An ordinary invoice; `party` replaces the supplier's element."""
    party = party or ("<CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>Ostile"
                      "</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore>")
    return ('<?xml version="1.0" encoding="UTF-8"?>\n%s<p:FatturaElettronica versione="%s" '
            'xmlns:p="%s"><FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>%s'
            "</FormatoTrasmissione></DatiTrasmissione>%s</FatturaElettronicaHeader>\n"
            "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01"
            "</TipoDocumento><Data>2024-05-31</Data><Numero>OST/2</Numero>%s"
            "</DatiGeneraliDocumento></DatiGenerali>\n%s</FatturaElettronicaBody>"
            "</p:FatturaElettronica>%s\n"
            % (wrap[0], fmt, NS, fmt, party, general, body, wrap[1])).encode("utf-8")


def in_entity(text):
    """An invoice whose one Causale refers to an entity holding `text`."""
    return fattura(general="<Causale>&e;</Causale>",
                   wrap=('<!DOCTYPE p:FatturaElettronica [<!ENTITY e "%s">]>\n' % text, ""))


def lines(numbers, between=""):
    return ("<DatiBeniServizi>" + "".join(
        "<DettaglioLinee><NumeroLinea>%d</NumeroLinea><Descrizione>R%d</Descrizione>"
        "<PrezzoTotale>1.00</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>%s"
        % (k, k, between) for k in numbers) + "</DatiBeniServizi>")


# ---- what a page must hold ------------------------------------------------------------------

def cells(page, heading):
    """The texts of the cells that follow a <th> holding `heading`."""
    return re.findall(r"<th>%s</th><td[^>]*>(.*?)</td>" % re.escape(heading), page, re.S)


def one_causale_row(expected):
    def check(o):
        found = cells(o.page, "Causale")
        if len(found) != 1:
            return "%d Causale rows, not 1" % len(found)
        if found[0].split("\n") != expected:
            return "the Causale row does not hold the %d texts in order" % len(expected)
    return check


def values_shown(pattern, expected):
    """Every match of `pattern` on the page, in order, equals `expected`."""
    def check(o):
        got = re.findall(pattern, o.page)
        if got != expected:
            return "%d values shown (%r...), not %d" % (len(got), got[:3], len(expected))
    return check


def all_of(*checks):
    def check(o):
        for c in checks:
            complaint = c(o)
            if complaint:
                return complaint
    return check


def header_value(label, value):
    line = ("%s: %s\n" % (label, value)).encode("utf-8")
    return lambda o: None if line in o.out else "stdout %r" % o.out[:300]


def main():
    passed = failed = 0
    with tempfile.TemporaryDirectory(prefix="ondivo-scala-") as root:
        root = pathlib.Path(root)
        measures = root / "misure.txt"
        folder = root / "programma"
        folder.mkdir()
        shutil.copytree(STYLESHEETS, folder / "FODISTILE")
        shutil.copy2(CLI, folder / "ondivo-cli")
        cli = folder / "ondivo-cli"

        def generated(shape, count, *extra, name=None):
            path = root / ("%s.xml" % (name or shape))
            out = subprocess.run([sys.executable, str(GENOSTILE), shape, str(path), "--count",
                                  str(count), *extra], check=True, stdout=subprocess.PIPE,
                                 text=True)
            return path, int(out.stdout)

        def write(name, content):
            path = root / name
            path.write_bytes(content)
            return path

        def case(name, command, path, status=0, err="", check=None, args=()):
            nonlocal passed, failed
            got = run(cli, [command, path, *args], measures)
            problems = []
            if got.status < 0:
                problems.append("ended by signal %d" % -got.status)
            elif got.status != status:
                problems.append("status %d, not %d" % (got.status, status))
            if isinstance(err, str) and got.text != err:
                problems.append("stderr %r" % got.text[:300])
            elif isinstance(err, re.Pattern) and not err.fullmatch(got.text):
                problems.append("stderr %r" % got.text[:300])
            if check and not problems:
                complaint = check(got)
                if complaint:
                    problems.append(complaint)
            bound = 100 * 2**20 + 8 * path.stat().st_size
            if got.peak > bound and not SANITIZERS:
                problems.append("peak memory %d MB over %d MB" % (got.peak >> 20, bound >> 20))
            if problems:
                failed += 1
                print("FAIL %s/%s: %s" % (name, command, "; ".join(problems)))
            else:
                passed += 1
                print("ok   %s/%s (%.1f MB, %.0f MB peak)"
                      % (name, command, path.stat().st_size / 1e6, got.peak / 2**20))
            sys.stdout.flush()

        def refused(name, path, reason):
            reason = reason.pattern if isinstance(reason, re.Pattern) else re.escape(reason)
            for command in ("info", "html"):
                case(name, command, path, status=1,
                     err=re.compile(re.escape(XML_ERRORS) + reason + r"\r\nLine: [0-9]+\r\n.*\n" +
                                    re.escape(NOT_HANDLED), re.S))
            # The streamed reading of the attachments holds the file to the same limits.
            case(name, "estrai", path, status=1, args=[root / "allegati"],
                 err=re.compile(r"Errore nel caricamento XML: .* \(riga [0-9]+: " + reason +
                                r"\)\n", re.S))

        # --- The five shapes -----------------------------------------------------------------
        # Before: 112 s for 40,000 Causale, every one looking back over the ones before it.
        path, n = generated("causali", 100_000 // SCALE)
        case("causali", "html", path, check=one_causale_row(["C%d" % k for k in range(1, n + 1)]))
        case("causali", "info", path, check=header_value("Numero", "OST/1"))

        # Before: 112 s for 120,000 attributes (five loads), libxml2 checking each against all.
        path, n = generated("attributi", 260_000 // SCALE)
        refused("attributi", path, TOO_MANY_ATTRIBUTES)

        # Before: 215 s for 160,000 siblings, merged by a union in the simplified goods. Now as
        # many elements as the reader admits for about 5 MB, each unknown field a line of text.
        siblings = 410_000 // SCALE
        path, n = generated("semplificata", siblings)
        numbered = range(1, siblings // 2 + 1, 16)  # one leaf in 16, in the goods and in DatiIVA
        case("semplificata", "html", path, check=values_shown(
            r'(?<![A-Za-z])[NV]: ([NV][0-9]+)\n',
            ["N%d" % k for k in numbered] + ["V%d" % k for k in numbered]))
        case("semplificata", "info", path, check=header_value("Numero", "OST/1"))

        # Tags denser than one per 16 bytes of the file: a tree of thirty times the file.
        path, n = generated("semplificata", 300_000, "--leaf-bytes", "5", name="fitta")
        refused("elementsForTheSize", path, TOO_MANY_ELEMENTS)
        dense = "<v/>" * 150_000
        refused("elementsOfAnEntity", write("elementi-entita.xml", in_entity(dense)),
                TOO_MANY_ELEMENTS)

        # Unknown fields by the hundred thousand wherever a group of fields is listed: all shown,
        # one line each, in order.
        many = 330_000 // SCALE
        leaves = "".join("<v>x%d</v>\n" % k for k in range(many))
        every_value = values_shown(r"(?<![A-Za-z])v: (x[0-9]+)\n", ["x%d" % k for k in range(many)])
        party = ("<CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>Ostile"
                 "</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore>")
        places = {
            "unknownFieldsInTheHeader": fattura(party=party + leaves),
            "unknownFieldsOfTheParty": fattura(party=party.replace("</DatiAnagrafici>",
                                                                   leaves + "</DatiAnagrafici>")),
            "unknownFieldsOfTheDocument": fattura(general=leaves),
            "unknownFieldsOfTheBody": fattura(body=leaves),
            "unknownFieldsOfTheGoods": fattura(body="<DatiBeniServizi>%s</DatiBeniServizi>"
                                                    % leaves),
        }
        for name, content in places.items():
            case(name, "html", write(name + ".xml", content), check=every_value)
        # Up to a thousand fields in a group keep a row each; past that, lines. With the
        # document's type, date and number, groups of 1000 and of 1001 fields.
        for count, as_rows in ((997, True), (998, False)):
            expected = ["x%d" % k for k in range(count)]
            fields = "".join("<v>x%d</v>" % k for k in range(count))
            shown = (lambda o, e=expected: None if cells(o.page, "v") == e
                     else "%d rows of fields, not %d" % (len(cells(o.page, "v")), len(e))) \
                if as_rows else values_shown(r"(?<![A-Za-z])v: (x[0-9]+)\n", expected)
            case("unknownFieldsInAGroup%d" % count, "html",
                 write("campi-%d.xml" % count, fattura(general=fields)), check=shown)
        simple, _ = generated("semplificata", many, name="semplificata-piena")
        simple.write_bytes(re.sub(rb"<([NV])/>", lambda m: b"<%s>x</%s>" % (m[1], m[1]),
                                  simple.read_bytes()))
        case("unknownFieldsOfSimplifiedGoods", "html", simple,
             check=lambda o: None if o.page.count("N: x\n") + o.page.count("V: x\n")
             == many - 2 * len(range(1, many // 2 + 1, 16)) else "not every field shown")

        # Before: a page of 200 MB from 21 MB, 842 MB at the peak.
        path, n = generated("entita", 20_000 // SCALE)
        refused("entita", path, TOO_LARGE)

        # Before: 639 MB, a table row for each of 300,000 attachments.
        path, n = generated("allegati", 300_000 // SCALE)
        case("allegati", "html", path,
             check=values_shown(r"(?:>|\n)(a[0-9]+) · 3 byte", ["a%d" % k for k in range(1, n + 1)]))
        case("allegati", "info", path, check=header_value("Numero", "OST/1"))

        # --- The other patterns rewritten, on smaller invoices ---------------------------------
        interleaved = "".join("<Causale>C%d</Causale><Altro>x</Altro>" % k for k in range(1, 20001))
        case("causaliBetweenOtherFields", "html",
             write("causali-alterne.xml", fattura(general=interleaved)),
             check=one_causale_row(["C%d" % k for k in range(1, 20001)]))

        sedi = "".join("<Sede><Indirizzo>S%d</Indirizzo></Sede><AltriDatiIdentificativi><Sede>"
                       "<Indirizzo>S%d</Indirizzo></Sede></AltriDatiIdentificativi>"
                       % (2 * k - 1, 2 * k) for k in range(1, 5001))
        case("sediOfAParty", "html",
             write("sedi.xml", fattura(party="<CedentePrestatore>%s</CedentePrestatore>" % sedi)),
             check=values_shown(r'<div class="sede">(S[0-9]+)',
                                ["S%d" % k for k in range(1, 10001)]))

        anagrafiche = "".join("<DatiAnagrafici><Anagrafica><Titolo>T%d</Titolo><Nome>N%d</Nome>"
                              "</Anagrafica></DatiAnagrafici>" % (k, k) for k in range(1, 5001))
        name = " ".join(["T%d" % k for k in range(1, 5001)] + ["N%d" % k for k in range(1, 5001)])
        case("namePartsOfAParty", "html",
             write("nomi.xml", fattura(party="<CedentePrestatore>%s</CedentePrestatore>"
                                             % anagrafiche)),
             check=lambda o: None if '<div class="nome">%s</div>' % name in o.page
             else "the name is not the titles then the other parts")

        numbers = list(range(1, 4001))
        in_order = values_shown(r'<tr(?: class="lunga")?><td>([0-9]+)</td>', [str(k) for k in numbers])
        case("linesInBlocks", "html", write("righe.xml", fattura(body=lines(numbers))),
             check=all_of(in_order, lambda o: None if o.page.count('class="blocco-righe"') == 4
                          else "%d blocks, not 4" % o.page.count('class="blocco-righe"')))
        case("linesApart", "html",
             write("righe-separate.xml", fattura(body=lines(numbers, "<Nota>n</Nota>"))),
             check=all_of(in_order, lambda o: None if "blocco-righe" not in o.page.split("<body")[1]
                          else "blocks of lines that are not consecutive"))

        periodi = "".join("<DataInizioPeriodo>2024-01-%02d</DataInizioPeriodo>" % (k % 28 + 1)
                          for k in range(2000))
        periodi += "".join("<DataFinePeriodo>2024-02-%02d</DataFinePeriodo>" % (k % 28 + 1)
                           for k in range(2000))
        riga = ("<DatiBeniServizi><DettaglioLinee><NumeroLinea>1</NumeroLinea><Descrizione>R"
                "</Descrizione>%s<PrezzoTotale>1.00</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA>"
                "</DettaglioLinee></DatiBeniServizi>" % periodi)
        case("periodsOfALine", "html", write("periodi.xml", fattura(body=riga)),
             check=all_of(
                 values_shown(r"Periodo dal ([0-9/]+)",
                              ["%02d/01/2024" % (k % 28 + 1) for k in range(2000)]),
                 values_shown(r" al ([0-9/]+)",
                              ["%02d/02/2024" % (k % 28 + 1) for k in range(2000)])))

        allegati = "".join("<Allegati><NomeAttachment>f%d.pdf</NomeAttachment><FormatoAttachment>PDF"
                           "</FormatoAttachment><Extra>e%d</Extra><Attachment>QUJD</Attachment>"
                           "</Allegati>" % (k, k) for k in range(1, 1002))
        case("attachmentsWithTheirFields", "html", write("allegati-campi.xml", fattura(body=allegati)),
             check=values_shown(r"(f[0-9]+\.pdf · PDF · Extra: e[0-9]+ · 3 byte)",
                                ["f%d.pdf · PDF · Extra: e%d · 3 byte" % (k, k)
                                 for k in range(1, 1002)]))

        case("invoiceInsideAWrapper", "info",
             write("busta.xml", fattura(wrap=("<Busta><Altro/>", "</Busta>"))),
             check=header_value("Numero", "OST/2"))
        case("invoiceInsideAWrapper", "html", root / "busta.xml",
             check=lambda o: None if "Fattura n. OST/2" in o.page else "the invoice is not shown")

        widest = " ".join('a%d="1"' % k for k in range(256))
        case("attributesAtTheLimit", "info",
             write("attributi-256.xml", fattura(general="<Causale %s>C</Causale>" % widest)),
             check=header_value("Numero", "OST/2"))
        declared = "".join('<!ATTLIST Causale a%d CDATA "x">' % k for k in range(50_000))
        refused("attributesWithDefaults",
                write("attributi-dtd.xml",
                      fattura(wrap=("<!DOCTYPE p:FatturaElettronica [%s]>\n" % declared, ""))),
                TOO_MANY_ATTRIBUTES)
        tag = "<x %s/>" % " ".join("a%d='1'" % k for k in range(100_000))
        refused("attributesInAnEntity", write("attributi-entita.xml", in_entity(tag)),
                TOO_MANY_ATTRIBUTES)

        # Namespace declarations are built up as attributes are, and looked up through.
        declarations = " ".join('xmlns:p%d="urn:%d"' % (k, k) for k in range(120_000 // SCALE))
        refused("namespacesOfATag",
                write("spazi-dei-nomi.xml",
                      fattura(general="<Causale %s>C</Causale>" % declarations)),
                TOO_MANY_NAMESPACES)

        # Entities expanding to less than half the file still show.
        testo = "Testo ripetuto da un'entità. " * 3400  # about 100 kB
        filler = lines(range(1, 8001))
        entita = write("entita-ammesse.xml", fattura(
            general="".join("<Causale>&t;</Causale>" for _ in range(15)), body=filler,
            wrap=('<!DOCTYPE p:FatturaElettronica [<!ENTITY t "%s">]>\n' % testo, "")))
        case("entitiesWithinTheLimit", "html", entita,
             check=lambda o: None if o.page.count("Testo ripetuto") == 15 * 3400
             else "the entity text is not shown 15 times")

    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
