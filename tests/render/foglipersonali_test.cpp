#include "errors.h"
#include "foglipersonali.h"
#include "lctv.h"
#include "tcplistener.h"
#include "tempdir.h"
#include "transform.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

using namespace ondivo;
using ondivo::test::TcpListener;
using ondivo::test::TempDir;
namespace fs = std::filesystem;

namespace {

using Fogli = std::map<std::string, std::string>;

const std::string kFoglio =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:template match=\"/\"><html><body>mio</body></html></xsl:template></xsl:stylesheet>";

std::string foglioCon(const std::string& contenuto) {
    return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">" +
           contenuto + "</xsl:stylesheet>";
}

std::string fileDi(const Fogli& fogli) {
    std::string testo = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<fogliDiStile>\n";
    for (const auto& [formato, percorso] : fogli)
        testo += "  <foglio formato=\"" + formato + "\">" + percorso + "</foglio>\n";
    return testo + "</fogliDiStile>\n";
}

std::optional<std::string> contenutoDi(const fs::path& file) {
    if (!fs::is_regular_file(file))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::ostringstream testo;
    testo << in.rdbuf();
    return testo.str();
}

std::set<std::string> elenco(const fs::path& cartella) {
    std::set<std::string> nomi;
    for (const auto& voce : fs::recursive_directory_iterator(cartella))
        nomi.insert(voce.path().string());
    return nomi;
}

// The path stored for a format, read from the file with libxml2's own parser and XPath, not
// with the reader under test.
std::optional<std::string> percorsoNelFile(const fs::path& file, const std::string& formato) {
    std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
        xmlReadFile(file.string().c_str(), nullptr, XML_PARSE_NONET), xmlFreeDoc);
    if (!doc)
        return std::nullopt;
    std::unique_ptr<xmlXPathContext, void (*)(xmlXPathContext*)> ctxt(xmlXPathNewContext(doc.get()),
                                                                      xmlXPathFreeContext);
    const std::string espressione = "/fogliDiStile/foglio[@formato='" + formato + "']";
    std::unique_ptr<xmlXPathObject, void (*)(xmlXPathObject*)> trovati(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(espressione.c_str()), ctxt.get()),
        xmlXPathFreeObject);
    if (!trovati || !trovati->nodesetval || trovati->nodesetval->nodeNr != 1)
        return std::nullopt;
    std::unique_ptr<xmlChar, void (*)(void*)> testo(
        xmlNodeGetContent(trovati->nodesetval->nodeTab[0]), xmlFree);
    return std::string(reinterpret_cast<const char*>(testo.get()));
}

// A user of the test's own while it lives: XDG_CONFIG_HOME and HOME in a temporary folder,
// and a program folder there made AppDir, to see that nothing is written into it.
class Utente {
public:
    Utente() : m_xdg(leggi("XDG_CONFIG_HOME")), m_home(leggi("HOME")), m_appDir(AppDir()) {
        ::setenv("XDG_CONFIG_HOME", (m_dir.path() / "config").c_str(), 1);
        ::setenv("HOME", (m_dir.path() / "casa").c_str(), 1);
        m_dir.write("programma/FODISTILE/Foglio_di_stile_fatturaPA_v1.2.3.xsl", kFoglio);
        ImpostaAppDir((m_dir.path() / "programma").string() + "/");
    }
    ~Utente() {
        ripristina("XDG_CONFIG_HOME", m_xdg);
        ripristina("HOME", m_home);
        ImpostaAppDir(m_appDir);
    }
    Utente(const Utente&) = delete;
    Utente& operator=(const Utente&) = delete;

    const TempDir& dir() const { return m_dir; }
    fs::path file() const { return m_dir.path() / "config/ondivo/fogli_di_stile.xml"; }
    fs::path programma() const { return m_dir.path() / "programma"; }

private:
    static std::optional<std::string> leggi(const char* nome) {
        const char* valore = std::getenv(nome);
        return valore ? std::optional<std::string>(valore) : std::nullopt;
    }
    static void ripristina(const char* nome, const std::optional<std::string>& valore) {
        if (valore)
            ::setenv(nome, valore->c_str(), 1);
        else
            ::unsetenv(nome);
    }

    TempDir m_dir;
    std::optional<std::string> m_xdg;
    std::optional<std::string> m_home;
    std::string m_appDir;
};

// ---------------------------------------------------------------------------------------------
// Reading what is stored: a file that is missing or cannot be understood is no choice at all.

