#include "documentoaperto.h"
#include "envelopepath.h"
#include "errors.h"
#include "lctv.h"
#include "messages.h"
#include "programmadiprova.h"
#include "stylesheetchoice.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <thread>

using namespace ondivo;
using ondivo::test::ProgrammaDiProva;
using ondivo::test::TempDir;
namespace fs = std::filesystem;

namespace {

std::string fattura(const std::string& formati, const std::string& corpo) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica xmlns:p=\"urn:p\">"
           "<FatturaElettronicaHeader><DatiTrasmissione>" +
           formati + "</DatiTrasmissione></FatturaElettronicaHeader>" + corpo +
           "</p:FatturaElettronica>";
}

std::string formato(const std::string& f) {
    return "<FormatoTrasmissione>" + f + "</FormatoTrasmissione>";
}

const std::string kNamespaceSdI = NamespaceMessaggiSdI;
const std::string kNamespaceFattura = NamespaceMessaggiFattura;

std::string messaggioSdI(const std::string& radice, const std::string& uri,
                         const std::string& corpo) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ns:" + radice + " xmlns:ns=\"" + uri +
           "\" versione=\"1.0\">" + corpo + "</ns:" + radice + ">";
}

const std::string kCedente = "<CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>"
                             "Rossi S.r.l.</Denominazione></Anagrafica></DatiAnagrafici>"
                             "</CedentePrestatore>";

std::string documento(const std::string& numero) {
    return "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01"
           "</TipoDocumento><Data>2024-05-31</Data><Numero>" +
           numero + "</Numero></DatiGeneraliDocumento></DatiGenerali></FatturaElettronicaBody>";
}

std::string allegato(const std::string& nome, const std::string& base64) {
    return "<Allegati><NomeAttachment>" + nome + "</NomeAttachment><Attachment>" + base64 +
           "</Attachment></Allegati>";
}

// ---------------------------------------------------------------------------------------------
// Invoices that are shown: every part read from the one parse.

struct ShownCase {
    const char* name;
    std::string xml;
    const char* stylesheet; // the format whose stylesheet is used; "" for the one given
    std::string page;       // a piece of the page
    std::vector<std::string> allegati;
    std::optional<std::string> fornitore, tipo, data, numero;
};

void PrintTo(const ShownCase& c, std::ostream* os) {
    *os << c.name;
}

class ShownTest : public testing::TestWithParam<ShownCase> {};

