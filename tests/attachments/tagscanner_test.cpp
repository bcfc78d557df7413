#include "tagscanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace ondivo;

namespace {

struct PosCase {
    const char* name;
    std::string sub;
    std::string s;
    std::size_t from;
    std::size_t pos;
};

void PrintTo(const PosCase& c, std::ostream* os) {
    *os << c.name;
}

class PosDaTest : public testing::TestWithParam<PosCase> {};

TEST_P(PosDaTest, FindsTheFirstPositionFromTheStart) {
    const auto& c = GetParam();
    EXPECT_EQ(PosDa(c.sub, c.s, c.from), c.pos);
}

INSTANTIATE_TEST_SUITE_P(
    Searches, PosDaTest,
    testing::Values(
        PosCase{"atStart", "<a>", "<a>x</a>", 1, 1},
        PosCase{"positionsCountFromOne", "x", "<a>x</a>", 1, 4},
        PosCase{"fromZeroCountsAsOne", "<a>", "<a>x", 0, 1},
        PosCase{"fromSkipsEarlier", "a", "abab", 2, 3},
        PosCase{"fromOnTheMatch", "b", "abab", 4, 4}, PosCase{"fromPastTheEnd", "b", "abab", 5, 0},
        PosCase{"fromFarPastTheEnd", "b", "abab", 1000, 0},
        PosCase{"atTheVeryEnd", "</a>", "x</a>", 1, 2},
        PosCase{"doesNotFitAfterFrom", "ab", "abab", 4, 0},
        PosCase{"longerThanText", "abc", "ab", 1, 0}, PosCase{"emptySub", "", "abc", 1, 0},
        PosCase{"emptyText", "a", "", 1, 0}, PosCase{"letterCaseCounts", "<A>", "<a><A>", 1, 4},
        PosCase{"overlapping", "aa", "aaa", 2, 2},
        PosCase{"repeatedFirstByte", "<Allegati>", "<<<Allegati<Allegati>", 1, 12},
        PosCase{"zeroBytesCompare", std::string("\0b", 2), std::string("a\0\0b", 4), 1, 3},
        PosCase{"notThere", "</Allegati>", "<Allegati>", 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The plain search, one position after the other.
std::size_t posSemplice(const std::string& sub, const std::string& s, std::size_t from) {
    if (from < 1)
        from = 1;
    for (std::size_t p = from; !sub.empty() && p + sub.size() <= s.size() + 1; ++p)
        if (s.compare(p - 1, sub.size(), sub) == 0)
            return p;
    return 0;
}

TEST(PosDa, GivesThePositionsOfThePlainSearch) {
    std::mt19937 gen(5);
    for (int prova = 0; prova < 5000; ++prova) {
        std::string s(gen() % 30, ' '), sub(gen() % 4, ' ');
        for (auto& c : s)
            c = "<ab>"[gen() % 4];
        for (auto& c : sub)
            c = "<ab>"[gen() % 4];
        const std::size_t from = gen() % 33;
        ASSERT_EQ(PosDa(sub, s, from), posSemplice(sub, s, from))
            << "sub=" << sub << " s=" << s << " from=" << from;
    }
}

struct BlockCase {
    const char* name;
    std::string s;
    std::size_t pos;
    std::string blocco;
    std::size_t posDopo;
};

void PrintTo(const BlockCase& c, std::ostream* os) {
    *os << c.name;
}

class EstraiBloccoTest : public testing::TestWithParam<BlockCase> {};

TEST_P(EstraiBloccoTest, CutsTheNextWholeElement) {
    const auto& c = GetParam();
    std::size_t pos = c.pos;
    EXPECT_EQ(EstraiBlocco(c.s, "b", pos), c.blocco);
    EXPECT_EQ(pos, c.posDopo);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, EstraiBloccoTest,
    testing::Values(BlockCase{"first", "x<b>1</b><b>2</b>", 1, "<b>1</b>", 10},
                    BlockCase{"second", "x<b>1</b><b>2</b>", 10, "<b>2</b>", 18},
                    BlockCase{"none", "x<c>1</c>", 1, "", 1},
                    BlockCase{"noEndTagLeavesPos", "<b>1</b><b>2", 9, "", 9},
                    BlockCase{"endTagBeforeStartIgnored", "</b><b>1</b>", 1, "<b>1</b>", 13},
                    BlockCase{"endsAtFirstEndTag", "<b><b>1</b></b>", 1, "<b><b>1</b>", 12},
                    BlockCase{"attributeNotAStartTag", "<b id='1'>1</b>", 1, "", 1},
                    BlockCase{"prefixNotAStartTag", "<p:b>1</p:b>", 1, "", 1},
                    BlockCase{"startInsideLongerName", "<bb>1</b>", 1, "", 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct ValueCase {
    const char* name;
    std::string s;
    std::string valore;
};

void PrintTo(const ValueCase& c, std::ostream* os) {
    *os << c.name;
}

class ValoreTagTest : public testing::TestWithParam<ValueCase> {};

TEST_P(ValoreTagTest, GivesTheTrimmedTextBetweenTheFirstTags) {
    EXPECT_EQ(ValoreTag(GetParam().s, "Nome"), GetParam().valore);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ValoreTagTest,
    testing::Values(
        ValueCase{"plain", "<Nome>a.pdf</Nome>", "a.pdf"},
        ValueCase{"trimmedControlsAndBlanks", "<Nome>\r\n\t\x01 a b \x1F\r\n</Nome>", "a b"},
        ValueCase{"innerBreaksStay", "<Nome> a\r\nb </Nome>", "a\r\nb"},
        ValueCase{"highBytesNotTrimmed", "<Nome>\xA0x\xA0</Nome>", "\xA0x\xA0"},
        ValueCase{"noStartTag", "Nome>a</Nome>", ""}, ValueCase{"noEndTag", "<Nome>a", ""},
        ValueCase{"emptyElement", "<Nome></Nome>", ""},
        ValueCase{"blanksOnly", "<Nome>  \r\n </Nome>", ""},
        ValueCase{"endTagBeforeStart", "</Nome><Nome>a</Nome>", ""},
        ValueCase{"firstEndTagWins", "<Nome>a<Nome>b</Nome>c</Nome>", "a<Nome>b"},
        ValueCase{"otherCase", "<nome>a</nome>", ""}, ValueCase{"emptyElementForm", "<Nome/>", ""},
        ValueCase{"entityReferenceKept", "<Nome>a&amp;b</Nome>", "a&amp;b"},
        ValueCase{"longerNameNotMatched", "<NomeFile>a</NomeFile><Nome>b</Nome>", "b"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
