#pragma once

#include "datidocumento.h"
#include "messaggiosdi.h"

#include <libxslt/xsltInternals.h>

#include <map>
#include <memory>

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
//   conti:piu-giorni(date, days)  yyyy-mm-dd plus a number of days, "" when either is not one;
//   conti:ora-italiana(dateTime)  an xs:dateTime as Italian time, "2018-06-16 18:35:42", ""
//                                 when it is not one;
//   conti:messaggio(field)  of the document transformed, when it is a message of the exchange
//                           system: "codice", "descrizione", "esito", "stato" as the list reads
//                           them (LeggiMessaggioSdI); "" otherwise.
// Each body, and the message, is read once per transformation.
class FunzioniConti {
public:
    FunzioniConti(xsltTransformContextPtr contesto, xmlDoc* documento);
    ~FunzioniConti();
    FunzioniConti(const FunzioniConti&) = delete;
    FunzioniConti& operator=(const FunzioniConti&) = delete;

    const DatiDocumento& dati(const xmlNode* corpo);
    const MessaggioSdI* messaggio();

private:
    xsltTransformContextPtr m_contesto;
    xmlDoc* m_documento;
    std::map<const xmlNode*, DatiDocumento> m_letti;
    bool m_messaggioLetto = false;
    std::unique_ptr<MessaggioSdI> m_messaggio;
};

} // namespace ondivo
