#!/usr/bin/env python3
"""The totals our pages show: stated or computed, withholding and net amount, VAT summary sums,
due dates and IBAN in the band, discounts and natures in words; numbers of every shape written
exactly; fields a line holds twice or out of the usual.

    totals_test.py ONDIVO_CLI

Each case is a small invoice written here and made into a page by the command line's `html`, the
program's own rendering (the figures come from the program, not from the stylesheets alone); the page's visible text (tags dropped, blanks joined) must hold every expected text and
none of the refused ones. The same invoice with its fields in the namespace (a default one, or a
prefix on every element) must make the very same page, and so must the invoice indented, with
blank text between its elements as most files have it. One line per case, then
"N passed, M failed".
"""
import html
import os
import re
import subprocess
import sys
import tempfile

NS = {"FPR12": "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2",
      "FPA12": "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2",
      "FSM10": "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.0"}


def riepilogo(rate, imponibile, imposta, natura="", esigibilita=""):
    return ("<DatiRiepilogo><AliquotaIVA>%s</AliquotaIVA>%s<ImponibileImporto>%s"
            "</ImponibileImporto><Imposta>%s</Imposta>%s</DatiRiepilogo>"
            % (rate, "<Natura>%s</Natura>" % natura if natura else "", imponibile, imposta,
               "<EsigibilitaIVA>%s</EsigibilitaIVA>" % esigibilita if esigibilita else ""))


def riga(n, prezzo, rate="22.00", extra="", natura=""):
    return ("<DettaglioLinee><NumeroLinea>%d</NumeroLinea><Descrizione>Riga %d</Descrizione>"
            "<PrezzoUnitario>%s</PrezzoUnitario>%s<PrezzoTotale>%s</PrezzoTotale>"
            "<AliquotaIVA>%s</AliquotaIVA>%s</DettaglioLinee>"
            % (n, n, prezzo, extra, prezzo, rate, "<Natura>%s</Natura>" % natura if natura else ""))


def corpo(numero="1", totale=None, generali="", righe=None, riepiloghi=None, pagamento="",
          tipo="TD01", dopo=""):
    righe = righe if righe is not None else riga(1, "100.00")
    riepiloghi = riepiloghi if riepiloghi is not None else riepilogo("22.00", "100.00", "22.00")
    return ("<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento>"
            "<TipoDocumento>%s</TipoDocumento><Divisa>EUR</Divisa><Data>2024-05-31</Data>"
            "<Numero>%s</Numero>%s%s%s</DatiGeneraliDocumento></DatiGenerali>"
            "<DatiBeniServizi>%s%s</DatiBeniServizi>%s</FatturaElettronicaBody>"
            % (tipo, numero, generali, "<ImportoTotaleDocumento>%s</ImportoTotaleDocumento>"
               % totale if totale is not None else "", dopo, righe, riepiloghi, pagamento))


def fattura(*corpi, fmt="FPR12", destinatario="ABC1234"):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<p:FatturaElettronica versione="%s" '
            'xmlns:p="%s"><FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>%s'
            "</FormatoTrasmissione><CodiceDestinatario>%s</CodiceDestinatario>"
            "</DatiTrasmissione><CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>"
            "Fornitore</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore>"
            "</FatturaElettronicaHeader>%s</p:FatturaElettronica>\n"
            % (fmt, NS[fmt], fmt, destinatario, "".join(corpi or (corpo(),))))


def semplificata(importi, totale=None):
    beni = "".join("<DatiBeniServizi><Descrizione>Bene %d</Descrizione><Importo>%s</Importo>"
                   "<DatiIVA><Aliquota>22.00</Aliquota></DatiIVA></DatiBeniServizi>" % (k, v)
                   for k, v in enumerate(importi, 1))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<p:FatturaElettronicaSemplificata '
            'versione="FSM10" xmlns:p="%s"><FatturaElettronicaHeader><DatiTrasmissione>'
            "<FormatoTrasmissione>FSM10</FormatoTrasmissione></DatiTrasmissione>"
            "<CedentePrestatore><Denominazione>Fornitore</Denominazione></CedentePrestatore>"
            "</FatturaElettronicaHeader><FatturaElettronicaBody><DatiGenerali>"
            "<DatiGeneraliDocumento><TipoDocumento>TD07</TipoDocumento><Divisa>EUR</Divisa>"
            "<Data>2024-05-31</Data><Numero>S/1</Numero>%s</DatiGeneraliDocumento>"
            "</DatiGenerali>%s</FatturaElettronicaBody></p:FatturaElettronicaSemplificata>\n"
            % (NS["FSM10"], "<ImportoTotaleDocumento>%s</ImportoTotaleDocumento>" % totale
               if totale else "", beni))


