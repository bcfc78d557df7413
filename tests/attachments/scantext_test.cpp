#include "filestreams.h"
#include "scantext.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

using namespace ondivo;
using ondivo::test::TempDir;

namespace {

struct ScanCase {
    const char* name;
    std::string file;
    std::string testo;
};

void PrintTo(const ScanCase& c, std::ostream* os) {
    *os << c.name;
}

class ScanTextTest : public testing::TestWithParam<ScanCase> {};

TEST_P(ScanTextTest, WritesEveryBreakAsCrLf) {
    std::string testo = GetParam().file;
    NormalizzaTestoScansione(testo);
    EXPECT_EQ(testo, GetParam().testo);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Files, ScanTextTest,
    testing::Values(ScanCase{"empty", "", ""}, ScanCase{"noBreakGetsOne", "a", "a\r\n"},
                    ScanCase{"lineFeed", "a\nb\n", "a\r\nb\r\n"},
                    ScanCase{"carriageReturn", "a\rb\r", "a\r\nb\r\n"},
                    ScanCase{"crLfUnchanged", "a\r\nb\r\n", "a\r\nb\r\n"},
                    ScanCase{"lfCrIsTwoBreaks", "a\n\rb", "a\r\n\r\nb\r\n"},
                    ScanCase{"crCrLfIsTwoBreaks", "a\r\r\nb", "a\r\n\r\nb\r\n"},
                    ScanCase{"emptyLines", "\n\n", "\r\n\r\n"},
                    ScanCase{"onlyCarriageReturn", "\r", "\r\n"},
                    ScanCase{"zeroByteEndsText", "a\nb\0c\nd"s, "a\r\nb\r\n"},
                    ScanCase{"zeroByteFirst", "\0abc"s, ""},
                    ScanCase{"zeroByteAfterBreak", "a\n\0b"s, "a\r\n"},
                    ScanCase{"byteOrderMarkStays", "\xEF\xBB\xBF<a/>\n", "\xEF\xBB\xBF<a/>\r\n"},
                    ScanCase{"highBytesStay", "\xE8\x80\xFF", "\xE8\x80\xFF\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// The text built line by line, appending, as a string list would.
std::string perRighe(const std::string& file) {
    std::string testo, riga;
    const std::size_t fine = std::min(file.find('\0'), file.size());
    bool aperta = false;
    for (std::size_t i = 0; i < fine; ++i) {
        const char c = file[i];
        if (c == '\r' || c == '\n') {
            testo += riga + "\r\n";
            riga.clear();
            aperta = false;
            if (c == '\r' && i + 1 < fine && file[i + 1] == '\n')
                ++i;
        } else {
            riga += c;
            aperta = true;
        }
    }
    if (aperta)
        testo += riga + "\r\n";
    return testo;
}

TEST(ScanText, AgreesWithALineByLineRebuildOnRandomBreaks) {
    std::mt19937 gen(11);
    const char alfabeto[] = {'a', 'b', '\r', '\n', '\r', '\n', '\0'};
    for (int prova = 0; prova < 2000; ++prova) {
        std::string file(gen() % 40, ' ');
        for (auto& c : file)
            c = alfabeto[gen() % (prova % 3 == 0 ? 7 : 6)];
        std::string testo = file;
        NormalizzaTestoScansione(testo);
        ASSERT_EQ(testo, perRighe(file)) << testing::PrintToString(file);
    }
}

TEST(ScanText, ReadsFilesThatReportNoSize) {
    const std::string testo = LeggiTestoScansione("/proc/self/status");
    EXPECT_EQ(testo.rfind("Name:\t", 0), 0u);
    EXPECT_EQ(testo.substr(testo.size() - 2), "\r\n");
    const auto righe = std::count(testo.begin(), testo.end(), '\n');
    EXPECT_GT(righe, 1);
    EXPECT_EQ(std::count(testo.begin(), testo.end(), '\r'), righe);
}

TEST(ScanText, LargeFileIsReadWhole) {
    TempDir dir;
    std::string file(5'000'000, 'A');
    for (std::size_t i = 99; i < file.size(); i += 100)
        file[i] = '\n';
    const std::string testo = LeggiTestoScansione(dir.write("big.xml", file));
    EXPECT_EQ(testo.size(), file.size() + file.size() / 100);
    EXPECT_EQ(testo, perRighe(file));
}

TEST(ScanText, MissingFileRaisesWithTheFullPath) {
    const auto completo = (std::filesystem::current_path() / "no-such-invoice.xml").string();
    try {
        LeggiTestoScansione("no-such-invoice.xml");
        FAIL() << "no error";
    } catch (const EFileStreamError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + completo + "\". " + std::strerror(ENOENT));
    }
}

TEST(ScanText, FolderRaisesTheReadError) {
    TempDir dir;
    try {
        LeggiTestoScansione(dir.path().string());
        FAIL() << "no error";
    } catch (const EFileStreamError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + dir.path().string() + "\". " + std::strerror(EISDIR));
    }
}

} // namespace
