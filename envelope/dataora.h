#pragma once

// Times as signatures, certificates and trusted lists write them, and as the user reads them.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include <openssl/asn1.h>

namespace ondivo {

// How far a time the signer or an authority writes may run ahead of this machine's clock
// before it counts as in the future.
inline constexpr std::time_t ScartoOrologi = 5 * 60;

// Seconds since the epoch of an ASN.1 time; nullopt when it cannot be read.
std::optional<std::time_t> Secondi(const ASN1_TIME* tempo);

// "YYYY-MM-DDThh:mm:ssZ" in UTC from an xs:dateTime as XAdES and trusted lists write it
// ("2024-03-10T01:30:00.25+02:00"); a time without a zone is taken as UTC. nullopt when the
// text is not such a time.
std::optional<std::string> OraUtc(std::string_view testo);

// Seconds since the epoch from "YYYY-MM-DDThh:mm:ssZ"; nullopt when it is not such a time.
std::optional<std::time_t> SecondiDaIso(const std::string& iso);

// Seconds since the epoch from an xs:dateTime (OraUtc, then SecondiDaIso).
std::optional<std::time_t> SecondiDaDataOra(std::string_view testo);

// "YYYY-MM-DDThh:mm:ssZ" of a moment.
std::string DataOraIsoDa(std::time_t quando);

// "dd/mm/yyyy" of a moment, in UTC.
std::string GiornoItaliano(std::time_t quando);

} // namespace ondivo
