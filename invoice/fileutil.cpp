#include "fileutil.h"

#include "executablepath.h"

#include "files.h"
#include "text.h"

namespace ondivo {

bool FileEsiste(const std::string& percorso) {
    return platform::FileRegolare(percorso);
}

std::string NomeFile(const std::string& percorso) {
    const auto barra = percorso.find_last_of(platform::SeparatoriCartella());
    return barra == std::string::npos ? percorso : percorso.substr(barra + 1);
}

std::string CartellaDi(const std::string& percorso) {
    const auto barra = percorso.find_last_of(platform::SeparatoriCartella());
    if (barra == std::string::npos)
        return ".";
    // The root keeps its separator: "/" alone, "C:\" rather than the drive's current folder.
    if (barra == 0 || percorso[barra] == ':' || percorso[barra - 1] == ':')
        return percorso.substr(0, barra + 1);
    return percorso.substr(0, barra);
}

std::string::size_type PosizioneEstensione(const std::string& percorso) {
    const auto pos = percorso.find_last_of(std::string(platform::SeparatoriCartella()) + ".");
    return pos != std::string::npos && percorso[pos] == '.' ? pos : std::string::npos;
}

std::string EstensioneMinuscola(const std::string& percorso) {
    const auto pos = PosizioneEstensione(percorso);
    if (pos == std::string::npos)
        return {};
    return MinuscoleAscii(percorso.substr(pos));
}

} // namespace ondivo
