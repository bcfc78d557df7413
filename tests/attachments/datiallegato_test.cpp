#include "datiallegato.h"

#include <gtest/gtest.h>

using namespace ondivo;

namespace {

TEST(DatiDaDecodificare, SkipsXmlWhiteSpaceWhereverItStands) {
    // Every place of a text longer than the eight bytes looked at together, and every kind of
    // white space, so a blank missed at a word's edge shows.
    const std::string base(41, 'Q');
    for (const char spazio : {' ', '\t', '\r', '\n'}) {
        for (std::size_t i = 0; i <= base.size(); ++i) {
            std::string testo = base;
            testo.insert(i, 1, spazio);
            std::string copia;
            EXPECT_EQ(DatiDaDecodificare(testo, copia), base) << int(spazio) << " at " << i;
        }
    }
}

TEST(DatiDaDecodificare, KeepsEveryOtherCharacterForTheDecoder) {
    const std::pair<std::string, std::string> casi[] = {
        {"QUJD", "QUJD"},
        {"QU\x01"
         "D",
         "QU\x01"
         "D"},                                  // a control character is not XML white space
        {"Q\xC3\xA8JD\x7F", "Q\xC3\xA8JD\x7F"}, // bytes above 127 never pass for blanks
        {"data:application/pdf;base64,QU JD", "QUJD"},
        {"x;BaSe64,\r\nQUJD", "QUJD"},
        {"QUJD,base64,REVG", "REVG"},
        {"", ""},
    };
    for (const auto& [testo, atteso] : casi) {
        std::string copia;
        EXPECT_EQ(DatiDaDecodificare(testo, copia), atteso) << testo;
    }
}

} // namespace
