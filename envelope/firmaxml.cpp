#include "verificafirma.h"

namespace ondivo {

VerificaFirme VerificaFirmeXml(std::string_view, const Fiducia&) {
    return {};
}

} // namespace ondivo
