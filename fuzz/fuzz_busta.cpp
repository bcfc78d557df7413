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

using ondivo::EsitoFirma;
using ondivo::fuzz::check;

ONDIVO_ORACLE void controlla(const ondivo::VerificaFirme& verifica) {
    check(!verifica.firmatari.empty());
    EsitoFirma peggiore = EsitoFirma::Assente;
    for (const auto& f : verifica.firmatari) {
        check(f.esito != EsitoFirma::Assente);
        // A signature that does not hold is not valid, or could not be checked at all.
        check(f.integra || f.esito == EsitoFirma::NonValida ||
              f.esito == EsitoFirma::NonVerificabile);
        check(f.esito == ondivo::EsitoDi(f.indicazione, f.sottoindicazione));
        check(f.sottoindicazione.empty() == (f.indicazione == ondivo::Indicazione::TotalPassed));
        check(f.motivi.empty() == f.motivo.empty());
        // No authority is trusted here.
        check(!f.attendibile && f.esito != EsitoFirma::Valida);
        // Envelopes nest three deep; the XML inside the innermost may carry its own signatures.
        check(f.livello >= 1 && f.livello <= 4);
        peggiore = ondivo::Peggiore(peggiore, f.esito);
    }
    check(verifica.esito == peggiore);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ondivo::Fiducia nessuna;
    try {
        controlla(ondivo::VerificaBusta(std::string_view(reinterpret_cast<const char*>(data), size),
                                        nessuna));
    } catch (const ondivo::OndivoError& e) {
        check(std::string_view(e.what()).starts_with("Impossibile leggere la busta firmata: "));
    }
    return 0;
}
