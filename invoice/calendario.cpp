#include "calendario.h"

#include <cstdio>

namespace ondivo {

namespace {

using namespace std::chrono;

// The number written with exactly `cifre` digits at `inizio`; -1 when there is none.
int numero(std::string_view testo, std::size_t inizio, std::size_t cifre) {
    if (inizio + cifre > testo.size())
        return -1;
    int valore = 0;
    for (std::size_t i = inizio; i < inizio + cifre; ++i) {
        if (testo[i] < '0' || testo[i] > '9')
            return -1;
        valore = valore * 10 + (testo[i] - '0');
    }
    return valore;
}

// 01:00 UTC of the last Sunday of a month.
std::int64_t ultimaDomenica(int anno, unsigned mese) {
    const sys_days giorno{year(anno) / month(mese) / Sunday[last]};
    return giorno.time_since_epoch().count() * 86400 + 3600;
}

// Seconds Italian time is ahead of UTC at an instant.
int scartoRoma(std::int64_t istante) {
    const year_month_day giorno{floor<days>(sys_seconds{seconds{istante}})};
    const int anno = static_cast<int>(giorno.year());
    const bool legale = istante >= ultimaDomenica(anno, 3) && istante < ultimaDomenica(anno, 10);
    return legale ? 7200 : 3600;
}

} // namespace

std::optional<year_month_day> LeggiData(std::string_view testo) {
    const int anno = numero(testo, 0, 4), mese = numero(testo, 5, 2), giorno = numero(testo, 8, 2);
    if (testo.size() != 10 || testo[4] != '-' || testo[7] != '-' || anno < 0 || mese < 0 ||
        giorno < 0)
        return std::nullopt;
    const year_month_day data{year{anno}, month{static_cast<unsigned>(mese)},
                              day{static_cast<unsigned>(giorno)}};
    return data.ok() ? std::optional(data) : std::nullopt;
}

std::int64_t DataOraScritta::secondiScritti() const {
    const sys_seconds istante = sys_days{giorno} + hours{ore} + minutes{minuti} + seconds{secondi};
    return istante.time_since_epoch().count();
}

std::optional<DataOraScritta> LeggiDataOra(std::string_view testo) {
    const auto giorno = LeggiData(testo.substr(0, 10));
    DataOraScritta letta{};
    letta.ore = numero(testo, 11, 2);
    letta.minuti = numero(testo, 14, 2);
    letta.secondi = numero(testo, 17, 2);
    if (!giorno || testo.size() < 19 || testo[10] != 'T' || testo[13] != ':' || testo[16] != ':' ||
        letta.ore < 0 || letta.minuti < 0 || letta.minuti > 59 || letta.secondi < 0)
        return std::nullopt;
    letta.giorno = *giorno;
    std::size_t i = 19;
    if (i < testo.size() && testo[i] == '.') {
        const std::size_t cifre = testo.find_first_not_of("0123456789", i + 1);
        if (cifre == i + 1)
            return std::nullopt;
        i = cifre == std::string_view::npos ? testo.size() : cifre;
    }
    if (i < testo.size() && testo[i] == 'Z') {
        letta.scarto = 0;
        ++i;
    } else if (i < testo.size() && (testo[i] == '+' || testo[i] == '-')) {
        const int oreZona = numero(testo, i + 1, 2), minutiZona = numero(testo, i + 4, 2);
        if (i + 6 > testo.size() || testo[i + 3] != ':' || oreZona < 0 || minutiZona < 0 ||
            oreZona > 14 || minutiZona > 59)
            return std::nullopt;
        letta.scarto = (testo[i] == '-' ? -1 : 1) * (oreZona * 3600 + minutiZona * 60);
        i += 6;
    }
    if (i != testo.size())
        return std::nullopt;
    return letta;
}

std::string DataPiuGiorni(const std::string& data, const std::string& giorni) {
    const auto giorno = LeggiData(data);
    const int quanti = giorni.size() <= 3 ? numero(giorni, 0, giorni.size()) : -1;
    if (!giorno || giorni.empty() || quanti < 0)
        return {};
    const year_month_day scadenza{sys_days(*giorno) + days(quanti)};
    char testo[16];
    std::snprintf(testo, sizeof testo, "%04d-%02u-%02u", static_cast<int>(scadenza.year()),
                  static_cast<unsigned>(scadenza.month()), static_cast<unsigned>(scadenza.day()));
    return testo;
}

std::optional<std::int64_t> IstanteDataOra(const std::string& dataOra) {
    const auto letta = LeggiDataOra(dataOra);
    if (!letta || letta->secondi > 60 ||
        (letta->ore > 23 && (letta->ore != 24 || letta->minuti || letta->secondi)))
        return std::nullopt;
    const std::int64_t scritti = letta->secondiScritti();
    if (letta->scarto)
        return scritti - *letta->scarto;
    // Italian time: the offset is the one in force at the instant it names.
    const std::int64_t estate = scritti - 7200;
    return scartoRoma(estate) == 7200 ? estate : scritti - 3600;
}

std::string TestoSecondi(std::int64_t secondi) {
    const sys_seconds istante{seconds{secondi}};
    const sys_days giorni = floor<days>(istante);
    const year_month_day data{giorni};
    const hh_mm_ss orario{istante - giorni};
    char testo[32];
    std::snprintf(testo, sizeof testo, "%04d-%02u-%02u %02d:%02d:%02d",
                  static_cast<int>(data.year()), static_cast<unsigned>(data.month()),
                  static_cast<unsigned>(data.day()), static_cast<int>(orario.hours().count()),
                  static_cast<int>(orario.minutes().count()),
                  static_cast<int>(orario.seconds().count()));
    return testo;
}

std::string OraItaliana(std::int64_t istante) {
    return TestoSecondi(istante + scartoRoma(istante));
}

std::string DataOraItaliana(const std::string& dataOra) {
    const auto istante = IstanteDataOra(dataOra);
    return istante ? OraItaliana(*istante) : std::string();
}

} // namespace ondivo
