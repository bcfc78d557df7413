// Where the signatures of an XML text stand and what their references cover, in bytes. The
// signed documents are signed here with xmlsec; xmlsec itself is the oracle of what a reference
// covers (a byte changed inside it breaks its digest, outside it does not) and libxml2 the
// oracle of where an element begins and ends (the bytes taken out take its whole subtree).
#include "firmaxmlprova.h"
#include "identitaprova.h"
#include "partifirmate.h"
#include "verificadsig.h"
#include "xmlsecptr.h"

#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <xmlsec/list.h>
#include <xmlsec/xmldsig.h>
#include <xmlsec/xmltree.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

using namespace ondivo;
using namespace ondivo::test;

namespace {

const Identita& firmatario() {
    static const Identita i =
        NuovaIdentita({{{"CN", "Firmatario di prova"}}}, nullptr, TipoChiave::Ec);
    return i;
}

const std::string kFattura = R"(<?xml version="1.0" encoding="UTF-8"?>
<p:FatturaElettronica xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2" versione="FPR12">
  <FatturaElettronicaHeader>
    <CedentePrestatore><Denominazione>Rossi Forniture è Figli</Denominazione></CedentePrestatore>
  </FatturaElettronicaHeader>
  <FatturaElettronicaBody Id="corpo">
    <DatiGeneraliDocumento><Numero>123</Numero></DatiGeneraliDocumento>
  </FatturaElettronicaBody>
</p:FatturaElettronica>
)";

// Comments, CDATA, processing instructions and a DOCTYPE holding ">" and element-like text,
// and an element named Signature in another namespace.
const std::string kFatturaInsidiosa = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE p:FatturaElettronica [
<!ELEMENT Nota (#PCDATA)>
<!-- a > b ] </p:FatturaElettronica> -->
]>
<?ondivo a > b <ds:Signature> ?>
<p:FatturaElettronica xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2" versione="FPR12">
  <!-- <ds:Signature xmlns:ds="http://www.w3.org/2000/09/xmldsig#"> </p:FatturaElettronica> -->
  <FatturaElettronicaHeader nota="a &gt; b">
    <falsa:Signature xmlns:falsa="urn:non-una-firma"><Descrizione>finta</Descrizione></falsa:Signature>
    <Descrizione><![CDATA[testo con <tag> e </FatturaElettronicaHeader> dentro]]></Descrizione>
  </FatturaElettronicaHeader>
  <FatturaElettronicaBody><Numero>123</Numero></FatturaElettronicaBody>
</p:FatturaElettronica>
)";

std::string Utf16Le(const std::string& utf8) {
    std::string esito;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = c;
        std::size_t n = 1;
        if (c >= 0xF0)
            cp = c & 0x07, n = 4;
        else if (c >= 0xE0)
            cp = c & 0x0F, n = 3;
        else if (c >= 0xC0)
            cp = c & 0x1F, n = 2;
        for (std::size_t k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += n;
        const auto unita = [&](char32_t u) {
            esito += static_cast<char>(u & 0xFF);
            esito += static_cast<char>(u >> 8);
        };
        if (cp >= 0x10000) {
            unita(0xD800 + ((cp - 0x10000) >> 10));
            unita(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unita(cp);
        }
    }
    return esito;
}

// ASCII as UTF-16 big-endian, with no byte order mark.
std::string Utf16Be(std::string_view ascii) {
    std::string esito;
    for (char c : ascii) {
        esito += '\0';
        esito += c;
    }
    return esito;
}

std::string ComeUtf16(const std::string& xml) {
    return "\xFF\xFE" + Utf16Le(Sostituisci(xml, "encoding=\"UTF-8\"", "encoding=\"UTF-16\""));
}

// The `occorrenza`-th (from 0) place of `testo` in `xml`; npos when there is none.
std::size_t Posizione(const std::string& xml, const std::string& testo, int occorrenza = 0) {
    std::size_t p = xml.find(testo);
    for (int k = 0; k < occorrenza && p != std::string::npos; ++k)
        p = xml.find(testo, p + 1);
    return p;
}

// The references of the signature that cover byte `p`.
std::vector<int> Coprono(const FirmaNelTesto& firma, std::size_t p) {
    std::vector<int> esito;
    for (std::size_t r = 0; r < firma.riferimenti.size(); ++r)
        for (const auto& i : firma.riferimenti[r].coperto)
            if (i.inizio <= p && p < i.fine) {
                esito.push_back(static_cast<int>(r));
                break;
            }
    return esito;
}

XmlDocPtr Leggi(const std::string& xml) {
    return XmlDocPtr(
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr, XML_PARSE_NONET));
}

