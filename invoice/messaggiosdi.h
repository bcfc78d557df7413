#pragma once

#include <libxml/tree.h>

#include <optional>
#include <string>

namespace ondivo {

// The namespaces of the messages the exchange system (SdI) sends about an invoice: the one of
// the public administration's channel and the one the Agenzia delle Entrate's receipts carry.
inline constexpr const char* NamespaceMessaggiSdI = "http://www.fatturapa.gov.it/sdi/messaggi/v1.0";
inline constexpr const char* NamespaceMessaggiFattura =
    "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fattura/messaggi/v1.0";

// One receipt or notice of the exchange system, as far as a viewer and a list of invoices need
// it. Texts are UTF-8 and trimmed; "" where the message lacks the element.
struct MessaggioSdI {
    std::string codice;      // the two letters the system names it by: "RC", "NS", "MC", ...
    std::string descrizione; // the same in words: "Ricevuta di consegna", ...
    std::string identificativoSdI;
    std::string nomeFile; // the file of the invoice it is about
    std::string dataOraRicezione;
    std::string dataOraConsegna;
    std::string dataMessaADisposizione;
    std::string messageId;
    // The recipient's outcome of a NE or EC as written ("EC01" accepted, "EC02" refused).
    std::string esito;
    // What the message makes of its invoice: "consegnata", "non consegnata", "scartata",
    // "accettata", "rifiutata" or "decorrenza termini"; "" for the metadata file, a refused
    // outcome message, and an outcome that is neither EC01 nor EC02.
    std::string statoFattura;
    // The date the message is dated by, "yyyy-mm-dd" as invoices write theirs: the delivery of
    // a RC, the reception of the other messages that have one; "" for those that have none.
    std::string data;
};

// The message a loaded document is, told by its document element (name and namespace); nothing
// for any other document, an invoice or an unknown element of those namespaces included.
// Never raises: a missing or odd element just leaves its field empty.
std::optional<MessaggioSdI> LeggiMessaggioSdI(xmlDoc* documento);

} // namespace ondivo
