#include "dataora.h"
#include "text.h"

#include <chrono>
#include <cstdio>

namespace ondivo {

namespace {

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

} // namespace

std::optional<std::string> OraUtc(std::string_view testo) {
    using namespace std::chrono;
    testo = Trim(testo);
    const int anno = numero(testo, 0, 4), mese = numero(testo, 5, 2), giorno = numero(testo, 8, 2);
    const int ore = numero(testo, 11, 2), minuti = numero(testo, 14, 2),
              secondi = numero(testo, 17, 2);
    if (testo.size() < 19 || testo[4] != '-' || testo[7] != '-' || testo[10] != 'T' ||
        testo[13] != ':' || testo[16] != ':' || anno < 0 || mese < 0 || giorno < 0 || ore < 0 ||
        minuti < 0 || secondi < 0 || ore > 23 || minuti > 59 || secondi > 59)
        return std::nullopt;
    const year_month_day data{year{anno}, month{static_cast<unsigned>(mese)},
                              day{static_cast<unsigned>(giorno)}};
    if (!data.ok())
        return std::nullopt;

    std::size_t i = 19;
    if (i < testo.size() && testo[i] == '.') {
        const std::size_t cifre = testo.find_first_not_of("0123456789", i + 1);
        if (cifre == i + 1)
            return std::nullopt;
        i = cifre == std::string_view::npos ? testo.size() : cifre;
    }
    minutes scarto{0}; // east of UTC
    if (i < testo.size() && testo[i] == 'Z') {
        ++i;
    } else if (i < testo.size() && (testo[i] == '+' || testo[i] == '-')) {
        const int oreZona = numero(testo, i + 1, 2), minutiZona = numero(testo, i + 4, 2);
        if (i + 6 > testo.size() || testo[i + 3] != ':' || oreZona < 0 || minutiZona < 0 ||
            oreZona > 14 || minutiZona > 59)
            return std::nullopt;
        scarto = minutes{(testo[i] == '-' ? -1 : 1) * (oreZona * 60 + minutiZona)};
        i += 6;
    }
    if (i != testo.size())
        return std::nullopt;

    const sys_seconds istante =
        sys_days{data} + hours{ore} + minutes{minuti} + seconds{secondi} - scarto;
    return DataOraIsoDa(static_cast<std::time_t>(istante.time_since_epoch().count()));
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
    if (iso.size() != 20 || iso[4] != '-' || iso[7] != '-' || iso[10] != 'T' || iso[13] != ':' ||
        iso[16] != ':' || iso[19] != 'Z')
        return std::nullopt;
    const int anno = numero(iso, 0, 4), mese = numero(iso, 5, 2), giorno = numero(iso, 8, 2);
    const int ore = numero(iso, 11, 2), minuti = numero(iso, 14, 2), secondi = numero(iso, 17, 2);
    if (anno < 0 || mese < 0 || giorno < 0 || ore < 0 || minuti < 0 || secondi < 0)
        return std::nullopt;
    return secondiUtc(anno, mese, giorno, ore, minuti, secondi);
}

std::optional<std::time_t> SecondiDaDataOra(std::string_view testo) {
    const auto utc = OraUtc(testo);
    return utc ? SecondiDaIso(*utc) : std::nullopt;
}

std::string DataOraIsoDa(std::time_t quando) {
    using namespace std::chrono;
    const sys_seconds istante{seconds{quando}};
    const sys_days giorni = floor<days>(istante);
    const year_month_day data{giorni};
    const hh_mm_ss orario{istante - giorni};
    char testo[32];
    std::snprintf(testo, sizeof testo, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(data.year()), static_cast<unsigned>(data.month()),
                  static_cast<unsigned>(data.day()), static_cast<int>(orario.hours().count()),
                  static_cast<int>(orario.minutes().count()),
                  static_cast<int>(orario.seconds().count()));
    return testo;
}

std::string GiornoItaliano(std::time_t quando) {
    return DataItaliana(DataOraIsoDa(quando).substr(0, 10));
}

} // namespace ondivo
