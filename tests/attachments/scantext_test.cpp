#include "allegati.h"
#include "scantext.h"
#include "tagscanner.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <random>

using namespace ondivo;
using ondivo::test::TempDir;

namespace {

using namespace std::string_literals;

struct BreakCase {
    const char* name;
    std::string testo;
    std::string crLf;
};

void PrintTo(const BreakCase& c, std::ostream* os) {
    *os << c.name;
}

class ConInterruzioniCrLfTest : public testing::TestWithParam<BreakCase> {};

TEST_P(ConInterruzioniCrLfTest, WritesEveryBreakAsCrLf) {
    EXPECT_EQ(ConInterruzioniCrLf(GetParam().testo), GetParam().crLf);
}

INSTANTIATE_TEST_SUITE_P(Texts, ConInterruzioniCrLfTest,
                         testing::Values(BreakCase{"empty", "", ""},
                                         BreakCase{"noBreak", "QUJD", "QUJD"},
                                         BreakCase{"lineFeed", "a\nb", "a\r\nb"},
                                         BreakCase{"carriageReturn", "a\rb", "a\r\nb"},
                                         BreakCase{"crLfUnchanged", "a\r\nb", "a\r\nb"},
                                         BreakCase{"lfCrIsTwoBreaks", "a\n\rb", "a\r\n\r\nb"},
                                         BreakCase{"crCrLfIsTwoBreaks", "a\r\r\nb", "a\r\n\r\nb"},
                                         BreakCase{"breaksOnly", "\n\n", "\r\n\r\n"},
                                         BreakCase{"highBytesStay", "\xE8\n\xFF", "\xE8\r\n\xFF"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FinoAlPrimoZero, CutsAtTheFirstZeroByte) {
    EXPECT_EQ(FinoAlPrimoZero("a\nb\0c\0"s), "a\nb");
    EXPECT_EQ(FinoAlPrimoZero("\0abc"s), "");
    EXPECT_EQ(FinoAlPrimoZero("abc"), "abc");
}

// The scan text built literally, line by line, as a string list would: cut at the first zero
// byte, each line followed by CR LF.
std::string testoScansione(const std::string& file) {
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

// The records the block search gives over that literal scan text.
std::vector<std::pair<std::string, std::string>> cercaNelTestoScansione(const std::string& file) {
    const std::string testo = testoScansione(file);
    std::vector<std::pair<std::string, std::string>> trovati;
    std::size_t pos = 1;
    for (;;) {
        const std::string_view blocco = EstraiBlocco(testo, "Allegati", pos);
        if (blocco.empty())
            return trovati;
        const std::string nome(ValoreTag(blocco, "NomeAttachment"));
        const std::string dati(ValoreTag(blocco, "Attachment"));
        if (!nome.empty() && !dati.empty())
            trovati.emplace_back(nome, dati);
    }
}

TEST(ScanText, RecordsAreThoseOfTheLiteralScanText) {
    const std::string pezzi[] = {"<Allegati>",
                                 "</Allegati>",
                                 "<NomeAttachment>",
                                 "</NomeAttachment>",
                                 "<Attachment>",
                                 "</Attachment>",
                                 "QUJD",
                                 "a.pdf",
                                 " ",
                                 "\r",
                                 "\n",
                                 "\r\n",
                                 "\n\r",
                                 "\t"};
    std::mt19937 gen(17);
    TempDir dir;
    for (int prova = 0; prova < 3000; ++prova) {
        std::string file;
        const int n = static_cast<int>(gen() % 30);
        for (int k = 0; k < n; ++k)
            file += pezzi[gen() % std::size(pezzi)];
        if (prova % 5 == 0)
            file.insert(gen() % (file.size() + 1), 1, '\0');
        ListaAllegati lista;
        LeggiAllegati(dir.write("f.xml", file), lista);
        std::vector<std::pair<std::string, std::string>> trovati;
        for (const auto& voce : lista)
            trovati.emplace_back(voce->NomeFile, voce->DatiBase64);
        ASSERT_EQ(trovati, cercaNelTestoScansione(file)) << testing::PrintToString(file);
    }
}

} // namespace
