#include "esitofirma.h"

namespace ondivo {

const char* TestoEsito(EsitoFirma esito) {
    switch (esito) {
    case EsitoFirma::Valida:
        return "Firma valida";
    case EsitoFirma::Integra:
        return "Firma integra, certificatore non verificato";
    case EsitoFirma::NonAncoraValida:
        return "Certificato non ancora valido alla data della firma";
    case EsitoFirma::Scaduta:
        return "Certificato scaduto alla data della firma";
    case EsitoFirma::NonValida:
        return "Firma non valida: documento modificato dopo la firma";
    case EsitoFirma::Assente:
        break;
    }
    return "Nessuna firma";
}

const char* ChiaveEsito(EsitoFirma esito) {
    switch (esito) {
    case EsitoFirma::Valida:
        return "valida";
    case EsitoFirma::Integra:
        return "integra";
    case EsitoFirma::NonAncoraValida:
        return "non_ancora_valida";
    case EsitoFirma::Scaduta:
        return "scaduta";
    case EsitoFirma::NonValida:
        return "non_valida";
    case EsitoFirma::Assente:
        break;
    }
    return "assente";
}

EsitoFirma Peggiore(EsitoFirma a, EsitoFirma b) {
    if (a == EsitoFirma::Assente)
        return b;
    if (b == EsitoFirma::Assente)
        return a;
    return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

} // namespace ondivo
