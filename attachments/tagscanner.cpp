#include "tagscanner.h"

#include "text.h"

#include <cstring>
#include <string>

namespace ondivo {

namespace {

// "<" + prefix + name + ">", built by appending (GCC 12 at -O3 warns falsely on the plain sum).
std::string tag(std::string_view apertura, std::string_view nome) {
    std::string t;
    t.reserve(apertura.size() + nome.size() + 1);
    t.append(apertura).append(nome).push_back('>');
    return t;
}

} // namespace

std::size_t PosDa(std::string_view sub, std::string_view s, std::size_t from) {
    if (from < 1)
        from = 1;
    if (sub.empty() || s.empty() || from > s.size() || sub.size() > s.size() - (from - 1))
        return 0;

    // memchr finds the candidates for the first byte; in a Base64 body the tags' "<" does not
    // occur at all, so megabytes are crossed at memchr's speed.
    const char* const inizio = s.data();
    const char* p = inizio + (from - 1);
    const char* const ultimo = inizio + (s.size() - sub.size()); // last possible start
    const char primo = sub.front();
    const std::size_t restanti = sub.size() - 1;
    while (p <= ultimo) {
        const void* trovato = std::memchr(p, primo, static_cast<std::size_t>(ultimo - p) + 1);
        if (!trovato)
            return 0;
        p = static_cast<const char*>(trovato);
        if (std::memcmp(p + 1, sub.data() + 1, restanti) == 0)
            return static_cast<std::size_t>(p - inizio) + 1;
        ++p;
    }
    return 0;
}

std::string_view EstraiBlocco(std::string_view s, std::string_view nome, std::size_t& pos) {
    const std::string apertura = tag("<", nome);
    const std::string chiusura = tag("</", nome);
    const std::size_t p1 = PosDa(apertura, s, pos);
    if (p1 == 0)
        return {};
    const std::size_t p2 = PosDa(chiusura, s, p1);
    if (p2 == 0)
        return {};
    pos = p2 + chiusura.size();
    return s.substr(p1 - 1, pos - p1);
}

std::string_view ValoreTag(std::string_view s, std::string_view nome) {
    const std::string apertura = tag("<", nome);
    const std::string chiusura = tag("</", nome);
    const std::size_t p1 = PosDa(apertura, s, 1);
    if (p1 == 0)
        return {};
    const std::size_t inizio = p1 + apertura.size();
    const std::size_t p2 = PosDa(chiusura, s, 1);
    if (inizio >= p2)
        return {};
    return Trim(s.substr(inizio - 1, p2 - inizio));
}

} // namespace ondivo
