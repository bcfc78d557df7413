// What a signed invoice shows is what its signature covers: nothing carried inside an XML
// signature becomes a header value, an attachment, a document of a list or text of the page,
// and the verdict says when such content is there.
#include "allegati.h"
#include "certificatifixture.h"
#include "documentoaperto.h"
#include "firmaxmlprova.h"
#include "programmadiprova.h"
#include "verificafirma.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ondivo;
using namespace ondivo::test;

namespace {

const std::string kFattura =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<p:FatturaElettronica xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2" versione="FPR12">
<FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>FPR12</FormatoTrasmissione></DatiTrasmissione>
<CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>Rossi Forniture</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore></FatturaElettronicaHeader>
<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01</TipoDocumento><Data>2024-05-14</Data><Numero>9876</Numero></DatiGeneraliDocumento></DatiGenerali>
<DatiBeniServizi><DettaglioLinee><NumeroLinea>1</NumeroLinea><Descrizione>Consulenza</Descrizione><PrezzoTotale>100.00</PrezzoTotale></DettaglioLinee></DatiBeniServizi>
<Allegati><NomeAttachment>contratto.txt</NomeAttachment><Attachment>Y29udHJhdHRv</Attachment></Allegati>
</FatturaElettronicaBody></p:FatturaElettronica>
)";

// What a forger adds: another supplier, another number, an attachment nobody signed, a word
// of the page.
const std::string kFalso =
    "<FatturaElettronicaHeader><CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>"
    "Truffatori S.p.A.</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore>"
    "</FatturaElettronicaHeader><FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento>"
    "<TipoDocumento>TD01</TipoDocumento><Numero>999</Numero></DatiGeneraliDocumento>"
    "</DatiGenerali><Allegati><NomeAttachment>Bonifico_IBAN_aggiornato.pdf</NomeAttachment>"
    "<Attachment>JVBERi0xLjQ=</Attachment></Allegati><Descrizione>Sconto del 90%</Descrizione>"
    "</FatturaElettronicaBody>";

const Identita& autorita() {
    static const Identita i = Autorita("CA di prova");
    return i;
}
const Identita& firmatario() {
    static const Identita i = Emetti(Persona(), &autorita());
    return i;
}
const Identita& secondo() {
    static const Identita i = Emetti(Persona(), &autorita());
    return i;
}

// Signed by Mario Rossi, covering everything but the signatures, as the SdI signs.
std::string firmata(const Identita& chi = firmatario(), const std::string& id = "Firma1",
                    const std::string& xml = kFattura) {
    return FirmaXml(xml, chi,
                    {.id = id, .copertura = Copertura::TutteLeFirme, .crl = {Crl(autorita())}});
}

// The text between the end of the first signature's KeyInfo and its end.
std::string dopoKeyInfo(const std::string& xml, const std::string& aggiunta) {
    return Sostituisci(xml, "</ds:KeyInfo>", "</ds:KeyInfo>" + aggiunta);
}

struct Caso {
    const char* nome;
    std::function<std::string()> xml;
    bool nonFirmato; // the verdict says unsigned content is there
    std::size_t firmatari;
};

void PrintTo(const Caso& c, std::ostream* os) {
    *os << c.nome;
}

