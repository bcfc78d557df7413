#include "base64.h"
#include "files.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

using namespace ondivo;
using ondivo::test::TempDir;

namespace {

std::string casuali(std::size_t n, unsigned seme) {
    std::mt19937 gen(seme);
    std::string byte(n, '\0');
    for (auto& b : byte)
        b = static_cast<char>(gen());
    return byte;
}

struct DecodeCase {
    const char* name;
    std::string testo;
    std::string byte;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, DecodesEachGroupOnItsOwn) {
    EXPECT_EQ(DecodeBase64Text(GetParam().testo), GetParam().byte);
    EXPECT_EQ(DimensioneBase64Text(GetParam().testo), GetParam().byte.size());
}

// Expected bytes of texts outside the alphabet worked out by hand: every such character
// counts 255, whose two extra bits spill into the digit to its left.
INSTANTIATE_TEST_SUITE_P(
    Texts, DecodeTest,
    testing::Values(
        DecodeCase{"empty", "", ""}, DecodeCase{"rfcOneByte", "Zg==", "f"},
        DecodeCase{"rfcTwoBytes", "Zm8=", "fo"}, DecodeCase{"rfcThreeBytes", "Zm9v", "foo"},
        DecodeCase{"rfcFourBytes", "Zm9vYg==", "foob"},
        DecodeCase{"rfcFiveBytes", "Zm9vYmE=", "fooba"},
        DecodeCase{"rfcSixBytes", "Zm9vYmFy", "foobar"},
        DecodeCase{"alphabetEnds", "+/8=", "\xFB\xFF"},
        DecodeCase{"zeroBytes", "AAAA", std::string(3, '\0')},
        DecodeCase{"padsDoNotEndDecoding", "QQ==QQ==", "AA"},
        DecodeCase{"padInThirdPlaceIgnoresFourth", "QQ=A", "A"},
        DecodeCase{"fourPads", "====", "\xFF"},
        DecodeCase{"padsInFirstPlacesCountAsOutside", "=QQQ", "\xFD\x04\x10"},
        DecodeCase{"lineBreakInsideGroup", "Q\r\n=", "\x4F\xFF"},
        DecodeCase{"zeroCharacter", std::string("\0AAA", 4), std::string("\xFC\0\0", 3)},
        DecodeCase{"highCharacters", "\xC3\xA9QQ", "\xFF\xF4\x10"},
        DecodeCase{"highCharactersWithPads", "\x80\xFF==", "\xFF"},
        DecodeCase{"urlSafeCharactersAreOutside", "-_AA", std::string("\xFF\xF0\0", 3)}),
    [](const auto& info) { return std::string(info.param.name); });

class UnevenDecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(UnevenDecodeTest, FailsAndWritesNothing) {
    std::string destinazione = "before";
    try {
        TDecodificatoreMIME().DecodeToStream(GetParam().testo, destinazione);
        FAIL() << "no error";
    } catch (const EErroreCodifica& e) {
        EXPECT_STREQ(e.what(), "Uneven size in DecodeToStream.");
    }
    EXPECT_EQ(destinazione, "before");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UnevenDecodeTest,
    testing::Values(DecodeCase{"one", "Q", ""}, DecodeCase{"two", "QQ", ""},
                    DecodeCase{"threeWithPad", "QQ=", ""}, DecodeCase{"five", "QUJDR", ""},
                    DecodeCase{"trailingLineBreak", "QUJD\r\n", ""},
                    DecodeCase{"wrappedAt76", std::string(76, 'A') + "\r\nAAAA", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Group by group, written straight from the rules: 255 for every character outside the
// alphabet, whole table bytes ORed, one, two or three bytes by where the pads stand.
std::string decodificaLetterale(std::string_view testo) {
    constexpr std::string_view alfabeto =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto valore = [&](char c) -> std::uint32_t {
        const auto k = alfabeto.find(c);
        return k == std::string_view::npos ? 255 : static_cast<std::uint32_t>(k);
    };
    std::string byte;
    for (std::size_t g = 0; g < testo.size(); g += 4) {
        const std::uint32_t v = (valore(testo[g]) << 18) | (valore(testo[g + 1]) << 12) |
                                (valore(testo[g + 2]) << 6) | valore(testo[g + 3]);
        const char tre[3] = {static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                             static_cast<char>(v)};
        byte.append(tre, testo[g + 2] == '=' ? 1 : testo[g + 3] == '=' ? 2 : 3);
    }
    return byte;
}

// Long runs of alphabet characters take a faster path 32 characters at a time; a pad or any
// other byte at any place of a block must decode as it does in a short text.
TEST(DecodeToStream, OneOddCharacterAnywhereInALongTextDecodesByTheRules) {
    const std::string byte = casuali(120, 11);
    std::string_view sorgente = byte;
    const std::string testo = TCodificatoreMIME().Encode(sorgente); // 160 characters
    ASSERT_EQ(DecodeBase64Text(testo), byte);
    for (const char strano : {'=', '\0', '-', '_', '\r', ' ', '\x80', '\xFF', '@', '['}) {
        for (std::size_t p = 0; p < testo.size(); ++p) {
            std::string alterato = testo;
            alterato[p] = strano;
            ASSERT_EQ(DecodeBase64Text(alterato), decodificaLetterale(alterato))
                << "character " << int(static_cast<unsigned char>(strano)) << " at " << p;
        }
    }
}

TEST(DecodeToStream, RoundTripsEveryLengthAcrossBlocks) {
    const std::string byte = casuali(300, 12);
    for (std::size_t n = 0; n <= byte.size(); ++n) {
        std::string_view sorgente(byte.data(), n);
        const std::string testo = TCodificatoreMIME().Encode(sorgente);
        std::string destinazione = "xy";
        TDecodificatoreMIME().DecodeToStream(testo, destinazione);
        ASSERT_EQ(destinazione, "xy" + byte.substr(0, n)) << n << " bytes";
    }
}

TEST(DecodeToStream, AppendsBehindWhatTheDestinationHolds) {
    std::string destinazione = "xy";
    TDecodificatoreMIME().DecodeToStream("QUJD", destinazione);
    EXPECT_EQ(destinazione, "xyABC");
}

TEST(DecodeBase64Text, WrappedTextOfEvenLengthDecodesWrongPastTheBreak) {
    // One full line of 76 characters, CR LF, and two more: 80 characters pass the length test.
    const std::string byte = casuali(58, 7);
    std::string_view sorgente = byte;
    const std::string testo = TCodificatoreMIME().Encode(sorgente);
    ASSERT_EQ(testo.size(), 80u);
    const std::string avvolto = testo.substr(0, 76) + "\r\n" + testo.substr(76, 2);
    const std::string decodificato = DecodeBase64Text(avvolto);
    ASSERT_EQ(decodificato.size(), 60u);
    EXPECT_EQ(decodificato.substr(0, 57), byte.substr(0, 57));
    EXPECT_NE(decodificato.substr(57), byte.substr(57));
}

struct EncodeCase {
    const char* name;
    std::string byte;
    std::string testo;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.name;
}

class EncodeTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeTest, MatchesTheStandardsVectors) {
    std::string_view sorgente = GetParam().byte;
    EXPECT_EQ(TCodificatoreMIME().Encode(sorgente), GetParam().testo);
    EXPECT_TRUE(sorgente.empty());
}

INSTANTIATE_TEST_SUITE_P(Vectors, EncodeTest,
                         testing::Values(EncodeCase{"empty", "", ""}, EncodeCase{"f", "f", "Zg=="},
                                         EncodeCase{"fo", "fo", "Zm8="},
                                         EncodeCase{"foo", "foo", "Zm9v"},
                                         EncodeCase{"foob", "foob", "Zm9vYg=="},
                                         EncodeCase{"fooba", "fooba", "Zm9vYmE="},
                                         EncodeCase{"foobar", "foobar", "Zm9vYmFy"},
                                         EncodeCase{"alphabetEnds", "\xFB\xFF", "+/8="},
                                         EncodeCase{"zeroByte", std::string(1, '\0'), "AA=="}),
                         [](const auto& info) { return std::string(info.param.name); });

struct CountCase {
    const char* name;
    std::string byte;
    std::int32_t conteggio;
    std::string testo;
    std::string restanti;
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.name;
}

class EncodeCountTest : public testing::TestWithParam<CountCase> {};

TEST_P(EncodeCountTest, ReadsAtMostTheCountAndAdvances) {
    std::string_view sorgente = GetParam().byte;
    EXPECT_EQ(TCodificatoreMIME().Encode(sorgente, GetParam().conteggio), GetParam().testo);
    EXPECT_EQ(sorgente, GetParam().restanti);
}

INSTANTIATE_TEST_SUITE_P(Counts, EncodeCountTest,
                         testing::Values(CountCase{"partOfTheSource", "foobar", 3, "Zm9v", "bar"},
                                         CountCase{"beyondTheEnd", "foo", 6, "Zm9v", ""},
                                         CountCase{"zero", "foo", 0, "", "foo"},
                                         CountCase{"wholeStream", "foob", TuttoIlFlusso,
                                                   "Zm9vYg==", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Encode, CountNotAMultipleOfThreeFailsAndReadsNothing) {
    std::string_view sorgente = "foobar";
    try {
        TCodificatoreMIME().Encode(sorgente, 4);
        FAIL() << "no error";
    } catch (const EErroreCodifica& e) {
        EXPECT_STREQ(e.what(), "Uneven size in Encode.");
    }
    EXPECT_EQ(sorgente, "foobar");
}

TEST(FileToBase64, MissingFileOrFolderGivesTheMessage) {
    TempDir dir;
    for (const std::string& percorso : {(dir.path() / "none.bin").string(), dir.path().string()}) {
        std::string testo = "stale", messaggio;
        EXPECT_FALSE(FileToBase64(percorso, testo, messaggio));
        EXPECT_EQ(testo, "");
        EXPECT_EQ(messaggio, "Errore: " + percorso + " non trovato!");
    }
}

TEST(FileToBase64, FileThatCannotBeReadRaisesTheStreamError) {
    // Reading /proc/self/mem at offset 0 fails even for root.
    std::string testo, messaggio;
    try {
        FileToBase64("/proc/self/mem", testo, messaggio);
        FAIL() << "no error";
    } catch (const platform::EFileStreamError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"/proc/self/mem\". " + ondivo::platform::MotivoErrore(EIO));
    }
}

} // namespace
