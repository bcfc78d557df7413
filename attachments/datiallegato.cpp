#include "datiallegato.h"

#include <cstdint>
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

// True when a byte up to the blank occurs. Eight bytes at a time: (w - 0x21..) & ~w & 0x80..
// is non-zero exactly when some byte of w is below 0x21, so a large attachment without line
// breaks is crossed at memory speed.
bool haSpaziOControlli(std::string_view testo) {
    constexpr std::uint64_t uni = 0x0101010101010101ULL;
    std::size_t i = 0;
    for (; i + 8 <= testo.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, testo.data() + i, 8);
        if ((w - uni * 0x21) & ~w & (uni * 0x80))
            return true;
    }
    for (; i < testo.size(); ++i)
        if (static_cast<unsigned char>(testo[i]) <= ' ')
            return true;
    return false;
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