// The first reference of the signature (the `indice`-th of the document's outermost ones)
// whose digest xmlsec no longer finds matching; -1 when all match, -2 when xmlsec failed.
int PrimoRiferimentoAlterato(const std::string& xml, std::size_t indice) {
    PreparaXmlSec();
    const XmlDocPtr documento = Leggi(xml);
    if (!documento)
        return -2;
    const xmlChar* nomiId[] = {Xc("Id"), Xc("ID"), Xc("id"), nullptr};
    xmlSecAddIDs(documento.get(), xmlDocGetRootElement(documento.get()), nomiId);
    const std::vector<xmlNode*> firme = FirmeDelDocumento(documento.get());
    if (indice >= firme.size())
        return -2;
    ContestoFirmaXmlPtr contesto(xmlSecDSigCtxCreate(nullptr));
    contesto->signKey = ChiavePrivataXmlSec(firmatario().chiave.get()).release(); // freed with it
    if (xmlSecDSigCtxVerify(contesto.get(), firme[indice]) < 0)
        return -2;
    // xmlsec stops at the first reference that fails: the list ends with it.
    const xmlSecSize n = xmlSecPtrListGetSize(&contesto->signedInfoReferences);
    for (xmlSecSize k = 0; k < n; ++k) {
        const auto* r = static_cast<xmlSecDSigReferenceCtx*>(
            xmlSecPtrListGetItem(&contesto->signedInfoReferences, k));
        if (r->status != xmlSecDSigStatusSucceeded)
            return static_cast<int>(k);
    }
    return -1;
}

double ContaXPath(xmlDoc* documento, const std::string& espressione) {
    XPathContextPtr contesto(xmlXPathNewContext(documento));
    xmlXPathRegisterNs(contesto.get(), Xc("ds"), Xc(NsFirmaXml));
    XPathObjectPtr esito(xmlXPathEvalExpression(Xc(espressione.c_str()), contesto.get()));
    return esito ? xmlXPathCastToNumber(esito.get()) : -1;
}

// Taking the bytes of `intervallo` out of the text takes out exactly the subtree of the element
// that `xpath` selects, as libxml2 reads the text before and after.
testing::AssertionResult ElementoIntero(const std::string& xml, const IntervalloByte& intervallo,
                                        const std::string& xpath) {
    // From its "<" through its ">", in UTF-8 or UTF-16LE.
    const std::string_view tratto =
        std::string_view(xml).substr(intervallo.inizio, intervallo.fine - intervallo.inizio);
    const std::string apre = xml.starts_with("\xFF\xFE") ? std::string("<\0", 2) : "<";
    const std::string chiude = xml.starts_with("\xFF\xFE") ? std::string(">\0", 2) : ">";
    if (!tratto.starts_with(apre) || !tratto.ends_with(chiude))
        return testing::AssertionFailure() << "not from \"<\" to \">\": " << tratto;
    const XmlDocPtr prima = Leggi(xml);
    std::string senza = xml;
    senza.erase(intervallo.inizio, intervallo.fine - intervallo.inizio);
    const XmlDocPtr dopo = Leggi(senza);
    if (!prima || !dopo)
        return testing::AssertionFailure() << "not XML once [" << intervallo.inizio << ", "
                                           << intervallo.fine << ") is taken out";
    const double tutti = ContaXPath(prima.get(), "count(//*)");
    const double sottoalbero = ContaXPath(prima.get(), "count((" + xpath + ")[1]//*) + 1");
    const double restano = ContaXPath(dopo.get(), "count(//*)");
    if (ContaXPath(prima.get(), "count(" + xpath + ")") < 1 || tutti - restano != sottoalbero)
        return testing::AssertionFailure()
               << xpath << ": " << tutti << " elements before, " << restano << " after, "
               << sottoalbero << " in its subtree";
    return testing::AssertionSuccess();
}

