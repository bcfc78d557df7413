#!/usr/bin/env python3
"""Writes the large inputs of the benchmarks: synthetic FatturaPA invoices, or bare Base64 text.

  genfattura.py OUT [--lines N | --size BYTES] [--bodies B] [--format FPR12|FPA12] [--prefix p]
                    [--attachments K --attachment-bytes SIZE]
                    [--attachment-text FILE] [--attachment-data FILE] [--seed S]
  genfattura.py OUT --base64-text BYTES [--seed S]

Every body holds N detail lines (20,000 unless told) with accented descriptions; --size adds
lines to a single body until the file is about BYTES long, attachments included. Each attachment
holds SIZE random bytes as one line of Base64; --attachment-text and --attachment-data also write
the last attachment's bare Base64 text and its bytes, for `base64 -d` and for checking what was
extracted. --base64-text writes no invoice: OUT is BYTES random bytes as one line of Base64.
The same seed gives the same files.
"""
import argparse
import base64
import random
import sys

NS = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2"
# Multiples of 3 keep each chunk's Base64 free of padding until the end.
CHUNK = 3 * 1024 * 1024


def header(fmt, p):
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<{p}:FatturaElettronica versione="{fmt}" xmlns:ds="http://www.w3.org/2000/09/xmldsig#" \
xmlns:{p}="{NS}" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
  <FatturaElettronicaHeader>
    <DatiTrasmissione>
      <IdTrasmittente><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice></IdTrasmittente>
      <ProgressivoInvio>00001</ProgressivoInvio>
      <FormatoTrasmissione>{fmt}</FormatoTrasmissione>
      <CodiceDestinatario>{'UFXXXX' if fmt == 'FPA12' else 'ABC1234'}</CodiceDestinatario>
    </DatiTrasmissione>
    <CedentePrestatore>
      <DatiAnagrafici>
        <IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice></IdFiscaleIVA>
        <Anagrafica><Denominazione>Forniture Città di Castello S.r.l.</Denominazione></Anagrafica>
        <RegimeFiscale>RF01</RegimeFiscale>
      </DatiAnagrafici>
      <Sede><Indirizzo>Via dell'Università</Indirizzo><NumeroCivico>1</NumeroCivico>\
<CAP>06012</CAP><Comune>Città di Castello</Comune><Provincia>PG</Provincia><Nazione>IT</Nazione></Sede>
    </CedentePrestatore>
    <CessionarioCommittente>
      <DatiAnagrafici>
        <IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>09876543210</IdCodice></IdFiscaleIVA>
        <Anagrafica><Denominazione>Cliente Società Cooperativa</Denominazione></Anagrafica>
      </DatiAnagrafici>
      <Sede><Indirizzo>Piazza Duomo</Indirizzo><CAP>20121</CAP><Comune>Milano</Comune>\
<Provincia>MI</Provincia><Nazione>IT</Nazione></Sede>
    </CessionarioCommittente>
  </FatturaElettronicaHeader>
"""


def line(n):
    q, p = n % 7 + 1, n % 90 + 1
    return f"""      <DettaglioLinee>
        <NumeroLinea>{n}</NumeroLinea>
        <CodiceArticolo><CodiceTipo>INTERNO</CodiceTipo><CodiceValore>ART{n:06d}</CodiceValore></CodiceArticolo>
        <Descrizione>Articolo {n}: quantità consegnata è conforme all'ordine, perché verificata</Descrizione>
        <Quantita>{q}.00</Quantita>
        <UnitaMisura>PZ</UnitaMisura>
        <PrezzoUnitario>{p}.50</PrezzoUnitario>
        <PrezzoTotale>{q * (p + 0.5):.2f}</PrezzoTotale>
        <AliquotaIVA>22.00</AliquotaIVA>
      </DettaglioLinee>
"""


def imponibile(lines):
    return sum((n % 7 + 1) * (n % 90 + 1.5) for n in range(1, lines + 1))


def body_head(number, lines):
    base = imponibile(lines)
    return f"""  <FatturaElettronicaBody>
    <DatiGenerali>
      <DatiGeneraliDocumento>
        <TipoDocumento>TD01</TipoDocumento><Divisa>EUR</Divisa><Data>2024-03-15</Data>
        <Numero>2024/{number:04d}</Numero><ImportoTotaleDocumento>{base * 1.22:.2f}</ImportoTotaleDocumento>
        <Causale>Fornitura periodica: quantità e qualità come da contratto (€ netti)</Causale>
      </DatiGeneraliDocumento>
    </DatiGenerali>
    <DatiBeniServizi>
