#include "scantext.h"

#include <cstring>

namespace ondivo {

std::string_view FinoAlPrimoZero(std::string_view byte) {
    if (const void* zero = std::memchr(byte.data(), '\0', byte.size()))
        return byte.substr(0,
                           static_cast<std::size_t>(static_cast<const char*>(zero) - byte.data()));
    return byte;
}

bool HaInterruzioni(std::string_view testo) {
    return std::memchr(testo.data(), '\n', testo.size()) ||
           std::memchr(testo.data(), '\r', testo.size());
}

std::string ConInterruzioniCrLf(std::string_view testo) {
    if (!HaInterruzioni(testo))
        return std::string(testo);
    std::string risultato;
    risultato.reserve(testo.size() + testo.size() / 8);
    for (std::size_t i = 0; i < testo.size(); ++i) {
        const char c = testo[i];
        if (c == '\r' || c == '\n') {
            risultato += "\r\n";
            if (c == '\r' && i + 1 < testo.size() && testo[i + 1] == '\n')
                ++i;
        } else {
            risultato += c;
        }
    }
    return risultato;
}

} // namespace ondivo
