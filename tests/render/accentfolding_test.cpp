#include "accentfolding.h"
#include "ansicodec.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string_view>

using namespace ondivo;

namespace {

struct FoldCase {
    const char* name;
    std::string input; // UTF-8
    std::string expected;
};

void PrintTo(const FoldCase& c, std::ostream* os) {
    *os << c.name;
}

class PiegaAccentiTest : public testing::TestWithParam<FoldCase> {};

TEST_P(PiegaAccentiTest, FoldsTheThirteenCharacters) {
    EXPECT_EQ(PiegaAccenti(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PiegaAccentiTest,
    testing::Values(
        FoldCase{"acuteE", "Perch\xC3\xA9", "Perche'"}, FoldCase{"graveI", "cos\xC3\xAC", "cosi'"},
        FoldCase{"euroBeforeAmount", "\xE2\x82\xAC 1.234,50 (\xE2\x82\xAC)", "EU 1.234,50 (EU)"},
        FoldCase{"capitals", "\xC3\x80 \xC3\x88", "A' E'"},
        FoldCase{"allThirteenInOrder",
                 "\xC3\x80\xC3\xA0\xC3\x88\xC3\xA8\xC3\x89\xC3\xA9\xC3\x8C\xC3\xAC\xC3\x92\xC3\xB2"
                 "\xC3\x99\xC3\xB9\xE2\x82\xAC",
                 "A'a'E'e'E'e'I'i'O'o'U'u'EU"},
        FoldCase{"otherAccentsAlone",
                 "\xC3\x81\xC3\x8D\xC3\x93\xC3\x9A\xC3\xA1\xC3\xAD\xC3\xB3\xC3\xBA"
                 "\xC3\xA2\xC3\xB6\xC3\xA7",
                 "\xC3\x81\xC3\x8D\xC3\x93\xC3\x9A\xC3\xA1\xC3\xAD\xC3\xB3\xC3\xBA\xC3\xA2\xC3\xB6"
                 "\xC3\xA7"},
        FoldCase{"otherAccentsBesideAFoldedOne", "\xC3\x81 \xC3\xA8 \xC3\xBA",
                 "\xC3\x81 e' \xC3\xBA"},
        FoldCase{"chineseBesideAGrave", "\xC3\xA0\xE4\xB8\xAD", "a'?"},
        FoldCase{"chineseAloneUntouched", "<p>\xE4\xB8\xAD\xF0\x9F\x98\x80</p>",
                 "<p>\xE4\xB8\xAD\xF0\x9F\x98\x80</p>"},
        FoldCase{"nearestPlainLetter", "\xC3\xA8 \xC4\x81\xC5\x82", "e' al"},
        FoldCase{"malformedBytes", "\xC3\xA8\xFFz\xC3", "e'?z?"},
        FoldCase{"malformedAloneUntouched", "\xFFz\xC3", "\xFFz\xC3"},
        FoldCase{"markupKept", "<p class=\"q\">Qualit\xC3\xA0 &amp; &#8364;</p>",
                 "<p class=\"q\">Qualita' &amp; &#8364;</p>"},
        FoldCase{"asciiUntouched", "<html><body>Numero 12/A</body></html>",
                 "<html><body>Numero 12/A</body></html>"},
        FoldCase{"empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The folding done literally and slowly: for each row in order, when its character occurs, the
// whole text through the code page, the byte replaced, and back.
std::string piegaRigaPerRiga(std::string testo) {
    static constexpr std::array<std::pair<char32_t, std::string_view>, 13> righe = {{
        {0xC0, "A'"},
        {0xE0, "a'"},
        {0xC8, "E'"},
        {0xE8, "e'"},
        {0xC9, "E'"},
        {0xE9, "e'"},
        {0xCC, "I'"},
        {0xEC, "i'"},
        {0xD2, "O'"},
        {0xF2, "o'"},
        {0xD9, "U'"},
        {0xF9, "u'"},
        {0x20AC, "EU"},
    }};
    for (const auto& [carattere, coppia] : righe) {
        std::string cercato;
        AppendUtf8(cercato, carattere);
        if (testo.find(cercato) == std::string::npos)
            continue;
        const char byte = static_cast<char>(AnsiByteFor(carattere));
        std::string ansi;
        for (char c : Utf8ToAnsi(testo)) {
            if (c == byte)
                ansi += coppia;
            else
                ansi += c;
        }
        testo = AnsiToUtf8(ansi);
    }
    return testo;
}

TEST(PiegaAccenti, AgreesWithTheRowByRowFoldingOnRandomTexts) {
    // Pieces chosen to straddle the 8-byte blocks of the fast path at every offset.
    const std::array<std::string_view, 24> pezzi = {
        "a",        "<td>",         "1234567",  "\xC3\xA0", "\xC3\x80",     "\xC3\xA9",
        "\xC3\x89", "\xC3\xB9",     "\xC3\x99", "\xC3\xAC", "\xE2\x82\xAC", "\xC3\xA1",
        "\xC3\xBF", "\xC2\xA0",     "\xC2\x80", "\xC2\x90", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
        "\xC4\x81", "\xE2\x80\x99", "\xFF",     "\xC3",     "\xE2\x82",     "\x80",
    };
    std::mt19937 caso(20240601);
    std::uniform_int_distribution<std::size_t> quale(0, pezzi.size() - 1);
    std::uniform_int_distribution<int> lunghezza(0, 60);
    for (int prova = 0; prova < 3000; ++prova) {
        std::string testo;
        for (int k = lunghezza(caso); k > 0; --k)
            testo += pezzi[quale(caso)];
        ASSERT_EQ(PiegaAccenti(testo), piegaRigaPerRiga(testo))
            << "text: " << testing::PrintToString(testo);
    }
}

} // namespace