const Caso kCasi[] = {
    {"plainSignature", [] { return firmata(); }, false, 1},
    // An object nobody's reference covers, inside the real signature.
    {"objectAddedInsideTheSignature",
     [] { return dopoKeyInfo(firmata(), "<ds:Object>" + kFalso + "</ds:Object>"); }, true, 1},
    {"objectWithAnIdNothingReferences",
     [] { return dopoKeyInfo(firmata(), "<ds:Object Id=\"altro\">" + kFalso + "</ds:Object>"); },
     true, 1},
    // The XAdES properties' unsigned part is unsigned by design, and never the invoice's.
    {"unsignedPropertiesCarryText",
     [] {
         return Sostituisci(firmata(), "</xades:RevocationValues>",
                            "</xades:RevocationValues></xades:UnsignedSignatureProperties>"
                            "<xades:UnsignedSignatureProperties>" +
                                kFalso);
     },
     false, 1},
    // A second valid signature, moved into a line's description with words of its own.
    {"secondSignatureInsideADescription",
     [] {
         const std::string entrambe = firmata(secondo(), "Seconda", firmata());
         const auto inizio = entrambe.rfind("<ds:Signature ");
         const auto fine =
             entrambe.rfind("</ds:Signature>") + std::string("</ds:Signature>").size();
         std::string seconda = entrambe.substr(inizio, fine - inizio);
         seconda = Sostituisci(seconda, "</ds:KeyInfo>",
                               "</ds:KeyInfo><ds:Object>" + kFalso + "</ds:Object>");
         std::string xml = entrambe;
         xml.erase(inizio, fine - inizio);
         return Sostituisci(xml, "Consulenza</Descrizione>",
                            "Consulenza" + seconda + "</Descrizione>");
     },
     true, 2},
    // No signature that holds at all: what it carries is still no part of the invoice.
    {"strayElementOfTheSignatureNamespace",
     [] {
         return Sostituisci(kFattura, "</FatturaElettronicaBody>",
                            "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">" +
                                kFalso + "</ds:Signature></FatturaElettronicaBody>");
     },
     true, 1},
};

class ContenutoFirmatoTest : public testing::TestWithParam<Caso> {};

TEST_P(ContenutoFirmatoTest, ShowsOnlyTheInvoiceItself) {
    const Caso& caso = GetParam();
    ProgrammaDiProva programma(FoglioConTuttoIlTesto);
    const std::string file = programma.dir().write("fattura.xml", caso.xml());
    const Fiducia fiducia({autorita().der()});

    const DocumentoAperto d = ApriDocumento(file, programma.foglioDi("FPR12"),
                                            {.datiDocumenti = true, .fiducia = &fiducia});
    ASSERT_TRUE(d.gestito) << (d.messaggi.empty() ? "" : d.messaggi[0]);
    EXPECT_EQ(d.fornitore, "Rossi Forniture");
    EXPECT_EQ(d.numero, "9876");
    ASSERT_EQ(d.allegati.size(), 1u);
    EXPECT_EQ(d.allegati[0]->NomeFile, "contratto.txt");
    ASSERT_EQ(d.documenti.size(), 1u);
    EXPECT_EQ(d.documenti[0].numero, "9876");
    EXPECT_EQ(d.documenti[0].fornitore, "Rossi Forniture");
    for (const char* estraneo : {"Truffatori", "999", "Bonifico", "Sconto del 90"})
        EXPECT_EQ(d.pagina.find(estraneo), std::string::npos) << estraneo << " in " << d.pagina;
    EXPECT_NE(d.pagina.find("Consulenza"), std::string::npos);

    // The streamed reading that saves attachments sees the same.
    ListaAllegati lista;
    EXPECT_EQ(LeggiAllegati(file, lista), 1);
    ASSERT_EQ(lista.size(), 1u);
    EXPECT_EQ(lista[0]->NomeFile, "contratto.txt");

    ASSERT_TRUE(d.firme) << d.erroreFirme;
    EXPECT_EQ(d.firme->contenutoNonFirmato, caso.nonFirmato);
    EXPECT_EQ(d.firme->firmatari.size(), caso.firmatari);
    const bool firmata = std::string(caso.nome) != "strayElementOfTheSignatureNamespace";
    for (const auto& f : d.firme->firmatari)
        EXPECT_EQ(f.integra, firmata) << f.motivo;
    EXPECT_EQ(TestoVerdetto(*d.firme).find("contenuto non firmato presente") != std::string::npos,
              caso.nonFirmato);
}

INSTANTIATE_TEST_SUITE_P(Firme, ContenutoFirmatoTest, testing::ValuesIn(kCasi),
                         [](const auto& info) { return std::string(info.param.nome); });

} // namespace
