#include "base64text.h"
#include "envelopefixture.h"

#include <gtest/gtest.h>

using namespace ondivo;
using namespace ondivo::test;

namespace {

struct TextCase {
    const char* name;
    std::string text;
    std::optional<std::string> bytes; // nullopt: not Base64 text
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodificaTestoBase64Test : public testing::TestWithParam<TextCase> {};

TEST_P(DecodificaTestoBase64Test, DecodesOrRefuses) {
    EXPECT_EQ(DecodificaTestoBase64(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecodificaTestoBase64Test,
    testing::Values(
        TextCase{"plain", "TWFu", "Man"}, TextCase{"onePad", "TWE=", "Ma"},
        TextCase{"twoPads", "TQ==", "M"}, TextCase{"unpaddedTwo", "TWE", "Ma"},
        TextCase{"unpaddedOne", "TQ", "M"},
        TextCase{"highBytes", "/+8A", std::string("\xFF\xEF\x00", 3)},
        TextCase{"blanksEverywhere", " T W\r\nF\tu\f\v\n", "Man"},
        TextCase{"crLfBetweenPads", "TQ=\r\n=\r\n", "M"}, TextCase{"spareBitsIgnored", "TR==", "M"},
        TextCase{"empty", "", std::nullopt}, TextCase{"onlyBlanks", " \r\n\t", std::nullopt},
        TextCase{"onlyPads", "====", std::nullopt}, TextCase{"loneDigit", "TWFuT", std::nullopt},
        TextCase{"threePads", "TQ===", std::nullopt}, TextCase{"padTooShort", "TQ=", std::nullopt},
        TextCase{"padTooLong", "TWE==", std::nullopt},
        TextCase{"padInTheMiddle", "TQ==TWFu", std::nullopt},
        TextCase{"urlSafeAlphabet", "-_8A", std::nullopt},
        TextCase{"pemHeader", "-----BEGIN PKCS7-----\nMAMCAQE=\n", std::nullopt},
        TextCase{"nulByte", std::string("TW\0Fu", 5), std::nullopt},
        TextCase{"highByte", "TWFu\xC3\xA8", std::nullopt},
        TextCase{"der", std::string("\x30\x82\x01\x00", 4), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever openssl writes as Base64, one line or wrapped, decodes back to the same bytes.
TEST(DecodificaTestoBase64, ReadsWhatOpensslWrites) {
    TempDir dir;
    std::string dati;
    std::uint32_t x = 7;
    for (std::size_t lunghezza : {1u, 2u, 3u, 4u, 57u, 58u, 1000u, 100'001u}) {
        while (dati.size() < lunghezza) {
            x = x * 1664525u + 1013904223u;
            dati += static_cast<char>(x >> 24);
        }
        dati.resize(lunghezza);
        const auto in = dir.write("in", dati);
        for (const bool unaRiga : {false, true}) {
            const auto out = (dir.path() / "out").string();
            std::vector<std::string> argomenti = {ONDIVO_OPENSSL, "base64", "-in", in, "-out", out};
            if (unaRiga)
                argomenti.push_back("-A");
            ASSERT_TRUE(Esegui(argomenti));
            const auto decodificato = DecodificaTestoBase64(LeggiFile(out));
            ASSERT_TRUE(decodificato.has_value()) << lunghezza << " bytes";
            EXPECT_TRUE(*decodificato == dati) << lunghezza << " bytes, one line: " << unaRiga;
        }
    }
}

} // namespace