// A place in the signed text, the character right after `ancora`, and the references of the
// first signature expected to cover it.
struct Sonda {
    std::string ancora;
    int occorrenza = 0;
    std::vector<int> coperta;
};

struct CasoFirmato {
    const char* nome;
    std::function<std::string()> documento;
    std::vector<Sonda> sonde;
    std::size_t firme = 1;
    // XPath of the element each reference of the first signature covers whole (empty: the
    // whole text, less what the transforms take out).
    std::vector<std::string> elementiCoperti;
    bool utf16 = false;
};

void PrintTo(const CasoFirmato& caso, std::ostream* os) {
    *os << caso.nome;
}

class PartiFirmateOracolo : public testing::TestWithParam<CasoFirmato> {};

TEST_P(PartiFirmateOracolo, ConcordaConXmlSecEConLibxml2) {
    const CasoFirmato& caso = GetParam();
    const auto codifica = [&](const std::string& testo) {
        return caso.utf16 ? Utf16Le(testo) : testo;
    };
    const std::string xml = caso.utf16 ? ComeUtf16(caso.documento()) : caso.documento();
    ASSERT_EQ(PrimoRiferimentoAlterato(xml, 0), -1) << "the fixture's signature does not hold";

    const PartiFirmate parti = TrovaPartiFirmate(xml);
    ASSERT_EQ(parti.motivo, "");
    ASSERT_EQ(parti.firme.size(), caso.firme);
    for (std::size_t f = 0; f < parti.firme.size(); ++f)
        EXPECT_TRUE(ElementoIntero(xml, parti.firme[f].elemento,
                                   "(//ds:Signature)[" + std::to_string(f + 1) + "]"));

    const FirmaNelTesto& firma = parti.firme[0];
    ASSERT_EQ(firma.riferimenti.size(), caso.elementiCoperti.size());
    for (std::size_t r = 0; r < firma.riferimenti.size(); ++r) {
        const RiferimentoFirmato& rif = firma.riferimenti[r];
        EXPECT_EQ(rif.motivo, "") << "reference " << r;
        ASSERT_FALSE(rif.coperto.empty()) << "reference " << r;
        if (!caso.elementiCoperti[r].empty()) {
            ASSERT_EQ(rif.coperto.size(), 1u) << "reference " << r;
            EXPECT_TRUE(ElementoIntero(xml, rif.coperto[0], caso.elementiCoperti[r]));
        }
        // What lies inside the signature element is the signature's own.
        const bool dentro = rif.coperto.front().inizio >= firma.elemento.inizio &&
                            rif.coperto.back().fine <= firma.elemento.fine;
        EXPECT_EQ(rif.dentroLaFirma, dentro) << "reference " << r;
    }

    for (const Sonda& sonda : caso.sonde) {
        const std::string ancora = codifica(sonda.ancora);
        const std::size_t p = Posizione(xml, ancora, sonda.occorrenza);
        ASSERT_NE(p, std::string::npos) << sonda.ancora;
        const std::size_t dove = p + ancora.size();
        const std::vector<int> coprono = Coprono(firma, dove);
        EXPECT_EQ(coprono, sonda.coperta) << "after " << sonda.ancora;

        // One letter or digit changed there: xmlsec finds the first covering reference broken.
        std::string alterato = xml;
        alterato[dove] = alterato[dove] == 'A' ? 'B' : 'A';
        EXPECT_EQ(PrimoRiferimentoAlterato(alterato, 0), coprono.empty() ? -1 : coprono.front())
            << "after " << sonda.ancora;
    }
}

