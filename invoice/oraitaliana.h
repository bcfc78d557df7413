#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ondivo {

// The instant an xs:dateTime names, in seconds since 1970 UTC: "2018-06-16T18:35:42.000+02:00",
// "2013-06-06T12:01:00Z"; a time without an offset is Italian time, the exchange system's own.
// Fractions of a second are dropped. nullopt for anything not shaped so, or not a real date.
std::optional<std::int64_t> IstanteDataOra(const std::string& dataOra);

// An instant as Italian time (Europe/Rome: CET, CEST from the last Sunday of March to the last
// Sunday of October, at 01:00 UTC): "2018-06-16 18:35:42".
std::string OraItaliana(std::int64_t istante);

// An xs:dateTime as Italian time, "" when it is not one.
std::string DataOraItaliana(const std::string& dataOra);

} // namespace ondivo
