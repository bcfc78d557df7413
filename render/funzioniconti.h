#pragma once

#include "datidocumento.h"

#include <libxslt/xsltInternals.h>

#include <map>

namespace ondivo {

// The namespace of the functions the page's stylesheets call for the figures of a document, so
// that the page, the list and the command line compute each figure with the same code.
inline constexpr const char* NamespaceConti = "urn:ondivo:conti";

// Registers on a transformation, for as long as `conti` lives:
//   conti:conto(body, field)  the figure of a FatturaElettronicaBody as a string, "" when it
//                             cannot be known: "totale", "totale-dichiarato",
//                             "totale-calcolato", "totale-diverso" ("1" when stated and
//                             computed differ by more than a cent), "imponibile", "imposta",
//                             "arrotondamento", "ritenute", "iva-scissa", "netto", "pagamento",
//                             "pagamento-diverso", "credito" ("1" for a credit note), "divisa";
//   conti:piu-giorni(date, days)  yyyy-mm-dd plus a number of days, "" when either is not one.
// Each body is read once per transformation.
class FunzioniConti {
public:
    explicit FunzioniConti(xsltTransformContextPtr contesto);
    ~FunzioniConti();
    FunzioniConti(const FunzioniConti&) = delete;
    FunzioniConti& operator=(const FunzioniConti&) = delete;

    const DatiDocumento& dati(const xmlNode* corpo);

private:
    xsltTransformContextPtr m_contesto;
    std::map<const xmlNode*, DatiDocumento> m_letti;
};

} // namespace ondivo
