#pragma once

#include "datidocumento.h"
#include "esitofirma.h"
#include "esploratore.h"
#include "fiducia.h"
#include "messaggiosdi.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace ondivo {

// One message of the exchange system in an invoice's history, as the list shows it.
struct EventoSdi {
    std::string dataOra; // Italian time, "2018-06-16 18:35:42"; "" when the message has none
    std::string codice;  // "RC", "NS"…
    std::string esito;   // what it says of the invoice: "consegnata", "scartata"…
    std::string file;    // the message's file, as the user knows it
    std::string nota;    // why it does not make the state, "" when it does
};

// Another place the same document was found in (UnisciDoppione).
struct AltroPosto {
    std::string file;     // as the user knows it
    std::string impronta; // the SHA-256 of that file, as RigaElenco::impronta
};

// One row of the list of many invoices: a document of an invoice file, an SdI message, or an
// entry that could not be read (with the reason).
struct RigaElenco {
    std::string file;                // as the user knows it (FileTrovato::nome)
    std::string percorso;            // where it is opened again; empty for an entry not read
    int documento = 0;               // 1-based within the file; 0 for an entry not read
    std::string formato;             // "FPR12", "FPA12", "FSM10", "SDI"…; empty when not read
    DatiDocumento dati;              // for an SdI message, tipoDocumento holds its code ("RC"…)
    std::optional<EsitoFirma> firma; // nullopt when not reached
    std::string statoSdi;            // "consegnata", "scartata"…: from the messages found with it
    std::string errore;              // why the entry could not be read; empty when it was
    // For SdI messages: what they refer to.
    std::string identificativoSdi;
    std::string nomeFileSdi;
    std::shared_ptr<const MessaggioSdI> messaggio; // shared: rows are many and mostly invoices
    // For invoices: the SHA-256 of the file as read, small hexadecimal letters (for the
    // messages that name the file by its hash), and the messages found about it, oldest first.
    std::string impronta;
    std::vector<EventoSdi> storiaSdi;
    // The SHA-256 of the invoice's XML, the signed content of an envelope: the same document
    // reached twice (an envelope and its XML, two paths, two archives) has the same.
    std::string improntaContenuto;
    // The same document found in other places too, in the order found (UnisciDoppioni).
    std::vector<AltroPosto> altriPosti;
};

// Reads one file found into its rows: one per document, or one for an SdI message, or one
// with the reason it could not be read. Never throws for the file's own faults. With
// `annulla` become true (from any thread) it stops, a signature tool included, and gives no
// rows.
std::vector<RigaElenco> LeggiRigheFile(const FileTrovato& file, const Fiducia& fiducia,
                                       const std::atomic<bool>* annulla = nullptr);

// The rows of every file the explorer finds in the paths, in the order found, each document
// once (UnisciDoppioni). The files are
// read on as many threads as the machine has cores while the explorer, on a thread of its
// own, goes on finding them (taking a ZIP archive's entries out overlaps reading those already
// out, the bytes of entries in memory waiting for a reader kept within a bound; the reading of
// a list makes no page, so opens may run side by side). `letti`, when
// given, is called on the calling thread with the files read and found so far. Errors of the
// explorer itself (no private folder) are thrown once every thread has stopped. With `annulla`
// become true (from any thread, a signal's flag included) the explorer and the readers stop
// as soon as they can and the rows read so far are given.
std::vector<RigaElenco> LeggiRighe(Esploratore& esploratore,
                                   const std::vector<std::string>& percorsi, const Fiducia& fiducia,
                                   const std::function<void(std::size_t, std::size_t)>& letti = {},
                                   const std::atomic<bool>* annulla = nullptr);

// What tells a document from any other, whatever path it was reached by: its content's hash
// (for an envelope, the signed content's) and its place in the file. "" for a row that was not
// read.
std::string ChiaveDocumento(const RigaElenco& riga);

// The same document found again (the same ChiaveDocumento): one row stays, the one whose file
// carries a signature (the envelope rather than the XML taken out of it), else `riga`; the
// other's place goes to its altriPosti.
void UnisciDoppione(RigaElenco& riga, RigaElenco doppione);

// Where each document already listed is, by ChiaveDocumento, for rows that come a few at a
// time: the same document found again merges into its row (UnisciDoppione).
class IndiceDocumenti {
public:
    // The place of the row `riga` is the same document as, or nullopt after noting `riga` at
    // `posto` (it is new, or not a document read).
    std::optional<std::size_t> trova(const RigaElenco& riga, std::size_t posto);
    void svuota() { m_posti.clear(); }

private:
    std::unordered_map<std::string, std::size_t> m_posti;
};

// Each document once, in the place it was first found: rows of the same document are merged
// (UnisciDoppione), so that an envelope and its XML, a file reached by two paths or in two
// archives are one row and are summed once.
void UnisciDoppioni(std::vector<RigaElenco>& righe);

// The sums of the documents of one currency, credit notes counted against the invoices
// (ImportoConSegno). Amounts exact, with a dot.
struct TotaleDivisa {
    std::string divisa; // as the documents write it; "" for documents that state none
    std::size_t documenti = 0;
    std::string imponibile = "0.00";
    std::string imposta = "0.00";
    std::string totale = "0.00";
    std::string netto = "0.00";
};

// One sum per currency of the invoice rows among `righe` (messages and entries not read are
// left out), in the order the currencies first appear: amounts in different currencies are
// never added together.
std::vector<TotaleDivisa> TotaliPerDivisa(const std::vector<const RigaElenco*>& righe);
std::vector<TotaleDivisa> TotaliPerDivisa(const std::vector<RigaElenco>& righe);

// "EUR  3 documenti  Imponibile 1.000,00  IVA 220,00  Totale 1.220,00  Netto 1.000,00": one
// sum as the window and the table show it.
std::string DescriviTotale(const TotaleDivisa& totale);

// What a message row says when it changes no invoice's state.
inline constexpr const char* RicevutaNonVerificata = "ricevuta non verificata";
inline constexpr const char* AbbinamentoAmbiguo = "abbinamento ambiguo";

// Gives the invoice rows the SdI state the messages among the rows prove, and the history of
// those messages. A message counts only when its signature is intact (valid, or intact with
// its signer not verified): any other is marked RicevutaNonVerificata on its own row and
// changes nothing. It names its invoice by NomeFile, or by the IdentificativoSdI a metadata
// file ties to one file (an identifier two metadata files give to different files ties none);
// with a Hash, only the file with that SHA-256 is it. When more than one file remains, the
// message changes nothing and its row says AbbinamentoAmbiguo. The state follows the
// exchange system's own order: a delivered file (RC) is never later rejected or undelivered,
// so a rejection after a delivery (a re-send of the same name, error 00002) or an older message
// leaves it delivered; otherwise the latest message of the delivery stage gives the state; the
// recipient's outcome (NE, EC) or the lapse of the terms (DT) come after it.
void AbbinaMessaggiSdi(std::vector<RigaElenco>& righe);

} // namespace ondivo
