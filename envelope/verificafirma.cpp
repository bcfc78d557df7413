#include "verificafirma.h"
#include "errors.h"
#include "files.h"

namespace ondivo {

VerificaFirme VerificaBusta(std::string_view, const Fiducia&) {
    throw OndivoError("Impossibile leggere la busta firmata: verifica non disponibile");
}

} // namespace ondivo
