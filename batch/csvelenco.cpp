#include "csvelenco.h"

#include <algorithm>
#include <string_view>

namespace ondivo {

namespace {

// A plain Italian amount as the list writes it: "-1.234,50", "12,5", "7".
bool numero(const std::string& testo) {
    std::size_t i = testo.starts_with('-') || testo.starts_with('+') ? 1 : 0;
    const std::size_t cifre = testo.find_first_not_of("0123456789.,", i);
    return cifre == std::string::npos && i < testo.size() &&
           testo.find_first_of("0123456789", i) != std::string::npos &&
           std::count(testo.begin(), testo.end(), ',') <= 1;
}

// A field quoted when it holds the separator, a quote or a line break. A text a spreadsheet
// would take for a formula (starting with =, +, -, @, a tab or a carriage return) is written
// with an apostrophe before it, which the spreadsheet shows as text; amounts stay numbers.
std::string campo(const std::string& valore) {
    std::string testo = valore;
    if (!testo.empty() && std::string_view("=+-@\t\r").find(testo[0]) != std::string_view::npos &&
        !numero(testo))
        testo.insert(0, 1, '\'');
    if (testo.find_first_of(";\"\r\n") == std::string::npos)
        return testo;
    std::string quotato = "\"";
    for (char c : testo) {
        if (c == '"')
            quotato += '"';
        quotato += c;
    }
    return quotato + "\"";
}

} // namespace

std::string ParolaFirma(const RigaElenco& riga) {
    return riga.firma ? ChiaveEsito(*riga.firma) : "";
}

std::string CsvElenco(const std::vector<RigaElenco>& righe) {
    std::string csv = "\xEF\xBB\xBF";
    csv += "Tipo;Numero;Data;Fornitore;Partita IVA fornitore;Cliente;Imponibile;IVA;Totale;"
           "Scadenza;Firma;Stato SdI;File;Documento;Errore;Divisa;Netto;Anche in\r\n";
    for (const auto& r : righe) {
        std::string altri;
        for (const auto& p : r.altriPosti)
            altri += (altri.empty() ? "" : " | ") + p.file;
        const std::string valori[] = {
            r.dati.tipoDocumento,
            r.dati.numero,
            DataItaliana(r.dati.data),
            r.dati.fornitore,
            r.dati.partitaIvaFornitore,
            r.dati.cliente,
            ImportoItaliano(ImportoConSegno(r.dati, r.dati.imponibile)),
            ImportoItaliano(ImportoConSegno(r.dati, r.dati.imposta)),
            ImportoItaliano(ImportoConSegno(r.dati, r.dati.totale)),
            DataItaliana(r.dati.scadenza),
            ParolaFirma(r),
            r.statoSdi,
            r.file,
            r.documento > 0 ? std::to_string(r.documento) : std::string(),
            r.errore,
            r.dati.divisa,
            ImportoItaliano(ImportoConSegno(r.dati, r.dati.netto)),
            altri,
        };
        bool primo = true;
        for (const auto& v : valori) {
            if (!primo)
                csv += ';';
            csv += campo(v);
            primo = false;
        }
        csv += "\r\n";
    }
    return csv;
}

} // namespace ondivo
