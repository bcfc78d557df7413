#!/usr/bin/env python3
"""The figures an accountant acts on, checked against a calculator of this test's own.

    conti_oracolo_test.py ONDIVO_CLI SAMPLES [CORPUS]

For every document of the samples, of the corpus's invoices and of a set of invoices written
here (split payment with and without withholding, fund contribution with withholding, virtual
stamp duty, document rounding stated and not, credit notes ordinary and simplified, three
currencies, a lot), the rules are applied here with Decimal, reading the XML with ElementTree:

    total    = ImportoTotaleDocumento, else sum(ImponibileImporto) + sum(Imposta)
               + Arrotondamento (simplified: sum(Importo))
    net      = total - sum(ImportoRitenuta) - sum(Imposta of EsigibilitaIVA S)
    sign     = -1 for TD04 and TD08, +1 otherwise; sums per currency, never across

and compared with what `elenco --json`, `elenco --csv`, the plain `elenco` table (rows and its
sum per currency) and the page of `html` (band and totals) show. One line per failure, then a
count.
"""
import csv
import decimal
import html
import io
import json
import pathlib
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

D = decimal.Decimal
CLI = str(pathlib.Path(sys.argv[1]).resolve())
SAMPLES = pathlib.Path(sys.argv[2])
CORPUS = pathlib.Path(sys.argv[3]) if len(sys.argv) > 3 else None


# ---------------------------------------------------------------- the calculator

def local(tag):
    return tag.rsplit("}", 1)[-1]


def kids(node, name):
    return [c for c in node if local(c.tag) == name] if node is not None else []


def kid(node, *path):
    for name in path:
        found = kids(node, name)
        node = found[0] if found else None
    return node


def text(node, *path):
    n = kid(node, *path)
    return (n.text or "").strip() if n is not None else ""


def amount(s):
    try:
        return D(s) if s and re.fullmatch(r"[+-]?\d+(\.\d+)?", s) else None
    except decimal.InvalidOperation:
        return None


def total_of(values):
    """The exact sum, None when one is not an amount, None for nothing."""
    parsed = [amount(v) for v in values]
    if not parsed or any(p is None for p in parsed):
        return None
    return sum(parsed, D(0))


def figures(body, simplified):
    g = kid(body, "DatiGenerali", "DatiGeneraliDocumento")
    f = {"tipo": text(g, "TipoDocumento"), "divisa": text(g, "Divisa")}
    if simplified:
        total = total_of([text(b, "Importo") for b in kids(body, "DatiBeniServizi")])
        split = None
    else:
        summaries = kids(kid(body, "DatiBeniServizi"), "DatiRiepilogo")
        base = total_of([text(r, "ImponibileImporto") for r in summaries])
        tax = total_of([text(r, "Imposta") for r in summaries])
        rounding = amount(text(g, "Arrotondamento")) or D(0)
        total = base + tax + rounding if base is not None and tax is not None else None
        split = total_of([text(r, "Imposta") for r in summaries
                          if text(r, "EsigibilitaIVA") == "S"])
    stated = text(g, "ImportoTotaleDocumento")
    if stated:
        total = amount(stated)
    withholdings = total_of([text(r, "ImportoRitenuta") for r in kids(g, "DatiRitenuta")
                             if text(r, "ImportoRitenuta")])
    f["totale"] = total
    f["netto"] = None if total is None else total - (withholdings or 0) - (split or 0)
    f["mostra_netto"] = withholdings is not None or split is not None
    f["segno"] = -1 if f["tipo"] in ("TD04", "TD08") else 1
    return f


def documents_of(path):
    root = ET.parse(path).getroot()
    simplified = local(root.tag) == "FatturaElettronicaSemplificata"
    if local(root.tag) not in ("FatturaElettronica", "FatturaElettronicaSemplificata"):
        return []
    return [figures(b, simplified) for b in kids(root, "FatturaElettronicaBody")]


