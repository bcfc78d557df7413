// What the file routines share on every system: whole files read and written through the
// system's own TFileLettura and TFileScrittura.
#include "files.h"
#include "dimensioneleggibile.h"

#include <algorithm>
#include <cstdio>

namespace ondivo::platform {

std::string DimensioneLeggibile(std::uint64_t byte) {
    char testo[32];
    const double gb = static_cast<double>(byte) / (1024.0 * 1024.0 * 1024.0);
    if (gb >= 1.0)
        std::snprintf(testo, sizeof testo, "%.1f GB", gb);
    else
        std::snprintf(testo, sizeof testo, "%.1f MB",
                      static_cast<double>(byte) / (1024.0 * 1024.0));
    std::string s = testo;
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

std::string LeggiFile(const std::string& percorso) {
    constexpr std::size_t kBlocco = 1 << 16;
    TFileLettura file(percorso);
    std::string dati;
    dati.resize(static_cast<std::size_t>(file.Dimensione()));
    std::size_t letti = 0;
    for (;;) {
        if (letti == dati.size()) {
            // The size said is reached: a small read tells the end from a file that grew,
            // without first doubling the whole buffer.
            char prova[4096];
            const std::size_t n = file.Leggi(prova, sizeof prova);
            if (n == 0)
                break;
            if (dati.size() >= DimensioneMassimaFile) // a file that keeps growing
                throw EFileStreamError("Cannot open file \"" + PercorsoCompleto(percorso) +
                                       "\". file troppo grande");
            dati.append(prova, n);
            letti += n;
            dati.resize(std::max(dati.size(), letti + kBlocco));
            continue;
        }
        const std::size_t n = file.Leggi(dati.data() + letti, dati.size() - letti);
        if (n == 0)
            break;
        letti += n;
    }
    dati.resize(letti);
    return dati;
}

void ScriviFile(const std::string& percorso, std::string_view dati) {
    TFileScrittura file(percorso);
    file.Scrivi(dati);
    file.Conferma();
}

} // namespace ondivo::platform