RITENUTA = ("<DatiRitenuta><TipoRitenuta>RT01</TipoRitenuta><ImportoRitenuta>20.00"
            "</ImportoRitenuta><AliquotaRitenuta>20.00</AliquotaRitenuta><CausalePagamento>A"
            "</CausalePagamento></DatiRitenuta>")
PAGAMENTO = ("<DatiPagamento><CondizioniPagamento>TP02</CondizioniPagamento><DettaglioPagamento>"
             "<ModalitaPagamento>MP05</ModalitaPagamento><DataScadenzaPagamento>2024-06-30"
             "</DataScadenzaPagamento><ImportoPagamento>102.00</ImportoPagamento>"
             "<IBAN>IT60X0542811101000000123456</IBAN></DettaglioPagamento></DatiPagamento>")

# (name, invoice, texts the page must hold, texts it must not)
CASES = [
    ("statedTotalAgreeing", fattura(corpo(totale="122.00")),
     ["Totale documento 122,00 EUR"], ["calcolato"]),
    ("noStatedTotalIsComputed", fattura(corpo()),
     ["122,00 EUR calcolato"], []),
    ("computedFromEveryRate",
     fattura(corpo(riepiloghi=riepilogo("22.00", "1000.00", "220.00")
                   + riepilogo("10.00", "500.50", "50.05")
                   + riepilogo("0.00", "12.34", "0.00", natura="N2.2"))),
     ["1.782,89 EUR calcolato", "Totale 1.512,84 270,05"], []),
    ("statedTotalDisagreeing", fattura(corpo(totale="130.00")),
     ["130,00 EUR calcolato: 122,00 EUR"], []),
    ("aCentIsNoDisagreement", fattura(corpo(totale="122.01")),
     ["122,01 EUR"], ["calcolato"]),
    ("withholdingAndNet", fattura(corpo(totale="122.00", generali=RITENUTA)),
     ["Ritenuta RT01 ritenuta di acconto persone fisiche (20,00 %) - 20,00",
      "Netto a pagare 102,00 EUR"], []),
    ("stampAndFund", fattura(corpo(totale="126.00", generali=(
        "<DatiBollo><BolloVirtuale>SI</BolloVirtuale><ImportoBollo>2.00</ImportoBollo>"
        "</DatiBollo><DatiCassaPrevidenziale><TipoCassa>TC22</TipoCassa><AlCassa>4.00</AlCassa>"
        "<ImportoContributoCassa>4.00</ImportoContributoCassa><ImponibileCassa>100.00"
        "</ImponibileCassa><AliquotaIVA>22.00</AliquotaIVA></DatiCassaPrevidenziale>"))),
     ["Imposta di bollo non si aggiunge al totale: se addebitata, e' tra le righe 2,00",
      "Contributo cassa previdenziale TC22"], ["Netto a pagare"]),
    ("dueDateAmountAndIban", fattura(corpo(totale="122.00", pagamento=PAGAMENTO)),
     ["Scadenza 30/06/2024 · da pagare 102,00 EUR (diverso dal netto calcolato) · MP05 bonifico · "
      "IBAN IT60 X054 2811 1010 0000 0123 456"], []),
    ("eachDocumentItsOwn", fattura(corpo("A/1", totale="122.00"),
                                   corpo("A/2", riepiloghi=riepilogo("22.00", "10.00", "2.20"))),
     ["Fattura n. A/1 del 31/05/2024 (TD01) - totale 122,00 EUR",
      "Fattura n. A/2 del 31/05/2024 (TD01) - totale 12,20 EUR calcolato"], []),
    ("simplifiedComputed", semplificata(["10.00", "2.50"]),
     ["12,50 EUR calcolato"], []),
    ("discountsInWords", fattura(corpo(righe=riga(1, "90.00", extra=(
        "<ScontoMaggiorazione><Tipo>SC</Tipo><Percentuale>10.00</Percentuale><Importo>10.00"
        "</Importo></ScontoMaggiorazione><ScontoMaggiorazione><Tipo>MG</Tipo><Importo>1.50"
        "</Importo></ScontoMaggiorazione>")))),
     ["sconto 10,00 %: 10,00", "maggiorazione: 1,50"], []),
    ("naturesExplained", fattura(corpo(righe=riga(1, "10.00", rate="0.00", natura="N4")
                                       + riga(2, "5.00", rate="0.00", natura="N4"),
                                       riepiloghi=riepilogo("0.00", "15.00", "0.00", "N4"))),
     ["Natura IVA: N4 esenti"], []),
    ("publicAdministration", fattura(corpo(), fmt="FPA12", destinatario="UFXYZ1"),
     ["Codice Amministrazione destinataria UFXYZ1"], []),
    ("largeAmountsGrouped", fattura(corpo(totale="1513068.07",
                                          riepiloghi=riepilogo("22.00", "1240219.73",
                                                               "272848.34"))),
     ["1.513.068,07 EUR"], ["1513068.07"]),
    # Split payment: the VAT the customer pays to the Treasury is not paid to the supplier.
    ("splitPaymentNet", fattura(corpo(totale="1220.00", riepiloghi=riepilogo(
        "22.00", "1000.00", "220.00", esigibilita="S"))),
     ["Netto a pagare 1.000,00 EUR", "IVA in scissione dei pagamenti versata dal cliente",
      "- 220,00 Netto a pagare = 1.000,00 EUR"], []),
    ("splitPaymentWithWithholding", fattura(corpo(totale="1220.00", generali=RITENUTA.replace(
        "20.00</ImportoRitenuta>", "200.00</ImportoRitenuta>"), riepiloghi=riepilogo(
        "22.00", "1000.00", "220.00", esigibilita="S"))),
     ["Netto a pagare 800,00 EUR", "Netto a pagare = 800,00 EUR"], ["1.020,00"]),
    ("splitPaymentOnOneRateOnly", fattura(corpo(totale="332.00", riepiloghi=riepilogo(
        "22.00", "100.00", "22.00", esigibilita="S") + riepilogo("10.00", "200.00", "20.00",
                                                             esigibilita="I"))),
     ["Netto a pagare 310,00 EUR"], []),
    ("splitPaymentPaymentAsked", fattura(corpo(totale="1220.00", riepiloghi=riepilogo(
        "22.00", "1000.00", "220.00", esigibilita="S"), pagamento=PAGAMENTO.replace(
        "102.00", "1000.00"))),
     ["da pagare 1.000,00 EUR · MP05"], ["diverso dal netto"]),
    ("splitPaymentPaymentDisagreeing", fattura(corpo(totale="1220.00", riepiloghi=riepilogo(
        "22.00", "1000.00", "220.00", esigibilita="S"), pagamento=PAGAMENTO.replace(
        "102.00", "1220.00"))),
     ["da pagare 1.220,00 EUR (diverso dal netto calcolato)",
      "Importo chiesto nei pagamenti diverso dal netto calcolato"], []),
    # The document's rounding belongs to its total.
    ("roundingInStatedTotal", fattura(corpo(totale="122.01", dopo=(
        "<Arrotondamento>0.01</Arrotondamento>"))),
     ["Totale documento 122,01 EUR", "Arrotondamento + 0,01"], ["calcolato"]),
    ("roundingInComputedTotal", fattura(corpo(dopo="<Arrotondamento>-0.20</Arrotondamento>")),
     ["121,80 EUR calcolato", "Arrotondamento + -0,20"], []),
    ("roundingWithWithholding", fattura(corpo(dopo="<Arrotondamento>0.50</Arrotondamento>",
                                              generali=RITENUTA)),
     ["Netto a pagare = 102,50 EUR"], []),
    # A zero is never negative.
    ("netOfZero", fattura(corpo(totale="122.00", generali=RITENUTA.replace(
        "20.00</ImportoRitenuta>", "122.00</ImportoRitenuta>"))),
     ["Netto a pagare = 0,00 EUR"], ["-0,00"]),
    ("computedZero", fattura(corpo(riepiloghi=riepilogo("0.00", "0.00", "0.00", natura="N4"),
                                   righe=riga(1, "0.00", rate="0.00", natura="N4"))),
     ["0,00 EUR calcolato"], ["-0,00"]),
    # A credit note gives back: nothing in it is "to pay".
    ("creditNoteBand", fattura(corpo(totale="102.00", tipo="TD04", pagamento=PAGAMENTO)),
     ["da rimborsare 102,00 EUR", "Nota di credito n. 1"], ["da pagare"]),
    ("creditNoteNet", fattura(corpo(totale="122.00", tipo="TD04", generali=RITENUTA)),
     ["Netto a credito del cliente = 102,00 EUR"], ["Netto a pagare"]),
    # Due dates from a reference date and the days of the terms.
    ("dueDateComputed", fattura(corpo(totale="122.00", pagamento=(
        "<DatiPagamento><CondizioniPagamento>TP02</CondizioniPagamento><DettaglioPagamento>"
        "<ModalitaPagamento>MP05</ModalitaPagamento><DataRiferimentoTerminiPagamento>2024-05-31"
        "</DataRiferimentoTerminiPagamento><GiorniTerminiPagamento>30</GiorniTerminiPagamento>"
        "<ImportoPagamento>122.00</ImportoPagamento></DettaglioPagamento></DatiPagamento>"))),
     ["Scadenza 30/06/2024 (calcolata) · da pagare 122,00 EUR", "30/06/2024 (calcolata)"], []),
    ("dueDateComputedOverLeapDay", fattura(corpo(totale="122.00", pagamento=(
        "<DatiPagamento><CondizioniPagamento>TP02</CondizioniPagamento><DettaglioPagamento>"
        "<ModalitaPagamento>MP05</ModalitaPagamento><DataRiferimentoTerminiPagamento>2024-02-01"
        "</DataRiferimentoTerminiPagamento><GiorniTerminiPagamento>60</GiorniTerminiPagamento>"
        "</DettaglioPagamento></DatiPagamento>"))),
     ["Scadenza 01/04/2024 (calcolata)"], []),
    ("dueDateStatedWins", fattura(corpo(totale="122.00", pagamento=PAGAMENTO.replace(
        "<DataScadenzaPagamento>", "<DataRiferimentoTerminiPagamento>2024-01-01"
        "</DataRiferimentoTerminiPagamento><GiorniTerminiPagamento>10</GiorniTerminiPagamento>"
        "<DataScadenzaPagamento>"))),
     ["Scadenza 30/06/2024 · da pagare"], ["calcolata", "11/01/2024"]),
    # Current code texts.
    ("selfInvoiceRegularisation", fattura(corpo(totale="122.00", tipo="TD20")),
     ["TD20 autofattura per regolarizzazione e integrazione delle fatture (ex art. 6 c. 9-bis"],
     ["c. 8 e 9-bis"]),
    ("withholdingReasonsLAndL1", fattura(corpo(totale="122.00", generali=RITENUTA.replace(
        "<CausalePagamento>A<", "<CausalePagamento>L<") + RITENUTA.replace(
        "<CausalePagamento>A<", "<CausalePagamento>L1<"))),
     ["a titolo gratuito dagli aventi causa", "acquistato i diritti a titolo oneroso"], []),
]