def italian(d):
    """1234.5 as the list writes a computed sum: 1.234,50."""
    sign = "-" if d < 0 else ""
    whole, frac = ("%.2f" % abs(d)).split(".")
    return sign + "{:,}".format(int(whole)).replace(",", ".") + "," + frac


def shown(s):
    """An Italian amount as shown ("-1.234,50") back to a Decimal."""
    return D(s.replace(".", "").replace(",", ".")) if s else None


# ---------------------------------------------------------------- the generated set

NS = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2"


def ordinary(bodies, name="Fornitore"):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<p:FatturaElettronica versione="FPR12" '
            'xmlns:p="%s"><FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>FPR12'
            "</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore><DatiAnagrafici>"
            "<Anagrafica><Denominazione>%s</Denominazione></Anagrafica></DatiAnagrafici>"
            "</CedentePrestatore></FatturaElettronicaHeader>%s</p:FatturaElettronica>\n"
            % (NS, name, "".join(bodies)))


def body(number, summaries, tipo="TD01", divisa="EUR", total=None, extra="", rounding=None,
         payment=""):
    return ("<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>%s"
            "</TipoDocumento><Divisa>%s</Divisa><Data>2024-05-31</Data><Numero>%s</Numero>%s%s%s"
            "</DatiGeneraliDocumento></DatiGenerali><DatiBeniServizi>%s</DatiBeniServizi>%s"
            "</FatturaElettronicaBody>"
            % (tipo, divisa, number, extra,
               "<ImportoTotaleDocumento>%s</ImportoTotaleDocumento>" % total if total else "",
               "<Arrotondamento>%s</Arrotondamento>" % rounding if rounding else "",
               "".join("<DatiRiepilogo><AliquotaIVA>%s</AliquotaIVA><ImponibileImporto>%s"
                       "</ImponibileImporto><Imposta>%s</Imposta>%s</DatiRiepilogo>"
                       % (r[0], r[1], r[2], "<EsigibilitaIVA>%s</EsigibilitaIVA>" % r[3]
                          if len(r) > 3 else "") for r in summaries), payment))


def withholding(amount_, rate="20.00", kind="RT01"):
    return ("<DatiRitenuta><TipoRitenuta>%s</TipoRitenuta><ImportoRitenuta>%s</ImportoRitenuta>"
            "<AliquotaRitenuta>%s</AliquotaRitenuta><CausalePagamento>A</CausalePagamento>"
            "</DatiRitenuta>" % (kind, amount_, rate))


CASSA = ("<DatiCassaPrevidenziale><TipoCassa>TC04</TipoCassa><AlCassa>4.00</AlCassa>"
         "<ImportoContributoCassa>40.00</ImportoContributoCassa><ImponibileCassa>1000.00"
         "</ImponibileCassa><AliquotaIVA>22.00</AliquotaIVA><Ritenuta>SI</Ritenuta>"
         "</DatiCassaPrevidenziale>")
BOLLO = "<DatiBollo><BolloVirtuale>SI</BolloVirtuale><ImportoBollo>2.00</ImportoBollo></DatiBollo>"

