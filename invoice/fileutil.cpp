#include "fileutil.h"

#include "executablepath.h"

#include <filesystem>
#include <system_error>

namespace ondivo {

bool FileEsiste(const std::string& percorso) {
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::path(percorso), ec);
}

std::string::size_type PosizioneEstensione(const std::string& percorso) {
    const auto pos = percorso.find_last_of(std::string(platform::SeparatoriCartella()) + ".");
    return pos != std::string::npos && percorso[pos] == '.' ? pos : std::string::npos;
}

std::string EstensioneMinuscola(const std::string& percorso) {
    const auto pos = PosizioneEstensione(percorso);
    if (pos == std::string::npos)
        return {};
    std::string estensione = percorso.substr(pos);
    for (char& c : estensione)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return estensione;
}

} // namespace ondivo