def numeri(*valori):
    """One line per value, as its unit price and total."""
    return "".join(riga(n, v) for n, v in enumerate(valori, 1))


# (value as written, as the page must show it): grouped by thousands with two decimals at
# least, every digit kept, and what is no plain decimal as written.
NUMERI = [("2.50", "2,50"), ("1234.5", "1.234,50"), ("2.50000000", "2,50"),
          ("0.12345678", "0,12345678"), ("-5.00", "-5,00"), ("1234567.12345678", "1.234.567,12345678"),
          ("12345678.90", "12.345.678,90"), ("824069056.64", "824.069.056,64"),
          ("2225418942.32", "2.225.418.942,32"), ("1.000000001", "1,000000001"),
          ("123456789012345", "123.456.789.012.345"), ("1e3", "1e3"), ("12,50", "12,50"),
          ("5", "5,00")]

CASES += [
    ("numbersExact", fattura(corpo(righe=numeri(*(v for v, _ in NUMERI)))),
     ["%d Riga %d %s %s 22,00" % (n, n, shown, shown) for n, (_, shown) in enumerate(NUMERI, 1)],
     ["12.345.678,89", "824.069.056,63"]),
    ("repeatedFieldsShown", fattura(corpo(righe=riga(1, "10.00") + (
        "<DettaglioLinee><NumeroLinea>2</NumeroLinea><CodiceArticolo><CodiceTipo>EAN"
        "</CodiceTipo><CodiceTipo>SKU</CodiceTipo><CodiceValore>8001</CodiceValore>"
        "</CodiceArticolo><Descrizione>Prima</Descrizione>"
        "<Descrizione>Seconda</Descrizione><PrezzoUnitario>3.00</PrezzoUnitario>"
        "<PrezzoUnitario>7.77</PrezzoUnitario><PrezzoTotale>3.00</PrezzoTotale>"
        "<AliquotaIVA>22.00</AliquotaIVA><AliquotaIVA>10.00</AliquotaIVA></DettaglioLinee>"))),
     ["Riga 1 10,00 10,00 22,00", "EAN SKU 8001", "Prima", "Seconda", "7,77", "10,00"], []),
    ("articleCodesAsWritten", fattura(corpo(righe=(
        "<DettaglioLinee><NumeroLinea>1</NumeroLinea>"
        "<CodiceArticolo><CodiceValore>X1</CodiceValore><CodiceTipo>TIPO1</CodiceTipo></CodiceArticolo>"
        "<CodiceArticolo><CodiceTipo> </CodiceTipo><CodiceValore>V2</CodiceValore></CodiceArticolo>"
        "<CodiceArticolo>TESTO3</CodiceArticolo>"
        "<CodiceArticolo><CodiceTipo>T4</CodiceTipo><CodiceValore>V4</CodiceValore>"
        "<Nota>N4</Nota></CodiceArticolo>"
        "<CodiceArticolo><CodiceTipo>T5</CodiceTipo></CodiceArticolo>"
        "<Descrizione>Codici</Descrizione><PrezzoUnitario>1.00</PrezzoUnitario>"
        "<PrezzoTotale>1.00</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>"))),
     ["1 X1 TIPO1 V2 TESTO3 T4 V4 N4 T5 Codici 1,00 1,00 22,00"], []),
    ("causaleInParts", fattura(corpo(generali="<Causale>Prima parte,</Causale><Causale>seconda "
                                             "parte</Causale>"), corpo("2", generali=(
        "<Causale>Altra</Causale>"))),
     ["Causale Prima parte, seconda parte", "Causale Altra"], []),
    ("simplifiedFieldsBesideLinesKept", fattura(corpo(righe=riga(1, "10.00") + (
        "<Descrizione>Bene a parte</Descrizione><Importo>55.55</Importo>"))),
     ["1 Riga 1 10,00 10,00 22,00", "Bene a parte", "55,55"], []),
    ("unusualFieldOnOneLine", fattura(corpo(righe=riga(1, "10.00") + riga(2, "20.00", extra=(
        "<DataInizioPeriodo>2024-01-01</DataInizioPeriodo>"
        "<DataFinePeriodo>2024-03-31</DataFinePeriodo>")).replace(
        "<PrezzoUnitario>20.00</PrezzoUnitario><DataInizio", "<DataInizio"))),
     ["Periodo dal 01/01/2024 al 31/03/2024", "1 Riga 1 10,00 10,00 22,00"], []),
]