GENERATED = {
    "split.xml": ordinary([body("S1", [("22.00", "1000.00", "220.00", "S")], total="1220.00")]),
    "split_withholding.xml": ordinary([body("S2", [("22.00", "876.07", "192.73", "S")],
                                            total="1068.80", extra=withholding("175.21"))]),
    "split_partial.xml": ordinary([body("S3", [("22.00", "100.00", "22.00", "S"),
                                               ("10.00", "200.00", "20.00", "I")])]),
    "cassa_withholding.xml": ordinary([body("C1", [("22.00", "1040.00", "228.80")],
                                            total="1268.80",
                                            extra=withholding("208.00") + CASSA)]),
    "bollo.xml": ordinary([body("B1", [("0.00", "100.00", "0.00"), ("0.00", "2.00", "0.00")],
                                total="102.00", extra=BOLLO)]),
    "rounding_stated.xml": ordinary([body("R1", [("22.00", "99.99", "22.00")], total="122.00",
                                          rounding="0.01")]),
    "rounding_computed.xml": ordinary([body("R2", [("22.00", "99.99", "22.00")],
                                            rounding="0.01")]),
    "rounding_negative.xml": ordinary([body("R3", [("22.00", "100.00", "22.00")],
                                            rounding="-0.20", extra=withholding("20.00"))]),
    "credit_note.xml": ordinary([body("N1", [("22.00", "100.00", "22.00")], tipo="TD04",
                                      total="122.00")]),
    "credit_note_withholding.xml": ordinary([body("N2", [("22.00", "100.00", "22.00")],
                                                  tipo="TD04", extra=withholding("20.00"))]),
    "usd.xml": ordinary([body("U1", [("0.00", "12345678.98", "0.00")], divisa="USD",
                              total="12345678.98")]),
    "gbp.xml": ordinary([body("G1", [("20.00", "500.00", "100.00")], divisa="GBP")]),
    "lot.xml": ordinary([body("L1", [("22.00", "100.00", "22.00", "S")], total="122.00"),
                         body("L2", [("22.00", "50.00", "11.00")], tipo="TD04"),
                         body("L3", [("10.00", "10.00", "1.00")], divisa="USD")]),
    "simplified_credit.xml": (
        '<?xml version="1.0" encoding="UTF-8"?>\n<p:FatturaElettronicaSemplificata '
        'versione="FSM10" xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.0">'
        "<FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>FSM10"
        "</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore><Denominazione>Bar"
        "</Denominazione></CedentePrestatore></FatturaElettronicaHeader><FatturaElettronicaBody>"
        "<DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD08</TipoDocumento><Divisa>EUR"
        "</Divisa><Data>2024-05-31</Data><Numero>7</Numero></DatiGeneraliDocumento></DatiGenerali>"
        "<DatiBeniServizi><Descrizione>Reso</Descrizione><Importo>12.20</Importo><DatiIVA>"
        "<Imposta>2.20</Imposta></DatiIVA></DatiBeniServizi></FatturaElettronicaBody>"
        "</p:FatturaElettronicaSemplificata>\n"),
}


# ---------------------------------------------------------------- the outputs

def run(*args):
    return subprocess.run([CLI, *args], capture_output=True, timeout=300)


def page_text(path):
    res = run("html", str(path))
    body_ = res.stdout.decode("cp1252", "replace").split("<body", 1)[-1]
    body_ = re.sub(r"<(style|title)[^>]*>.*?</\1>", " ", body_, flags=re.S)
    body_ = re.sub(r"</?wbr>", "", body_)
    return re.sub(r"\s+", " ", html.unescape(re.sub(r"<[^>]+>", " ", body_))).strip()


NUM = r"(-?[\d.]+,\d+)"


