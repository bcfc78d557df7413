#include "calendario.h"
#include "datidocumento.h"

#include <gtest/gtest.h>

#include <string>

namespace ondivo::test {
namespace {

struct OraCase {
    const char* nome;
    const char* dataOra;
    const char* italiana; // "" when not an xs:dateTime
};

class DataOraItalianaTest : public testing::TestWithParam<OraCase> {};

TEST_P(DataOraItalianaTest, ShowsItalianTime) {
    EXPECT_EQ(DataOraItaliana(GetParam().dataOra), GetParam().italiana);
}

// The expected times were worked out by hand from the EU rule: summer time from 01:00 UTC of the
// last Sunday of March (2024-03-31, 2018-03-25) to 01:00 UTC of the last Sunday of October
// (2024-10-27, 2018-10-28).
INSTANTIATE_TEST_SUITE_P(
    Receipts, DataOraItalianaTest,
    testing::Values(
        OraCase{"winterWithOffset", "2018-11-13T16:47:32.000+01:00", "2018-11-13 16:47:32"},
        OraCase{"summerWithOffset", "2018-06-16T18:35:42.000+02:00", "2018-06-16 18:35:42"},
        OraCase{"utcNearMidnightIsTheNextDay", "2024-01-15T23:30:00+00:00", "2024-01-16 00:30:00"},
        OraCase{"zuluNearMidnightInSummer", "2024-07-15T22:30:00Z", "2024-07-16 00:30:00"},
        OraCase{"justBeforeSummerTime", "2024-03-31T00:59:59Z", "2024-03-31 01:59:59"},
        OraCase{"summerTimeBegins", "2024-03-31T01:00:00Z", "2024-03-31 03:00:00"},
        OraCase{"lastHourOfSummerTime", "2024-10-27T00:59:59Z", "2024-10-27 02:59:59"},
        OraCase{"summerTimeEnds", "2024-10-27T01:00:00Z", "2024-10-27 02:00:00"},
        OraCase{"negativeOffset", "2024-02-29T20:00:00-05:00", "2024-03-01 02:00:00"},
        OraCase{"withoutOffsetIsItalianTime", "2013-06-06T12:00:00", "2013-06-06 12:00:00"},
        OraCase{"withoutOffsetInSummer", "2024-08-01T09:15:00", "2024-08-01 09:15:00"},
        OraCase{"midnightAsTwentyFour", "2024-01-15T24:00:00Z", "2024-01-16 01:00:00"},
        OraCase{"dateOnly", "2024-01-15", ""}, OraCase{"notADay", "2024-02-30T10:00:00Z", ""},
        OraCase{"badOffset", "2024-01-15T10:00:00+1:00", ""},
        OraCase{"emptyFraction", "2024-01-15T10:00:00.Z", ""}, OraCase{"empty", "", ""}),
    [](const auto& info) { return std::string(info.param.nome); });

struct GiorniCase {
    const char* nome;
    const char* data;
    const char* giorni;
    const char* scadenza;
};

class DataPiuGiorniTest : public testing::TestWithParam<GiorniCase> {};

TEST_P(DataPiuGiorniTest, AddsTheDaysOfTheTerms) {
    EXPECT_EQ(DataPiuGiorni(GetParam().data, GetParam().giorni), GetParam().scadenza);
}

INSTANTIATE_TEST_SUITE_P(
    Terms, DataPiuGiorniTest,
    testing::Values(GiorniCase{"thirtyDays", "2024-05-31", "30", "2024-06-30"},
                    GiorniCase{"overLeapDay", "2024-02-01", "60", "2024-04-01"},
                    GiorniCase{"notALeapYear", "2023-02-01", "30", "2023-03-03"},
                    GiorniCase{"overTheYear", "2024-12-15", "90", "2025-03-15"},
                    GiorniCase{"zeroDays", "2024-05-31", "0", "2024-05-31"},
                    GiorniCase{"notADate", "31/05/2024", "30", ""},
                    GiorniCase{"notADay", "2024-02-30", "30", ""},
                    GiorniCase{"negativeDays", "2024-05-31", "-30", ""},
                    GiorniCase{"tooManyDays", "2024-05-31", "1000", ""},
                    GiorniCase{"noDays", "2024-05-31", "", ""}),
    [](const auto& info) { return std::string(info.param.nome); });

struct ImportiCase {
    const char* nome;
    const char* a;
    const char* b;
    bool diversi;
};

class ImportiDiversiTest : public testing::TestWithParam<ImportiCase> {};

TEST_P(ImportiDiversiTest, ToleratesACent) {
    EXPECT_EQ(ImportiDiversi(GetParam().a, GetParam().b), GetParam().diversi);
}

INSTANTIATE_TEST_SUITE_P(Amounts, ImportiDiversiTest,
                         testing::Values(ImportiCase{"same", "122.00", "122", false},
                                         ImportiCase{"aCent", "122.01", "122.00", false},
                                         ImportiCase{"aCentBelow", "121.99", "122.00", false},
                                         ImportiCase{"twoCents", "122.02", "122.00", true},
                                         ImportiCase{"justOverACent", "122.01000001", "122.00",
                                                     true},
                                         ImportiCase{"signs", "-5.00", "5.00", true},
                                         ImportiCase{"notAnAmount", "abc", "5.00", false},
                                         ImportiCase{"empty", "", "5.00", false}),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST(ImportoOpposto, NeverWritesMinusZero) {
    EXPECT_EQ(ImportoOpposto("0.00"), "0.00");
    EXPECT_EQ(ImportoOpposto("-0.00"), "0.00");
    EXPECT_EQ(ImportoOpposto("12.5"), "-12.50");
    EXPECT_EQ(ImportoOpposto("-12.50"), "12.50");
    EXPECT_EQ(ImportoOpposto("+3"), "-3.00");
    EXPECT_EQ(ImportoOpposto("x"), "");
    EXPECT_EQ(ImportoOpposto(""), "");
}

} // namespace
} // namespace ondivo::test
