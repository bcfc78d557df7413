#include "safename.h"

#include <algorithm>

namespace ondivo {

namespace {

constexpr const char* kNomeRipiego = "allegato";

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::string NomeFileSicuro(std::string_view nome) {
    const auto separatore = nome.find_last_of("/\\");
    if (separatore != std::string_view::npos)
        nome.remove_prefix(separatore + 1);
    if (nome.size() >= 2 && isAsciiLetter(nome[0]) && nome[1] == ':')
        nome.remove_prefix(2);

    std::string sicuro(nome);
    for (char& c : sicuro)
        if (static_cast<unsigned char>(c) < 32 || c == 127)
            c = '_';
    if (std::all_of(sicuro.begin(), sicuro.end(), [](char c) { return c == '.'; }))
        return kNomeRipiego;
    return sicuro;
}

std::string PercorsoAllegato(const std::string& cartella, std::string_view nome) {
    std::string percorso = cartella;
    if (!percorso.empty() && percorso.back() != '/')
        percorso += '/';
    return percorso + NomeFileSicuro(nome);
}

} // namespace ondivo
