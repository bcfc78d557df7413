// The open with the user's own stylesheets: the page they make, against xsltproc; Ondivo's
// page whenever they fail, with the warning; and the same protections as Ondivo's sheets.

#include "documentoaperto.h"
#include "esecuzione.h"
#include "files.h"
#include "messaggiosdi.h"
#include "programmadiprova.h"
#include "stylesheetchoice.h"
#include "tcplistener.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

using namespace ondivo;
using ondivo::test::FoglioConTuttoIlTesto;
using ondivo::test::ProgrammaDiProva;
using ondivo::test::TcpListener;
namespace fs = std::filesystem;

namespace {

using Fogli = std::map<std::string, std::string>;

std::string fattura(const std::string& formato, const std::string& corpo = {}) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica xmlns:p=\"urn:p\">"
           "<FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>" +
           formato +
           "</FormatoTrasmissione></DatiTrasmissione></FatturaElettronicaHeader>"
           "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><Numero>FT 7</Numero>"
           "<Causale>   </Causale></DatiGeneraliDocumento></DatiGenerali>" +
           corpo + "</FatturaElettronicaBody></p:FatturaElettronica>";
}

std::string foglio(const std::string& contenuto, const std::string& attributi = {}) {
    return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" " +
           attributi + ">" + contenuto + "</xsl:stylesheet>";
}

// A sheet whose root template writes the given body into a page marked as the user's.
std::string paginaMia(const std::string& corpo, const std::string& output = "method=\"html\"",
                      const std::string& attributi = {}) {
    return foglio("<xsl:output " + output +
                      "/><xsl:template match=\"/\"><html><head><title>Mio</title></head><body>"
                      "<h1>foglio mio</h1>" +
                      corpo + "</body></html></xsl:template>",
                  attributi);
}

const std::string kNumero = "<p><xsl:value-of select=\"//Numero\"/></p>";

std::string replaced(std::string testo, const std::string& segnaposto, const std::string& con) {
    for (auto pos = testo.find(segnaposto); pos != std::string::npos;
         pos = testo.find(segnaposto, pos + con.size()))
        testo.replace(pos, segnaposto.size(), con);
    return testo;
}

std::set<std::string> elenco(const fs::path& cartella) {
    std::set<std::string> nomi;
    for (const auto& voce : fs::recursive_directory_iterator(cartella))
        nomi.insert(voce.path().string());
    return nomi;
}

// What xsltproc makes of the same sheet and invoice, with the character set the view's bytes
// declare in place of UTF-8: the only difference the page may have.
std::string secondoXsltproc(const ProgrammaDiProva& programma, const std::string& xsl,
                            const std::string& xml) {
    const std::string uscita = (programma.dir().path() / "xsltproc.html").string();
    const auto esito =
        platform::EseguiProgramma({ONDIVO_XSLTPROC, "--nonet", "-o", uscita, xsl, xml},
                                  programma.dir().path().string(), std::chrono::seconds(60));
    EXPECT_EQ(esito.fine, platform::EsitoProgramma::Fine::Terminato);
    EXPECT_EQ(esito.codiceUscita, 0u);
    const std::string testo = platform::LeggiFile(uscita);
    fs::remove(uscita);
    return replaced(replaced(testo, "charset=UTF-8", "charset=windows-1252"), "encoding=\"UTF-8\"",
                    "encoding=\"windows-1252\"");
}

// ---------------------------------------------------------------------------------------------
// The user's sheet makes the page: the same page xsltproc makes.

struct UsedCase {
    const char* name;
    std::string xsl;                                               // {DIR}: the test's folder
    std::vector<std::pair<std::string, std::string>> accanto = {}; // files beside the sheet
};

void PrintTo(const UsedCase& c, std::ostream* os) {
    *os << c.name;
}

class UserSheetUsedTest : public testing::TestWithParam<UsedCase> {};

