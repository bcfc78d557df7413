#include "ansicodec.h"
#include "errors.h"
#include "lctv.h"
#include "stylesheetchoice.h"
#include "tcplistener.h"
#include "tempdir.h"
#include "transform.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <filesystem>
#include <optional>
#include <set>
#include <thread>

using namespace ondivo;
using ondivo::test::TcpListener;
using ondivo::test::TempDir;

namespace {

const std::string kFattura =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<p:FatturaElettronica xmlns:p=\"urn:fattura\" versione=\"FPR12\">"
    "<Descrizione>Perch\xC3\xA9 \xE2\x82\xAC 5 \xE4\xB8\xAD \xF0\x9F\x98\x80 \xC4\x81</Descrizione>"
    "</p:FatturaElettronica>";

// A stylesheet around the given top-level elements.
std::string foglio(const std::string& contenuto, const std::string& attributi = {}) {
    return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" " +
           attributi + ">" + contenuto + "</xsl:stylesheet>";
}

// A stylesheet whose root template writes the given body into an HTML page.
std::string paginaHtml(const std::string& corpo, const std::string& attributi = {}) {
    return foglio("<xsl:output method=\"html\"/><xsl:template match=\"/\"><html><head>"
                  "<title>Fattura</title></head><body>" +
                      corpo + "</body></html></xsl:template>",
                  attributi);
}

std::string replaced(std::string testo, const std::string& segnaposto, const std::string& con) {
    for (auto pos = testo.find(segnaposto); pos != std::string::npos;
         pos = testo.find(segnaposto, pos + con.size()))
        testo.replace(pos, segnaposto.size(), con);
    return testo;
}

std::set<std::string> contenuto(const std::filesystem::path& cartella) {
    std::set<std::string> nomi;
    for (const auto& voce : std::filesystem::recursive_directory_iterator(cartella))
        nomi.insert(voce.path().string());
    return nomi;
}

// ---------------------------------------------------------------------------------------------
// Load errors and the processor's own descriptions.

enum class Esito { ErroreXml, ErroreXsl, Processore };

struct ErrorCase {
    const char* name;
    std::optional<std::string> xml; // nothing: the file does not exist
    std::optional<std::string> xsl;
    Esito esito;
    std::string descrizione = {}; // Processore: the exact text, or a part when `parte`
    bool parte = false;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name;
}

class TrasformaXmlErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(TrasformaXmlErrorTest, RaisesTheStatedMessageAndLeavesHtmlAlone) {
    const auto& c = GetParam();
    TempDir dir;
    const std::string xmlPath =
        c.xml ? dir.write("fattura.xml", *c.xml) : (dir.path() / "no.xml").string();
    const std::string xslPath =
        c.xsl ? dir.write("foglio.xsl", *c.xsl) : (dir.path() / "no.xsl").string();
    std::string html = "precedente";
    try {
        TrasformaXml(xmlPath, xslPath, html);
        FAIL() << "no error raised";
    } catch (const OndivoError& e) {
        const std::string messaggio = e.what();
        switch (c.esito) {
        case Esito::ErroreXml:
            EXPECT_EQ(messaggio, "Errore nel caricamento XML: " + xmlPath);
            break;
        case Esito::ErroreXsl:
            EXPECT_EQ(messaggio, "Errore nel caricamento XSL: " + xslPath);
            break;
        case Esito::Processore:
            if (c.parte)
                EXPECT_NE(messaggio.find(c.descrizione), std::string::npos) << messaggio;
            else
                EXPECT_EQ(messaggio, c.descrizione);
            ASSERT_FALSE(messaggio.empty());
            EXPECT_GT(static_cast<unsigned char>(messaggio.back()), ' ') << messaggio;
            EXPECT_NE(messaggio.back(), '.') << messaggio;
            break;
        }
    }
    EXPECT_EQ(html, "precedente");
}

const std::string kBomba =
    "<!DOCTYPE z [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
    "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;\">"
    "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;\">"
    "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;\">"
    "<!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;\">]><z>&i;&i;&i;&i;&i;&i;&i;&i;</z>";

INSTANTIATE_TEST_SUITE_P(
    Failures, TrasformaXmlErrorTest,
    testing::Values(
        ErrorCase{"missingXmlAndXsl", std::nullopt, std::nullopt, Esito::ErroreXml},
        ErrorCase{"emptyXml", "", paginaHtml("x"), Esito::ErroreXml},
        ErrorCase{"malformedXml", "<a><b></a>", paginaHtml("x"), Esito::ErroreXml},
        ErrorCase{"truncatedXml", kFattura.substr(0, 120), paginaHtml("x"), Esito::ErroreXml},
        ErrorCase{"entityBomb", kBomba, paginaHtml("x"), Esito::ErroreXml},
        ErrorCase{"missingXsl", kFattura, std::nullopt, Esito::ErroreXsl},
        ErrorCase{"emptyXsl", kFattura, "", Esito::ErroreXsl},
        ErrorCase{"malformedXsl", kFattura,
                  "<xsl:stylesheet version=\"1.0\" "
                  "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">",
                  Esito::ErroreXsl},
        ErrorCase{"entityBombInXsl", kFattura,
                  kBomba.substr(0, kBomba.find("]>") + 2) + paginaHtml("&i;&i;"), Esito::ErroreXsl},
        ErrorCase{"notAStylesheet", kFattura, "<foo/>", Esito::Processore, "not a stylesheet",
                  true},
        ErrorCase{"badExpression", kFattura, paginaHtml("<xsl:value-of select=\"concat((\"/>"),
                  Esito::Processore, "could not compile select expression 'concat(('", true},
        ErrorCase{"unknownFunction", kFattura, paginaHtml("<xsl:value-of select=\"pippo(1)\"/>"),
                  Esito::Processore, "pippo", true},
        ErrorCase{"missingImport", kFattura,
                  foglio("<xsl:import href=\"assente.xsl\"/><xsl:template match=\"/\"/>"),
                  Esito::Processore, "assente.xsl", true},
        ErrorCase{"terminatingMessageTrimmed", kFattura,
                  paginaHtml("<xsl:message terminate=\"yes\">Fermato qui. . \n\t</xsl:message>"),
                  Esito::Processore, "Fermato qui"},
        ErrorCase{"messageEndingInFullStops", kFattura,
                  paginaHtml("<xsl:message terminate=\"yes\">Totale 1.000...</xsl:message>"),
                  Esito::Processore, "Totale 1.000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TrasformaXml, AFolderInPlaceOfTheStylesheetIsNotLoaded) {
    TempDir dir;
    const std::string cartella = (dir.path() / "foglio.xsl").string();
    std::filesystem::create_directory(cartella);
    std::string html;
    try {
        TrasformaXml(dir.write("fattura.xml", kFattura), cartella, html);
        FAIL() << "no error raised";
    } catch (const OndivoError& e) {
        EXPECT_EQ(std::string(e.what()), "Errore nel caricamento XSL: " + cartella);
    }
}

TEST(TrasformaXml, AMissingStylesheetIsNamedByItsFullPathInTheProgramFolder) {
    TempDir dir;
    const std::string salvata = AppDir();
    ImpostaAppDir(dir.path().string() + "/");
    std::string fogliostile = FoglioStilePredefinito();
    ScegliFoglioStile("FPA12", fogliostile);
    ImpostaAppDir(salvata);
    const std::string fattura = dir.write("fattura.xml", kFattura);
    std::string html;
    try {
        TrasformaXml(fattura, fogliostile, html);
        FAIL() << "no error raised";
    } catch (const OndivoError& e) {
        EXPECT_EQ(std::string(e.what()), "Errore nel caricamento XSL: " + dir.path().string() +
                                             "/FODISTILE/Foglio_di_stile_fatturaPA_v1.2.3.xsl");
    }
}

// ---------------------------------------------------------------------------------------------
// What a stylesheet or an invoice may reach: local files for reading, nothing else.

struct ReachCase {
    const char* name;
    std::string xsl; // {DIR}: the test folder, {URL}: a listening local server
    std::string xml = kFattura;
};

void PrintTo(const ReachCase& c, std::ostream* os) {
    *os << c.name;
}

class TrasformaXmlReachTest : public testing::TestWithParam<ReachCase> {};

TEST_P(TrasformaXmlReachTest, WritesNothingAndNeverTouchesTheNetwork) {
    TempDir dir;
    TcpListener server;
    const auto fill = [&](const std::string& s) {
        return replaced(replaced(s, "{DIR}", dir.path().string()), "{URL}", server.url());
    };
    dir.write("segreto.txt", "SEGRETO");
    dir.write("rimando.xml", fill("<!DOCTYPE d [<!ENTITY e SYSTEM \"{URL}/e.txt\">]><d>&e;</d>"));
    const std::string xmlPath = dir.write("fattura.xml", fill(GetParam().xml));
    const std::string xslPath = dir.write("foglio.xsl", fill(GetParam().xsl));
    const auto prima = contenuto(dir.path());

    std::string html;
    try {
        TrasformaXml(xmlPath, xslPath, html);
    } catch (const OndivoError& e) {
        EXPECT_NE(std::string(e.what()), "") << "a refusal is fine, a silent one is not";
    }
    EXPECT_EQ(contenuto(dir.path()), prima);
    EXPECT_EQ(server.connections(), 0);
    EXPECT_EQ(html.find("SEGRETO"), std::string::npos);
}

const std::string kExslt =
    "xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\"";

INSTANTIATE_TEST_SUITE_P(
    Hostile, TrasformaXmlReachTest,
    testing::Values(
        ReachCase{"exslDocumentWritesAFile",
                  paginaHtml("<exsl:document href=\"{DIR}/scritto.html\"><p>x</p></exsl:document>"
                             "<p>ok</p>",
                             kExslt)},
        ReachCase{
            "exslDocumentCreatesAFolder",
            paginaHtml("<exsl:document href=\"{DIR}/nuova/sotto/scritto.html\" method=\"text\">"
                       "x</exsl:document>",
                       kExslt)},
        ReachCase{"exslDocumentToAFileUrl",
                  paginaHtml("<exsl:document href=\"file://{DIR}/scritto.txt\">x</exsl:document>",
                             kExslt)},
        ReachCase{
            "exslDocumentToTheNetwork",
            paginaHtml("<exsl:document href=\"{URL}/scritto.txt\">x</exsl:document>", kExslt)},
        ReachCase{"xslDocumentWritesAFile",
                  replaced(paginaHtml("<xsl:document href=\"{DIR}/nuova/scritto.html\"><p>x</p>"
                                      "</xsl:document>"),
                           "version=\"1.0\"", "version=\"1.1\"")},
        ReachCase{"saxonOutputWritesAFile",
                  paginaHtml("<saxon:output href=\"{DIR}/scritto.html\">x</saxon:output>",
                             "xmlns:saxon=\"http://icl.com/saxon\" "
                             "extension-element-prefixes=\"saxon\"")},
        ReachCase{"documentFetchesAUrl",
                  paginaHtml("<xsl:value-of select=\"document('{URL}/dati.xml')\"/>")},
        ReachCase{"documentUrlTakenFromTheInvoice",
                  paginaHtml("<xsl:value-of select=\"document(string(//Indirizzo))\"/>"),
                  "<f><Indirizzo>{URL}/dati.xml</Indirizzo></f>"},
        ReachCase{"localDocumentWithANetworkEntity",
                  paginaHtml("<xsl:value-of select=\"document('{DIR}/rimando.xml')\"/>")},
        ReachCase{"importFromTheNetwork",
                  foglio("<xsl:import href=\"{URL}/foglio.xsl\"/><xsl:template match=\"/\"/>")},
        ReachCase{"includeFromTheNetwork",
                  foglio("<xsl:include href=\"{URL}/foglio.xsl\"/><xsl:template match=\"/\"/>")},
        ReachCase{"stylesheetDtdOnTheNetwork",
                  "<!DOCTYPE xsl:stylesheet SYSTEM \"{URL}/foglio.dtd\">" + paginaHtml("x")},
        ReachCase{"stylesheetEntityOnTheNetwork",
                  "<!DOCTYPE xsl:stylesheet [<!ENTITY e SYSTEM \"{URL}/e.txt\">]>" +
                      paginaHtml("&e;")},
        ReachCase{"invoiceDtdAndEntities", paginaHtml("<xsl:copy-of select=\"/\"/>"),
                  "<!DOCTYPE f SYSTEM \"{URL}/f.dtd\" [<!ENTITY n SYSTEM \"{URL}/n.txt\">"
                  "<!ENTITY s SYSTEM \"{DIR}/segreto.txt\">]><f>&n;&s;</f>"},
        ReachCase{"invoiceStylesheetInstruction", paginaHtml("<xsl:value-of select=\"/\"/>"),
                  "<?xml-stylesheet type=\"text/xsl\" href=\"{URL}/foglio.xsl\"?><f>x</f>"},
        ReachCase{"invoiceXInclude", paginaHtml("<xsl:copy-of select=\"/\"/>"),
                  "<f xmlns:xi=\"http://www.w3.org/2001/XInclude\"><xi:include "
                  "href=\"{DIR}/segreto.txt\" "
                  "parse=\"text\"/><xi:include href=\"{URL}/x.xml\"/></f>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TrasformaXml, TheListenerSeesAFetchThatIsNotBlocked) {
    TcpListener server;
    // libxml2 on its own, without the network ban, does connect: the test above can tell.
    xmlFreeDoc(xmlReadFile((server.url() + "/x.xml").c_str(), nullptr, XML_PARSE_NOERROR));
    EXPECT_EQ(server.connections(), 1);
}

TEST(TrasformaXml, AStylesheetMayReadLocalFiles) {
    TempDir dir;
    dir.write("dati.xml", "<d>dal file locale</d>");
    dir.write("base.xsl", foglio("<xsl:template name=\"saluto\">importato</xsl:template>"));
    const std::string xsl = dir.write(
        "foglio.xsl",
        replaced(foglio("<xsl:import href=\"base.xsl\"/><xsl:output method=\"html\"/>"
                        "<xsl:template match=\"/\"><p><xsl:call-template name=\"saluto\"/>|"
                        "<xsl:value-of select=\"document('dati.xml')\"/>|"
                        "<xsl:value-of select=\"document('{DIR}/dati.xml')\"/></p></xsl:template>"),
                 "{DIR}", dir.path().string()));
    std::string html;
    TrasformaXml(dir.write("fattura.xml", kFattura), xsl, html);
    EXPECT_EQ(html, "<p>importato|dal file locale|dal file locale</p>\n");
}

// ---------------------------------------------------------------------------------------------
// The page as the view receives it: Windows-1252 bytes that say so.

struct OutputCase {
    const char* name;
    std::string xsl;
    std::vector<std::string> present;
    std::vector<std::string> absent = {};
};

void PrintTo(const OutputCase& c, std::ostream* os) {
    *os << c.name;
}

class TrasformaXmlOutputTest : public testing::TestWithParam<OutputCase> {};

TEST_P(TrasformaXmlOutputTest, DeclaresTheCharacterSetOfTheBytesTheViewGets) {
    const auto& c = GetParam();
    TempDir dir;
    dir.write("base.xsl", foglio("<xsl:output method=\"html\" encoding=\"ISO-8859-1\"/>"));
    std::string html;
    TrasformaXml(dir.write("fattura.xml", kFattura), dir.write("foglio.xsl", c.xsl), html);
    for (const auto& s : c.present)
        EXPECT_NE(html.find(s), std::string::npos) << s << " not in\n" << html;
    for (const auto& s : c.absent)
        EXPECT_EQ(html.find(s), std::string::npos) << s << " in\n" << html;
    // Everything survives the conversion to the view's code page.
    EXPECT_EQ(AnsiToUtf8(Utf8ToAnsi(html)), html);
}

const std::string kMetaVista =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">";
const std::string kDescrizione = "<xsl:value-of select=\"//Descrizione\"/>";

INSTANTIATE_TEST_SUITE_P(
    Pages, TrasformaXmlOutputTest,
    testing::Values(
        OutputCase{"htmlOutputMethod", paginaHtml(kDescrizione), {kMetaVista}, {"UTF-8", "utf-8"}},
        OutputCase{"declaredUtf8",
                   replaced(paginaHtml(kDescrizione), "method=\"html\"",
                            "method=\"html\" encoding=\"UTF-8\""),
                   {kMetaVista},
                   {"UTF-8"}},
        OutputCase{"encodingOfAnImport",
                   foglio("<xsl:import href=\"base.xsl\"/><xsl:template match=\"/\"><html><head/>"
                          "<body/></html></xsl:template>"),
                   {kMetaVista},
                   {"8859"}},
        OutputCase{
            "ownMetaCharset",
            replaced(paginaHtml(kDescrizione), "<title>", "<meta charset=\"UTF-8\"/><title>"),
            {"<meta charset=\"windows-1252\">"},
            {"UTF-8"}},
        OutputCase{
            "metaOutsideTheHead",
            paginaHtml("<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\"/>"
                       "<div><META CHARSET=\"utf-8\"/></div>"),
            {"content=\"text/html; charset=windows-1252\"", "CHARSET=\"windows-1252\""},
            {"utf-8"}},
        OutputCase{
            "xmlOutputMethod",
            foglio("<xsl:output method=\"xml\" encoding=\"UTF-8\"/><xsl:template match=\"/\">"
                   "<r>" +
                   kDescrizione + "</r></xsl:template>"),
            {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"},
            {"UTF-8"}},
        OutputCase{"charactersOutsideTheCodePageAsReferences",
                   paginaHtml("<p title=\"{//Descrizione}\">" + kDescrizione + "</p>"),
                   {"<p title=\"Perch\xC3\xA9 \xE2\x82\xAC 5 &#20013; &#128512; &#257;\">"
                    "Perch\xC3\xA9 \xE2\x82\xAC 5 &#20013; &#128512; &#257;</p>"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TrasformaXml, AnEmptyResultGivesAnEmptyText) {
    TempDir dir;
    const std::string fattura = dir.write("fattura.xml", kFattura);
    for (const char* metodo : {"html", "xml", "text"}) {
        std::string html = "precedente";
        TrasformaXml(fattura,
                     dir.write("vuoto.xsl", foglio(std::string("<xsl:output method=\"") + metodo +
                                                   "\"/><xsl:template match=\"/\"/>")),
                     html);
        EXPECT_EQ(html, "") << metodo;
    }
}

// ---------------------------------------------------------------------------------------------
// Checking a stylesheet (the user's own, before it is remembered or used).

// libxslt reports compilation errors through one handler for the whole process: a check on the
// window's thread while an open transforms on another must not take the other's words.
TEST(VerificaFoglioStile, ChecksOnTwoThreadsEachGetTheirOwnReason) {
    TempDir dir;
    const std::string primo =
        dir.write("primo.xsl", paginaHtml("<xsl:value-of select=\"concat((funzionePrimo\"/>"));
    const std::string secondo =
        dir.write("secondo.xsl", paginaHtml("<xsl:value-of select=\"concat((funzioneSecondo\"/>"));
    const auto verifica = [](const std::string& xsl, const std::string& mia,
                             const std::string& altrui, int& sbagliati) {
        for (int i = 0; i < 200; ++i) {
            try {
                VerificaFoglioStile(xsl);
                ++sbagliati;
            } catch (const EFoglioStile& e) {
                if (e.motivo().find(mia) == std::string::npos ||
                    e.motivo().find(altrui) != std::string::npos)
                    ++sbagliati;
            }
        }
    };
    int sbagliatiPrimo = 0;
    int sbagliatiSecondo = 0;
    std::thread altro(verifica, secondo, "funzioneSecondo", "funzionePrimo",
                      std::ref(sbagliatiSecondo));
    verifica(primo, "funzionePrimo", "funzioneSecondo", sbagliatiPrimo);
    altro.join();
    EXPECT_EQ(sbagliatiPrimo, 0);
    EXPECT_EQ(sbagliatiSecondo, 0);
}

TEST(VerificaFoglioStile, AcceptsWhatTrasformaXmlCompiles) {
    TempDir dir;
    EXPECT_NO_THROW(VerificaFoglioStile(dir.write("foglio.xsl", paginaHtml(kDescrizione))));
}

} // namespace