def in_namespace(invoice, prefixed):
    """The invoice with every element in the format's namespace: by default, or by prefix."""
    if prefixed:
        return re.sub(r"<(/?)(?!p:|\?)(\w+)", r"<\1p:\2", invoice)
    return re.sub(r"<(/?)p:", r"<\1", invoice).replace("xmlns:p=", "xmlns=")


def indented(invoice):
    """The invoice with a line and blanks between every two tags, but inside an empty element."""
    parts = re.split(r"(<[^<>]*>)", invoice)
    out = []
    for i, part in enumerate(parts):
        out.append(part)
        # A tag followed by no text and another tag: blank text between them.
        if part.startswith("<") and i + 2 < len(parts) and parts[i + 1] == "":
            following = parts[i + 2]
            empty = not part.startswith("</") and following.startswith("</")
            out.append("" if empty else "\n  ")
    return "".join(out)


def visible_text(page):
    body = page.split("<body", 1)[-1]
    body = re.sub(r"<(style|title)[^>]*>.*?</\1>", " ", body, flags=re.S)
    # A place to wrap inside a number is no space: "1.513.<wbr>068" reads as one number.
    body = re.sub(r"</?wbr>", "", body)
    text = html.unescape(re.sub(r"<[^>]+>", " ", body))
    return re.sub(r"\s+", " ", text).strip()


