#!/usr/bin/env python3
"""Writes invoices that push the layout of our pages to the widths and lengths the FatturaPA
schemas allow.

  genstress.py FOLDER

Every invoice is valid against its schema (FatturaPA 1.2.2 for FPR12 and FPA12, VFSM10 1.0.1
for FSM10); the output is the same on every run. Prints the names of the files written.

  stress-numeri.xml      lines with the widest numbers, 10-letter units and five discounts each
  stress-testi.xml       1000-character descriptions, a 300-character URL and a 200-character
                         code without spaces, 80-character names, 256-character e-mail addresses
  stress-colonne.xml     every optional column and line field at once, lengths at the maximum
  stress-320-righe.xml   320 lines of every kind
  stress-una-riga.xml    a small, ordinary one-line invoice (prints on one page)
  stress-pa.xml          FPA12: a public administration's invoice at the maximum lengths
  stress-semplificata.xml FSM10: simplified invoice at the maximum lengths
"""
import pathlib
import sys
from xml.sax.saxutils import escape

NS_12 = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2"
NS_10 = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.0"

# ---- values at the schemas' limits -----------------------------------------------------------

QUANTITA_LUNGA = "12345.12345678"            # up to 12 + 8 digits
QUANTITA_MASSIMA = "999999999999.99999999"
PREZZO_LUNGO = "48644522360.96227886"        # Amount8Decimal: 11 + 8 digits, a sign
PREZZO_MASSIMO = "-99999999999.99999999"
IMPORTO_MASSIMO = "-99999999999.99"          # Amount2Decimal
UNITA = ["CONFEZIONI", "CHILOGRAMM", "BOTTIGLIE", "PZ", "ORE", "M2"]

WORDS = ("fornitura di materiale elettrico per impianto industriale comprensivo di cablaggio "
         "certificato posa in opera collaudo funzionale e rilascio della dichiarazione di "
         "conformità secondo la normativa vigente presso la sede operativa del cliente come da "
         "ordine quadro concordato nel corso dell'anno con consegna frazionata e trasporto a "
         "carico del fornitore fino al magazzino indicato").split()


def prosa(length, start=0):
    """Italian-looking text of exactly `length` characters, words separated by spaces."""
    out, k = [], start
    while len(" ".join(out)) < length:
        out.append(WORDS[k % len(WORDS)])
        k += 1
    text = " ".join(out)[:length]
    return text[:-1] + "." if text[-1] == " " else text


def token(length, alphabet="ABCDEFGHJKLMNPQRSTUVWXYZ0123456789", seed=7):
    """A code of `length` characters with no space, hyphen or other break opportunity."""
    return "".join(alphabet[(seed + k * 11 + k * k) % len(alphabet)] for k in range(length))


def url(length):
    """An address of exactly `length` characters without spaces."""
    base = "https://documenti.fornitore-esempio.it/ordini/2024/cliente/00012345/allegati/"
    query = "?formato=pdf&versione=3&firma=" + token(400, "abcdef0123456789", 3)
    return (base + query)[:length]


def email(length, domain="pec.fornitore-materiale-elettrico-esempio.it"):
    """An e-mail address of exactly `length` characters (at most 256)."""
    local = ".".join(["amministrazione", "fatturazione", "elettronica", "ufficio", "contabilita",
                      "clienti", "pubblica", "amministrazione", "ricezione", "documenti"] * 4)
    local = local[:length - len(domain) - 1].rstrip(".")
    address = local + "@" + domain
    return "x" * (length - len(address)) + address


def el(name, *children):
    """An element holding text (one string child) or elements (strings already serialised)."""
    if len(children) == 1 and not children[0].startswith("<"):
        return "<%s>%s</%s>" % (name, escape(children[0]), name)
    return "<%s>%s</%s>" % (name, "".join(children), name)


def opt(name, value):
    return el(name, value) if value is not None else ""


# ---- parts of an ordinary invoice ---------------------------------------------------------------