TEST_P(UserSheetUsedTest, MakesThePageXsltprocMakes) {
    const auto& c = GetParam();
    ProgrammaDiProva programma;
    const auto& dir = programma.dir();
    for (const auto& [nome, testo] : c.accanto)
        dir.write("utente/" + nome, testo);
    const std::string xsl =
        dir.write("utente/mio.xsl", replaced(c.xsl, "{DIR}", dir.path().string()));
    const std::string xml = dir.write("f.xml", fattura("FPA12"));
    const Fogli personali{{"FPA12", xsl}};

    const DocumentoAperto d =
        ApriDocumento(xml, FoglioStilePredefinito(), {.fogliPersonali = &personali});

    EXPECT_TRUE(d.gestito);
    EXPECT_TRUE(d.messaggi.empty());
    EXPECT_EQ(d.avvisoFoglio, "");
    EXPECT_EQ(d.foglioPersonale, xsl);
    EXPECT_EQ(d.foglioStile, programma.foglioDi("FPA12")); // the next open starts from ours
    EXPECT_EQ(d.numero, "FT 7");
    EXPECT_EQ(d.pagina, secondoXsltproc(programma, xsl, xml));
    EXPECT_NE(d.pagina.find("foglio mio"), std::string::npos) << d.pagina;
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, UserSheetUsedTest,
    testing::Values(
        UsedCase{"htmlMethod", paginaMia(kNumero)},
        UsedCase{"noOutputElement",
                 foglio("<xsl:template match=\"/\"><html><body><h1>foglio mio</h1>" + kNumero +
                        "</body></html></xsl:template>")},
        UsedCase{"declaredUtf8", paginaMia(kNumero, "method=\"html\" encoding=\"UTF-8\"")},
        UsedCase{"xmlMethod",
                 paginaMia(kNumero, "method=\"xml\" encoding=\"UTF-8\" indent=\"yes\"")},
        UsedCase{"whitespaceStripped",
                 paginaMia("<p>[<xsl:value-of select=\"//Causale\"/>]</p>",
                           "method=\"html\"/><xsl:strip-space elements=\"*\"")},
        UsedCase{"importAndIncludeBesideTheSheet",
                 foglio("<xsl:import href=\"parti/base.xsl\"/><xsl:include "
                        "href=\"parti/pezzi.xsl\"/><xsl:template match=\"/\"><html><body>"
                        "<h1>foglio mio</h1><xsl:call-template name=\"base\"/><xsl:call-template "
                        "name=\"pezzo\"/></body></html></xsl:template>"),
                 {{"parti/base.xsl", foglio("<xsl:template name=\"base\"><p>dalla base</p>"
                                            "</xsl:template>")},
                  {"parti/pezzi.xsl",
                   foglio("<xsl:template name=\"pezzo\">" + kNumero + "</xsl:template>")}}},
        UsedCase{"documentBesideTheSheetAndByFullPath",
                 paginaMia("<p><xsl:value-of select=\"document('dati/voci.xml')//v\"/></p><p>"
                           "<xsl:value-of select=\"document('{DIR}/utente/dati/voci.xml')//v\"/>"
                           "</p>"),
                 {{"dati/voci.xml", "<voci><v>dal file accanto</v></voci>"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever encoding the user's sheet declares, the view gets the same bytes as from a sheet of
// Ondivo's with the same text: folded, Windows-1252, references for what the code page lacks.
class UserSheetCharactersTest : public testing::TestWithParam<const char*> {};

TEST_P(UserSheetCharactersTest, ShowTheCharactersAsOndivosSheetsDo) {
    const std::string encoding = GetParam();
    const std::string testo = "\xC3\xA0\xC3\xA8\xC3\xA9\xC3\xAC\xC3\xB2\xC3\xB9 \xE2\x82\xAC "
                              "\xC3\xB1 \xE4\xB8\xAD \xF0\x9F\x98\x80";
    const std::string corpo = "<p>" + testo + "</p><p><xsl:value-of select=\"//Descrizione\"/></p>";
    const std::string xmlTesto = fattura("FPA12", "<Descrizione>" + testo + "</Descrizione>");
    // Ondivo's page: the same sheet without an encoding, as Ondivo's FPA12 sheet.
    std::string nostra;
    {
        ProgrammaDiProva programma([&](const std::string&) { return paginaMia(corpo); });
        nostra = ApriDocumento(programma.dir().write("f.xml", xmlTesto), FoglioStilePredefinito())
                     .pagina;
    }
    ASSERT_NE(nostra.find("a'e'e'i'o'u' EU \xF1 &#20013; &#128512;"), std::string::npos) << nostra;

    ProgrammaDiProva programma;
    const std::string output =
        "method=\"html\"" + (encoding.empty() ? "" : " encoding=\"" + encoding + "\"");
    const Fogli personali{{"FPA12", programma.dir().write("mio.xsl", paginaMia(corpo, output))}};
    const DocumentoAperto d =
        ApriDocumento(programma.dir().write("f.xml", xmlTesto), FoglioStilePredefinito(),
                      {.fogliPersonali = &personali});
    EXPECT_EQ(d.avvisoFoglio, "");
    EXPECT_EQ(d.pagina, nostra);
}

INSTANTIATE_TEST_SUITE_P(Encodings, UserSheetCharactersTest,
                         testing::Values("", "UTF-8", "ISO-8859-1", "windows-1252", "US-ASCII",
                                         "UTF-16"),
                         [](const auto& info) {
                             std::string nome = *info.param ? info.param : "none";
                             std::erase_if(nome, [](char c) { return !std::isalnum(c); });
                             return nome;
                         });

// ---------------------------------------------------------------------------------------------
// The user's sheet fails: Ondivo's page, and a warning that names the sheet and the reason.

struct FailedCase {
    const char* name;
    std::optional<std::string> xsl; // nothing: no such file; {DIR}: the folder, {URL}: a server
    std::string motivo;             // what the parentheses hold, or a part of it when `parte`
    bool parte = false;
};

void PrintTo(const FailedCase& c, std::ostream* os) {
    *os << c.name;
}

class UserSheetFailsTest : public testing::TestWithParam<FailedCase> {};

TEST_P(UserSheetFailsTest, FallsBackToOndivosPageAndSaysWhy) {
    const auto& c = GetParam();
    ProgrammaDiProva programma(FoglioConTuttoIlTesto);
    TcpListener server;
    const auto& dir = programma.dir();
    const std::string xml = dir.write("f.xml", fattura("FPR12"));
    const DocumentoAperto nostro = ApriDocumento(xml, FoglioStilePredefinito());
    std::string xsl = (dir.path() / "mio.xsl").string();
    if (c.xsl)
        xsl = dir.write("mio.xsl", replaced(replaced(*c.xsl, "{DIR}", dir.path().string()), "{URL}",
                                            server.url()));
    const auto prima = elenco(dir.path());
    const Fogli personali{{"FPR12", xsl}};

    const DocumentoAperto d =
        ApriDocumento(xml, FoglioStilePredefinito(), {.fogliPersonali = &personali});

    EXPECT_TRUE(d.gestito);
    EXPECT_TRUE(d.messaggi.empty());
    EXPECT_EQ(d.foglioPersonale, "");
    EXPECT_EQ(d.foglioStile, programma.foglioDi("FPR12"));
    EXPECT_EQ(d.pagina, nostro.pagina);
    const std::string inizio = "Il foglio di stile «mio.xsl» non si è potuto usare (";
    const std::string fine = "): la fattura è mostrata con il foglio di Ondivo.";
    ASSERT_EQ(d.avvisoFoglio.rfind(inizio, 0), 0u) << d.avvisoFoglio;
    ASSERT_GE(d.avvisoFoglio.size(), inizio.size() + fine.size());
    EXPECT_EQ(d.avvisoFoglio.substr(d.avvisoFoglio.size() - fine.size()), fine);
    const std::string motivo =
        d.avvisoFoglio.substr(inizio.size(), d.avvisoFoglio.size() - inizio.size() - fine.size());
    const std::string atteso =
        replaced(replaced(c.motivo, "{DIR}", dir.path().string()), "{URL}", server.url());
    if (c.parte)
        EXPECT_NE(motivo.find(atteso), std::string::npos) << motivo;
    else
        EXPECT_EQ(motivo, atteso);
    EXPECT_EQ(motivo.find('\n'), std::string::npos) << motivo;
    // Nothing written anywhere the sheet named, nothing asked of the network.
    EXPECT_EQ(elenco(dir.path()), prima);
    EXPECT_EQ(server.connections(), 0);
}

const std::string kScrive = "<p>scritto</p>";

INSTANTIATE_TEST_SUITE_P(
    Failures, UserSheetFailsTest,
    testing::Values(
        FailedCase{"missingFile", std::nullopt, "il file non esiste"},
        FailedCase{"emptyFile", "", "non è XML ben formato", true},
        FailedCase{"notWellFormed",
                   "<xsl:stylesheet version=\"1.0\" "
                   "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">",
                   "non è XML ben formato: ", true},
        FailedCase{"anInvoice", fattura("FPA12"),
                   "non è un foglio di stile XSLT valido: compilation error: ", true},
        FailedCase{"badExpression", paginaMia("<xsl:value-of select=\"concat((\"/>"),
                   "could not compile select expression 'concat(('", true},
        FailedCase{"missingImport", foglio("<xsl:import href=\"assente.xsl\"/>"),
                   "xsl:import : unable to load {DIR}/assente.xsl", true},
        FailedCase{"importOverTheNetwork", foglio("<xsl:import href=\"{URL}/remoto.xsl\"/>"),
                   "xsl:import : unable to load {URL}/remoto.xsl", true},
        FailedCase{"documentOverTheNetwork",
                   paginaMia("<xsl:value-of select=\"document('{URL}/dati.xml')\"/>"),
                   "read rights for {URL}/dati.xml denied", true},
        FailedCase{"terminatingMessage",
                   paginaMia("<xsl:message terminate=\"yes\">Fermata\nvoluta.</xsl:message>"),
                   "Fermata voluta"},
        FailedCase{"runtimeError", paginaMia("<xsl:apply-templates select=\"1\"/>"),
                   "did not evaluate to a node set", true},
        FailedCase{"unknownFunctionAtRunTime", paginaMia("<xsl:value-of select=\"pippo(1)\"/>"),
                   "function pippo not found", true},
        FailedCase{"emptyResult", foglio("<xsl:template match=\"/\"/>"),
                   "non ha prodotto nessuna pagina"},
        FailedCase{"whitespaceStrippedThenStopped",
                   foglio("<xsl:strip-space elements=\"*\"/><xsl:template match=\"/\"><html>"
                          "<xsl:value-of select=\"//Causale\"/><xsl:message terminate=\"yes\">"
                          "no</xsl:message></html></xsl:template>"),
                   "no"},
        FailedCase{"xslDocumentWritesNothing",
                   replaced(paginaMia("<xsl:document href=\"{DIR}/scritto.html\">" + kScrive +
                                      "</xsl:document>"),
                            "version=\"1.0\"", "version=\"1.1\""),
                   "File write for {DIR}/scritto.html refused", true},
        FailedCase{
            "exslDocumentWritesNothing",
            paginaMia("<exsl:document href=\"{DIR}/scritto.html\">" + kScrive + "</exsl:document>",
                      "method=\"html\"",
                      "xmlns:exsl=\"http://exslt.org/common\" "
                      "extension-element-prefixes=\"exsl\""),
            "File write for {DIR}/scritto.html refused", true},
        FailedCase{
            "saxonOutputWritesNothing",
            paginaMia("<saxon:output href=\"{DIR}/scritto.html\">" + kScrive + "</saxon:output>",
                      "method=\"html\"",
                      "xmlns:saxon=\"http://icl.com/saxon\" "
                      "extension-element-prefixes=\"saxon\""),
            "File write for {DIR}/scritto.html refused", true},
        FailedCase{"xalanRedirectWritesNothing",
                   paginaMia("<redirect:write file=\"{DIR}/scritto.html\">" + kScrive +
                                 "</redirect:write>",
                             "method=\"html\"",
                             "xmlns:redirect=\"org.apache.xalan.xslt.extensions.Redirect\" "
                             "extension-element-prefixes=\"redirect\""),
                   "File write for {DIR}/scritto.html refused", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UserSheetFails, AFolderIsNoSheet) {
    ProgrammaDiProva programma;
    fs::create_directories(programma.dir().path() / "mio.xsl");
    const Fogli personali{{"FPA12", (programma.dir().path() / "mio.xsl").string()}};
    const DocumentoAperto d =
        ApriDocumento(programma.dir().write("f.xml", fattura("FPA12")), FoglioStilePredefinito(),
                      {.fogliPersonali = &personali});
    EXPECT_EQ(d.avvisoFoglio, "Il foglio di stile «mio.xsl» non si è potuto usare (è una "
                              "cartella, non un file): la fattura è mostrata con il foglio di "
                              "Ondivo.");
    EXPECT_NE(d.pagina.find("foglio FPA12"), std::string::npos) << d.pagina;
}

// ---------------------------------------------------------------------------------------------
// Which sheet an open takes.

enum class Usato { Nostro, Mio, Altro, Messaggi };

struct ChoiceCase {
    const char* name;
    std::string xml;
    Fogli personali; // {MIO}, {ALTRO}: two user sheets that work
    Usato usato;
    bool pagina = true;
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.name;
}

class UserSheetChoiceTest : public testing::TestWithParam<ChoiceCase> {};

TEST_P(UserSheetChoiceTest, TakesTheFormatsOwnThenTheOneForEveryFormat) {
    const auto& c = GetParam();
    ProgrammaDiProva programma;
    const std::string mio = programma.dir().write("mio.xsl", paginaMia(""));
    const std::string altro =
        programma.dir().write("altro.xsl", replaced(paginaMia(""), "foglio mio", "foglio altro"));
    Fogli personali;
    for (const auto& [formato, percorso] : c.personali)
        personali[formato] = replaced(replaced(percorso, "{MIO}", mio), "{ALTRO}", altro);
    const std::string xml = programma.dir().write("f.xml", c.xml);

    const DocumentoAperto d = ApriDocumento(xml, FoglioStilePredefinito(),
                                            {.pagina = c.pagina, .fogliPersonali = &personali});
    const DocumentoAperto senza =
        ApriDocumento(xml, FoglioStilePredefinito(), {.pagina = c.pagina});

    EXPECT_EQ(d.avvisoFoglio, "");
    EXPECT_EQ(d.foglioStile, senza.foglioStile);
    EXPECT_EQ(d.formato, senza.formato);
    EXPECT_EQ(d.numero, senza.numero);
    switch (c.usato) {
    case Usato::Nostro:
    case Usato::Messaggi:
        EXPECT_EQ(d.foglioPersonale, "");
        EXPECT_EQ(d.pagina, senza.pagina);
        if (c.pagina) {
            EXPECT_NE(d.pagina.find(c.usato == Usato::Messaggi ? "foglio SdI" : "foglio F"),
                      std::string::npos)
                << d.pagina;
        }
        break;
    case Usato::Mio:
    case Usato::Altro:
        EXPECT_EQ(d.foglioPersonale, c.usato == Usato::Mio ? mio : altro);
        EXPECT_NE(d.pagina.find(c.usato == Usato::Mio ? "foglio mio" : "foglio altro"),
                  std::string::npos)
            << d.pagina;
        break;
    }
    if (!c.pagina) {
        EXPECT_EQ(d.pagina, "");
    }
}

const std::string kRicevuta =
    "<ns:RicevutaConsegna xmlns:ns=\"" + std::string(NamespaceMessaggiFattura) +
    "\" versione=\"1.0\"><IdentificativoSdI>1</IdentificativoSdI></ns:RicevutaConsegna>";

INSTANTIATE_TEST_SUITE_P(
    Opens, UserSheetChoiceTest,
    testing::Values(
        ChoiceCase{"noEntry", fattura("FPA12"), {}, Usato::Nostro},
        ChoiceCase{"anotherFormatsEntry", fattura("FPA12"), {{"FPR12", "{MIO}"}}, Usato::Nostro},
        ChoiceCase{"theFormatsEntry", fattura("FSM10"), {{"FSM10", "{MIO}"}}, Usato::Mio},
        ChoiceCase{"everyFormat", fattura("FPR12"), {{OgniFormato, "{MIO}"}}, Usato::Mio},
        ChoiceCase{
            "everyFormatForAnUnknownOne", fattura("fpa12"), {{OgniFormato, "{MIO}"}}, Usato::Mio},
        ChoiceCase{"theFormatsOwnBeforeEveryFormat",
                   fattura("FPA12"),
                   {{OgniFormato, "{MIO}"}, {"FPA12", "{ALTRO}"}},
                   Usato::Altro},
        ChoiceCase{"anEmptyPathIsNoEntry", fattura("FPA12"), {{"FPA12", ""}}, Usato::Nostro},
        ChoiceCase{"aReceiptKeepsItsOwn",
                   kRicevuta,
                   {{OgniFormato, "{MIO}"}, {FormatoMessaggiSdI, "{MIO}"}},
                   Usato::Messaggi},
        ChoiceCase{"noPageNoSheet",
                   fattura("FPA12"),
                   {{"FPA12", "/nessuno/mio.xsl"}},
                   Usato::Nostro,
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
