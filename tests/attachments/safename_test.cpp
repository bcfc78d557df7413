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
        NameCase{"controlOnly", "\t", "_"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PercorsoAllegato, JoinsWithOneSeparator) {
    EXPECT_EQ(PercorsoAllegato("/tmp/ALLEGATI", "a.pdf"), "/tmp/ALLEGATI/a.pdf");
    EXPECT_EQ(PercorsoAllegato("/tmp/ALLEGATI/", "../a.pdf"), "/tmp/ALLEGATI/a.pdf");
    EXPECT_EQ(PercorsoAllegato("", "/etc/passwd"), "passwd");
}

} // namespace
