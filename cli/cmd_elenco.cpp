#include "base64text.h"
#include "commands.h"
#include "csvelenco.h"
#include "documentoaperto.h"
#include "elenco.h"
#include "esploratore.h"
#include "fiducia.h"
#include "json.h"
#include "segnali.h"
#include "terminal.h"
#include "text.h"

#include <algorithm>
#include <iostream>

namespace ondivo::cli {

namespace {

std::optional<std::string> oNull(const std::string& testo) {
    return testo.empty() ? std::nullopt : std::optional<std::string>(testo);
}

void stampaJson(const std::vector<RigaElenco>& righe) {
    std::cout << "[";
    const char* separatore = "\n";
    for (const auto& r : righe) {
        const auto& d = r.dati;
        std::cout << separatore << "{\"file\": " << JsonValore(r.file) << ", \"documento\": "
                  << (r.documento > 0 ? std::to_string(r.documento) : std::string("null"))
                  << ", \"formato\": " << JsonValore(oNull(r.formato))
                  << ", \"tipo_documento\": " << JsonValore(oNull(d.tipoDocumento))
                  << ", \"numero\": " << JsonValore(oNull(d.numero))
                  << ", \"data\": " << JsonValore(oNull(d.data))
                  << ", \"fornitore\": " << JsonValore(oNull(d.fornitore))
                  << ", \"piva_fornitore\": " << JsonValore(oNull(d.partitaIvaFornitore))
                  << ", \"cliente\": " << JsonValore(oNull(d.cliente))
                  << ", \"imponibile\": " << JsonValore(oNull(ImportoConSegno(d, d.imponibile)))
                  << ", \"imposta\": " << JsonValore(oNull(ImportoConSegno(d, d.imposta)))
                  << ", \"totale\": " << JsonValore(oNull(ImportoConSegno(d, d.totale)))
                  << ", \"scadenza\": " << JsonValore(oNull(d.scadenza))
                  << ", \"firma\": " << JsonValore(oNull(ParolaFirma(r)))
                  << ", \"stato_sdi\": " << JsonValore(oNull(r.statoSdi))
                  << ", \"errore\": " << JsonValore(oNull(r.errore))
                  << ", \"divisa\": " << JsonValore(oNull(d.divisa))
                  << ", \"netto\": " << JsonValore(oNull(ImportoConSegno(d, d.netto)))
                  << ", \"scadenza_calcolata\": " << (d.scadenzaCalcolata ? "true" : "false")
                  << ", \"file_base64\": "
                  << (Utf8Valido(r.file) ? std::string("null") : JsonValore(CodificaBase64(r.file)))
                  << ", \"storia_sdi\": [";
        for (std::size_t i = 0; i < r.storiaSdi.size(); ++i) {
            const EventoSdi& e = r.storiaSdi[i];
            std::cout << (i ? ", " : "") << "{\"data_ora\": " << JsonValore(oNull(e.dataOra))
                      << ", \"tipo\": " << JsonValore(e.codice)
                      << ", \"esito\": " << JsonValore(oNull(e.esito))
                      << ", \"file\": " << JsonValore(e.file)
                      << ", \"nota\": " << JsonValore(oNull(e.nota)) << "}";
        }
        std::cout << "], \"altri_file\": [";
        for (std::size_t i = 0; i < r.altriPosti.size(); ++i)
            std::cout << (i ? ", " : "") << JsonValore(r.altriPosti[i].file);
        std::cout << "]}";
        separatore = ",\n";
    }
    std::cout << "\n]\n";
}

// Characters of UTF-8 text, for the columns: continuation bytes do not count.
std::size_t caratteri(const std::string& v) {
    return static_cast<std::size_t>(std::count_if(
        v.begin(), v.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A readable table: one line per row, each column as wide as its longest text, so that no
// figure is ever cut; then one sum per currency.
void stampaTabella(const std::vector<RigaElenco>& righe) {
    std::vector<std::vector<std::string>> tabella{{"Tipo", "Numero", "Data", "Fornitore", "Totale",
                                                   "Divisa", "Netto", "Firma", "SdI", "File"}};
    const std::size_t importi[] = {4, 6}; // right-aligned
    for (const auto& r : righe) {
        const std::string file =
            r.file + (r.documento > 1 ? " (" + std::to_string(r.documento) + ")" : "");
        const auto& d = r.dati;
        if (!r.errore.empty())
            tabella.push_back(
                {"", "", "", "", "", "", "", ParolaFirma(r), "", file + ": " + r.errore});
        else
            tabella.push_back({d.tipoDocumento, d.numero, DataItaliana(d.data), d.fornitore,
                               ImportoItaliano(ImportoConSegno(d, d.totale), true), d.divisa,
                               ImportoItaliano(ImportoConSegno(d, d.netto), true), ParolaFirma(r),
                               r.statoSdi, file});
    }
    std::vector<std::size_t> larghezze(tabella.front().size(), 0);
    for (auto& riga : tabella)
        for (std::size_t i = 0; i < riga.size(); ++i) {
            riga[i] = ControlliVisibili(riga[i]);
            larghezze[i] = std::max(larghezze[i], caratteri(riga[i]));
        }
    for (const auto& riga : tabella) {
        std::string linea;
        for (std::size_t i = 0; i < riga.size(); ++i) {
            const std::size_t spazio = larghezze[i] - caratteri(riga[i]);
            const bool aDestra =
                std::find(std::begin(importi), std::end(importi), i) != std::end(importi);
            if (i + 1 == riga.size()) {
                linea += riga[i];
                break;
            }
            linea +=
                aDestra ? std::string(spazio, ' ') + riga[i] : riga[i] + std::string(spazio, ' ');
            linea += "  ";
        }
        while (!linea.empty() && linea.back() == ' ')
            linea.pop_back();
        std::cout << linea << '\n';
    }
    for (const auto& totale : TotaliPerDivisa(righe))
        std::cout << "Totale " << ControlliVisibili(DescriviTotale(totale)) << '\n';
}

} // namespace

// The list of every document in files, folders and ZIP archives, as the window's list shows it.
int ComandoElenco(const Argomenti& argomenti) {
    enum class Forma { Tabella, Json, Csv } forma = Forma::Tabella;
    std::vector<std::string> percorsi;
    for (const auto& a : argomenti) {
        if (a == "--json" && forma == Forma::Tabella)
            forma = Forma::Json;
        else if (a == "--csv" && forma == Forma::Tabella)
            forma = Forma::Csv;
        else if (!Trim(a).empty() && !a.starts_with("--"))
            percorsi.push_back(a);
        else
            return EsitoUso;
    }
    if (percorsi.empty())
        return EsitoUso;

    // Each entry of an archive is read once here: none needs a copy on disk.
    Esploratore esploratore({}, VociArchivio::InMemoria);
    const Fiducia fiducia = CaricaFiducia();
    PreparaAperture(); // the files are read on several threads
    const bool progresso = platform::ErroreStandardSuTerminale();
    // Ctrl+C or SIGTERM stop the reading; the explorer's private folder goes with it.
    const platform::Interruzione interruzione;
    std::vector<RigaElenco> righe = LeggiRighe(
        esploratore, percorsi, fiducia,
        [&](std::size_t letti, std::size_t trovati) {
            if (progresso)
                std::cerr << '\r' << letti << '/' << trovati << " file" << std::flush;
        },
        interruzione.richiesta());
    if (progresso)
        std::cerr << '\r' << std::string(40, ' ') << '\r' << std::flush;
    if (interruzione.richiesta()->load()) {
        std::cerr << "Elenco interrotto." << std::endl;
        return interruzione.codiceUscita();
    }
    AbbinaMessaggiSdi(righe);

    switch (forma) {
    case Forma::Json:
        stampaJson(righe);
        break;
    case Forma::Csv:
        std::cout << CsvElenco(righe);
        break;
    case Forma::Tabella:
        stampaTabella(righe);
        break;
    }
    bool falliti = false;
    for (const auto& r : righe)
        falliti = falliti || !r.errore.empty();
    return falliti ? EsitoErrore : EsitoOk;
}

} // namespace ondivo::cli
