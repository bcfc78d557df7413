#include "envelopefixture.h"
#include "envelopepath.h"

#include <gtest/gtest.h>

using namespace ondivo;
using namespace ondivo::test;
namespace fs = std::filesystem;

namespace {

struct PathCase {
    const char* name;
    std::string path;
    std::string xml;
    bool envelope;
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.name;
}

class EnvelopePathTest : public testing::TestWithParam<PathCase> {};

TEST_P(EnvelopePathTest, DropsTheLastExtensionOnly) {
    EXPECT_EQ(PercorsoXmlDaP7m(GetParam().path), GetParam().xml);
}

TEST_P(EnvelopePathTest, KnowsAnEnvelopeByItsExtension) {
    EXPECT_EQ(IsEnvelope(GetParam().path), GetParam().envelope);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, EnvelopePathTest,
    testing::Values(PathCase{"xmlP7m", "/a/fattura.xml.p7m", "/a/fattura.xml", true},
                    PathCase{"capitals", "/a/FATTURA.XML.P7M", "/a/FATTURA.XML", true},
                    PathCase{"mixedCase", "/a/f.xml.P7m", "/a/f.xml", true},
                    PathCase{"p7mOnly", "/a/fattura.p7m", "/a/fattura", true},
                    PathCase{"relative", "fattura.p7m", "fattura", true},
                    PathCase{"hiddenName", "/a/.p7m", "/a/.p7m.xml", true},
                    PathCase{"hiddenNameCapitals", "/a/.P7M", "/a/.P7M.xml", true},
                    PathCase{"bareExtensionRelative", ".p7m", ".p7m.xml", true},
                    PathCase{"nameIsADot", "/a/..p7m", "/a/..p7m.xml", true},
                    PathCase{"nameIsTwoDots", "/a/...p7m", "/a/...p7m.xml", true},
                    PathCase{"hiddenNameWithExtension", "/a/.f.xml.p7m", "/a/.f.xml", true},
                    PathCase{"hiddenFolder", "/a/.p7m/.p7m", "/a/.p7m/.p7m.xml", true},
                    PathCase{"p7mThenXml", "/a/fattura.p7m.xml", "/a/fattura.p7m", false},
                    PathCase{"longerExtension", "/a/fattura.p7mx", "/a/fattura", false},
                    PathCase{"trailingBlank", "/a/fattura.p7m ", "/a/fattura", false},
                    PathCase{"trailingDot", "/a/fattura.", "/a/fattura", false},
                    PathCase{"dotInFolderOnly", "/a.p7m/fattura", "/a.p7m/fattura", false},
                    PathCase{"noDot", "fattura", "fattura", false},
                    PathCase{"backslashIsPartOfTheName", "a.b\\c", "a", false},
                    PathCase{"empty", "", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The cache copy: one folder per envelope, found again at every open.

struct CacheCase {
    const char* name;
    std::string first; // "{cwd}" stands for the current folder
    std::string second;
    bool sameFolder;
};

void PrintTo(const CacheCase& c, std::ostream* os) {
    *os << c.name;
}

class CachePathTest : public testing::TestWithParam<CacheCase> {};

TEST_P(CachePathTest, GivesEachEnvelopeAFolderOfItsOwn) {
    const auto& c = GetParam();
    TempDir dir;
    const ScopedEnv cache("XDG_CACHE_HOME", dir.path().string());
    const auto conCwd = [](std::string s) {
        if (const auto pos = s.find("{cwd}"); pos != std::string::npos)
            s.replace(pos, 5, fs::current_path().string());
        return s;
    };
    const auto a = PercorsoXmlInCache(conCwd(c.first));
    const auto b = PercorsoXmlInCache(conCwd(c.second));

    // $XDG_CACHE_HOME/ondivo/p7m/<hex>/<the XML's own name>
    const std::string base = dir.path().string() + "/ondivo/p7m/";
    for (const auto& [percorso, busta] : {std::pair{a, c.first}, std::pair{b, c.second}}) {
        ASSERT_EQ(percorso.rfind(base, 0), 0u) << percorso;
        const std::string resto = percorso.substr(base.size());
        const auto barra = resto.find('/');
        ASSERT_NE(barra, std::string::npos) << percorso;
        const std::string hash = resto.substr(0, barra);
        EXPECT_TRUE(hash.size() >= 8 && hash.size() <= 16 &&
                    hash.find_first_not_of("0123456789abcdef") == std::string::npos)
            << percorso;
        EXPECT_EQ(resto.substr(barra + 1), fs::path(PercorsoXmlDaP7m(busta)).filename().string());
    }
    EXPECT_EQ(fs::path(a).parent_path() == fs::path(b).parent_path(), c.sameFolder)
        << a << " and " << b;
}

INSTANTIATE_TEST_SUITE_P(
    Envelopes, CachePathTest,
    testing::Values(CacheCase{"sameEnvelope", "/a/f.xml.p7m", "/a/f.xml.p7m", true},
                    CacheCase{"relativeAndAbsolute", "f.xml.p7m", "{cwd}/f.xml.p7m", true},
                    CacheCase{"dotSegments", "/a/./b/../f.xml.p7m", "/a/f.xml.p7m", true},
                    CacheCase{"sameNameOtherFolder", "/a/f.xml.p7m", "/b/f.xml.p7m", false},
                    CacheCase{"otherNameSameFolder", "/a/f.xml.p7m", "/a/g.xml.p7m", false},
                    CacheCase{"sameXmlNameOtherEnvelope", "/a/f.xml.p7m", "/a/f.xml.P7M", false},
                    CacheCase{"letterCase", "/a/f.xml.p7m", "/a/F.xml.p7m", false},
                    CacheCase{"bareExtension", "/a/.p7m", "/b/.p7m", false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
