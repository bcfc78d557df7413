#pragma once

#include "allegati.h"
#include "datidocumento.h"
#include "messaggiosdi.h"
#include "verificafirma.h"

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ondivo {

// What an open is to produce besides the format query, which always runs.
struct PartiDocumento {
    bool pagina = true;         // the stylesheet choice, the transformation and the folding
    bool allegati = true;       // the attachment list
    bool intestazione = true;   // the four header values
    bool datiDocumenti = false; // what a list of many invoices shows of each document
    // The authorities to verify the file's signatures against; no verification when null.
    const Fiducia* fiducia = nullptr;
    // An envelope's XML goes beside it (or to the cache when it cannot), as the viewer's open
    // command puts it; whatever only reads (a listing, opening from a list, the command line's
    // info and html, a PDF) keeps it in memory and writes nothing.
    bool estraiAccanto = true;
    // The user's own stylesheets: format → path (LeggiFogliPersonali), and under OgniFormato
    // one for every invoice without an entry of its own (the command line's --foglio). An
    // invoice whose format has one is shown with it; Ondivo's is used when it cannot make the
    // page (DocumentoAperto::avvisoFoglio says so). Never applied to the exchange system's
    // messages. Null: Ondivo's stylesheets only.
    const std::map<std::string, std::string>* fogliPersonali = nullptr;
};

// The key of PartiDocumento::fogliPersonali that stands for every invoice format.
inline constexpr const char* OgniFormato = "*";

// The format an open gives a receipt or notice of the exchange system, which has none of its own.
inline constexpr const char* FormatoMessaggiSdI = "SDI";

// One invoice file opened, everything read from a single parse of its XML.
struct DocumentoAperto {
    // The plain messages of the open, in the order the steps emitted them (UTF-8), for the
    // caller to show. An open that is not shown ends with MsgDocumentoNonGestito.
    std::vector<std::string> messaggi;
    // False when the file is not an invoice the viewer shows (missing, not loadable, without
    // FormatoTrasmissione and no message of the exchange system): only `messaggi` and `fileXml`
    // are then set.
    bool gestito = false;
    // The open was cancelled before its end: nothing of it is to be shown.
    bool annullato = false;

    // The file read: the chosen one, or the XML taken out of an envelope where it was placed
    // (beside it, or in the cache); empty when the envelope's XML stayed in memory only.
    std::string fileXml;
    // The bytes of the chosen file as read, once, and the invoice's XML among them (the same
    // bytes, or an envelope's content): what was shown is what a PDF embeds and what the
    // signatures were verified on. Null when the file could not be read.
    std::shared_ptr<const std::string> dati;
    std::shared_ptr<const std::string> xml;
    // The SHA-256 of `xml` (datiDocumenti): the same invoice, signed or not, reached by any
    // path, has the same.
    std::string impronta;
    std::string formato;     // the joined text of the format query (ANSI)
    std::string foglioStile; // Ondivo's stylesheet for the format (the given one if unknown)
    std::string pagina;      // the page the view shows, Windows-1252 bytes
    // The user's stylesheet the page was made with; empty when it was made with `foglioStile`
    // (none chosen for the format, or the one chosen failed).
    std::string foglioPersonale;
    // Set when the user's stylesheet for the format could not make the page, which was then
    // made with Ondivo's: the sentence to show (UTF-8), naming the file and why, e.g. "Il
    // foglio di stile «mio.xsl» non si è potuto usare (il file non esiste): la fattura è
    // mostrata con il foglio di Ondivo."
    std::string avvisoFoglio;
    ListaAllegati allegati; // document order
    // The header values (ANSI); nothing where the invoice lacks the element.
    std::optional<std::string> fornitore;
    std::optional<std::string> tipoDocumento;
    std::optional<std::string> data;
    std::optional<std::string> numero;
    std::vector<DatiDocumento> documenti; // one per FatturaElettronicaBody (datiDocumenti)
    // The verdict on the signatures of the chosen file (fiducia given), or why there is none.
    std::optional<VerificaFirme> firme;
    std::string erroreFirme;
    // Set when the file is a receipt or notice of the exchange system rather than an invoice:
    // `formato` is then FormatoMessaggiSdI, the stylesheet the messages' one, the header its
    // code and words, IdentificativoSdI, date and the invoice's file name, and no attachments.
    std::optional<MessaggioSdI> messaggioSdI;
};

// Opens the chosen file as the open command does, in its order: an envelope (IsEnvelope) is
// unwrapped, the XML is loaded once, the format query decides whether it is shown, the
// stylesheet is chosen from the format starting from `foglioStile`, the page is made (with the
// user's stylesheet for the format when `parti` gives one), then the attachment list and the
// header values are read, each only when `parti` asks for it.
// A file without a format that is a message of the exchange system (LeggiMessaggioSdI) is
// shown too, with the messages' stylesheet whatever `foglioStile` is.
// A load error and the refusal come back as messages; the errors of the steps (the envelope,
// an element without a single text node, the transformation) are raised as they are.
// With `annulla` set (from any thread) the open stops before its next step and comes back
// marked annullato. May be called from several threads: past the envelope, opens run one at a
// time, since libxslt reports errors through one process-wide handler.
// The chosen file is read once, and everything comes from those bytes (DocumentoAperto::dati).
// With `contenuto`, the file's bytes are those, already read (an entry of an archive kept in
// memory), and `scelto` only names it. An envelope is unwrapped in memory (ContenutoBusta); its
// XML is placed beside it, or in the cache, only with PartiDocumento::estraiAccanto.
DocumentoAperto ApriDocumento(const std::string& scelto, const std::string& foglioStile,
                              const PartiDocumento& parti = {},
                              const std::atomic<bool>* annulla = nullptr,
                              std::shared_ptr<const std::string> contenuto = nullptr);

// Makes the XML libraries ready for opens on other threads; call once on the main thread
// before the first.
void PreparaAperture();

// A message about a file that could not be shown, naming it: the path follows on a line of its
// own unless the message already holds it.
std::string MessaggioConFile(const std::string& messaggio, const std::string& file);

} // namespace ondivo
