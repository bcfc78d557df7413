#include "safename.h"

#include <algorithm>

namespace ondivo {

namespace {

constexpr const char* kNomeRipiego = "allegato";
constexpr std::size_t kLunghezzaMassima = 255; // bytes of one name, as most file systems take

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Bytes of the UTF-8 sequence at i that stands for an invisible formatting character, else 0.
std::size_t formatoInvisibile(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    if (i + 3 > s.size())
        return 0;
    if (b(0) == 0xE2 && b(1) == 0x80 &&
        ((b(2) >= 0x8B && b(2) <= 0x8F) || (b(2) >= 0xAA && b(2) <= 0xAE)))
        return 3; // U+200B-U+200F, U+202A-U+202E
    if (b(0) == 0xE2 && b(1) == 0x81 && b(2) >= 0xA6 && b(2) <= 0xA9)
        return 3; // U+2066-U+2069
    if (b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF)
        return 3; // U+FEFF
    return 0;
}

// Control and invisible formatting characters as "_".
std::string resoVisibile(std::string_view nome) {
    std::string visibile;
    visibile.reserve(nome.size());
    for (std::size_t i = 0; i < nome.size();) {
        const auto c = static_cast<unsigned char>(nome[i]);
        if (c < 32 || c == 127) {
            visibile += '_';
            ++i;
        } else if (const std::size_t n = formatoInvisibile(nome, i)) {
            visibile += '_';
            i += n;
        } else {
            visibile += nome[i++];
        }
    }
    return visibile;
}

// The position of the extension's dot, or npos; a leading dot starts no extension.
std::size_t puntoEstensione(std::string_view nome) {
    const auto punto = nome.find_last_of('.');
    return punto == std::string_view::npos || punto == 0 ? std::string_view::npos : punto;
}

// At most `massimo` bytes of s, cut before a UTF-8 continuation byte never.
std::string_view taglia(std::string_view s, std::size_t massimo) {
    if (s.size() <= massimo)
        return s;
    std::size_t fine = massimo;
    while (fine > 0 && (static_cast<unsigned char>(s[fine]) & 0xC0) == 0x80)
        --fine;
    return s.substr(0, fine);
}

// The name within the length limit: the stem is shortened, the extension kept when short.
std::string accorciato(const std::string& nome, std::size_t margine = 0) {
    const std::size_t massimo = kLunghezzaMassima - margine;
    if (nome.size() <= massimo)
        return nome;
    std::string_view estensione;
    const auto punto = puntoEstensione(nome);
    if (punto != std::string_view::npos && nome.size() - punto <= 16)
        estensione = std::string_view(nome).substr(punto);
    const std::string_view radice =
        std::string_view(nome).substr(0, nome.size() - estensione.size());
    return std::string(taglia(radice, massimo - estensione.size())) + std::string(estensione);
}

} // namespace

std::string NomeFileSicuro(std::string_view nome) {
    const auto separatore = nome.find_last_of("/\\");
    if (separatore != std::string_view::npos)
        nome.remove_prefix(separatore + 1);
    if (nome.size() >= 2 && isAsciiLetter(nome[0]) && nome[1] == ':')
        nome.remove_prefix(2);

    std::string sicuro = resoVisibile(nome);
    if (std::all_of(sicuro.begin(), sicuro.end(), [](char c) { return c == '.'; }))
        return kNomeRipiego;
    return accorciato(sicuro);
}

std::string NomeVisibile(std::string_view nome) {
    return resoVisibile(nome);
}

std::string NomeNumerato(std::string_view nome, int n) {
    const std::string numero = " (" + std::to_string(n) + ")";
    const std::string base = accorciato(std::string(nome), numero.size());
    const auto punto = puntoEstensione(base);
    if (punto == std::string::npos)
        return base + numero;
    return base.substr(0, punto) + numero + base.substr(punto);
}

std::string PercorsoAllegato(const std::string& cartella, std::string_view nome) {
    std::string percorso = cartella;
    if (!percorso.empty() && percorso.back() != '/')
        percorso += '/';
    return percorso + NomeFileSicuro(nome);
}

std::string NomeDaParti(const std::vector<std::string>& parti) {
    const auto rifiutato = [](unsigned char c) {
        return c < 0x20 || c == 0x7F ||
               std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
    };
    std::string nome;
    for (const std::string& parte : parti) {
        if (parte.empty())
            continue;
        if (!nome.empty())
            nome += ' ';
        for (const char c : parte)
            nome += rifiutato(static_cast<unsigned char>(c)) ? '-' : c;
    }
    // Dots and blanks at the ends make names some systems refuse or hide.
    const auto inizio = nome.find_first_not_of(". ");
    nome = inizio == std::string::npos ? std::string() : nome.substr(inizio);
    while (!nome.empty() && (nome.back() == '.' || nome.back() == ' '))
        nome.pop_back();
    return nome;
}

} // namespace ondivo