TEST_P(ShownTest, ReadsEveryPart) {
    const auto& c = GetParam();
    ProgrammaDiProva programma;
    const auto file = programma.dir().write("f.xml", c.xml);
    const std::string dato = programma.foglioDi("FPR12");

    const DocumentoAperto d = ApriDocumento(file, dato);

    EXPECT_TRUE(d.gestito);
    EXPECT_FALSE(d.annullato);
    EXPECT_TRUE(d.messaggi.empty());
    EXPECT_EQ(d.fileXml, file);
    EXPECT_EQ(d.foglioStile, *c.stylesheet ? programma.foglioDi(c.stylesheet) : dato);
    EXPECT_NE(d.pagina.find(c.page), std::string::npos) << d.pagina;
    std::vector<std::string> nomi;
    for (const auto& a : d.allegati)
        nomi.push_back(a->NomeFile);
    EXPECT_EQ(nomi, c.allegati);
    EXPECT_EQ(d.fornitore, c.fornitore);
    EXPECT_EQ(d.tipoDocumento, c.tipo);
    EXPECT_EQ(d.data, c.data);
    EXPECT_EQ(d.numero, c.numero);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ShownTest,
    testing::Values(
        ShownCase{"fpa12WithAttachments",
                  fattura(formato("FPA12"), kCedente + documento("FT 7/2024") +
                                                allegato("b.pdf", "Qg==") +
                                                allegato("a.pdf", "QQ==")),
                  "FPA12",
                  "foglio FPA12 e' EU",
                  {"b.pdf", "a.pdf"},
                  "Rossi S.r.l.",
                  "TD01 fattura",
                  "2024-05-31",
                  "FT 7/2024"},
        ShownCase{"fsm10WithoutHeader",
                  fattura(formato(" FSM10 "), ""),
                  "FSM10",
                  "foglio FSM10",
                  {},
                  std::nullopt,
                  std::nullopt,
                  std::nullopt,
                  std::nullopt},
        ShownCase{"unknownFormatKeepsTheGivenStylesheet",
                  fattura(formato("fpa12"), documento("2")),
                  "",
                  "foglio FPR12",
                  {},
                  std::nullopt,
                  "TD01 fattura",
                  "2024-05-31",
                  "2"},
        ShownCase{"twoFormatsAreNoKnownOne",
                  fattura(formato("FPA12") + formato("FPA12"), documento("3")),
                  "",
                  "<p>3</p>",
                  {},
                  std::nullopt,
                  "TD01 fattura",
                  "2024-05-31",
                  "3"},
        ShownCase{"supplierNamedByPerson",
                  fattura(formato("FPR12"),
                          "<CedentePrestatore><DatiAnagrafici><Anagrafica><Nome>Anna</Nome>"
                          "<Cognome>Bianchi</Cognome></Anagrafica></DatiAnagrafici>"
                          "</CedentePrestatore>"),
                  "FPR12",
                  "foglio FPR12",
                  {},
                  "Anna Bianchi",
                  std::nullopt,
                  std::nullopt,
                  std::nullopt},
        ShownCase{"markupInValuesIsText",
                  fattura(formato("FPR12"),
                          "<CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>"
                          "&lt;img src=\"/dev/zero\"&gt;</Denominazione></Anagrafica>"
                          "</DatiAnagrafici></CedentePrestatore>" +
                              allegato("&lt;a href=\"file:&#47;&#47;&#47;etc\"&gt;x", "QQ==")),
                  "FPR12",
                  "foglio FPR12",
                  {"<a href=\"file:///etc\">x"},
                  "<img src=\"/dev/zero\">",
                  std::nullopt,
                  std::nullopt,
                  std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Receipts and notices of the exchange system: shown with their own stylesheet, whatever the
// one given, their header in the invoice's four labels.

struct MessageCase {
    const char* name;
    std::string xml;
    std::string codice;
    std::optional<std::string> fornitore, tipo, data, numero;
};

void PrintTo(const MessageCase& c, std::ostream* os) {
    *os << c.name;
}

class MessageTest : public testing::TestWithParam<MessageCase> {};

TEST_P(MessageTest, ShowsTheMessageWithItsOwnStylesheet) {
    const auto& c = GetParam();
    ProgrammaDiProva programma;
    const auto file = programma.dir().write("m.xml", c.xml);

    const DocumentoAperto d = ApriDocumento(file, programma.foglioDi("FPA12"));

    EXPECT_TRUE(d.gestito);
    EXPECT_TRUE(d.messaggi.empty());
    EXPECT_EQ(d.formato, "SDI");
    EXPECT_EQ(d.foglioStile, FoglioStileMessaggi());
    EXPECT_NE(d.pagina.find("foglio SdI"), std::string::npos) << d.pagina;
    ASSERT_TRUE(d.messaggioSdI);
    EXPECT_EQ(d.messaggioSdI->codice, c.codice);
    EXPECT_TRUE(d.allegati.empty());
    EXPECT_EQ(d.fornitore, c.fornitore);
    EXPECT_EQ(d.tipoDocumento, c.tipo);
    EXPECT_EQ(d.data, c.data);
    EXPECT_EQ(d.numero, c.numero);
}

INSTANTIATE_TEST_SUITE_P(
    Files, MessageTest,
    testing::Values(
        MessageCase{"delivery",
                    messaggioSdI("RicevutaConsegna", kNamespaceFattura,
                                 "<IdentificativoSdI>6782414</IdentificativoSdI>"
                                 "<NomeFile>IT03339130126_00009.xml</NomeFile>"
                                 "<DataOraRicezione>2018-11-13T16:47:26.000+01:00"
                                 "</DataOraRicezione><DataOraConsegna>2018-11-14T00:00:01.000"
                                 "+01:00</DataOraConsegna><MessageId>1</MessageId>"),
                    "RC", "IT03339130126_00009.xml", "RC Ricevuta di consegna", "2018-11-14",
                    "6782414"},
        // An attachment written into a message is no attachment of an invoice.
        MessageCase{"certificateOfTransmission",
                    messaggioSdI("AttestazioneTrasmissioneFattura", kNamespaceSdI,
                                 "<IdentificativoSdI>111</IdentificativoSdI>"
                                 "<NomeFile>IT01234567890_11111.xml.p7m</NomeFile>"
                                 "<DataOraRicezione>2014-04-01T12:00:00</DataOraRicezione>" +
                                     allegato("a.pdf", "QQ==")),
                    "AT", "IT01234567890_11111.xml.p7m",
                    "AT Attestazione di avvenuta trasmissione della fattura con "
                    "impossibilit\xE0 di recapito",
                    "2014-04-01", "111"},
        MessageCase{"outcomeWithoutFileOrDate",
                    messaggioSdI("NotificaEsitoCommittente", kNamespaceSdI,
                                 "<IdentificativoSdI>111</IdentificativoSdI><Esito>EC02</Esito>"),
                    "EC", std::nullopt, "EC Esito committente", std::nullopt, "111"},
        MessageCase{"emptyNotice", messaggioSdI("NotificaDecorrenzaTermini", kNamespaceSdI, ""),
                    "DT", std::nullopt, "DT Notifica di decorrenza termini", std::nullopt,
                    std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// A document with a format is an invoice, whatever its document element: the format query
// decides first.
TEST(ApriDocumento, AFormatMakesAnInvoiceOfAMessagesElement) {
    ProgrammaDiProva programma;
    const auto file =
        programma.dir().write("f.xml", messaggioSdI("RicevutaConsegna", kNamespaceSdI,
                                                    "<IdentificativoSdI>1</IdentificativoSdI>" +
                                                        formato("FPA12") + documento("4")));

    const DocumentoAperto d = ApriDocumento(file, FoglioStilePredefinito());

    EXPECT_TRUE(d.gestito);
    EXPECT_FALSE(d.messaggioSdI);
    EXPECT_EQ(d.formato, "FPA12");
    EXPECT_EQ(d.foglioStile, programma.foglioDi("FPA12"));
    EXPECT_EQ(d.numero, "4");
}

// ---------------------------------------------------------------------------------------------
// Files that are not shown: the messages of the steps in order, and nothing else.

struct RefusedCase {
    const char* name;
    std::optional<std::string> xml;  // nothing: no file at all
    std::vector<std::string> starts; // how each message begins
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusedTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTest, EndsWithTheRefusal) {
    const auto& c = GetParam();
    ProgrammaDiProva programma;
    const auto file = c.xml ? programma.dir().write("f.xml", *c.xml)
                            : (programma.dir().path() / "manca.xml").string();

    const DocumentoAperto d = ApriDocumento(file, FoglioStilePredefinito());

    EXPECT_FALSE(d.gestito);
    EXPECT_EQ(d.fileXml, file);
    ASSERT_EQ(d.messaggi.size(), c.starts.size());
    for (std::size_t i = 0; i < c.starts.size(); ++i)
        EXPECT_EQ(d.messaggi[i].rfind(c.starts[i], 0), 0u) << d.messaggi[i];
    EXPECT_EQ(d.messaggi.back(), MsgDocumentoNonGestito);
    EXPECT_TRUE(d.pagina.empty());
    EXPECT_TRUE(d.allegati.empty());
    EXPECT_FALSE(d.numero);
}

const std::string kErroriXml = "ATTENZIONE, XML CON ERRORI (002)! \r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedTest,
    testing::Values(RefusedCase{"missingFile", std::nullopt, {MsgDocumentoNonGestito}},
                    RefusedCase{"emptyFile", "", {kErroriXml, MsgDocumentoNonGestito}},
                    RefusedCase{"malformed",
                                "<a>\n<FormatoTrasmissione>FPR12</a>",
                                {kErroriXml, MsgDocumentoNonGestito}},
                    RefusedCase{"noFormat",
                                fattura("", documento("1") + allegato("a.pdf", "QQ==")),
                                {MsgDocumentoNonGestito}},
                    RefusedCase{"unknownElementOfTheMessagesNamespace",
                                messaggioSdI("RicevutaSconosciuta", kNamespaceSdI,
                                             "<IdentificativoSdI>1</IdentificativoSdI>"),
                                {MsgDocumentoNonGestito}},
                    RefusedCase{"messageWithoutItsNamespace",
                                "<RicevutaConsegna><IdentificativoSdI>1</IdentificativoSdI>"
                                "</RicevutaConsegna>",
                                {MsgDocumentoNonGestito}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Errors of the steps pass up unchanged.

enum class Fogli { Nostri, Mancanti, CheFalliscono };

struct RaisedCase {
    const char* name;
    std::string xml;
    Fogli fogli;
    std::string error; // how what() begins
};

void PrintTo(const RaisedCase& c, std::ostream* os) {
    *os << c.name;
}

class RaisedTest : public testing::TestWithParam<RaisedCase> {};

TEST_P(RaisedTest, PassesTheStepsErrorUp) {
    const auto& c = GetParam();
    ProgrammaDiProva programma;
    if (c.fogli == Fogli::Mancanti)
        fs::remove_all(programma.dir().path() / "FODISTILE");
    if (c.fogli == Fogli::CheFalliscono)
        programma.dir().write(
            std::string("FODISTILE/") + FogliStile[1].file,
            "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
            "<xsl:template match=\"/\"><xsl:message terminate=\"yes\">fermata voluta"
            "</xsl:message></xsl:template></xsl:stylesheet>");
    const auto file = programma.dir().write("f.xml", c.xml);
    try {
        ApriDocumento(file, FoglioStilePredefinito());
        FAIL() << "no error";
    } catch (const OndivoError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(c.error, 0), 0u) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, RaisedTest,
    testing::Values(RaisedCase{"formatNotASingleText", fattura(formato("FPR<b/>12"), ""),
                               Fogli::Nostri, "Element does not contain a single text node"},
                    RaisedCase{"numberNotASingleText",
                               fattura(formato("FPR12"), documento("1<b/>2")), Fogli::Nostri,
                               "Element does not contain a single text node"},
                    RaisedCase{"stylesheetMissing", fattura(formato("FPA12"), documento("1")),
                               Fogli::Mancanti, "Errore nel caricamento XSL: "},
                    RaisedCase{"transformationStops", fattura(formato("FPR12"), documento("1")),
                               Fogli::CheFalliscono, "fermata voluta"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------

TEST(ApriDocumento, ReadsOnlyThePartsAskedFor) {
    ProgrammaDiProva programma;
    fs::remove_all(programma.dir().path() / "FODISTILE"); // no page: no stylesheet needed
    const auto file = programma.dir().write(
        "f.xml", fattura(formato("FPA12"), kCedente + documento("9") + allegato("a.pdf", "QQ==")));

    const DocumentoAperto d =
        ApriDocumento(file, FoglioStilePredefinito(), {.pagina = false, .allegati = false});

    EXPECT_TRUE(d.gestito);
    EXPECT_EQ(d.formato, "FPA12");
    EXPECT_TRUE(d.pagina.empty());
    EXPECT_TRUE(d.allegati.empty());
    EXPECT_EQ(d.numero, "9");
    EXPECT_EQ(d.fornitore, "Rossi S.r.l.");
}

TEST(ApriDocumento, CancelledBeforeItsStepsDoesNothingMore) {
    ProgrammaDiProva programma;
    fs::remove_all(programma.dir().path() / "FODISTILE"); // a transformation would fail
    const auto file = programma.dir().write("f.xml", fattura(formato("FPR12"), documento("1")));
    const std::atomic<bool> annulla(true);

    const DocumentoAperto d = ApriDocumento(file, FoglioStilePredefinito(), {}, &annulla);

    EXPECT_TRUE(d.annullato);
    EXPECT_FALSE(d.gestito);
    EXPECT_TRUE(d.pagina.empty());
    EXPECT_FALSE(d.numero);
}

TEST(ApriDocumento, ReadsTheXmlTakenOutOfAnEnvelope) {
    ProgrammaDiProva programma;
    const auto contenuto =
        programma.dir().write("contenuto.xml", fattura(formato("FPA12"), documento("PA/1")));
    // A tool that writes the prepared XML wherever it is told to.
    programma.dir().write("ossl/openssl", "#!/bin/sh\nwhile [ $# -gt 0 ]; do\n"
                                          "  case \"$1\" in -out) out=$2;; esac; shift\ndone\n"
                                          "cp '" +
                                              contenuto + "' \"$out\"\n");
    fs::permissions(programma.dir().path() / "ossl" / "openssl", fs::perms::owner_all);
    const auto busta =
        programma.dir().write("FATTURA.XML.P7M", std::string("\x30\x03\x02\x01\x01", 5));

    const DocumentoAperto d = ApriDocumento(busta, FoglioStilePredefinito());

    EXPECT_EQ(d.fileXml, PercorsoXmlDaP7m(busta));
    EXPECT_EQ(d.numero, "PA/1");
    EXPECT_EQ(d.foglioStile, programma.foglioDi("FPA12"));
}

// A signature tool that never ends is stopped as soon as the open is withdrawn, not after the
// tool's time-out: the window's "Esci" and a newer open rely on it.
TEST(ApriDocumento, AWithdrawnOpenEndsTheToolItWaitsFor) {
    ProgrammaDiProva programma;
    const auto avviato = (programma.dir().path() / "avviato").string();
    programma.dir().write("ossl/openssl",
                          "#!/bin/sh\n: > '" + avviato + "'\nwhile :; do sleep 1; done\n");
    fs::permissions(programma.dir().path() / "ossl" / "openssl", fs::perms::owner_all);
    const auto busta = programma.dir().write("f.xml.p7m", std::string("\x30\x03\x02\x01\x01", 5));
    std::atomic<bool> annulla(false);
    std::thread ritiro([&] {
        while (!fs::exists(avviato))
            std::this_thread::yield();
        annulla = true;
    });

    const DocumentoAperto d = ApriDocumento(busta, FoglioStilePredefinito(), {}, &annulla);
    ritiro.join();

    EXPECT_TRUE(d.annullato);
    EXPECT_FALSE(d.gestito);
    EXPECT_FALSE(fs::exists(PercorsoXmlDaP7m(busta)));
}

TEST(ApriDocumento, AMissingEnvelopeRaisesTheEnvelopesError) {
    ProgrammaDiProva programma;
    const std::string busta = (programma.dir().path() / "manca.xml.p7m").string();
    try {
        ApriDocumento(busta, FoglioStilePredefinito());
        FAIL() << "no error";
    } catch (const OndivoError& e) {
        EXPECT_EQ(std::string(e.what()), "File non trovato: " + busta);
    }
}

// ---------------------------------------------------------------------------------------------

struct NamedCase {
    const char* name;
    std::string message, file, shown;
};

void PrintTo(const NamedCase& c, std::ostream* os) {
    *os << c.name;
}

class MessaggioConFileTest : public testing::TestWithParam<NamedCase> {};

TEST_P(MessaggioConFileTest, NamesTheFileOnce) {
    EXPECT_EQ(MessaggioConFile(GetParam().message, GetParam().file), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessaggioConFileTest,
    testing::Values(NamedCase{"appendedOnANewLine", "Documento xml non gestito!", "/f/a.xml",
                              "Documento xml non gestito!\n/f/a.xml"},
                    NamedCase{"alreadyNamed", "File non trovato: /f/a.p7m.", "/f/a.p7m",
                              "File non trovato: /f/a.p7m."},
                    NamedCase{"namedOnlyInPart", "Impossibile scrivere /f/a.xml", "/f/a.xml.p7m",
                              "Impossibile scrivere /f/a.xml\n/f/a.xml.p7m"},
                    NamedCase{"noFile", "Errore.", "", "Errore."}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
