#include "dataora.h"
#include "calendario.h"
#include "text.h"

#include <chrono>

namespace ondivo {

std::optional<std::string> OraUtc(std::string_view testo) {
    const auto letta = LeggiDataOra(Trim(testo));
    if (!letta || letta->ore > 23 || letta->secondi > 59)
        return std::nullopt;
    return DataOraIsoDa(
        static_cast<std::time_t>(letta->secondiScritti() - letta->scarto.value_or(0)));
}

// The calendar in UTC with the standard library alone: the same on every system.
static std::optional<std::time_t> secondiUtc(int anno, int mese, int giorno, int ore, int minuti,
                                             int secondi) {
    using namespace std::chrono;
    const year_month_day data{year{anno}, month{static_cast<unsigned>(mese)},
                              day{static_cast<unsigned>(giorno)}};
    if (!data.ok() || ore < 0 || ore > 23 || minuti < 0 || minuti > 59 || secondi < 0 ||
        secondi > 60)
        return std::nullopt;
    const sys_seconds istante = sys_days{data} + hours{ore} + minutes{minuti} + seconds{secondi};
    return static_cast<std::time_t>(istante.time_since_epoch().count());
}

std::optional<std::time_t> Secondi(const ASN1_TIME* tempo) {
    std::tm tm{};
    if (!tempo || ASN1_TIME_to_tm(tempo, &tm) != 1)
        return std::nullopt;
    return secondiUtc(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                      tm.tm_sec);
}

std::optional<std::time_t> SecondiDaIso(const std::string& iso) {
    if (iso.size() != 20 || iso[19] != 'Z')
        return std::nullopt;
    const auto letta = LeggiDataOra(iso);
    if (!letta || letta->ore > 23 || letta->secondi > 60)
        return std::nullopt;
    return static_cast<std::time_t>(letta->secondiScritti());
}

std::optional<std::time_t> SecondiDaDataOra(std::string_view testo) {
    const auto utc = OraUtc(testo);
    return utc ? SecondiDaIso(*utc) : std::nullopt;
}

std::string DataOraIsoDa(std::time_t quando) {
    std::string testo = TestoSecondi(quando);
    testo[10] = 'T';
    return testo + "Z";
}

std::string GiornoItaliano(std::time_t quando) {
    return DataItaliana(DataOraIsoDa(quando).substr(0, 10));
}

} // namespace ondivo