"""


def body_tail(lines):
    base = imponibile(lines)
    return f"""      <DatiRiepilogo>
        <AliquotaIVA>22.00</AliquotaIVA>
        <ImponibileImporto>{base:.2f}</ImponibileImporto>
        <Imposta>{base * 0.22:.2f}</Imposta>
        <EsigibilitaIVA>I</EsigibilitaIVA>
      </DatiRiepilogo>
    </DatiBeniServizi>
    <DatiPagamento>
      <CondizioniPagamento>TP02</CondizioniPagamento>
      <DettaglioPagamento><ModalitaPagamento>MP05</ModalitaPagamento>\
<DataScadenzaPagamento>2024-04-15</DataScadenzaPagamento>\
<ImportoPagamento>{base * 1.22:.2f}</ImportoPagamento><IBAN>IT60X0542811101000000123456</IBAN></DettaglioPagamento>
    </DatiPagamento>
"""


def attachment_open(number, k):
    return f"""    <Allegati>
      <NomeAttachment>allegato_{number}_{k}.bin</NomeAttachment>
      <FormatoAttachment>BIN</FormatoAttachment>
      <Attachment>"""


ATTACHMENT_CLOSE = """</Attachment>
    </Allegati>
"""
BODY_CLOSE = "  </FatturaElettronicaBody>\n"


def write_base64(outputs, rng, size, data=None):
    """Writes SIZE random bytes as one line of Base64 to every file in OUTPUTS (and the bytes
    themselves to DATA)."""
    remaining = size
    while remaining > 0:
        chunk = rng.randbytes(min(remaining, CHUNK))
        remaining -= len(chunk)
        text = base64.b64encode(chunk)
        for out in outputs:
            out.write(text)
        if data:
            data.write(chunk)


def lines_for_size(a):
    """The number of detail lines that brings a one-body invoice to about a.size bytes."""
    fixed = len(header(a.format, a.prefix).encode()) + len(f"</{a.prefix}:FatturaElettronica>\n")
    fixed += len(body_head(1, 0).encode()) + len(body_tail(0).encode()) + len(BODY_CLOSE)
    per_attachment = len(attachment_open(1, 1)) + len(ATTACHMENT_CLOSE)
    per_attachment += 4 * ((a.attachment_bytes + 2) // 3)
    size, n = fixed + a.attachments * per_attachment, 0
    while size < a.size:
        n += 1
        size += len(line(n).encode())
    return n


def write_invoice(a, rng):
    lines = lines_for_size(a) if a.size else a.lines
    text = open(a.attachment_text, "wb") if a.attachment_text else None
    data = open(a.attachment_data, "wb") if a.attachment_data else None
    with open(a.out, "wb") as out:
        out.write(header(a.format, a.prefix).encode())
        for b in range(1, a.bodies + 1):
            out.write(body_head(b, lines).encode())
            for n in range(1, lines + 1):
                out.write(line(n).encode())
            out.write(body_tail(lines).encode())
            for k in range(1, a.attachments + 1):
                last = b == a.bodies and k == a.attachments
                out.write(attachment_open(b, k).encode())
                write_base64([out, text] if last and text else [out], rng, a.attachment_bytes,
                             data if last else None)
                out.write(ATTACHMENT_CLOSE.encode())
            out.write(BODY_CLOSE.encode())
        out.write(f"</{a.prefix}:FatturaElettronica>\n".encode())
    for f in (text, data):
        if f:
            f.close()


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("out")
    ap.add_argument("--lines", type=int, default=20000)
    ap.add_argument("--size", type=int, default=0)
    ap.add_argument("--bodies", type=int, default=1)
    ap.add_argument("--attachments", type=int, default=0)
    ap.add_argument("--attachment-bytes", type=int, default=0)
    ap.add_argument("--attachment-text")
    ap.add_argument("--attachment-data")
    ap.add_argument("--format", default="FPR12", choices=["FPR12", "FPA12"])
    ap.add_argument("--prefix", default="p")
    ap.add_argument("--base64-text", type=int, default=0)
    ap.add_argument("--seed", type=int, default=2024)
    a = ap.parse_args()
    if a.size and a.bodies != 1:
        ap.error("--size works on a single body")
    if (a.attachment_text or a.attachment_data) and not a.attachments:
        ap.error("--attachment-text and --attachment-data need --attachments")
    rng = random.Random(a.seed)
    if a.base64_text:
        with open(a.out, "wb") as out:
            write_base64([out], rng, a.base64_text)
    else:
        write_invoice(a, rng)


if __name__ == "__main__":
    sys.exit(main())
