#include "p7menvelope.h"
#include "base64text.h"
#include "envelopepath.h"
#include "errors.h"
#include "executablepath.h"
#include "files.h"
#include "fileutil.h"
#include "process.h"
#include "tempfile.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

namespace ondivo {

namespace {

// Every DER or BER envelope starts with a SEQUENCE tag; Base64 text never does.
constexpr char kInizioDer = 0x30;
// Envelopes are seen Base64-encoded twice; more rounds than this are not an envelope.
constexpr int kGiriBase64 = 4;
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kSpazi = " \t\r\n\f\v";
// The object identifier of CMS signed data, 1.2.840.113549.1.7.2, with its tag and length.
constexpr std::string_view kTipoSignedData = "\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02";

// The tool runs in its own folder, so relative paths must not reach it as they are.
std::string assoluto(const std::string& percorso) {
    std::error_code ec;
    const auto a = std::filesystem::absolute(percorso, ec);
    return ec ? percorso : a.string();
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

std::string_view senzaBom(std::string_view testo) {
    return testo.starts_with(kBom) ? testo.substr(kBom.size()) : testo;
}

// XML text rather than an envelope: "<" first, after a BOM and blanks.
bool eXmlSemplice(std::string_view dati) {
    dati = senzaBom(dati);
    const auto primo = dati.find_first_not_of(kSpazi);
    return primo != std::string_view::npos && dati[primo] == '<';
}

// True when the bytes start as an envelope does: a SEQUENCE, of any length form, whose first
// element is the signed-data type. Stricter than the first byte alone, which a content may
// well start with ("0" is 0x30).
bool eBustaDer(std::string_view dati) {
    if (dati.size() < 2 || dati[0] != kInizioDer)
        return false;
    const auto lunghezza = static_cast<unsigned char>(dati[1]);
    if (lunghezza > 0x84)
        return false;
    // Short form: the length itself; 0x80: indefinite; 0x81 to 0x84: that many bytes follow.
    const std::size_t inizio = 2 + (lunghezza > 0x80 ? lunghezza - 0x80u : 0u);
    return inizio <= dati.size() && dati.substr(inizio).starts_with(kTipoSignedData);
}

bool cifraBase64(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

// The bytes of an envelope written as text: PEM, or Base64 (perhaps Base64 of Base64, decoded
// until DER appears), after a UTF-8 BOM. nullopt when the text is neither; otherwise what was
// decoded, which the tool may still reject.
std::optional<std::string> derDaTesto(std::string_view testo) {
    testo = senzaBom(testo);
    const auto primo = testo.find_first_not_of(kSpazi);
    if (primo == std::string_view::npos)
        return std::nullopt;
    if (testo[primo] == '-')
        return DecodificaPem(testo);
    // XML and binary contents are refused here, before a whole decoding is tried.
    if (!cifraBase64(testo[primo]))
        return std::nullopt;
    std::string der;
    bool decodificato = false;
    for (int giro = 0; giro < kGiriBase64; ++giro) {
        auto giroDecodificato = DecodificaTestoBase64(decodificato ? std::string_view(der) : testo);
        if (!giroDecodificato)
            break;
        der = std::move(*giroDecodificato);
        decodificato = true;
        if (!der.empty() && der[0] == kInizioDer)
            break;
    }
    if (!decodificato)
        return std::nullopt;
    return der;
}

// The envelope inside an extracted content, as DER: the content itself or its decoding;
// nullopt when the content is not an envelope.
std::optional<std::string> bustaInterna(const std::string& contenuto) {
    if (eBustaDer(contenuto))
        return contenuto;
    auto der = derDaTesto(contenuto);
    if (der && eBustaDer(*der))
        return der;
    return std::nullopt;
}

// Runs the tool on one envelope and raises the user's message unless it ended with 0 or 4.
void eseguiStrumento(const std::string& cartella, const std::string& strumento,
                     const std::string& ingresso,
                     const std::string& uscita, std::chrono::milliseconds attesaMassima,
                     const std::atomic<bool>* annulla) {
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

std::string cartellaDi(const std::string& percorso) {
    const auto barra = percorso.find_last_of('/');
    if (barra == std::string::npos)
        return ".";
    return barra == 0 ? "/" : percorso.substr(0, barra);
}

} // namespace

bool EstraiXmlDaP7m(const std::string& p7m, std::string& xml, const std::string& cartellaStrumento,
                    std::chrono::milliseconds attesaMassima, const std::atomic<bool>* annulla) {
    const std::string strumento = cartellaStrumento + platform::NomeEseguibile("openssl");
    xml = PercorsoXmlDaP7m(p7m);
    if (!FileEsiste(p7m))
        throw OndivoError("File non trovato: " + p7m);
    controllaAnnullamento(annulla);
    std::string busta = platform::LeggiFile(p7m);
    if (eXmlSemplice(busta)) {
        xml = p7m;
        return true;
    }
    if (!FileEsiste(strumento))
        throw OndivoError("OpenSSL non trovato: " + strumento);
    // Without an extension to drop, the content would take the envelope's own name.
    if (xml == p7m)
        throw OndivoError("Output non creato: " + xml);

    // Everything the tool reads and writes, but the envelope itself, stays in this folder;
    // only a complete content leaves it.
    platform::CartellaTemporanea lavoro; // removed, with everything in it, at the end
    std::string errore;
    if (!lavoro.crea("ondivo-p7m-", errore))
        throw OndivoError("Cannot create file \"" + lavoro.percorso() + "\". " + errore);

    std::string ingresso = assoluto(p7m);
    if (busta.empty() || busta[0] != kInizioDer) {
        if (const auto der = derDaTesto(busta)) {
            ingresso = lavoro.percorso() + "/busta-1";
            platform::ScriviFile(ingresso, *der);
        }
    }
    std::string().swap(busta); // the tool reads the file itself: no need to hold it meanwhile
    std::string contenuto;
    for (int livello = 1;; ++livello) {
        const std::string uscita = lavoro.percorso() + "/contenuto-" + std::to_string(livello);
        eseguiStrumento(cartellaStrumento, strumento, ingresso, uscita, attesaMassima, annulla);
        contenuto = FileEsiste(uscita) ? platform::LeggiFile(uscita) : std::string();
        // Nothing written, or an empty file: there is no content to show.
        if (contenuto.empty())
            throw OndivoError("Output non creato: " + xml);
        auto interna = bustaInterna(contenuto);
        if (!interna)
            break;
        if (livello == LivelliMassimiBuste)
            throw OndivoError("Impossibile aprire " + p7m + ": contiene buste annidate oltre " +
                              std::to_string(LivelliMassimiBuste) + " livelli");
        ingresso = lavoro.percorso() + "/busta-" + std::to_string(livello + 1);
        platform::ScriviFile(ingresso, *interna);
    }
    controllaAnnullamento(annulla);
    xml = CollocaXmlEstratto(p7m, contenuto);
    return true;
}

std::string CollocaXmlEstratto(const std::string& p7m, std::string_view contenuto) {
    const std::string accanto = PercorsoXmlDaP7m(p7m);
    std::exception_ptr erroreAccanto;
    std::string motivo = "la cartella non accetta nuovi file";
    if (platform::CartellaScrivibile(cartellaDi(accanto))) {
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
    const std::string cartella = cartellaDi(copia);
    std::string motivoCartella;
    if (!platform::CreaCartella(cartella, motivoCartella))
        throw OndivoError("Impossibile creare la cartella " + cartella + ": " + motivoCartella);
    // The cache copy is ours: replaced whole, never left half written.
    platform::ScriviFile(copia, contenuto);
    return copia;
}

std::string XmlPathToOpen(const std::string& scelto, const std::string& cartellaStrumento,
                          const std::atomic<bool>* annulla) {
    if (!IsEnvelope(scelto))
        return scelto;
    std::string xml;
    EstraiXmlDaP7m(scelto, xml, cartellaStrumento, AttesaMassimaOpenSsl, annulla);
    return xml;
}

} // namespace ondivo
