#pragma once

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondivo {

// What a list of many invoices shows of one document of an invoice file (one
// FatturaElettronicaBody). UTF-8 texts, trimmed; amounts with a dot, as the XML writes them.
struct DatiDocumento {
    std::string tipoDocumento; // the code: "TD01"
    std::string numero;
    std::string data;          // yyyy-mm-dd
    std::string fornitore;     // Denominazione, else "Nome Cognome"
    std::string partitaIvaFornitore; // IdPaese followed by IdCodice: "IT01234567890"
    std::string cliente;
    std::string imponibile;    // the sum over DatiRiepilogo (simplified: Importo less Imposta)
    std::string imposta;       // the sum over DatiRiepilogo / DatiIVA
    std::string totale;        // ImportoTotaleDocumento, else imponibile + imposta (simplified:
                               // the sum of Importo, which includes the tax)
    std::string scadenza;      // the first DataScadenzaPagamento, yyyy-mm-dd
};

// One entry per FatturaElettronicaBody of an ordinary or simplified invoice, in document
// order; none when the root is neither. Missing elements leave their fields empty.
std::vector<DatiDocumento> LeggiDatiDocumenti(xmlDoc* fattura);

// The exact sum of decimal amounts written as in the XML ("-12.50", "3"), with as many
// decimals as the most precise of them and at least two; nullopt when one is not an amount.
// No amounts give "0.00".
std::optional<std::string> SommaImporti(const std::vector<std::string>& importi);

} // namespace ondivo