def indirizzo(tag, via, civico, cap, comune, provincia):
    return el(tag, el("Indirizzo", via), el("NumeroCivico", civico), el("CAP", cap),
              el("Comune", comune), el("Provincia", provincia), el("Nazione", "IT"))


def trasmissione(formato, destinatario, progressivo="00001", pec=None, contatti=None):
    return el("DatiTrasmissione",
              el("IdTrasmittente", el("IdPaese", "IT"), el("IdCodice", "01234567890")),
              el("ProgressivoInvio", progressivo), el("FormatoTrasmissione", formato),
              el("CodiceDestinatario", destinatario),
              contatti or "", opt("PECDestinatario", pec))


def cedente(nome, lunghi):
    """The supplier; `lunghi` fills every optional field to its maximum length."""
    anagrafica = el("Anagrafica", el("Denominazione", nome))
    extra = ""
    if lunghi:
        extra = (el("AlboProfessionale", prosa(60, 20)) + el("ProvinciaAlbo", "MI") +
                 el("NumeroIscrizioneAlbo", token(60)) + el("DataIscrizioneAlbo", "2001-03-15"))
    parts = [el("DatiAnagrafici",
                el("IdFiscaleIVA", el("IdPaese", "IT"), el("IdCodice", "01234567890")),
                el("CodiceFiscale", "01234567890"), anagrafica, extra,
                el("RegimeFiscale", "RF01")),
             indirizzo("Sede", prosa(60, 3) if lunghi else "Via Roma", "1234567",
                       "20100", prosa(60, 9) if lunghi else "Milano", "MI")]
    if lunghi:
        parts.append(indirizzo("StabileOrganizzazione", prosa(60, 14), "12B", "00100",
                               prosa(60, 31), "RM"))
        parts.append(el("IscrizioneREA", el("Ufficio", "MI"), el("NumeroREA", token(20)),
                        el("CapitaleSociale", "99999999999.99"), el("SocioUnico", "SM"),
                        el("StatoLiquidazione", "LN")))
        parts.append(el("Contatti", el("Telefono", "+39021234567"), el("Fax", "+39029876543"),
                        el("Email", email(256))))
        parts.append(el("RiferimentoAmministrazione", token(20)))
    return el("CedentePrestatore", *parts)


def cessionario(nome=None, persona=None, lunghi=False):
    if persona:
        titolo, nome_p, cognome = persona
        anagrafica = el("Anagrafica", el("Nome", nome_p), el("Cognome", cognome),
                        el("Titolo", titolo))
    else:
        anagrafica = el("Anagrafica", el("Denominazione", nome))
    parts = [el("DatiAnagrafici",
                el("IdFiscaleIVA", el("IdPaese", "IT"), el("IdCodice", "09876543210")),
                el("CodiceFiscale", "RSSMRA80A01H501U" if persona else "09876543210"),
                anagrafica),
             indirizzo("Sede", prosa(60, 40) if lunghi else "Piazza Garibaldi", "7",
                       "10121", prosa(60, 47) if lunghi else "Torino", "TO")]
    if lunghi:
        parts.append(indirizzo("StabileOrganizzazione", prosa(60, 52), "1", "80100",
                               "Napoli", "NA"))
    return el("CessionarioCommittente", *parts)


def sconto(k):
    tipo = "SC" if k % 2 == 0 else "MG"
    return el("ScontoMaggiorazione", el("Tipo", tipo), el("Percentuale", "%d.%02d" % (
        100 - k * 7, k * 13 % 100)), el("Importo", "%s" % ("12345678901.12345678", "1.50",
                                                              "999.99999999", "0.01",
                                                              PREZZO_LUNGO)[k % 5]))


