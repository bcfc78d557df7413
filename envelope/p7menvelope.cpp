#include "p7menvelope.h"
#include "envelopepath.h"
#include "errors.h"
#include "esecuzione.h"
#include "executablepath.h"
#include "files.h"
#include "fileutil.h"
#include "formabusta.h"
#include "tempfile.h"

#include <exception>
#include <optional>

namespace ondivo {

namespace {

// The tool runs in its own folder, so relative paths must not reach it as they are.
std::string assoluto(const std::string& percorso) {
    return platform::PercorsoCompleto(percorso);
}

// "120", or "0,25" for a wait that is not whole seconds.
std::string inSecondi(std::chrono::milliseconds attesa) {
    const auto ms = attesa.count();
    std::string testo = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string decimali = std::to_string(1000 + ms % 1000).substr(1);
        decimali.erase(decimali.find_last_not_of('0') + 1);
        testo += "," + decimali;
    }
    return testo;
}

void controllaAnnullamento(const std::atomic<bool>* annulla) {
    if (annulla && annulla->load(std::memory_order_acquire))
        throw EAnnullata();
}

// Runs the tool on one envelope and raises the user's message unless it ended with 0 or 4.
void eseguiStrumento(const std::string& cartella, const std::string& strumento,
                     const std::string& ingresso, const std::string& uscita,
                     std::chrono::milliseconds attesaMassima, const std::atomic<bool>* annulla) {
    // cms rather than smime: smime refuses valid CMS envelopes (signers named by key
    // identifier); attribute signatures are not checked so that, as with a content digest
    // that does not match, the content is still written and the exit code alone tells.
    const auto esito = platform::EseguiProgramma({assoluto(strumento), "cms", "-verify", "-in",
                                                  ingresso, "-inform", "DER", "-binary",
                                                  "-noverify", "-no_attr_verify", "-out", uscita},
                                                 cartella, attesaMassima, annulla);
    switch (esito.fine) {
    case platform::EsitoProgramma::Fine::NonAvviato:
        throw OndivoError("Errore avvio OpenSSL");
    case platform::EsitoProgramma::Fine::Annullato:
        throw EAnnullata();
    case platform::EsitoProgramma::Fine::Scaduto:
        throw OndivoError("OpenSSL non ha terminato entro " + inSecondi(attesaMassima) +
                          " secondi ed è stato interrotto");
    case platform::EsitoProgramma::Fine::Terminato:
        break;
    }
    if (esito.codiceUscita != 0 && esito.codiceUscita != 4)
        throw OndivoError("OpenSSL errore (ExitCode=" + std::to_string(esito.codiceUscita) + ")");
}

} // namespace

std::string ContenutoBusta(std::string_view busta, const std::string& p7m,
                           const std::string& cartellaStrumento,
                           std::chrono::milliseconds attesaMassima,
                           const std::atomic<bool>* annulla) {
    const std::string strumento = cartellaStrumento + platform::NomeEseguibile("openssl");
    const std::string xml = PercorsoXmlDaP7m(p7m);
    controllaAnnullamento(annulla);
    if (EXmlSemplice(busta))
        return std::string(busta);
    if (!FileEsiste(strumento))
        throw OndivoError("OpenSSL non trovato: " + strumento);
    // Without an extension to drop, the content would take the envelope's own name.
    if (xml == p7m)
        throw OndivoError("Output non creato: " + xml);

    // Everything the tool reads and writes stays in this folder: the tool reads the bytes
    // already read, never the user's file again, so the content and the signatures' verdict
    // come from the same bytes.
    platform::CartellaTemporanea lavoro; // removed, with everything in it, at the end
    std::string errore;
    if (!lavoro.crea("ondivo-p7m-", errore))
        throw OndivoError("Cannot create file \"" + lavoro.percorso() + "\". " + errore);

    std::string ingresso = lavoro.percorso() + "/busta-1";
    // DER goes to the tool as it is (0x30, a SEQUENCE, starts every DER envelope); text is
    // decoded first.
    std::optional<std::string> der;
    if (busta.empty() || busta[0] != 0x30)
        der = DerDaTesto(busta);
    platform::ScriviFile(ingresso, der ? std::string_view(*der) : busta);
    der.reset();
    std::string contenuto;
    for (int livello = 1;; ++livello) {
        const std::string uscita = lavoro.percorso() + "/contenuto-" + std::to_string(livello);
        eseguiStrumento(cartellaStrumento, strumento, ingresso, uscita, attesaMassima, annulla);
        contenuto = FileEsiste(uscita) ? platform::LeggiFile(uscita) : std::string();
        // Nothing written, or an empty file: there is no content to show.
        if (contenuto.empty())
            throw OndivoError("Output non creato: " + xml);
        auto interna = BustaInterna(contenuto);
        if (!interna)
            break;
        if (livello == LivelliMassimiBuste)
            throw OndivoError("Impossibile aprire " + p7m + ": contiene buste annidate oltre " +
                              std::to_string(LivelliMassimiBuste) + " livelli");
        ingresso = lavoro.percorso() + "/busta-" + std::to_string(livello + 1);
        platform::ScriviFile(ingresso, *interna);
    }
    controllaAnnullamento(annulla);
    return contenuto;
}

bool EstraiXmlDaP7m(const std::string& p7m, std::string& xml, const std::string& cartellaStrumento,
                    std::chrono::milliseconds attesaMassima, const std::atomic<bool>* annulla) {
    xml = PercorsoXmlDaP7m(p7m);
    if (!FileEsiste(p7m))
        throw OndivoError("File non trovato: " + p7m);
    controllaAnnullamento(annulla);
    const std::string busta = platform::LeggiFile(p7m);
    if (EXmlSemplice(busta)) {
        xml = p7m;
        return true;
    }
    const std::string contenuto =
        ContenutoBusta(busta, p7m, cartellaStrumento, attesaMassima, annulla);
    xml = CollocaXmlEstratto(p7m, contenuto);
    return true;
}

std::string CollocaXmlEstratto(const std::string& p7m, std::string_view contenuto) {
    const std::string accanto = PercorsoXmlDaP7m(p7m);
    std::exception_ptr erroreAccanto;
    std::string motivo = "la cartella non accetta nuovi file";
    if (platform::CartellaScrivibile(CartellaDi(accanto))) {
        try {
            platform::TFileScrittura file(accanto);
            file.Scrivi(contenuto);
            // Never over another file: a name that holds other bytes, a link or anything but
            // a regular file keeps it, and the content goes to the cache.
            if (file.ConfermaSeLibero(accanto) || file.UgualeA(accanto))
                return accanto;
            motivo = "il nome è già di un altro file";
        } catch (const platform::EFileStreamError&) {
            erroreAccanto = std::current_exception();
        }
    }

    const std::string copia = PercorsoXmlInCache(p7m);
    if (copia.empty()) {
        if (erroreAccanto)
            std::rethrow_exception(erroreAccanto);
        throw OndivoError("Impossibile scrivere " + accanto + ": " + motivo +
                          ", e l'utente non ha una cartella cache");
    }
    const std::string cartella = CartellaDi(copia);
    std::string motivoCartella;
    if (!platform::CreaCartella(cartella, motivoCartella))
        throw OndivoError("Impossibile creare la cartella " + cartella + ": " + motivoCartella);
    // The cache copy is ours: replaced whole, never left half written.
    platform::ScriviFile(copia, contenuto);
    return copia;
}

} // namespace ondivo
