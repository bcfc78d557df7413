#include "ansicodec.h"
#include "text.h"

#include <gtest/gtest.h>

using namespace ondivo;

namespace {

struct ConvCase {
    const char* name;
    std::string utf8;
    std::string ansi;
};

void PrintTo(const ConvCase& c, std::ostream* os) {
    *os << c.name;
}

class Utf8ToAnsiTest : public testing::TestWithParam<ConvCase> {};

TEST_P(Utf8ToAnsiTest, ConvertsOrSubstitutes) {
    EXPECT_EQ(Utf8ToAnsi(GetParam().utf8), GetParam().ansi);
    // In place, the text's own storage rewritten from its start.
    EXPECT_EQ(Utf8ToAnsi(std::string(GetParam().utf8)), GetParam().ansi);
    EXPECT_EQ(Utf8ToAnsi(GetParam().utf8 + GetParam().utf8 + "tail"),
              GetParam().ansi + GetParam().ansi + "tail");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8ToAnsiTest,
    testing::Values(ConvCase{"ascii", "Numero 12/A", "Numero 12/A"},
                    ConvCase{"latin1", "Perch\xC3\xA9 cos\xC3\xAC \xC3\x80",
                             "Perch\xE9 cos\xEC \xC0"},
                    ConvCase{"cp1252Specials", "\xE2\x82\xAC \xE2\x80\x9C\xC5\x92\xE2\x84\xA2",
                             "\x80 \x93\x8C\x99"},
                    ConvCase{"nearestLetter", "\xC4\x80\xC5\x82\xC5\xA3\xC4\x8D", "Altc"},
                    ConvCase{"fullWidth", "\xEF\xBC\xA1\xEF\xBC\x91", "A1"},
                    ConvCase{"noSubstitute", "\xE4\xB8\xAD\xD8\xAC", "??"},
                    ConvCase{"beyondBmpIsOneQuestionMark", "a\xF0\x9F\x8E\x82z", "a?z"},
                    ConvCase{"malformedBytes", "a\xC3z\xFF", "a?z?"},
                    ConvCase{"truncatedAtEnd", "a\xE2\x82", "a??"},
                    ConvCase{"undefinedCp1252Slot", "\xC2\x81", "\x81"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnsiCodec, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
    EXPECT_EQ(AnsiToUtf8("\x80\xE8"), "\xE2\x82\xAC\xC3\xA8");
}

struct BoxCase {
    const char* name;
    std::string message;
    std::string shown;
};

void PrintTo(const BoxCase& c, std::ostream* os) {
    *os << c.name;
}

class TestoBoxErroreTest : public testing::TestWithParam<BoxCase> {};

TEST_P(TestoBoxErroreTest, AppendsAFullStopAfterCharactersAboveIt) {
    EXPECT_EQ(TestoBoxErrore(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, TestoBoxErroreTest,
    testing::Values(
        BoxCase{"letter", "Element does not contain a single text node",
                "Element does not contain a single text node."},
        BoxCase{"fullStop", "Uneven size.", "Uneven size."},
        BoxCase{"exclamation", "Errore!", "Errore!"},
        BoxCase{"parenthesis", "OpenSSL errore (ExitCode=2)", "OpenSSL errore (ExitCode=2)"},
        BoxCase{"blank", "File non trovato: ", "File non trovato: "},
        BoxCase{"slash", "Errore nel caricamento XSL: /a/b/", "Errore nel caricamento XSL: /a/b/."},
        BoxCase{"accented", "perch\xC3\xA9", "perch\xC3\xA9."}, BoxCase{"empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct EscapeCase {
    const char* name;
    std::string text;
    std::string shown;
};

void PrintTo(const EscapeCase& c, std::ostream* os) {
    *os << c.name;
}

class ControlliVisibiliTest : public testing::TestWithParam<EscapeCase> {};

TEST_P(ControlliVisibiliTest, KeepsTheValueOnOneLine) {
    EXPECT_EQ(ControlliVisibili(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Values, ControlliVisibiliTest,
                         testing::Values(EscapeCase{"plain", "FT 7/2024 Caff\xC3\xA8 \xE2\x82\xAC",
                                                    "FT 7/2024 Caff\xC3\xA8 \xE2\x82\xAC"},
                                         EscapeCase{"forgedLine", "1\nNumero: 2", "1\\nNumero: 2"},
                                         EscapeCase{"joinedValues", "1\r\n2", "1\\r\\n2"},
                                         EscapeCase{"tab", "a\tb", "a\\tb"},
                                         EscapeCase{"otherC0AndDel",
                                                    std::string("\x01\x1b[2J\x7f\0", 7),
                                                    "\\x01\\x1b[2J\\x7f\\x00"},
                                         EscapeCase{"c1NextLine",
                                                    "a\xC2\x85"
                                                    "b\xC2\xA0",
                                                    "a\\u0085b\xC2\xA0"},
                                         EscapeCase{"unicodeSeparators",
                                                    "a\xE2\x80\xA8"
                                                    "b\xE2\x80\xA9"
                                                    "c\xE2\x80\xA6",
                                                    "a\\u2028b\\u2029c\xE2\x80\xA6"},
                                         EscapeCase{"backslashKept", "C:\\dir", "C:\\dir"},
                                         EscapeCase{"malformedKept", "a\xC2", "a\xC2"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UnisciValori, JoinsWithLineBreaksAndTrims) {
    EXPECT_EQ(UnisciValori({"a", "b"}), "a\r\nb");
    EXPECT_EQ(UnisciValori({"FPA12", ""}), "FPA12");
    EXPECT_EQ(UnisciValori({}), "");
    EXPECT_EQ(Trim(" \t\r\n\x01x y\x1F "), "x y");
}

} // namespace

// Amounts as written in the XML, as spreadsheets read them and as a reader expects them.
TEST(ImportoItaliano, CommaAlwaysGroupsOnlyForReaders) {
    const struct {
        const char* importo;
        const char* foglio;  // for a spreadsheet
        const char* lettore; // with groups of thousands
    } casi[] = {
        {"1513068.07", "1513068,07", "1.513.068,07"},
        {"-1234.5", "-1234,5", "-1.234,5"},
        {"+1000", "+1000", "+1.000"},
        {"999.00", "999,00", "999,00"},
        {"100000", "100000", "100.000"},
        {"0.12345678", "0,12345678", "0,12345678"},
        {"123456789012345.12345678", "123456789012345,12345678", "123.456.789.012.345,12345678"},
        {"", "", ""},
        {"-", "-", "-"},
        {"12.", "12,", "12,"},
        {".5", ",5", ",5"},
        {"1.2.3", "1,2.3", "1,2.3"},
        {"12 34", "12 34", "12 34"},
        {"abc", "abc", "abc"},
        {"1e5", "1e5", "1e5"},
    };
    for (const auto& c : casi) {
        EXPECT_EQ(ImportoItaliano(c.importo), c.foglio) << c.importo;
        EXPECT_EQ(ImportoItaliano(c.importo, true), c.lettore) << c.importo;
    }
}

TEST(DataItaliana, OnlyIsoDatesTurned) {
    EXPECT_EQ(DataItaliana("2024-03-14"), "14/03/2024");
    for (const char* altra : {"", "2024-3-14", "14/03/2024", "2024-03-14T10:00", "20240314x"})
        EXPECT_EQ(DataItaliana(altra), altra);
}

namespace ondivo::test {
namespace {

struct Utf8Case {
    const char* nome;
    std::string testo;
    bool valido;
    std::string sostituito;
};

class Utf8ValidoTest : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ValidoTest, TellsAndReplacesMalformedBytes) {
    EXPECT_EQ(Utf8Valido(GetParam().testo), GetParam().valido);
    EXPECT_EQ(Utf8Sostituito(GetParam().testo), GetParam().sostituito);
    EXPECT_TRUE(Utf8Valido(Utf8Sostituito(GetParam().testo)));
}

const std::string kFffd = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8ValidoTest,
    testing::Values(Utf8Case{"ascii", "fattura.xml", true, "fattura.xml"},
                    Utf8Case{"accents", "Caff\xC3\xA8 \xE2\x82\xAC \xF0\x9F\x98\x80", true,
                             "Caff\xC3\xA8 \xE2\x82\xAC \xF0\x9F\x98\x80"},
                    Utf8Case{"latin1Byte", "Caff\xE8.xml", false, "Caff" + kFffd + ".xml"},
                    Utf8Case{"strayContinuation", "a\x80" "b", false, "a" + kFffd + "b"},
                    Utf8Case{"overlongSlash", "\xC0\xAF", false, kFffd + kFffd},
                    Utf8Case{"overlongThree", "\xE0\x80\xAF", false, kFffd + kFffd + kFffd},
                    Utf8Case{"surrogate", "\xED\xA0\x80", false, kFffd + kFffd + kFffd},
                    Utf8Case{"beyondUnicode", "\xF4\x90\x80\x80", false,
                             kFffd + kFffd + kFffd + kFffd},
                    Utf8Case{"cutShort", "ab\xE2\x82", false, "ab" + kFffd + kFffd},
                    Utf8Case{"ffByte", "\xFF", false, kFffd}, Utf8Case{"empty", "", true, ""}),
    [](const auto& info) { return std::string(info.param.nome); });

} // namespace
} // namespace ondivo::test