def riga(n, descrizione, quantita=None, unita=None, prezzo="10.00", totale="10.00",
         aliquota="22.00", codici=(), sconti=0, natura=None, periodo=False, ritenuta=False,
         rif_amm=None, gestionali=0, tipo_cessione=None):
    parts = [el("NumeroLinea", str(n)), opt("TipoCessionePrestazione", tipo_cessione)]
    parts += [el("CodiceArticolo", el("CodiceTipo", tipo), el("CodiceValore", valore))
              for tipo, valore in codici]
    parts += [el("Descrizione", descrizione), opt("Quantita", quantita),
              opt("UnitaMisura", unita)]
    if periodo:
        parts += [el("DataInizioPeriodo", "2024-01-01"), el("DataFinePeriodo", "2024-12-31")]
    parts += [el("PrezzoUnitario", prezzo)]
    parts += [sconto(k) for k in range(sconti)]
    parts += [el("PrezzoTotale", totale), el("AliquotaIVA", aliquota)]
    parts += [el("Ritenuta", "SI") if ritenuta else "", opt("Natura", natura),
              opt("RiferimentoAmministrazione", rif_amm)]
    parts += [el("AltriDatiGestionali", el("TipoDato", token(10, seed=k)),
                 el("RiferimentoTesto", prosa(60, k)), el("RiferimentoNumero", PREZZO_MASSIMO),
                 el("RiferimentoData", "2024-06-30")) for k in range(gestionali)]
    return el("DettaglioLinee", *parts)


def riepiloghi(lunghi):
    rows = [el("DatiRiepilogo", el("AliquotaIVA", "22.00"),
               el("SpeseAccessorie", IMPORTO_MASSIMO if lunghi else "0.00"),
               el("Arrotondamento", PREZZO_MASSIMO if lunghi else "0.00"),
               el("ImponibileImporto", IMPORTO_MASSIMO if lunghi else "1000.00"),
               el("Imposta", IMPORTO_MASSIMO if lunghi else "220.00"),
               el("EsigibilitaIVA", "I"))]
    if lunghi:
        rows.append(el("DatiRiepilogo", el("AliquotaIVA", "0.00"), el("Natura", "N3.6"),
                       el("ImponibileImporto", "99999999999.99"), el("Imposta", "0.00"),
                       el("RiferimentoNormativo", prosa(100, 61))))
    return "".join(rows)


def pagamento(lunghi):
    if not lunghi:
        return el("DatiPagamento", el("CondizioniPagamento", "TP02"),
                  el("DettaglioPagamento", el("ModalitaPagamento", "MP05"),
                     el("DataScadenzaPagamento", "2024-07-31"),
                     el("ImportoPagamento", "1220.00"),
                     el("IBAN", "IT60X0542811101000000123456")))
    return el("DatiPagamento", el("CondizioniPagamento", "TP02"),
              el("DettaglioPagamento", el("Beneficiario", prosa(200, 5)),
                 el("ModalitaPagamento", "MP05"),
                 el("DataRiferimentoTerminiPagamento", "2024-06-30"),
                 el("GiorniTerminiPagamento", "999"),
                 el("DataScadenzaPagamento", "2024-07-31"),
                 el("ImportoPagamento", IMPORTO_MASSIMO),
                 el("CodUfficioPostale", token(20)),
                 el("CognomeQuietanzante", prosa(60, 8)), el("NomeQuietanzante", prosa(60, 2)),
                 el("CFQuietanzante", "RSSMRA80A01H501U"), el("TitoloQuietanzante", "DOTT.ING.X"),
                 el("IstitutoFinanziario", prosa(80, 12)),
                 el("IBAN", "IT60X0542811101000000123456ABCDEFG"),
                 el("ABI", "05428"), el("CAB", "11101"), el("BIC", "BPMOIT22XXX"),
                 el("ScontoPagamentoAnticipato", IMPORTO_MASSIMO),
                 el("DataLimitePagamentoAnticipato", "2024-07-10"),
                 el("PenalitaPagamentiRitardati", IMPORTO_MASSIMO),
                 el("DataDecorrenzaPenale", "2024-08-01"), el("CodicePagamento", token(60))))


