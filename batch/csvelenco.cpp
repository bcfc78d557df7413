#include "csvelenco.h"

namespace ondivo {

namespace {

// A field quoted when it holds the separator, a quote or a line break.
std::string campo(const std::string& testo) {
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
           "Scadenza;Firma;Stato SdI;File;Documento;Errore;Divisa;Netto\r\n";
    for (const auto& r : righe) {
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
