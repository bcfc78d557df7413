#!/usr/bin/env python3
"""Writes the inputs of the attachment benchmarks into a folder.

  base64_100MB.txt   100,000,000 characters of Base64 on one line (75,000,000 random bytes)
  fattura_32MB.xml   a 32 MB invoice whose one attachment, allegato.bin, is 20 MB
  allegato.b64       that attachment's bare Base64 text (what base64 -d is given)
  allegato.bin       the attachment's bytes, to check the extracted file against

Usage: gen_attachment_invoice.py FOLDER [INVOICE_MB ATTACHMENT_MB]
"""
import base64
import pathlib
import random
import sys

HEAD = """<?xml version="1.0" encoding="UTF-8"?>
<p:FatturaElettronica versione="FPR12" xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2">
  <FatturaElettronicaHeader>
    <DatiTrasmissione>
      <IdTrasmittente><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice></IdTrasmittente>
      <ProgressivoInvio>00001</ProgressivoInvio>
      <FormatoTrasmissione>FPR12</FormatoTrasmissione>
      <CodiceDestinatario>0000000</CodiceDestinatario>
    </DatiTrasmissione>
  </FatturaElettronicaHeader>
  <FatturaElettronicaBody>
    <DatiGenerali>
      <DatiGeneraliDocumento>
        <TipoDocumento>TD01</TipoDocumento><Divisa>EUR</Divisa>
        <Data>2024-01-31</Data><Numero>BENCH-1</Numero>
      </DatiGeneraliDocumento>
    </DatiGenerali>
    <DatiBeniServizi>
"""
LINE = """      <DettaglioLinee>
        <NumeroLinea>%d</NumeroLinea>
        <Descrizione>Articolo di prova numero %d</Descrizione>
        <Quantita>1.00</Quantita><PrezzoUnitario>10.00</PrezzoUnitario>
        <PrezzoTotale>10.00</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA>
      </DettaglioLinee>
"""
TAIL = """    </DatiBeniServizi>
    <Allegati>
      <NomeAttachment>allegato.bin</NomeAttachment>
      <FormatoAttachment>BIN</FormatoAttachment>
      <Attachment>%s</Attachment>
    </Allegati>
  </FatturaElettronicaBody>
</p:FatturaElettronica>
"""


def main():
    folder = pathlib.Path(sys.argv[1])
    invoice_mb = int(sys.argv[2]) if len(sys.argv) > 2 else 32
    attachment_mb = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    rng = random.Random(2024)

    (folder / "base64_100MB.txt").write_bytes(base64.b64encode(rng.randbytes(75_000_000)))

    attachment = rng.randbytes(attachment_mb * 1_000_000)
    text = base64.b64encode(attachment)
    (folder / "allegato.bin").write_bytes(attachment)
    (folder / "allegato.b64").write_bytes(text)

    tail = (TAIL % "@").encode().split(b"@")
    lines, size, n = [], len(HEAD) + len(text) + sum(map(len, tail)), 0
    while size < invoice_mb * 1_000_000:
        n += 1
        line = (LINE % (n, n)).encode()
        lines.append(line)
        size += len(line)
    (folder / ("fattura_%dMB.xml" % invoice_mb)).write_bytes(
        HEAD.encode() + b"".join(lines) + tail[0] + text + tail[1])


if __name__ == "__main__":
    main()
