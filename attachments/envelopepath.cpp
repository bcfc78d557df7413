#include "envelopepath.h"

#include <string_view>

namespace ondivo {

namespace {

#ifdef _WIN32
constexpr std::string_view kDelimitatori = "\\:";
#else
constexpr std::string_view kDelimitatori = "/";
#endif

// Position of the dot that starts the last name's extension, or npos.
std::string::size_type inizioEstensione(const std::string& percorso) {
    const auto pos = percorso.find_last_of(std::string(kDelimitatori) + '.');
    return pos != std::string::npos && percorso[pos] == '.' ? pos : std::string::npos;
}

char minuscola(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string PercorsoXmlDaP7m(const std::string& p7m) {
    return p7m.substr(0, inizioEstensione(p7m));
}

bool IsEnvelope(const std::string& percorso) {
    const auto pos = inizioEstensione(percorso);
    if (pos == std::string::npos)
        return false;
    std::string estensione = percorso.substr(pos);
    for (char& c : estensione)
        c = minuscola(c);
    return estensione == ".p7m";
}

} // namespace ondivo
