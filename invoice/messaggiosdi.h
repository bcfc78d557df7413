#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
    // The date the message is dated by, "yyyy-mm-dd" as invoices write theirs, in Italian time:
    // the delivery of a RC, the reception of the other messages that have one; "" for those
    // that have none.
    std::string data;
    // The same instant: seconds since 1970 UTC, and as Italian time ("2018-06-16 18:35:42");
    // nullopt and "" when the message has no time or one that is not an xs:dateTime.
    std::optional<std::int64_t> istante;
    std::string dataOra;
    // The SHA-256 of the invoice file as it was sent, in small hexadecimal letters; "" without.
    std::string hash;
    // The codes of the errors a rejection lists ("00002": a file already sent).
    std::vector<std::string> codiciErrore;
};

// The code of the rejection of a file the exchange system already received under that name.
inline constexpr const char* ErroreFileDuplicato = "00002";

// The message a loaded document is, told by its document element (name and namespace); nothing
// for any other document, an invoice or an unknown element of those namespaces included.
// Never raises: a missing or odd element just leaves its field empty.
std::optional<MessaggioSdI> LeggiMessaggioSdI(xmlDoc* documento);

} // namespace ondivo
