// The verdict on a signed envelope, on arbitrary bytes: either the bytes are refused with the
// user's message, or every signer listed has a verdict that agrees with what was found
// (a signature that does not hold is never valid), and the file's verdict is the worst of them.
#include "errors.h"
#include "oracle.h"
#include "verificafirma.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using ondivo::fuzz::check;
using ondivo::EsitoFirma;

ONDIVO_ORACLE void controlla(const ondivo::VerificaFirme& verifica) {
    check(!verifica.firmatari.empty());
    EsitoFirma peggiore = EsitoFirma::Assente;
    for (const auto& f : verifica.firmatari) {
        check(f.esito != EsitoFirma::Assente);
        check(f.integra || f.esito == EsitoFirma::NonValida);
        // No authority is trusted here.
        check(!f.attendibile && f.esito != EsitoFirma::Valida);
        check(f.livello >= 1 && f.livello <= 3);
        peggiore = ondivo::Peggiore(peggiore, f.esito);
    }
    check(verifica.esito == peggiore);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ondivo::Fiducia nessuna;
    try {
        controlla(ondivo::VerificaBusta(
            std::string_view(reinterpret_cast<const char*>(data), size), nessuna));
    } catch (const ondivo::OndivoError& e) {
        check(std::string_view(e.what()).starts_with("Impossibile leggere la busta firmata: "));
    }
    return 0;
}