OpzioniFirma Opzioni(std::string id, Copertura copertura, std::string uri = {}) {
    OpzioniFirma o;
    o.id = std::move(id);
    o.copertura = copertura;
    o.uriDocumento = std::move(uri);
    return o;
}

const std::vector<Sonda> kSondeUsuali = {
    {"<Numero>", 0, {0}},
    {"<Denominazione>", 0, {0}},
    {"<xades:SigningTime>", 0, {1}},
    {"<ds:SignatureValue>", 0, {}},
};

const std::string kProprieta = "//*[@Id='Firma1-proprieta']";

INSTANTIATE_TEST_SUITE_P(
    Firme, PartiFirmateOracolo,
    testing::Values(
        CasoFirmato{"avvolta_uri_vuoto",
                    [] { return FirmaXml(kFattura, firmatario()); },
                    kSondeUsuali,
                    1,
                    {"", kProprieta}},
        CasoFirmato{"avvolta_in_utf16",
                    [] { return FirmaXml(kFattura, firmatario()); },
                    kSondeUsuali,
                    1,
                    {"", kProprieta},
                    true},
        CasoFirmato{
            "uri_id_del_corpo",
            [] {
                return FirmaXml(kFattura, firmatario(),
                                Opzioni("Firma1", Copertura::Avvolta, "#corpo"));
            },
            {{"<Numero>", 0, {0}}, {"<Denominazione>", 0, {}}, {"<xades:SigningTime>", 0, {1}}},
            1,
            {"//*[@Id='corpo']", kProprieta}},
        CasoFirmato{"uri_id_della_radice_che_contiene_la_firma",
                    [] {
                        return FirmaXml(
                            Sostituisci(kFattura, "versione=", "Id=\"radice\" versione="),
                            firmatario(), Opzioni("Firma1", Copertura::Avvolta, "#radice"));
                    },
                    kSondeUsuali,
                    1,
                    {"", kProprieta}},
        CasoFirmato{"filtro_xpath_che_toglie_le_firme",
                    [] {
                        return FirmaXml(kFattura, firmatario(),
                                        Opzioni("Firma1", Copertura::TutteLeFirme));
                    },
                    kSondeUsuali,
                    1,
                    {"", kProprieta}},
        CasoFirmato{"seconda_firma_fuori_dalla_prima",
                    [] {
                        const std::string una = FirmaXml(
                            kFattura, firmatario(), Opzioni("Firma1", Copertura::TutteLeFirme));
                        return FirmaXml(una, firmatario(),
                                        Opzioni("Firma2", Copertura::TutteLeFirme));
                    },
                    {{"<Numero>", 0, {0}},
                     {"<ds:SignatureValue>", 0, {}},
                     {"<ds:SignatureValue>", 1, {}},
                     {"<xades:SigningTime>", 1, {}}},
                    2,
                    {"", kProprieta}},
        CasoFirmato{"commenti_cdata_istruzioni_e_doctype",
                    [] {
                        std::string firmato = FirmaXml(kFatturaInsidiosa, firmatario());
                        // Neither changes the canonical form the digests are made of.
                        firmato = Sostituisci(firmato, "nota=\"a &gt; b\"", "nota = 'a > b'");
                        return Sostituisci(firmato, "<ds:SignedInfo>",
                                           "<ds:SignedInfo><!-- </ds:Signature> -->");
                    },
                    {{"<Numero>", 0, {0}},
                     {"<Descrizione>", 0, {0}},
                     {"<xades:SigningTime>", 0, {1}},
                     {"<ds:SignatureValue>", 0, {}}},
                    1,
                    {"", kProprieta}}),
    [](const testing::TestParamInfo<CasoFirmato>& info) { return std::string(info.param.nome); });

