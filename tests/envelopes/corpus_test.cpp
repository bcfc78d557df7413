// The real envelopes of the public corpus: every good one opens and gives what openssl itself
// extracts; every broken one fails with one of the user's messages and leaves no file behind.
#include "envelopefixture.h"
#include "envelopepath.h"
#include "errors.h"
#include "p7menvelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

using namespace ondivo;
using namespace ondivo::test;
namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = fs::path(ONDIVO_CORPUS_DIR) / "p7m";

struct CorpusCase {
    std::string name;
    fs::path file;
};

void PrintTo(const CorpusCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<CorpusCase> files(const std::string& cartella) {
    std::vector<CorpusCase> casi;
    std::error_code ec;
    for (const auto& voce : fs::directory_iterator(kCorpus / cartella, ec)) {
        std::string nome = cartella + "_" + voce.path().filename().string();
        std::replace_if(
            nome.begin(), nome.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
        casi.push_back({nome, voce.path()});
    }
    std::sort(casi.begin(), casi.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    return casi;
}

std::string stripBlanks(std::string testo) {
    std::erase_if(testo, [](unsigned char c) { return std::isspace(c); });
    return testo;
}

// What openssl cms -verify -noverify writes for the envelope, decoded first by openssl's own
// Base64 reader when it is text.
std::string oracle(const TempDir& dir, const fs::path& envelope) {
    std::string der = envelope.string();
    const auto contenuto = LeggiFile(envelope);
    if (!contenuto.empty() && contenuto[0] != '\x30') {
        const auto testo = dir.write("oracle.b64", stripBlanks(contenuto));
        der = (dir.path() / "oracle.der").string();
        EXPECT_TRUE(Esegui({ONDIVO_OPENSSL, "base64", "-d", "-A", "-in", testo, "-out", der}));
    }
    const auto out = (dir.path() / "oracle.xml").string();
    EXPECT_TRUE(Esegui({ONDIVO_OPENSSL, "cms", "-verify", "-noverify", "-inform", "DER", "-binary",
                        "-in", der, "-out", out}));
    return LeggiFile(out);
}

class CorpusOpensTest : public testing::TestWithParam<CorpusCase> {};

TEST_P(CorpusOpensTest, GivesWhatOpensslExtracts) {
    ProgramFolder app;
    app.linkRealTool();
    const ScopedTmpDir tmp(app.dir().path() / "tmp");
    const auto p7m =
        app.dir().write("in/" + GetParam().file.filename().string(), LeggiFile(GetParam().file));
    std::string xml;
    ASSERT_NO_THROW(EstraiXmlDaP7m(p7m, xml, app.toolDir()));
    EXPECT_EQ(xml, PercorsoXmlDaP7m(p7m));
    const auto atteso = oracle(app.dir(), GetParam().file);
    EXPECT_FALSE(atteso.empty());
    EXPECT_TRUE(LeggiFile(xml) == atteso) << "the payload differs from openssl's";
    EXPECT_TRUE(tmp.empty());
}

INSTANTIATE_TEST_SUITE_P(Der, CorpusOpensTest, testing::ValuesIn(files("der")),
                         [](const auto& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(Base64, CorpusOpensTest, testing::ValuesIn(files("base64")),
                         [](const auto& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(Other, CorpusOpensTest, testing::ValuesIn(files("other")),
                         [](const auto& info) { return info.param.name; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusOpensTest);

// Both the Base64 twins and the DER file of the same envelope carry this invoice exactly.
TEST(CorpusPayload, EqualsThePublishedInvoice) {
    const auto fattura =
        fs::path(ONDIVO_CORPUS_DIR) / "invoices/thirdparty/oca/IT01234567890_FPR03.xml";
    if (!fs::exists(fattura))
        GTEST_SKIP() << "no corpus";
    for (const auto* nome :
         {"der/IT01234567890_FPR03.xml.p7m", "base64/IT01234567890_FPR03.base64.xml.p7m",
          "base64/IT01234567890_FPR04.base64.xml.p7m"}) {
        ProgramFolder app;
        app.linkRealTool();
        const auto p7m = app.dir().write("e.xml.p7m", LeggiFile(kCorpus / nome));
        std::string xml;
        ASSERT_NO_THROW(EstraiXmlDaP7m(p7m, xml, app.toolDir())) << nome;
        EXPECT_TRUE(LeggiFile(xml) == LeggiFile(fattura)) << nome;
    }
}

class CorpusBrokenTest : public testing::TestWithParam<CorpusCase> {};

TEST_P(CorpusBrokenTest, FailsWithAUserMessageAndLeavesNothing) {
    ProgramFolder app;
    app.linkRealTool();
    const ScopedTmpDir tmp(app.dir().path() / "tmp");
    const auto p7m =
        app.dir().write("in/" + GetParam().file.filename().string(), LeggiFile(GetParam().file));
    std::string xml;
    try {
        EstraiXmlDaP7m(p7m, xml, app.toolDir());
        ADD_FAILURE() << "opened";
    } catch (const OndivoError& e) {
        const std::string messaggio = e.what();
        const bool noto = messaggio.starts_with("OpenSSL errore (ExitCode=") ||
                          messaggio == "Output non creato: " + xml ||
                          messaggio == "Errore avvio OpenSSL";
        EXPECT_TRUE(noto) << messaggio;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(app.dir().path() / "in"), {}), 1);
    EXPECT_TRUE(tmp.empty());
}

INSTANTIATE_TEST_SUITE_P(Broken, CorpusBrokenTest, testing::ValuesIn(files("broken")),
                         [](const auto& info) { return info.param.name; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusBrokenTest);

} // namespace
