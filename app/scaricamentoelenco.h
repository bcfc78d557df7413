#pragma once

#include "fiducia.h"

#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <string>

class QNetworkAccessManager;
class QObject;

namespace ondivo {

// What an update of the trusted list came to: the list now kept, or the error that stopped it
// (the list kept before stays then).
struct EsitoAggiornamentoElenco {
    ElencoFiducia elenco;
    std::exception_ptr errore;
};

// Downloads the trusted list at `indirizzo` (http or https) without blocking, then takes it in
// (AccettaElencoFiducia). `fine` runs once, later, on the thread of `contesto`, and not at all
// when `contesto` is gone first. The errors (OndivoError) name the address:
// "Impossibile scaricare l'elenco di fiducia da <indirizzo>: <motivo>", or the list's own error
// followed by the address.
// The download ends with an error when no byte comes for two minutes, and, however the bytes
// come, when it is not over within `durataMassima`.
void AggiornaElencoFiducia(QNetworkAccessManager& rete, const std::string& indirizzo,
                           QObject* contesto, std::function<void(EsitoAggiornamentoElenco)> fine,
                           std::chrono::milliseconds durataMassima = std::chrono::minutes(5));

// "ondivo --aggiorna-fiducia [INDIRIZZO]": the update without a window, from the address given
// (the saved address stays as it is), else from IndirizzoElencoFiducia(). Prints
// "Elenco di fiducia aggiornato: N certificatori (IT, emesso il …)" on standard output, or the
// error on standard error. Needs a running QCoreApplication. Returns 0 when the list was
// updated, 1 otherwise.
int AggiornaFiduciaSenzaFinestra(const std::optional<std::string>& indirizzo);

} // namespace ondivo