// Texts written here, each with what is expected of its first signature; places are given by
// the text that starts and the text that ends them.
struct Tratto {
    std::string da;
    std::string a; // included
};

struct RiferimentoAtteso {
    std::vector<Tratto> coperto = {}; // empty: nothing marked
    std::string motivo = {};          // a part of the reason, when nothing is marked
    bool dentroLaFirma = false;
};

struct CasoScritto {
    const char* nome;
    std::string xml;
    std::size_t firme;
    Tratto firma; // of the first signature, when there is one
    std::vector<RiferimentoAtteso> riferimenti;
    std::string motivo = {}; // a part of the reason the text is not XML
};

void PrintTo(const CasoScritto& caso, std::ostream* os) {
    *os << caso.nome;
}

IntervalloByte Intervallo(const std::string& xml, const Tratto& t) {
    const std::size_t da = xml.find(t.da);
    const std::size_t a = xml.find(t.a, da == std::string::npos ? 0 : da);
    EXPECT_NE(da, std::string::npos) << t.da;
    EXPECT_NE(a, std::string::npos) << t.a;
    return {da, a + t.a.size()};
}

class PartiFirmateScritte : public testing::TestWithParam<CasoScritto> {};

TEST_P(PartiFirmateScritte, TrovaFirmeERiferimenti) {
    const CasoScritto& caso = GetParam();
    const PartiFirmate parti = TrovaPartiFirmate(caso.xml);
    if (!caso.motivo.empty()) {
        EXPECT_TRUE(Contiene(parti.motivo, caso.motivo));
        EXPECT_TRUE(parti.firme.empty());
        return;
    }
    EXPECT_EQ(parti.motivo, "");
    ASSERT_EQ(parti.firme.size(), caso.firme);
    if (caso.firme == 0)
        return;
    const FirmaNelTesto& firma = parti.firme[0];
    EXPECT_EQ(firma.elemento, Intervallo(caso.xml, caso.firma));
    ASSERT_EQ(firma.riferimenti.size(), caso.riferimenti.size());
    for (std::size_t r = 0; r < caso.riferimenti.size(); ++r) {
        const RiferimentoAtteso& atteso = caso.riferimenti[r];
        std::vector<IntervalloByte> coperto;
        for (const Tratto& t : atteso.coperto)
            coperto.push_back(Intervallo(caso.xml, t));
        EXPECT_EQ(firma.riferimenti[r].coperto, coperto) << "reference " << r;
        EXPECT_EQ(firma.riferimenti[r].dentroLaFirma, atteso.dentroLaFirma) << "reference " << r;
        if (atteso.motivo.empty())
            EXPECT_EQ(firma.riferimenti[r].motivo, "") << "reference " << r;
        else
            EXPECT_TRUE(Contiene(firma.riferimenti[r].motivo, atteso.motivo)) << "reference " << r;
    }
}

// A ds:Signature with the given references, in a document whose body holds `corpo`.
std::string ConFirma(const std::string& riferimenti, const std::string& corpo = "",
                     const std::string& oggetto = "") {
    return "<?xml version=\"1.0\"?>\n<doc xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">\n"
           "<a Id=\"x\">uno</a>" +
           corpo + "\n<ds:Signature Id=\"S\"><ds:SignedInfo>" + riferimenti +
           "</ds:SignedInfo><ds:SignatureValue>QUJD</ds:SignatureValue>" + oggetto +
           "</ds:Signature>\n</doc>\n";
}

const std::string kAvvolta = "<ds:Transforms><ds:Transform "
                             "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/>"
                             "</ds:Transforms>";