def documento(numero, totale, causali=(), tipo="TD01", extra=""):
    return el("DatiGeneraliDocumento", el("TipoDocumento", tipo), el("Divisa", "EUR"),
              el("Data", "2024-06-30"), el("Numero", numero), extra,
              el("ImportoTotaleDocumento", totale), *[el("Causale", c) for c in causali])


def ordinaria(formato, destinatario, header_parts, documento_xml, righe, lunghi,
              generali_extra="", pec=None, contatti=None):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<p:FatturaElettronica versione="%s" xmlns:p="%s" '
            'xmlns:ds="http://www.w3.org/2000/09/xmldsig#">\n' % (formato, NS_12) +
            el("FatturaElettronicaHeader",
               trasmissione(formato, destinatario, pec=pec, contatti=contatti),
               *header_parts) + "\n" +
            el("FatturaElettronicaBody",
               el("DatiGenerali", documento_xml, generali_extra),
               el("DatiBeniServizi", "\n".join(righe), riepiloghi(lunghi)),
               pagamento(lunghi)) +
            "\n</p:FatturaElettronica>\n")


DENOMINAZIONE_80 = prosa(80, 27).upper()
ALTRA_80 = ("Consorzio Interregionale per la Gestione dei Servizi Idrici e Ambientali "
            "S.c.a r.l.")[:80]
CONTATTI_LUNGHI = el("ContattiTrasmittente", el("Telefono", "+39021234567"),
                     el("Email", email(256, "trasmittente-servizi-fatturazione.example.it")))


