#pragma once

#include "datidocumento.h"
#include "esitofirma.h"
#include "esploratore.h"
#include "fiducia.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ondivo {

// One row of the list of many invoices: a document of an invoice file, an SdI message, or an
// entry that could not be read (with the reason).
struct RigaElenco {
    std::string file;      // as the user knows it (FileTrovato::nome)
    std::string percorso;  // where it is opened again; empty for an entry not read
    int documento = 0;     // 1-based within the file; 0 for an entry not read
    std::string formato;   // "FPR12", "FPA12", "FSM10", "SDI"…; empty when not read
    DatiDocumento dati;    // for an SdI message, tipoDocumento holds its code ("RC"…)
    std::optional<EsitoFirma> firma; // nullopt when not reached
    std::string statoSdi;  // "consegnata", "scartata"…: from the messages found with it
    std::string errore;    // why the entry could not be read; empty when it was
    // For SdI messages: what they refer to.
    std::string identificativoSdi;
    std::string nomeFileSdi;
};

// Reads one file found into its rows: one per document, or one for an SdI message, or one
// with the reason it could not be read. Never throws for the file's own faults. With
// `annulla` become true (from any thread) it stops, a signature tool included, and gives no
// rows.
std::vector<RigaElenco> LeggiRigheFile(const FileTrovato& file, const Fiducia& fiducia,
                                       const std::atomic<bool>* annulla = nullptr);

// The rows of every file the explorer finds in the paths, in the order found. The files are
// read on as many threads as the machine has cores while the explorer, on a thread of its
// own, goes on finding them (taking a ZIP archive's entries out overlaps reading those already
// out, the bytes of entries in memory waiting for a reader kept within a bound; the reading of
// a list makes no page, so opens may run side by side). `letti`, when
// given, is called on the calling thread with the files read and found so far. Errors of the
// explorer itself (no private folder) are thrown once every thread has stopped.
std::vector<RigaElenco> LeggiRighe(Esploratore& esploratore, const std::vector<std::string>& percorsi,
                                   const Fiducia& fiducia,
                                   const std::function<void(std::size_t, std::size_t)>& letti = {});

// Gives the invoice rows the SdI state of the messages among the rows that name their file
// (NomeFile, or the IdentificativoSdI a metadata file ties to it); of several messages the
// one that tells most wins (a rejection or an outcome over a delivery).
void AbbinaMessaggiSdi(std::vector<RigaElenco>& righe);

} // namespace ondivo