const Tratto kFirma = {"<ds:Signature Id=\"S\">", "</ds:Signature>"};
const Tratto kPrima = {"<?xml", "</a>"};

INSTANTIATE_TEST_SUITE_P(
    Testi, PartiFirmateScritte,
    testing::Values(
        CasoScritto{"senza_firme", "<?xml version=\"1.0\"?><doc><a>1</a></doc>", 0, {}, {}},
        CasoScritto{"non_ben_formato", "<doc><a>1</doc></a>", 0, {}, {}, "</doc> chiude <a>"},
        CasoScritto{"elemento_non_chiuso", "<doc><a>1</a>", 0, {}, {}, "non chiuso"},
        CasoScritto{"uri_vuoto_senza_trasformazioni",
                    ConFirma("<ds:Reference URI=\"\"/>"),
                    1,
                    kFirma,
                    {{{{"<?xml", "</doc>\n"}}}}},
        CasoScritto{"avvolta_toglie_la_firma",
                    ConFirma("<ds:Reference URI=\"\">" + kAvvolta + "</ds:Reference>"),
                    1,
                    kFirma,
                    {{{{"<?xml", "uno</a>\n"}, {"\n</doc>", "</doc>\n"}}}}},
        CasoScritto{"id_del_primo_elemento",
                    ConFirma("<ds:Reference URI=\"#x\"/>"),
                    1,
                    kFirma,
                    {{{{"<a Id", "</a>"}}}}},
        CasoScritto{"xpointer_id",
                    ConFirma("<ds:Reference URI=\"#xpointer(id('x'))\"/>"),
                    1,
                    kFirma,
                    {{{{"<a Id", "</a>"}}}}},
        CasoScritto{"id_duplicato",
                    ConFirma("<ds:Reference URI=\"#x\"/>", "<b Id=\"x\"/>"),
                    1,
                    kFirma,
                    {{{}, "2 elementi hanno Id \"x\""}}},
        CasoScritto{"id_e_ID_sullo_stesso_elemento",
                    ConFirma("<ds:Reference URI=\"#y\"/>", "<b Id=\"y\" id=\"y\">due</b>"),
                    1,
                    kFirma,
                    {{{{"<b Id", "</b>"}}}}},
        CasoScritto{"id_che_nessuno_ha",
                    ConFirma("<ds:Reference URI=\"#z\"/>"),
                    1,
                    kFirma,
                    {{{}, "nessun elemento ha Id \"z\""}}},
        CasoScritto{"proprieta_firmate_dentro_la_firma",
                    ConFirma("<ds:Reference URI=\"#P\"/>", "",
                             "<ds:Object><q:SignedProperties xmlns:q=\"urn:q\" "
                             "Id=\"P\">t</q:SignedProperties></ds:Object>"),
                    1,
                    kFirma,
                    {{{{"<q:SignedProperties", "</q:SignedProperties>"}}, "", true}}},
        CasoScritto{"uri_esterno",
                    ConFirma("<ds:Reference URI=\"http://example.invalid/a.xml\"/>"),
                    1,
                    kFirma,
                    {{{}, "http://example.invalid/a.xml, fuori da questo testo"}}},
        CasoScritto{"senza_uri", ConFirma("<ds:Reference/>"), 1, kFirma, {{{}, "non ha URI"}}},
        CasoScritto{"xpath_filtro_non_interpretato",
                    ConFirma("<ds:Reference URI=\"\"><ds:Transforms><ds:Transform "
                             "Algorithm=\"http://www.w3.org/2002/06/xmldsig-filter2\"><f:XPath "
                             "xmlns:f=\"http://www.w3.org/2002/06/xmldsig-filter2\" "
                             "Filter=\"intersect\">//a</f:XPath></ds:Transform></ds:Transforms>"
                             "</ds:Reference>"),
                    1,
                    kFirma,
                    {{{}, "xmldsig-filter2, che questa vista non interpreta"}}},
        CasoScritto{"xpath_1_che_toglie_le_firme",
                    ConFirma("<ds:Reference URI=\"\"><ds:Transforms><ds:Transform "
                             "Algorithm=\"http://www.w3.org/TR/1999/REC-xpath-19991116\">"
                             "<ds:XPath> not( ancestor-or-self::ds:Signature ) </ds:XPath>"
                             "</ds:Transform></ds:Transforms></ds:Reference>"),
                    1,
                    kFirma,
                    {{{{"<?xml", "uno</a>\n"}, {"\n</doc>", "</doc>\n"}}}}},
        CasoScritto{"xpath_con_prefisso_di_altro_namespace",
                    ConFirma("<ds:Reference URI=\"\"><ds:Transforms><ds:Transform "
                             "Algorithm=\"http://www.w3.org/TR/1999/REC-xpath-19991116\">"
                             "<ds:XPath xmlns:z=\"urn:z\">not(ancestor-or-self::z:Signature)"
                             "</ds:XPath></ds:Transform></ds:Transforms></ds:Reference>"),
                    1,
                    kFirma,
                    {{{}, "REC-xpath-19991116, che questa vista non interpreta"}}},
        CasoScritto{"firma_nel_namespace_predefinito",
                    "<doc><Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><SignedInfo>"
                    "<Reference URI=\"\"><Transforms><Transform Algorithm=\"http://www.w3.org/"
                    "2000/09/xmldsig#enveloped-signature\"/></Transforms></Reference>"
                    "</SignedInfo></Signature></doc>",
                    1,
                    {"<Signature", "</Signature>"},
                    {{{{"<doc>", "<doc>"}, {"</doc>", "</doc>"}}}}},
        // A binding leaves scope with its element, an empty one too: only the first
        // signature below is in the XML signature namespace.
        CasoScritto{
            "legame_che_esce_con_il_suo_elemento",
            "<doc xmlns:ds=\"urn:altro\"><a xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">"
            "<ds:Signature><ds:SignedInfo><ds:Reference URI=\"\"/></ds:SignedInfo>"
            "</ds:Signature></a><b xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\"/>"
            "<ds:Signature><ds:SignedInfo/></ds:Signature></doc>",
            1,
            {"<ds:Signature>", "</ds:Signature>"},
            {{{{"<doc", "</doc>"}}}}},
        CasoScritto{"prefisso_ds_di_altro_namespace",
                    "<doc xmlns:ds=\"urn:altro\"><ds:Signature><ds:SignedInfo>"
                    "<ds:Reference URI=\"\"/></ds:SignedInfo></ds:Signature></doc>",
                    0,
                    {},
                    {}},
        CasoScritto{
            "segni_dentro_valori_commenti_e_cdata",
            "<doc a='1 > 0' b=\"<ds:Signature>\">"
            "<!-- <ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\"> -->"
            "<c><![CDATA[</doc><ds:Signature>]]></c>"
            "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" "
            "Algoritmo=\"a>b\"><!-- </ds:Signature> --><ds:SignedInfo><?pi </ds:Signature>?>"
            "<ds:Reference URI=\"#c\"/></ds:SignedInfo></ds:Signature>"
            "<e xml:id=\"c\" >x</e ></doc>",
            1,
            {"<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Algoritmo",
             "</ds:SignedInfo></ds:Signature>"},
            {{{{"<e xml:id", "</e >"}}}}},
        CasoScritto{"utf16_big_endian_senza_bom",
                    Utf16Be("<doc><s:Signature xmlns:s='http://www.w3.org/2000/09/xmldsig#'/>"
                            "</doc>"),
                    1,
                    {Utf16Be("<s:"), Utf16Be("/>")},
                    {}}),
    [](const testing::TestParamInfo<CasoScritto>& info) { return std::string(info.param.nome); });

} // namespace