def main(argv):
    cli = argv[1]
    passed = failed = 0
    with tempfile.TemporaryDirectory() as tmp:
        for name, invoice, wanted, refused in CASES:
            path = os.path.join(tmp, name + ".xml")
            with open(path, "w", encoding="utf-8") as f:
                f.write(invoice)
            run = subprocess.run([cli, "html", path], capture_output=True)
            text = visible_text(run.stdout.decode("cp1252", "replace"))
            problems = ["html failed: %s" % run.stderr.decode(errors="replace")[:200]] \
                if run.returncode else []
            problems += ["missing %r" % w for w in wanted if w not in text]
            problems += ["shows %r" % r for r in refused if r in text]
            variants = [("with the fields in the namespace", in_namespace(invoice, False)),
                        ("with the fields in the namespace by prefix", in_namespace(invoice, True)),
                        ("indented", indented(invoice)),
                        ("indented, the fields in the namespace by prefix",
                         indented(in_namespace(invoice, True)))]
            for label, variant in variants:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(variant)
                other = subprocess.run([cli, "html", path], capture_output=True)
                if other.stdout != run.stdout:
                    problems.append("another page " + label)
            if problems:
                failed += 1
                print("FAIL %s: %s" % (name, "; ".join(problems)))
            else:
                passed += 1
                print("ok   %s" % name)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
