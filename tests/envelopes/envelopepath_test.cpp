#include "envelopepath.h"

#include <gtest/gtest.h>

using namespace ondivo;

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
                    PathCase{"hiddenName", "/a/.p7m", "/a/", true},
                    PathCase{"p7mThenXml", "/a/fattura.p7m.xml", "/a/fattura.p7m", false},
                    PathCase{"longerExtension", "/a/fattura.p7mx", "/a/fattura", false},
                    PathCase{"trailingBlank", "/a/fattura.p7m ", "/a/fattura", false},
                    PathCase{"trailingDot", "/a/fattura.", "/a/fattura", false},
                    PathCase{"dotInFolderOnly", "/a.p7m/fattura", "/a.p7m/fattura", false},
                    PathCase{"noDot", "fattura", "fattura", false},
                    PathCase{"backslashIsPartOfTheName", "a.b\\c", "a", false},
                    PathCase{"empty", "", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
