#include "linkaddress.h"

#include "text.h"

namespace ondivo {

std::string IndirizzoLink(const std::string& testo, const std::string& prefisso) {
    const std::string_view pulito = Trim(testo);
    if (pulito.empty())
        return {};
    if (pulito.substr(0, prefisso.size()) == prefisso)
        return testo;
    return prefisso + std::string(pulito);
}

} // namespace ondivo
