#include "datiallegato.h"

#include <cstring>

namespace ondivo {

namespace {

char minuscola(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// What follows the first "base64," (any letter case), or the whole text when it has none.
// Commas never occur in Base64 itself, so only the few commas of a header are looked at.
std::string_view senzaIntestazioneDataUrl(std::string_view dati) {
    constexpr std::string_view marca = "base64";
    const char* const inizio = dati.data();
    const char* p = inizio;
    const char* const fine = inizio + dati.size();
    while (const void* trovata = std::memchr(p, ',', static_cast<std::size_t>(fine - p))) {
        const auto virgola = static_cast<std::size_t>(static_cast<const char*>(trovata) - inizio);
        if (virgola >= marca.size()) {
            bool uguale = true;
            for (std::size_t k = 0; k < marca.size() && uguale; ++k)
                uguale = minuscola(dati[virgola - marca.size() + k]) == marca[k];
            if (uguale)
                return dati.substr(virgola + 1);
        }
        p = inizio + virgola + 1;
    }
    return dati;
}

bool spazioXml(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// One pass without branches in the loop, which the compiler turns into vector code: a large
// attachment without line breaks is crossed at memory speed.
bool haSpaziOControlli(std::string_view testo) {
    unsigned char minimo = 255;
    for (const char c : testo) {
        const auto u = static_cast<unsigned char>(c);
        minimo = u < minimo ? u : minimo;
    }
    return minimo <= ' ';
}

} // namespace

std::string_view DatiDaDecodificare(std::string_view dati, std::string& copia) {
    dati = senzaIntestazioneDataUrl(dati);
    if (!haSpaziOControlli(dati))
        return dati;
    copia.clear();
    copia.reserve(dati.size());
    for (const char c : dati)
        if (!spazioXml(c))
            copia.push_back(c);
    return copia;
}

} // namespace ondivo
