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

// ---------------------------------------------------------------------------------------------
// PEM: the labels envelopes are written under, and what is not one of them.

struct PemCase {
    const char* name;
    std::string text;
    std::optional<std::string> bytes; // nullopt: not an envelope in PEM
};

void PrintTo(const PemCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodificaPemTest : public testing::TestWithParam<PemCase> {};

TEST_P(DecodificaPemTest, DecodesOrRefuses) {
    EXPECT_EQ(DecodificaPem(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecodificaPemTest,
    testing::Values(
        PemCase{"pkcs7", "-----BEGIN PKCS7-----\nTWFu\n-----END PKCS7-----\n", "Man"},
        PemCase{"cms", "-----BEGIN CMS-----\nTWFu\n-----END CMS-----\n", "Man"},
        PemCase{"signedData",
                "-----BEGIN PKCS #7 SIGNED DATA-----\nTWFu\n-----END PKCS #7 SIGNED DATA-----",
                "Man"},
        PemCase{"crLfAndWrapped",
                "-----BEGIN CMS-----\r\nTW\r\nFu\r\nTQ==\r\n-----END CMS-----\r\n", "ManM"},
        PemCase{"blanksBefore", " \r\n\t-----BEGIN PKCS7-----\nTWFu\n-----END PKCS7-----", "Man"},
        PemCase{"textAfterTheEnd", "-----BEGIN CMS-----\nTWFu\n-----END CMS-----\nfirma di prova\n",
                "Man"},
        PemCase{"otherEndLabel", "-----BEGIN PKCS7-----\nTWFu\n-----END CMS-----\n", std::nullopt},
        PemCase{"noEnd", "-----BEGIN PKCS7-----\nTWFu\n", std::nullopt},
        PemCase{"emptyBody", "-----BEGIN PKCS7-----\n-----END PKCS7-----\n", std::nullopt},
        PemCase{"headersInTheBody",
                "-----BEGIN PKCS7-----\nProc-Type: 4,ENCRYPTED\n\nTWFu\n-----END PKCS7-----\n",
                std::nullopt},
        PemCase{"certificate", "-----BEGIN CERTIFICATE-----\nTWFu\n-----END CERTIFICATE-----\n",
                std::nullopt},
        PemCase{"smallLetters", "-----begin pkcs7-----\nTWFu\n-----end pkcs7-----\n", std::nullopt},
        PemCase{"textBefore", "firma\n-----BEGIN PKCS7-----\nTWFu\n-----END PKCS7-----\n",
                std::nullopt},
        PemCase{"plainBase64", "TWFu", std::nullopt}, PemCase{"empty", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// What openssl writes as PEM, under either of its labels, decodes to the envelope in DER.
TEST(DecodificaPem, ReadsWhatOpensslWrites) {
    TempDir dir;
    const auto payload = dir.write("payload", "<a>contenuto</a>");
    const auto der = Firmatario::get().firma(payload);
    const auto derFile = dir.write("envelope.der", der);
    for (const std::string comando : {"cms", "pkcs7"}) {
        const auto pem = (dir.path() / (comando + ".pem")).string();
        std::vector<std::string> argomenti = {ONDIVO_OPENSSL, comando, "-inform", "DER",
                                              "-outform",     "PEM",   "-in",     derFile,
                                              "-out",         pem};
        if (comando == "cms")
            argomenti.insert(argomenti.begin() + 2, "-cmsout");
        ASSERT_TRUE(Esegui(argomenti)) << comando;
        const auto decodificato = DecodificaPem(LeggiFile(pem));
        ASSERT_TRUE(decodificato.has_value()) << LeggiFile(pem).substr(0, 40);
        EXPECT_TRUE(*decodificato == der) << comando;
    }
}

} // namespace