def codici(n):
    """Article codes of 35 characters in both parts."""
    return [(token(35, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", seed=k), token(35, seed=k + 3))
            for k in range(n)]


def numeri():
    """Short descriptions beside the widest numbers: the number columns take their room."""
    righe = [
        riga(1, "Cavo FG16OR16 3G2,5", QUANTITA_LUNGA, "CONFEZIONI", PREZZO_LUNGO,
             PREZZO_MASSIMO, sconti=5),
        riga(2, "Quadro elettrico", QUANTITA_MASSIMA, "CHILOGRAMM", PREZZO_MASSIMO,
             "99999999999.99999999", sconti=5),
        riga(3, "Trasporto", "1.00", "PZ", "150.00", "150.00", sconti=1),
        riga(4, "Sconto in fattura", None, None, "-12345678901.12345678",
             "-12345678901.12345678", aliquota="100.00", sconti=5),
        riga(9999, "Riga con numero di linea a quattro cifre", "123456789012.12345678",
             "BOTTIGLIE", "0.00000001", "0.00000001", aliquota="0.00", natura="N2.2",
             sconti=5),
    ]
    return ordinaria("FPR12", "ABC1234",
                     [cedente("Elettroforniture Rossi S.r.l.", False),
                      cessionario("Bianchi Costruzioni S.p.A.")],
                     documento("FT/2024/000000012345", IMPORTO_MASSIMO), righe, True)


def testi():
    """Long texts everywhere a text goes, some of them without any place to break."""
    lungo = prosa(1000)
    con_url = prosa(300, 5) + " Documentazione: " + url(300) + " " + prosa(1000 - 318 - 300, 9)
    con_codice = "Matricola " + token(200) + " " + prosa(1000 - 211, 17)
    righe = [
        riga(1, lungo, "1.00", "PZ", "1200.00", "1200.00"),
        riga(2, con_url, "2.00", "ORE", "45.00", "90.00"),
        riga(3, con_codice, "1.00", "PZ", "10.00", "10.00"),
        riga(4, url(300), "1.00", "PZ", "10.00", "10.00"),
        riga(5, token(1000), "1.00", "PZ", "10.00", "10.00"),
    ]
    causali = [prosa(200, 3), token(200, seed=1), url(200)]
    return ordinaria("FPR12", "0000000",
                     [cedente(DENOMINAZIONE_80, True),
                      cessionario(ALTRA_80, lunghi=True)],
                     documento("FT/2024/000000012346", "1300.00", causali), righe, True,
                     generali_extra=el("DatiOrdineAcquisto", el("RiferimentoNumeroLinea", "1"),
                                       el("IdDocumento", token(20)), el("Data", "2024-01-15"),
                                       el("NumItem", token(20)),
                                       el("CodiceCommessaConvenzione", token(100)),
                                       el("CodiceCUP", token(15)), el("CodiceCIG", token(15))),
                     pec=email(256), contatti=CONTATTI_LUNGHI)


def colonne():
    """Every optional column and line field on every line, each at its longest."""
    righe = [riga(k, prosa(1000 if k == 1 else 120, k), QUANTITA_LUNGA, UNITA[k % len(UNITA)],
                  PREZZO_LUNGO, PREZZO_MASSIMO, aliquota="0.00", codici=codici(3), sconti=5,
                  natura=("N3.6", "N2.1", "N6.9", "N1")[k % 4], periodo=True, ritenuta=True,
                  rif_amm=token(20, seed=k), gestionali=2, tipo_cessione="AC")
             for k in range(1, 7)]
    return ordinaria("FPR12", "ABC1234",
                     [cedente(DENOMINAZIONE_80, True), cessionario(persona=(
                         "DOTT.ING.X", prosa(60, 1), prosa(60, 44)))],
                     documento("FT/2024/000000012347", IMPORTO_MASSIMO, [prosa(200, 7)]),
                     righe, True, pec=email(256))


def trecentoventi():
    """Lines of every kind, enough to be laid out in blocks and to run over many pages."""
    righe = []
    for k in range(1, 321):
        kind = k % 8
        if kind == 0:
            righe.append(riga(k, prosa(1000, k), QUANTITA_LUNGA, "CONFEZIONI", PREZZO_LUNGO,
                              PREZZO_MASSIMO, codici=codici(1), sconti=5, periodo=True,
                              gestionali=1))
        elif kind == 3:
            righe.append(riga(k, "Intervento tecnico " + url(120), "1.50", "ORE", "45.00",
                              "67.50", codici=codici(1)))
        elif kind == 5:
            righe.append(riga(k, "Omaggio", "1.00", "PZ", "0.00", "0.00", aliquota="0.00",
                              natura="N2.2", rif_amm=token(20, seed=k)))
        else:
            righe.append(riga(k, prosa(40 + 13 * kind, k), "%d.00" % (k * 7 % 90 + 1),
                              UNITA[k % len(UNITA)], "%d.%02d" % (k * 37 % 1000, k % 100),
                              "%d.%02d" % (k * 259 % 10000, k % 100),
                              codici=codici(1), sconti=k % 3))
    return ordinaria("FPR12", "ABC1234",
                     [cedente("Elettroforniture Rossi S.r.l.", False),
                      cessionario("Bianchi Costruzioni S.p.A.")],
                     documento("FT/2024/320", "98765432.10"), righe, False)


def una_riga():
    """A small invoice as most of them are."""
    righe = [riga(1, "Consulenza tecnica per l'impianto elettrico, giugno 2024", "8.00", "ORE",
                  "125.00", "1000.00")]
    return ordinaria("FPR12", "ABC1234",
                     [cedente("Studio Tecnico Verdi", False),
                      cessionario(persona=("DOTT.", "Mario", "Rossi"))],
                     documento("12/2024", "1220.00", ["Consulenza di giugno"]), righe, False)


def pa():
    """A public administration's invoice: six-character office code, references to the order
    and the contract, long administrative references on the lines."""
    righe = [riga(k, prosa(300 if k % 2 else 1000, k), QUANTITA_LUNGA, "CONFEZIONI",
                  PREZZO_LUNGO, PREZZO_MASSIMO, codici=codici(2), sconti=5, periodo=True,
                  rif_amm=token(20, seed=k), gestionali=1)
             for k in range(1, 5)]
    riferimenti = "".join(
        el(tag, el("RiferimentoNumeroLinea", "1"), el("IdDocumento", token(20, seed=k)),
           el("Data", "2024-01-15"), el("NumItem", token(20, seed=k + 1)),
           el("CodiceCommessaConvenzione", prosa(100, k)), el("CodiceCUP", token(15, seed=k)),
           el("CodiceCIG", token(15, seed=k + 2)))
        for k, tag in enumerate(("DatiOrdineAcquisto", "DatiContratto", "DatiConvenzione")))
    return ordinaria("FPA12", "UFABCD",
                     [cedente(DENOMINAZIONE_80, True), cessionario(ALTRA_80, lunghi=True)],
                     documento("FPA/2024/00000000123", IMPORTO_MASSIMO, [prosa(200, 11)]),
                     righe, True, generali_extra=riferimenti, contatti=CONTATTI_LUNGHI)


def semplificata():
    beni = "".join(
        el("DatiBeniServizi", el("Descrizione", d), el("Importo", IMPORTO_MASSIMO),
           el("DatiIVA", el("Imposta", IMPORTO_MASSIMO), el("Aliquota", "22.00")),
           opt("Natura", natura), opt("RiferimentoNormativo", rif))
        for d, natura, rif in ((prosa(1000), None, None),
                               (url(300) + " " + token(200), None, None),
                               (token(1000), "N2.2", prosa(100, 4))))
    sede = indirizzo("Sede", prosa(60, 3), "1234567", "20100", prosa(60, 9), "MI")
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<p:FatturaElettronicaSemplificata versione="FSM10" xmlns:p="%s">\n' % NS_10 +
            el("FatturaElettronicaHeader",
               el("DatiTrasmissione",
                  el("IdTrasmittente", el("IdPaese", "IT"), el("IdCodice", "01234567890")),
                  el("ProgressivoInvio", token(10)), el("FormatoTrasmissione", "FSM10"),
                  el("CodiceDestinatario", "ABC1234"), el("PECDestinatario", email(256))),
               el("CedentePrestatore",
                  el("IdFiscaleIVA", el("IdPaese", "IT"), el("IdCodice", "01234567890")),
                  el("CodiceFiscale", "01234567890"), el("Denominazione", DENOMINAZIONE_80),
                  sede,
                  el("IscrizioneREA", el("Ufficio", "MI"), el("NumeroREA", token(20)),
                     el("CapitaleSociale", "99999999999.99"), el("StatoLiquidazione", "LN")),
                  el("RegimeFiscale", "RF01")),
               el("CessionarioCommittente",
                  el("IdentificativiFiscali", el("CodiceFiscale", "RSSMRA80A01H501U")),
                  el("AltriDatiIdentificativi", el("Denominazione", ALTRA_80),
                     indirizzo("Sede", prosa(60, 40), "7", "10121", prosa(60, 47), "TO")))) +
            "\n" +
            el("FatturaElettronicaBody",
               el("DatiGenerali",
                  el("DatiGeneraliDocumento", el("TipoDocumento", "TD08"), el("Divisa", "EUR"),
                     el("Data", "2024-06-30"), el("Numero", token(20)),
                     el("BolloVirtuale", "SI")),
                  el("DatiFatturaRettificata", el("NumeroFR", token(20, seed=2)),
                     el("DataFR", "2024-05-31"), el("ElementiRettificati", prosa(1000, 6)))),
               beni) +
            "\n</p:FatturaElettronicaSemplificata>\n")


INVOICES = {
    "stress-numeri.xml": numeri,
    "stress-testi.xml": testi,
    "stress-colonne.xml": colonne,
    "stress-320-righe.xml": trecentoventi,
    "stress-una-riga.xml": una_riga,
    "stress-pa.xml": pa,
    "stress-semplificata.xml": semplificata,
}


def main():
    if len(sys.argv) != 2:
        sys.exit("uso: genstress.py CARTELLA")
    folder = pathlib.Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    for name, make in INVOICES.items():
        (folder / name).write_text(make(), encoding="utf-8")
        print(name)


if __name__ == "__main__":
    main()
