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
    std::string data;                // yyyy-mm-dd
    std::string fornitore;           // Denominazione, else "Nome Cognome"
    std::string partitaIvaFornitore; // IdPaese followed by IdCodice: "IT01234567890"
    std::string cliente;
    std::string imponibile; // the sum over DatiRiepilogo (simplified: Importo less Imposta)
    std::string imposta;    // the sum over DatiRiepilogo / DatiIVA
    std::string totale;     // ImportoTotaleDocumento, else imponibile + imposta (simplified:
                            // the sum of Importo, which includes the tax)
    std::string scadenza;   // the first DataScadenzaPagamento, yyyy-mm-dd; without any, the
                            // reference date plus the days of the terms (see scadenzaCalcolata)
    bool scadenzaCalcolata = false;

    // The figures a payer acts on, exact, with a dot; "" where they cannot be known.
    std::string divisa;           // Divisa as written: "EUR", "USD"…
    std::string totaleDichiarato; // ImportoTotaleDocumento
    std::string totaleCalcolato;  // imponibile + imposta + the document's Arrotondamento
                                  // (simplified: the sum of Importo)
    std::string arrotondamento;   // the document's Arrotondamento
    std::string ritenute;         // the sum of ImportoRitenuta; "" without withholdings
    std::string ivaScissa;        // the tax of the summary lines under split payment
                                  // (EsigibilitaIVA S): paid by the customer to the Treasury
    std::string netto;            // totale - ritenute - ivaScissa
    std::string pagamento;        // what the payment details ask for (see LeggiDatiDocumenti)
};

// A credit note (TD04, TD08): an amount owed to the customer, not one to pay.
bool NotaDiCredito(const DatiDocumento& dati);

// The amounts differ by more than a cent; false when one is not an amount.
bool ImportiDiversi(const std::string& a, const std::string& b);

// The amount with the opposite sign, "0.00" for zero; "" for what is not an amount.
std::string ImportoOpposto(const std::string& importo);

// The amount as a list shows and sums it: credit notes count against the invoices, with their
// sign turned; any other amount as written.
std::string ImportoConSegno(const DatiDocumento& dati, const std::string& importo);

// The figures of one FatturaElettronicaBody of an ordinary or simplified invoice, the parties
// read from the header beside it; the body's own root tells which of the two it is.
DatiDocumento LeggiDatiDocumento(const xmlNode* corpo);

// One entry per FatturaElettronicaBody of an ordinary or simplified invoice, in document
// order; none when the root is neither. Missing elements leave their fields empty.
// `pagamento` is the sum of every ImportoPagamento, or, when that sum is not the net amount
// but every instalment asks for the same amount, that amount (details that are alternatives:
// the same sum by transfer or by card).
std::vector<DatiDocumento> LeggiDatiDocumenti(xmlDoc* fattura);

// The exact sum of decimal amounts written as in the XML ("-12.50", "3"), with as many
// decimals as the most precise of them and at least two; nullopt when one is not an amount.
// No amounts give "0.00".
std::optional<std::string> SommaImporti(const std::vector<std::string>& importi);

} // namespace ondivo