struct ReadCase {
    const char* name;
    std::optional<std::string> file; // nothing: no file; {DIR}: the test's folder
    Fogli atteso;
    bool problema = false;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class LeggiFogliPersonaliTest : public testing::TestWithParam<ReadCase> {};

TEST_P(LeggiFogliPersonaliTest, GivesTheKnownFormatsOrNothing) {
    const auto& c = GetParam();
    Utente utente;
    if (c.file)
        utente.dir().write("config/ondivo/fogli_di_stile.xml", *c.file);
    const auto prima = contenutoDi(utente.file());

    std::string problema = "nessuno";
    EXPECT_EQ(LeggiFogliPersonali(&problema), c.atteso);
    if (c.problema) {
        EXPECT_EQ(problema.rfind("Il file delle impostazioni «" + utente.file().string() +
                                     "» è danneggiato (",
                                 0),
                  0u)
            << problema;
    } else {
        EXPECT_EQ(problema, "nessuno");
    }
    EXPECT_EQ(LeggiFogliPersonali(), c.atteso);
    EXPECT_EQ(contenutoDi(utente.file()), prima); // reading never repairs or removes
}

INSTANTIATE_TEST_SUITE_P(
    Files, LeggiFogliPersonaliTest,
    testing::Values(
        ReadCase{"noFile", std::nullopt, {}},
        ReadCase{"threeFormats",
                 fileDi({{"FPA12", "/a/pa.xsl"}, {"FPR12", "/b/pr.xsl"}, {"FSM10", "/c/sm.xsl"}}),
                 {{"FPA12", "/a/pa.xsl"}, {"FPR12", "/b/pr.xsl"}, {"FSM10", "/c/sm.xsl"}}},
        ReadCase{"otherFormatsLeftOut",
                 fileDi({{"SDI", "/a/sdi.xsl"},
                         {"FPA13", "/a/nuovo.xsl"},
                         {"fpa12", "/a/x.xsl"},
                         {"FPR12", "/b/pr.xsl"}}),
                 {{"FPR12", "/b/pr.xsl"}}},
        ReadCase{"escapedTextAndAccents",
                 fileDi({{"FPA12", "/fogli &amp; c/perch\xC3\xA9 &lt;1&gt;.xsl"}}),
                 {{"FPA12", "/fogli & c/perch\xC3\xA9 <1>.xsl"}}},
        ReadCase{"entriesWithoutPathOrFormatLeftOut",
                 "<fogliDiStile><foglio formato=\"FPA12\"/><foglio>/a.xsl</foglio>"
                 "<altro formato=\"FPR12\">/b.xsl</altro></fogliDiStile>",
                 {}},
        ReadCase{"emptyFile", "", {}, true},
        ReadCase{"truncated", fileDi({{"FPA12", "/a/pa.xsl"}}).substr(0, 60), {}, true},
        ReadCase{"json", "{\"FPA12\": \"/a/pa.xsl\"}", {}, true},
        ReadCase{"anotherDocumentElement",
                 "<impostazioni><foglio formato=\"FPA12\">/a.xsl</foglio>"
                 "</impostazioni>",
                 {},
                 true},
        ReadCase{"externalEntityNotRead",
                 "<!DOCTYPE fogliDiStile [<!ENTITY e SYSTEM \"/etc/hostname\">]>"
                 "<fogliDiStile><foglio formato=\"FPA12\">&e;</foglio></fogliDiStile>",
                 {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LeggiFogliPersonali, AFolderInPlaceOfTheFileIsAProblem) {
    Utente utente;
    fs::create_directories(utente.file());
    std::string problema;
    EXPECT_TRUE(LeggiFogliPersonali(&problema).empty());
    EXPECT_NE(problema.find(utente.file().string()), std::string::npos) << problema;
}

// ---------------------------------------------------------------------------------------------
// Choosing: the stylesheet is checked, the file written whole in the user's folder.

TEST(ImpostaFoglioPersonale, RoundTripsEveryFormatAndForgetsOne) {
    Utente utente;
    const auto programmaPrima = elenco(utente.programma());
    Fogli scelti;
    for (const char* formato : {"FPA12", "FPR12", "FSM10"}) {
        const std::string percorso = utente.dir().write(
            std::string("fogli d'autore & c/perch\xC3\xA9 ") + formato + ".xsl", kFoglio);
        ImpostaFoglioPersonale(formato, percorso);
        scelti[formato] = percorso;
        EXPECT_EQ(LeggiFogliPersonali(), scelti);
        EXPECT_EQ(percorsoNelFile(utente.file(), formato), percorso);
    }
    RimuoviFoglioPersonale("FPR12");
    scelti.erase("FPR12");
    EXPECT_EQ(LeggiFogliPersonali(), scelti);
    EXPECT_EQ(percorsoNelFile(utente.file(), "FPR12"), std::nullopt);
    EXPECT_EQ(elenco(utente.programma()), programmaPrima);
    // The folder holds the file and nothing left over from writing it.
    EXPECT_EQ(elenco(utente.file().parent_path()), std::set<std::string>{utente.file().string()});
}

TEST(ImpostaFoglioPersonale, WithoutXdgTheFileGoesUnderHome) {
    Utente utente;
    ::unsetenv("XDG_CONFIG_HOME");
    const std::string percorso = utente.dir().write("mio.xsl", kFoglio);
    ImpostaFoglioPersonale("FSM10", percorso);
    EXPECT_EQ(
        percorsoNelFile(utente.dir().path() / "casa/.config/ondivo/fogli_di_stile.xml", "FSM10"),
        percorso);
}

TEST(ImpostaFoglioPersonale, StoresThePathMadeAbsoluteWithItsStepsResolved) {
    Utente utente;
    utente.dir().write("fogli/mio.xsl", kFoglio);
    fs::create_directories(utente.dir().path() / "altro");
    ImpostaFoglioPersonale("FPA12", (utente.dir().path() / "altro/../fogli/./mio.xsl").string());
    EXPECT_EQ(LeggiFogliPersonali().at("FPA12"), (utente.dir().path() / "fogli/mio.xsl").string());
}

TEST(ImpostaFoglioPersonale, KeepsTheEntriesOfFormatsItDoesNotKnow) {
    Utente utente;
    utente.dir().write("config/ondivo/fogli_di_stile.xml", fileDi({{"FPA13", "/a/futuro.xsl"}}));
    ImpostaFoglioPersonale("FPA12", utente.dir().write("mio.xsl", kFoglio));
    EXPECT_EQ(percorsoNelFile(utente.file(), "FPA13"), "/a/futuro.xsl");
    EXPECT_EQ(LeggiFogliPersonali().size(), 1u);
}

TEST(RimuoviFoglioPersonale, WithNothingChosenWritesNothing) {
    Utente utente;
    RimuoviFoglioPersonale("FPA12");
    EXPECT_FALSE(fs::exists(utente.file().parent_path()));
    const std::string scritto = fileDi({{"FPR12", "/b/pr.xsl"}});
    utente.dir().write("config/ondivo/fogli_di_stile.xml", scritto);
    RimuoviFoglioPersonale("FPA12");
    EXPECT_EQ(contenutoDi(utente.file()), scritto);
}

// ---------------------------------------------------------------------------------------------
// Refusals: the reason in the message, and the file as it was.

struct RefusedCase {
    const char* name;
    const char* formato;
    // The stylesheet's text; nothing: no file. {URL}: a listening local server.
    std::optional<std::string> foglio;
    std::string messaggio; // a part of what(); {XSL}: the stylesheet's full path
    std::optional<std::string> file = fileDi({{"FPR12", "/b/pr.xsl"}}); // stored before
    const char* nome = "mio.xsl";
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class ImpostaRefusedTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(ImpostaRefusedTest, SaysWhyAndLeavesTheFileAlone) {
    const auto& c = GetParam();
    Utente utente;
    TcpListener server;
    if (c.file)
        utente.dir().write("config/ondivo/fogli_di_stile.xml", *c.file);
    const auto prima = contenutoDi(utente.file());
    std::string percorso = (utente.dir().path() / c.nome).string();
    if (c.foglio) {
        std::string testo = *c.foglio;
        for (auto pos = testo.find("{URL}"); pos != std::string::npos; pos = testo.find("{URL}"))
            testo.replace(pos, 5, server.url());
        percorso = utente.dir().write(c.nome, testo);
    }
    std::string atteso = c.messaggio;
    if (const auto pos = atteso.find("{XSL}"); pos != std::string::npos)
        atteso.replace(pos, 5, percorso);

    try {
        ImpostaFoglioPersonale(c.formato, percorso);
        FAIL() << "no error";
    } catch (const OndivoError& e) {
        EXPECT_NE(std::string(e.what()).find(atteso), std::string::npos) << e.what();
    }
    EXPECT_EQ(contenutoDi(utente.file()), prima);
    EXPECT_EQ(server.connections(), 0);
    if (!c.file) {
        EXPECT_FALSE(fs::exists(utente.file().parent_path()));
    }
}

const std::string kNonValido = "Il foglio di stile «{XSL}» non si può usare: ";

INSTANTIATE_TEST_SUITE_P(
    Stylesheets, ImpostaRefusedTest,
    testing::Values(
        RefusedCase{"unknownFormat", "SDI", kFoglio,
                    "Il formato «SDI» non ha un foglio di stile da scegliere: si sceglie solo per "
                    "FPA12, FPR12 e FSM10"},
        RefusedCase{"formatInSmallLetters", "fpa12", kFoglio, "Il formato «fpa12»"},
        RefusedCase{"noFolderMadeForARefusal", "FPA12", std::nullopt,
                    kNonValido + "il file non esiste", std::nullopt},
        RefusedCase{"missingFile", "FPA12", std::nullopt, kNonValido + "il file non esiste"},
        RefusedCase{"emptyFile", "FPA12", "", kNonValido + "non è XML ben formato"},
        RefusedCase{"notWellFormed", "FPR12",
                    "<xsl:stylesheet version=\"1.0\" "
                    "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">",
                    kNonValido + "non è XML ben formato: "},
        RefusedCase{"anInvoice", "FPA12",
                    "<p:FatturaElettronica xmlns:p=\"urn:p\"><FormatoTrasmissione>FPA12"
                    "</FormatoTrasmissione></p:FatturaElettronica>",
                    kNonValido + "non è un foglio di stile XSLT valido: "},
        RefusedCase{"badExpression", "FSM10",
                    foglioCon("<xsl:template match=\"/\"><xsl:value-of select=\"concat((\"/>"
                              "</xsl:template>"),
                    "could not compile select expression 'concat(('"},
        RefusedCase{"missingImport", "FPA12",
                    foglioCon("<xsl:import href=\"assente.xsl\"/><xsl:template match=\"/\"/>"),
                    "assente.xsl"},
        RefusedCase{"importOverTheNetwork", "FPA12",
                    foglioCon("<xsl:import href=\"{URL}/remoto.xsl\"/><xsl:template match=\"/\"/>"),
                    kNonValido + "non è un foglio di stile XSLT valido"},
        RefusedCase{"aControlCharacterInTheName", "FPA12", kFoglio,
                    "ha caratteri che non si possono ricordare", fileDi({}), "mio\x01.xsl"},
        RefusedCase{"corruptFileNotOverwritten", "FPA12", kFoglio,
                    "è danneggiato (riga 1: ", std::string("<fogliDiStile><foglio formato=")},
        RefusedCase{
            "otherDocumentNotOverwritten", "FPA12", kFoglio,
            "è danneggiato (manca l'elemento fogliDiStile)",
            std::string("<impostazioni><foglio formato=\"FPA12\">/a.xsl</foglio></impostazioni>")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ImpostaFoglioPersonale, AFolderIsNoStylesheet) {
    Utente utente;
    fs::create_directories(utente.dir().path() / "fogli.xsl");
    const std::string cartella = (utente.dir().path() / "fogli.xsl").string();
    try {
        ImpostaFoglioPersonale("FPA12", cartella);
        FAIL() << "no error";
    } catch (const EFoglioStile& e) {
        EXPECT_EQ(std::string(e.what()), "Il foglio di stile «" + cartella +
                                             "» non si può usare: è una cartella, non un file");
        EXPECT_EQ(e.motivo(), "è una cartella, non un file");
    }
    EXPECT_FALSE(fs::exists(utente.file()));
}

// An external entity of the stylesheet is never fetched: whatever becomes of the choice, the
// server sees nobody.
TEST(ImpostaFoglioPersonale, AnEntityOverTheNetworkIsNeverFetched) {
    Utente utente;
    TcpListener server;
    const std::string percorso = utente.dir().write(
        "mio.xsl", "<!DOCTYPE x [<!ENTITY e SYSTEM \"" + server.url() + "/e\">]>" +
                       foglioCon("<xsl:template match=\"/\"><p>&e;</p></xsl:template>"));
    try {
        ImpostaFoglioPersonale("FPA12", percorso);
    } catch (const OndivoError&) {
    }
    EXPECT_EQ(server.connections(), 0);
}

// Imports and includes of local files next to the stylesheet are its own business.
TEST(ImpostaFoglioPersonale, AcceptsLocalImportsBesideTheStylesheet) {
    Utente utente;
    utente.dir().write("fogli/parti/base.xsl",
                       foglioCon("<xsl:template match=\"/\"><html/></xsl:template>"));
    utente.dir().write("fogli/parti/pezzi.xsl", foglioCon("<xsl:template name=\"pezzo\"/>"));
    const std::string percorso = utente.dir().write(
        "fogli/mio.xsl",
        foglioCon("<xsl:import href=\"parti/base.xsl\"/><xsl:include href=\"parti/pezzi.xsl\"/>"));
    ImpostaFoglioPersonale("FPA12", percorso);
    EXPECT_EQ(LeggiFogliPersonali().at("FPA12"), percorso);
}

} // namespace
