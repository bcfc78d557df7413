#!/usr/bin/env python3
"""Writes a large synthetic FatturaPA invoice for benchmarks.

  genfattura.py OUT [--lines N] [--bodies B] [--attachment-bytes SIZE] [--attachments K]
                    [--format FPR12|FPA12] [--prefix p]

Every body holds N lines; each attachment holds SIZE random bytes as one line of Base64.
"""
import argparse
import base64
import os

NS = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2"


def header(fmt, p):
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<{p}:FatturaElettronica versione="{fmt}" xmlns:ds="http://www.w3.org/2000/09/xmldsig#" xmlns:{p}="{NS}" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
  <FatturaElettronicaHeader>
    <DatiTrasmissione>
      <IdTrasmittente><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice></IdTrasmittente>
      <ProgressivoInvio>00001</ProgressivoInvio>
      <FormatoTrasmissione>{fmt}</FormatoTrasmissione>
      <CodiceDestinatario>{'UFXXXX' if fmt == 'FPA12' else '0000000'}</CodiceDestinatario>
    </DatiTrasmissione>
    <CedentePrestatore>
      <DatiAnagrafici>
        <IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice></IdFiscaleIVA>
        <Anagrafica><Denominazione>Forniture Generali S.r.l.</Denominazione></Anagrafica>
        <RegimeFiscale>RF01</RegimeFiscale>
      </DatiAnagrafici>
      <Sede><Indirizzo>Via Roma 1</Indirizzo><CAP>00100</CAP><Comune>Roma</Comune><Provincia>RM</Provincia><Nazione>IT</Nazione></Sede>
    </CedentePrestatore>
    <CessionarioCommittente>
      <DatiAnagrafici>
        <IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>09876543210</IdCodice></IdFiscaleIVA>
        <Anagrafica><Denominazione>Cliente Grande S.p.A.</Denominazione></Anagrafica>
      </DatiAnagrafici>
      <Sede><Indirizzo>Corso Italia 5</Indirizzo><CAP>20100</CAP><Comune>Milano</Comune><Provincia>MI</Provincia><Nazione>IT</Nazione></Sede>
    </CessionarioCommittente>
  </FatturaElettronicaHeader>
"""


def body(out, number, lines, attachments, attachment_bytes):
    total = lines * 12.5
    out.write(f"""  <FatturaElettronicaBody>
    <DatiGenerali>
      <DatiGeneraliDocumento>
        <TipoDocumento>TD01</TipoDocumento><Divisa>EUR</Divisa><Data>2024-05-31</Data><Numero>{number}</Numero>
        <ImportoTotaleDocumento>{total * 1.22:.2f}</ImportoTotaleDocumento>
        <Causale>Fornitura di materiale di consumo, perché così è stato ordinato</Causale>
      </DatiGeneraliDocumento>
    </DatiGenerali>
    <DatiBeniServizi>
""")
    for n in range(1, lines + 1):
        out.write(f"""      <DettaglioLinee><NumeroLinea>{n}</NumeroLinea>
        <Descrizione>Articolo di consumo n. {n}, qualità garantita</Descrizione>
        <Quantita>5.00</Quantita><PrezzoUnitario>2.50</PrezzoUnitario>
        <PrezzoTotale>12.50</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>
""")
    out.write(f"""      <DatiRiepilogo>
        <AliquotaIVA>22.00</AliquotaIVA><ImponibileImporto>{total:.2f}</ImponibileImporto>
        <Imposta>{total * 0.22:.2f}</Imposta><EsigibilitaIVA>I</EsigibilitaIVA>
      </DatiRiepilogo>
    </DatiBeniServizi>
    <DatiPagamento>
      <CondizioniPagamento>TP02</CondizioniPagamento>
      <DettaglioPagamento><ModalitaPagamento>MP05</ModalitaPagamento><DataScadenzaPagamento>2024-06-30</DataScadenzaPagamento><ImportoPagamento>{total * 1.22:.2f}</ImportoPagamento><IBAN>IT60X0542811101000000123456</IBAN></DettaglioPagamento>
    </DatiPagamento>
""")
    for k in range(1, attachments + 1):
        out.write(f"""    <Allegati>
      <NomeAttachment>allegato_{number}_{k}.bin</NomeAttachment>
      <FormatoAttachment>BIN</FormatoAttachment>
      <Attachment>""")
        remaining = attachment_bytes
        while remaining > 0:
            # Multiples of 3 keep the chunks' Base64 free of padding until the end.
            chunk = os.urandom(min(remaining, 3 * 1024 * 1024))
            remaining -= len(chunk)
            out.write(base64.b64encode(chunk).decode("ascii"))
        out.write("""</Attachment>
    </Allegati>
""")
    out.write("  </FatturaElettronicaBody>\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--lines", type=int, default=20000)
    ap.add_argument("--bodies", type=int, default=1)
    ap.add_argument("--attachments", type=int, default=0)
    ap.add_argument("--attachment-bytes", type=int, default=0)
    ap.add_argument("--format", default="FPR12", choices=["FPR12", "FPA12"])
    ap.add_argument("--prefix", default="p")
    a = ap.parse_args()
    with open(a.out, "w", encoding="utf-8", newline="\n") as out:
        out.write(header(a.format, a.prefix))
        for b in range(1, a.bodies + 1):
            body(out, b, a.lines, a.attachments, a.attachment_bytes)
        out.write(f"</{a.prefix}:FatturaElettronica>\n")


if __name__ == "__main__":
    main()
