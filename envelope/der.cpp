#include "der.h"

namespace ondivo {

std::optional<ElementoDer> LeggiElementoDer(std::string_view& dati) {
    if (dati.size() < 2 || (static_cast<unsigned char>(dati[0]) & 0x1F) == 0x1F)
        return std::nullopt;
    const auto primo = static_cast<unsigned char>(dati[1]);
    std::size_t inizio = 2;
    std::size_t lunghezza = primo;
    if (primo & 0x80) {
        const std::size_t byte = primo & 0x7F;
        // 0x80 is the indefinite form, which DER has not; more than four bytes of length is
        // more than any envelope holds.
        if (byte == 0 || byte > 4 || dati.size() < 2 + byte)
            return std::nullopt;
        lunghezza = 0;
        for (std::size_t i = 0; i < byte; ++i)
            lunghezza = (lunghezza << 8) | static_cast<unsigned char>(dati[2 + i]);
        inizio += byte;
    }
    if (lunghezza > dati.size() - inizio)
        return std::nullopt;
    ElementoDer elemento{static_cast<unsigned char>(dati[0]), dati.substr(inizio, lunghezza),
                         dati.substr(0, inizio + lunghezza)};
    dati.remove_prefix(inizio + lunghezza);
    return elemento;
}

std::optional<std::vector<ElementoDer>> FigliDer(std::string_view contenuto) {
    std::vector<ElementoDer> figli;
    while (!contenuto.empty()) {
        auto figlio = LeggiElementoDer(contenuto);
        if (!figlio)
            return std::nullopt;
        figli.push_back(*figlio);
    }
    return figli;
}

std::string ScriviElementoDer(unsigned char tag, std::string_view contenuto) {
    std::string elemento(1, static_cast<char>(tag));
    const std::size_t n = contenuto.size();
    if (n < 0x80) {
        elemento += static_cast<char>(n);
    } else {
        std::string byte;
        for (std::size_t resto = n; resto > 0; resto >>= 8)
            byte.insert(byte.begin(), static_cast<char>(resto & 0xFF));
        elemento += static_cast<char>(0x80 | byte.size());
        elemento += byte;
    }
    elemento += contenuto;
    return elemento;
}

} // namespace ondivo
