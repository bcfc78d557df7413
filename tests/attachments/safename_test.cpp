#include "safename.h"

#include <gtest/gtest.h>

using namespace ondivo;

namespace {

struct NameCase {
    const char* name;
    std::string nome;
    std::string sicuro;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class NomeFileSicuroTest : public testing::TestWithParam<NameCase> {};

TEST_P(NomeFileSicuroTest, LeavesAPlainNameInsideTheFolder) {
    EXPECT_EQ(NomeFileSicuro(GetParam().nome), GetParam().sicuro);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Names, NomeFileSicuroTest,
    testing::Values(
        NameCase{"ordinary", "Fattura 12-A (copia).pdf", "Fattura 12-A (copia).pdf"},
        NameCase{"accented", "perch\xC3\xA9.pdf", "perch\xC3\xA9.pdf"},
        NameCase{"dotsInside", "a..b.pdf", "a..b.pdf"}, NameCase{"hidden", ".profile", ".profile"},
        NameCase{"entityReference", "a&amp;b.pdf", "a&amp;b.pdf"},
        NameCase{"parentFolders", "../../x", "x"}, NameCase{"absolute", "/etc/x", "x"},
        NameCase{"parentsInside", "a/../../b", "b"}, NameCase{"drive", "C:\\x", "x"},
        NameCase{"driveRelative", "C:x", "x"}, NameCase{"backslashParents", "..\\..\\x", "x"},
        NameCase{"uncPath", "\\\\server\\share\\x.pdf", "x.pdf"},
        NameCase{"trailingSeparator", "x/", "allegato"}, NameCase{"parentOnly", "..", "allegato"},
        NameCase{"current", ".", "allegato"}, NameCase{"dotsOnly", "....", "allegato"},
        NameCase{"parentBehindFolder", "a/..", "allegato"}, NameCase{"driveOnly", "D:", "allegato"},
        NameCase{"empty", "", "allegato"}, NameCase{"newline", "a\nb.pdf", "a_b.pdf"},
        NameCase{"zeroByte", "a\0b"s, "a_b"}, NameCase{"delete", "a\x7F", "a_"},
        NameCase{"controlOnly", "\t", "_"},
        NameCase{"rightToLeftOverride", "fattura\u202Efdp.sh", "fattura_fdp.sh"},
        NameCase{"everyInvisibleRange", "a\u200B\u200F\u202A\u202E\u2066\u2069\uFEFFb",
                 "a_______b"},
        NameCase{"neighboursOfTheRangesKept", "\u200A\u2010\u2029\u202F\u2065\u206A",
                 "\u200A\u2010\u2029\u202F\u2065\u206A"},
        NameCase{"truncatedSequenceKept", "a\xE2\x80", "a\xE2\x80"},
        NameCase{"tooLongKeepsItsExtension", std::string(300, 'n') + ".pdf",
                 std::string(251, 'n') + ".pdf"},
        NameCase{"tooLongNeverCutsACharacter",
                 std::string(1, 'x') +
                     [] {
                         std::string e;
                         for (int i = 0; i < 150; ++i)
                             e += "\xC3\xA8";
                         return e;
                     }(),
                 std::string(1, 'x') +
                     [] {
                         std::string e;
                         for (int i = 0; i < 127; ++i)
                             e += "\xC3\xA8";
                         return e;
                     }()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NomeNumerato, PutsTheNumberBeforeTheExtension) {
    const std::pair<std::string, std::string> casi[] = {
        {"doppio.pdf", "doppio (2).pdf"}, {"archivio.tar.gz", "archivio.tar (2).gz"},
        {"senza", "senza (2)"},           {".profile", ".profile (2)"},
        {"allegato", "allegato (2)"},
    };
    for (const auto& [nome, atteso] : casi)
        EXPECT_EQ(NomeNumerato(nome, 2), atteso) << nome;
    EXPECT_EQ(NomeNumerato("a.pdf", 10), "a (10).pdf");
    const std::string lungo = NomeNumerato(std::string(251, 'n') + ".pdf", 2);
    EXPECT_EQ(lungo, std::string(247, 'n') + " (2).pdf");
    EXPECT_LE(lungo.size(), 255u);
}

TEST(PercorsoAllegato, JoinsWithOneSeparator) {
    EXPECT_EQ(PercorsoAllegato("/tmp/ALLEGATI", "a.pdf"), "/tmp/ALLEGATI/a.pdf");
    EXPECT_EQ(PercorsoAllegato("/tmp/ALLEGATI/", "../a.pdf"), "/tmp/ALLEGATI/a.pdf");
    EXPECT_EQ(PercorsoAllegato("", "/etc/passwd"), "passwd");
}

} // namespace
