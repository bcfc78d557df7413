#pragma once

#include "esitofirma.h"

#include <QString>

#include <string>

namespace ondivo {

// What the window knows of the signatures of the invoice it shows.
struct StatoFirme {
    enum class Fase {
        Nessuna,  // no invoice shown
        InCorso,  // the verification has not come back yet
        Conclusa, // `firme` holds the verdict
        Fallita,  // the verification raised `errore` (the file is not a readable envelope…)
    };
    Fase fase = Fase::Nessuna;
    VerificaFirme firme;
    std::string errore; // UTF-8, a lower layer's message: plain text only
};

// The first line the window shows: the verdict (TestoVerdetto), "Verifica della firma…", the
// error, or nothing.
QString TestoStato(const StatoFirme& stato);

// Who signed, for the line under the verdict: the first signer's name and signing date,
// "Mario Rossi, 31/05/2024", with " e altri N" when others signed too. Empty without signers.
QString RigaFirmatari(const VerificaFirme& firme);

// A date of the checks ("YYYY-MM-DD", or a UTC time "YYYY-MM-DDThh:mm:ssZ", which is shown in
// the local time zone) as "dd/mm/yyyy", with "hh:mm:ss" after it when asked and given. Text
// that is not such a date comes back as written.
QString DataItaliana(const std::string& iso, bool conOra = false);

} // namespace ondivo
