#!/usr/bin/env python3
"""Writes an ordinary (FPR12) invoice with as many detail lines as asked, for the benchmarks.

Usage: gen_lines_invoice.py LINES OUT.xml
"""
import sys

lines, out = int(sys.argv[1]), sys.argv[2]

HEAD = """<?xml version="1.0" encoding="UTF-8"?>
<p:FatturaElettronica versione="FPR12" xmlns:ds="http://www.w3.org/2000/09/xmldsig#" \
xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2" \
xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
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
  <FatturaElettronicaBody>
    <DatiGenerali>
      <DatiGeneraliDocumento>
        <TipoDocumento>TD01</TipoDocumento><Divisa>EUR</Divisa><Data>2024-03-15</Data>
        <Numero>2024/0420</Numero><ImportoTotaleDocumento>{totale_doc}</ImportoTotaleDocumento>
        <Causale>Fornitura periodica: quantità e qualità come da contratto (€ netti)</Causale>
      </DatiGeneraliDocumento>
    </DatiGenerali>
    <DatiBeniServizi>
"""

LINE = """      <DettaglioLinee>
        <NumeroLinea>{n}</NumeroLinea>
        <CodiceArticolo><CodiceTipo>INTERNO</CodiceTipo><CodiceValore>ART{n:06d}</CodiceValore></CodiceArticolo>
        <Descrizione>Articolo {n}: quantità consegnata è conforme all'ordine, perché verificata</Descrizione>
        <Quantita>{q}.00</Quantita>
        <UnitaMisura>PZ</UnitaMisura>
        <PrezzoUnitario>{p}.50</PrezzoUnitario>
        <PrezzoTotale>{t:.2f}</PrezzoTotale>
        <AliquotaIVA>22.00</AliquotaIVA>
      </DettaglioLinee>
"""

TAIL = """      <DatiRiepilogo>
        <AliquotaIVA>22.00</AliquotaIVA>
        <ImponibileImporto>{imponibile:.2f}</ImponibileImporto>
        <Imposta>{imposta:.2f}</Imposta>
        <EsigibilitaIVA>I</EsigibilitaIVA>
      </DatiRiepilogo>
    </DatiBeniServizi>
    <DatiPagamento>
      <CondizioniPagamento>TP02</CondizioniPagamento>
      <DettaglioPagamento><ModalitaPagamento>MP05</ModalitaPagamento>\
<DataScadenzaPagamento>2024-04-15</DataScadenzaPagamento>\
<ImportoPagamento>{totale_doc}</ImportoPagamento><IBAN>IT60X0542811101000000123456</IBAN></DettaglioPagamento>
    </DatiPagamento>
  </FatturaElettronicaBody>
</p:FatturaElettronica>
"""

body = []
imponibile = 0.0
for n in range(1, lines + 1):
    q, p = n % 7 + 1, n % 90 + 1
    t = q * (p + 0.5)
    imponibile += t
    body.append(LINE.format(n=n, q=q, p=p, t=t))
imposta = round(imponibile * 0.22, 2)
totale = "%.2f" % (imponibile + imposta)
with open(out, "w", encoding="utf-8") as f:
    f.write(HEAD.format(totale_doc=totale))
    f.writelines(body)
    f.write(TAIL.format(imponibile=imponibile, imposta=imposta, totale_doc=totale))
