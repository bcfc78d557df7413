#!/usr/bin/env python3
"""Writes hostile invoices, each made to grow one kind of work faster than the file once did:

  genostile.py SHAPE OUT [--count N]

  causali       an ordinary invoice whose document data hold N Causale elements (40,000)
  attributi     an ordinary invoice with one element of N attributes (120,000)
  semplificata  a simplified invoice whose goods hold N/2 unknown leaves as siblings, and a
                DatiIVA as many (N = 410,000); one leaf in 16 holds its number, the rest are
                empty; each leaf is padded with blanks to --leaf-bytes (12): about 5 MB, near
                the most elements the reader admits for a file of that size
  entita        an ordinary invoice of N lines (20,000), each description referring to one
                entity of 10,000 characters: about 21 MB that expand to about 200 MB
  allegati      an ordinary invoice with N small attachments (300,000)
  ignoti        an ordinary invoice whose document data hold N unknown fields, each with a
                value the page has to show (330,000): about 5 MB

The values the page has to show are numbered (C1, C2, ...; N1, N17, ..., V1, V17, ...; a1, ...)
so that a reader can count them. Prints N, or for semplificata the number of numbered leaves.
The output is the same on every run.
"""
import argparse
import sys

NS = {"FPR12": "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2",
      "FSM10": "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.0"}
ENTITY_CHARS = 10_000
DEFAULTS = {"causali": 40_000, "attributi": 120_000, "semplificata": 410_000,
            "entita": 20_000, "allegati": 300_000, "ignoti": 330_000}


def ordinaria(out, body, doctype="", general=""):
    out.write(f"""<?xml version="1.0" encoding="UTF-8"?>
{doctype}<p:FatturaElettronica versione="FPR12" xmlns:p="{NS['FPR12']}">
  <FatturaElettronicaHeader>
    <DatiTrasmissione>
      <IdTrasmittente><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice></IdTrasmittente>
      <ProgressivoInvio>00001</ProgressivoInvio>
      <FormatoTrasmissione>FPR12</FormatoTrasmissione>
      <CodiceDestinatario>ABC1234</CodiceDestinatario>
    </DatiTrasmissione>
    <CedentePrestatore>
      <DatiAnagrafici>
        <IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice></IdFiscaleIVA>
        <Anagrafica><Denominazione>Ostile S.r.l.</Denominazione></Anagrafica>
        <RegimeFiscale>RF01</RegimeFiscale>
      </DatiAnagrafici>
    </CedentePrestatore>
  </FatturaElettronicaHeader>
  <FatturaElettronicaBody>
    <DatiGenerali>
      <DatiGeneraliDocumento>
        <TipoDocumento>TD01</TipoDocumento><Divisa>EUR</Divisa><Data>2024-03-15</Data>
        <Numero>OST/1</Numero>
{general}      </DatiGeneraliDocumento>
    </DatiGenerali>
""".encode())
    body(out)
    out.write(b"  </FatturaElettronicaBody>\n</p:FatturaElettronica>\n")


def causali(out, n):
    general = "".join(f"<Causale>C{k}</Causale>\n" for k in range(1, n + 1))
    ordinaria(out, lambda o: None, general=general)
    return n


def attributi(out, n):
    names = "".join(f' a{k}="{k % 10}"' for k in range(1, n + 1))
    ordinaria(out, lambda o: None, general=f"<Causale{names}>C1</Causale>\n")
    return n


def entita(out, n):
    # Accented letters and line breaks, as free text has.
    words = "Quantità consegnata è conforme all'ordine, perché verificata. "
    text = (words * (ENTITY_CHARS // len(words) + 1))[:ENTITY_CHARS]
    doctype = f'<!DOCTYPE p:FatturaElettronica [<!ENTITY testo "{text}">]>\n'
    filler = "Dettaglio della fornitura, lotto e collocazione. " * 18

    def body(o):
        o.write(b"    <DatiBeniServizi>\n")
        for k in range(1, n + 1):
            o.write(f"""      <DettaglioLinee><NumeroLinea>{k}</NumeroLinea>\
<Descrizione>N{k} &testo; {filler}</Descrizione><PrezzoUnitario>1.00</PrezzoUnitario>\
<PrezzoTotale>1.00</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>
""".encode())
        o.write(b"    </DatiBeniServizi>\n")

    ordinaria(out, body, doctype=doctype)
    return n


def allegati(out, n):
    def body(o):
        for k in range(1, n + 1):
            o.write(f"<Allegati><NomeAttachment>a{k}</NomeAttachment>"
                    f"<Attachment>QUJD</Attachment></Allegati>\n".encode())

    ordinaria(out, body)
    return n


def semplificata(out, n, leaf_bytes=12):
    out.write(f"""<?xml version="1.0" encoding="UTF-8"?>
<p:FatturaElettronicaSemplificata versione="FSM10" xmlns:p="{NS['FSM10']}">
  <FatturaElettronicaHeader>
    <DatiTrasmissione>
      <IdTrasmittente><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice></IdTrasmittente>
      <ProgressivoInvio>00001</ProgressivoInvio>
      <FormatoTrasmissione>FSM10</FormatoTrasmissione>
      <CodiceDestinatario>0000000</CodiceDestinatario>
    </DatiTrasmissione>
    <CedentePrestatore>
      <IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice></IdFiscaleIVA>
      <Denominazione>Ostile S.r.l.</Denominazione>
      <RegimeFiscale>RF01</RegimeFiscale>
    </CedentePrestatore>
  </FatturaElettronicaHeader>
  <FatturaElettronicaBody>
    <DatiGenerali>
      <DatiGeneraliDocumento>
        <TipoDocumento>TD07</TipoDocumento><Divisa>EUR</Divisa><Data>2024-03-15</Data>
        <Numero>OST/1</Numero>
      </DatiGeneraliDocumento>
    </DatiGenerali>
    <DatiBeniServizi>
      <Descrizione>Beni</Descrizione><Importo>1.00</Importo>
""".encode())
    def leaf(name, k):
        tag = f"<{name}>{name}{k}</{name}>" if k % 16 == 1 else f"<{name}/>"
        return tag + " " * (leaf_bytes - len(tag) - 1) + "\n"

    half = n // 2
    out.write("".join(leaf("N", k) for k in range(1, half + 1)).encode())
    out.write(b"<DatiIVA>\n")
    out.write("".join(leaf("V", k) for k in range(1, half + 1)).encode())
    out.write(b"""</DatiIVA>
    </DatiBeniServizi>
  </FatturaElettronicaBody>
</p:FatturaElettronicaSemplificata>
""")
    return 2 * len(range(1, half + 1, 16))


def ignoti(out, n):
    ordinaria(out, lambda o: None, general="".join(f"<v>x{k}</v>\n" for k in range(1, n + 1)))
    return n


SHAPES = {"causali": causali, "attributi": attributi, "semplificata": semplificata,
          "entita": entita, "allegati": allegati, "ignoti": ignoti}


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("shape", choices=SHAPES)
    ap.add_argument("out")
    ap.add_argument("--count", type=int)
    ap.add_argument("--leaf-bytes", type=int, default=12, help="semplificata only")
    a = ap.parse_args()
    n = a.count if a.count is not None else DEFAULTS[a.shape]
    extra = {"leaf_bytes": a.leaf_bytes} if a.shape == "semplificata" else {}
    with open(a.out, "wb") as out:
        print(SHAPES[a.shape](out, n, **extra))


if __name__ == "__main__":
    sys.exit(main())
