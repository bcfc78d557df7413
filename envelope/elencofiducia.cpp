#include "errors.h"
#include "fiducia.h"

namespace ondivo {

ElencoFiducia LeggiElencoFiducia(const std::string&) {
    throw OndivoError("Elenco di fiducia non valido: lettura non disponibile");
}

} // namespace ondivo
