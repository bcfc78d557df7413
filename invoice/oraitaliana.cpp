#include "oraitaliana.h"

#include <chrono>
#include <cstdio>
#include <string_view>

namespace ondivo {

namespace {

using namespace std::chrono;

bool cifre(std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

int numero(std::string_view s) {
    int n = 0;
    for (char c : s)
        n = n * 10 + (c - '0');
    return n;
}

// 01:00 UTC of the last Sunday of a month.
std::int64_t ultimaDomenica(int anno, unsigned mese) {
    const sys_days giorno{year(anno) / month(mese) / Sunday[last]};
    return giorno.time_since_epoch().count() * 86400 + 3600;
}

// Seconds Italian time is ahead of UTC at an instant.
int scartoRoma(std::int64_t istante) {
    const auto giorno =
        year_month_day{sys_days{days{istante >= 0 ? istante / 86400 : (istante - 86399) / 86400}}};
    const int anno = static_cast<int>(giorno.year());
    const bool legale = istante >= ultimaDomenica(anno, 3) && istante < ultimaDomenica(anno, 10);
    return legale ? 7200 : 3600;
}

} // namespace

std::optional<std::int64_t> IstanteDataOra(const std::string& dataOra) {
    const std::string_view t(dataOra);
    if (t.size() < 19 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' ||
        t[16] != ':' || !cifre(t.substr(0, 4)) || !cifre(t.substr(5, 2)) ||
        !cifre(t.substr(8, 2)) || !cifre(t.substr(11, 2)) || !cifre(t.substr(14, 2)) ||
        !cifre(t.substr(17, 2)))
        return std::nullopt;
    const year_month_day giorno{year(numero(t.substr(0, 4))),
                                month(static_cast<unsigned>(numero(t.substr(5, 2)))),
                                day(static_cast<unsigned>(numero(t.substr(8, 2))))};
    const int ore = numero(t.substr(11, 2)), minuti = numero(t.substr(14, 2)),
              secondi = numero(t.substr(17, 2));
    if (!giorno.ok() || ore > 24 || minuti > 59 || secondi > 60 ||
        (ore == 24 && (minuti || secondi)))
        return std::nullopt;
    std::string_view resto = t.substr(19);
    if (!resto.empty() && resto[0] == '.') {
        std::size_t fine = 1;
        while (fine < resto.size() && resto[fine] >= '0' && resto[fine] <= '9')
            ++fine;
        if (fine == 1)
            return std::nullopt;
        resto.remove_prefix(fine);
    }
    const std::int64_t locale =
        static_cast<std::int64_t>(sys_days(giorno).time_since_epoch().count()) * 86400 +
        ore * 3600 + minuti * 60 + secondi;
    if (resto.empty()) {
        // Italian time: the offset is the one in force at the instant it names.
        const std::int64_t estate = locale - 7200;
        return scartoRoma(estate) == 7200 ? estate : locale - 3600;
    }
    if (resto == "Z")
        return locale;
    if (resto.size() != 6 || (resto[0] != '+' && resto[0] != '-') || resto[3] != ':' ||
        !cifre(resto.substr(1, 2)) || !cifre(resto.substr(4, 2)) ||
        numero(resto.substr(1, 2)) > 14 || numero(resto.substr(4, 2)) > 59)
        return std::nullopt;
    const int scarto = (numero(resto.substr(1, 2)) * 3600 + numero(resto.substr(4, 2)) * 60) *
                       (resto[0] == '-' ? -1 : 1);
    return locale - scarto;
}

std::string OraItaliana(std::int64_t istante) {
    const std::int64_t locale = istante + scartoRoma(istante);
    const std::int64_t giorni = locale >= 0 ? locale / 86400 : (locale - 86399) / 86400;
    const std::int64_t nelGiorno = locale - giorni * 86400;
    const year_month_day giorno{sys_days{days{giorni}}};
    char testo[32];
    std::snprintf(testo, sizeof testo, "%04d-%02u-%02u %02d:%02d:%02d",
                  static_cast<int>(giorno.year()), static_cast<unsigned>(giorno.month()),
                  static_cast<unsigned>(giorno.day()), static_cast<int>(nelGiorno / 3600),
                  static_cast<int>(nelGiorno / 60 % 60), static_cast<int>(nelGiorno % 60));
    return testo;
}

std::string DataOraItaliana(const std::string& dataOra) {
    const auto istante = IstanteDataOra(dataOra);
    return istante ? OraItaliana(*istante) : std::string();
}

} // namespace ondivo
