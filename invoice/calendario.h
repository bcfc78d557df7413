#pragma once

// Dates and times as invoices and the exchange system's messages write them, and Italian time.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ondivo {

// A date written "yyyy-mm-dd" that is a real day; nullopt for anything else.
std::optional<std::chrono::year_month_day> LeggiData(std::string_view testo);

// An xs:dateTime as written: "yyyy-mm-ddThh:mm:ss", an optional fraction of a second (dropped),
// then "Z", "+hh:mm", "-hh:mm" or nothing. The day is a real one, minutes go up to 59, a zone up
// to 14:59; hours and seconds are as written (two digits), for the caller to admit.
struct DataOraScritta {
    std::chrono::year_month_day giorno;
    int ore = 0;
    int minuti = 0;
    int secondi = 0;
    std::optional<int> scarto; // seconds ahead of UTC; nullopt without a zone

    // Seconds since 1970 of the time as written, the zone not applied.
    std::int64_t secondiScritti() const;
};
std::optional<DataOraScritta> LeggiDataOra(std::string_view testo);

// yyyy-mm-dd plus a number of days (up to 999), "" when either is not one.
std::string DataPiuGiorni(const std::string& data, const std::string& giorni);

// The instant an xs:dateTime names, in seconds since 1970 UTC: "2018-06-16T18:35:42.000+02:00",
// "2013-06-06T12:01:00Z"; a time without an offset is Italian time, the exchange system's own.
// 24:00:00 and a leap second are admitted. nullopt for anything not shaped so, or not a real
// date.
std::optional<std::int64_t> IstanteDataOra(const std::string& dataOra);

// "yyyy-mm-dd hh:mm:ss" of seconds since 1970, no zone applied.
std::string TestoSecondi(std::int64_t secondi);

// An instant as Italian time (Europe/Rome: CET, CEST from the last Sunday of March to the last
// Sunday of October, at 01:00 UTC): "2018-06-16 18:35:42".
std::string OraItaliana(std::int64_t istante);

// An xs:dateTime as Italian time, "" when it is not one.
std::string DataOraItaliana(const std::string& dataOra);

} // namespace ondivo