def main():
    with tempfile.TemporaryDirectory() as tmp:
        folder = pathlib.Path(tmp) / "fatture"
        folder.mkdir()
        for name, xml in GENERATED.items():
            (folder / name).write_text(xml, encoding="utf-8")
        paths = [folder, SAMPLES]
        if CORPUS and (CORPUS / "invoices").exists():
            paths += [p for p in (CORPUS / "invoices").iterdir() if p.name != "hostile"]

        expected = {}  # (file, document) -> figures
        for root in paths:
            for f in sorted(pathlib.Path(root).rglob("*")):
                if f.is_file() and f.suffix.lower() == ".xml":
                    try:
                        for i, d in enumerate(documents_of(f), 1):
                            expected[(str(f.resolve()), i)] = d
                    except ET.ParseError:
                        pass

        res = run("elenco", "--json", *map(str, paths))
        rows = json.loads(res.stdout.decode("utf-8"))
        csv_rows = list(csv.reader(io.StringIO(run("elenco", "--csv", *map(str, paths))
                                               .stdout.decode("utf-8-sig"), newline=""),
                                   delimiter=";"))
        header = csv_rows[0]
        csv_rows = csv_rows[1:]
        check(len(csv_rows) == len(rows), "csv: one line per row")
        table = run("elenco", *map(str, paths)).stdout.decode("utf-8").splitlines()

        sums = {}
        seen = 0
        for r, line in zip(rows, csv_rows):
            key = (str(pathlib.Path(r["file"]).resolve()), r["documento"])
            if key not in expected or r["errore"]:
                continue
            seen += 1
            e = expected[key]
            where = "%s (%s)" % (pathlib.Path(r["file"]).name, r["documento"])
            want_total = None if e["totale"] is None else e["totale"] * e["segno"]
            want_net = None if e["netto"] is None else e["netto"] * e["segno"]
            got_total = amount(r["totale"]) if r["totale"] else None
            got_net = amount(r["netto"]) if r["netto"] else None
            check(got_total == want_total, "json total " + where, "%r %r" % (got_total, want_total))
            check(got_net == want_net, "json net " + where, "%r %r" % (got_net, want_net))
            check((r["divisa"] or "") == e["divisa"], "json currency " + where, repr(r["divisa"]))
            c = dict(zip(header, line))
            check(shown(c["Totale"]) == want_total, "csv total " + where, c["Totale"])
            check(shown(c["Netto"]) == want_net, "csv net " + where, c["Netto"])
            check(c["Divisa"] == e["divisa"], "csv currency " + where, c["Divisa"])
            if want_total is not None:
                s = sums.setdefault(e["divisa"], [0, D(0), D(0)])
                s[0] += 1
                s[1] += want_total
                s[2] += want_net
        check(seen >= len(GENERATED) + 5, "documents compared", str(seen))

        # The table: no figure cut, one sum per currency, each the calculator's.
        for r in rows:
            if r["totale"] and r["documento"] and r["formato"] != "SDI":
                figure = italian(D(r["totale"])) if len(r["totale"].split(".")[-1]) == 2 else None
                if figure:
                    check(any(figure in l for l in table), "table shows " + figure)
        sum_lines = [l for l in table if l.startswith("Totale ")]
        got = {}
        for l in sum_lines:
            m = re.match(r"Totale (\S+)\s+(\d+) document[oi]\s+Imponibile %s\s+IVA %s\s+Totale %s"
                         r"\s+Netto %s$" % (NUM, NUM, NUM, NUM), l)
            check(m is not None, "table sum line", l)
            if m:
                got[m.group(1)] = (int(m.group(2)), shown(m.group(5)), shown(m.group(6)))
        for cur, (n, tot, net) in sums.items():
            check(got.get(cur) == (n, tot, net), "table sum " + cur,
                  "%r %r" % (got.get(cur), (n, tot, net)))
        check(set(got) == set(sums), "table: one sum per currency", repr(sorted(got)))

        # The page: the band's total and the net amount of the totals, document by document.
        for name in sorted(GENERATED):
            path = folder / name
            page = page_text(path)
            docs = documents_of(path)
            nets = re.findall(r"Netto a (?:pagare|credito del cliente) = %s" % NUM, page)
            want = [italian(d["netto"]) for d in docs if d["mostra_netto"]]
            check(nets == want, "page net " + name, "%r %r" % (nets, want))
            for d in docs:
                check(italian(d["totale"]) in page, "page total " + name, italian(d["totale"]))
            check("-0,00" not in page, "page: no -0,00 " + name)
            credit = [d for d in docs if d["segno"] < 0]
            check(not credit or "Netto a pagare" not in page or len(docs) > 1,
                  "page: a credit note pays nothing " + name)
    finish()


if __name__ == "__main__":
    main()
