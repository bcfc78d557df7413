#include "commands.h"
#include "csvelenco.h"
#include "documentoaperto.h"
#include "elenco.h"
#include "esploratore.h"
#include "fiducia.h"
#include "json.h"
#include "terminal.h"
#include "text.h"

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
                  << ", \"imponibile\": " << JsonValore(oNull(d.imponibile))
                  << ", \"imposta\": " << JsonValore(oNull(d.imposta))
                  << ", \"totale\": " << JsonValore(oNull(d.totale))
                  << ", \"scadenza\": " << JsonValore(oNull(d.scadenza))
                  << ", \"firma\": " << JsonValore(oNull(ParolaFirma(r)))
                  << ", \"stato_sdi\": " << JsonValore(oNull(r.statoSdi))
                  << ", \"errore\": " << JsonValore(oNull(r.errore)) << "}";
        separatore = ",\n";
    }
    std::cout << "\n]\n";
}

// A readable table: one line per row, the columns cut to their width.
void stampaTabella(const std::vector<RigaElenco>& righe) {
    struct Colonna {
        const char* titolo;
        std::size_t larghezza;
    };
    const Colonna colonne[] = {{"Tipo", 5},  {"Numero", 14},  {"Data", 10}, {"Fornitore", 28},
                               {"Totale", 12}, {"Firma", 10}, {"SdI", 12},  {"File", 0}};
    const auto riga = [&](const std::vector<std::string>& valori) {
        std::string linea;
        for (std::size_t i = 0; i < valori.size(); ++i) {
            std::string v = ControlliVisibili(valori[i]);
            const std::size_t l = colonne[i].larghezza;
            if (l > 0) {
                // Cut on a character's boundary: continuation bytes are never left alone.
                std::size_t caratteri = 0, fine = 0;
                while (fine < v.size() && caratteri < l) {
                    ++fine;
                    while (fine < v.size() && (static_cast<unsigned char>(v[fine]) & 0xC0) == 0x80)
                        ++fine;
                    ++caratteri;
                }
                v.resize(fine);
                v.append(l - caratteri + 1, ' ');
            }
            linea += v;
        }
        std::cout << linea << '\n';
    };
    std::vector<std::string> titoli;
    for (const auto& c : colonne)
        titoli.push_back(c.titolo);
    riga(titoli);
    for (const auto& r : righe) {
        const std::string file =
            r.file + (r.documento > 1 ? " (" + std::to_string(r.documento) + ")" : "");
        if (!r.errore.empty())
            riga({"", "", "", "", "", ParolaFirma(r), "", file + ": " + r.errore});
        else
            riga({r.dati.tipoDocumento, r.dati.numero, DataItaliana(r.dati.data), r.dati.fornitore,
                  ImportoItaliano(r.dati.totale, true), ParolaFirma(r), r.statoSdi, file});
    }
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
    std::vector<RigaElenco> righe =
        LeggiRighe(esploratore, percorsi, fiducia, [&](std::size_t letti, std::size_t trovati) {
            if (progresso)
                std::cerr << '\r' << letti << '/' << trovati << " file" << std::flush;
        });
    if (progresso)
        std::cerr << '\r' << std::string(40, ' ') << '\r' << std::flush;
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
