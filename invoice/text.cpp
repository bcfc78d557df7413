#include "text.h"

namespace ondivo {

namespace {
bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}
} // namespace

std::string_view Trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string UnisciValori(const std::vector<std::string>& valori) {
    std::string unito;
    for (const auto& v : valori) {
        unito += v;
        unito += "\r\n";
    }
    return std::string(Trim(unito));
}

std::string TestoBoxErrore(const std::string& messaggio) {
    if (!messaggio.empty() && static_cast<unsigned char>(messaggio.back()) > '.')
        return messaggio + ".";
    return messaggio;
}

} // namespace ondivo
