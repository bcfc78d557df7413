#pragma once

#include "statofirme.h"

#include <QString>

namespace ondivo {

// What the details of an amber verdict say first: why, in one plain sentence, and the one
// command that mends it, when there is one.
struct ConsiglioFirme {
    enum class Azione {
        Nessuna,
        ScaricaElenco,  // no trusted list yet: download the official one
        AggiornaElenco, // the authority is not in the list kept: it may be old
        RevocheInRete,  // revocation unknown: ask the authority's services
    };
    QString frase; // empty when the verdict needs no explanation (green, red, grey)
    Azione azione = Azione::Nessuna;
    QString comando; // the text of the command's button
};

// The advice for `stato`; `elencoPresente` says whether a trusted list is kept. Only an
// intact signature whose authority or revocation could not be confirmed gets one.
ConsiglioFirme ConsiglioPerFirme(const StatoFirme& stato, bool elencoPresente);

} // namespace ondivo
