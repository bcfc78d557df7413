#include "p7menvelope.h"
#include "base64text.h"
#include "envelopepath.h"
#include "errors.h"
#include "files.h"
#include "fileutil.h"
#include "lctv.h"
#include "process.h"
#include "tempfile.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace ondivo {

namespace {

#ifdef _WIN32
constexpr const char* kOpenSsl = "openssl.exe";
#else
constexpr const char* kOpenSsl = "openssl";
#endif

// Every DER or BER envelope starts with a SEQUENCE tag; Base64 text never does.
constexpr char kInizioDer = 0x30;
// Envelopes are seen Base64-encoded twice; more rounds than this are not an envelope.
constexpr int kGiriBase64 = 4;

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

// The DER bytes when the envelope is written as Base64 text (perhaps Base64 of Base64);
// nullopt when the tool should read the file as it is, which includes every file it will
// reject on its own.
std::optional<std::string> derDaBase64(const std::string& p7m) {
    std::string contenuto = platform::LeggiFile(p7m);
    if (!contenuto.empty() && contenuto[0] == kInizioDer)
        return std::nullopt;
    bool decodificato = false;
    for (int giro = 0; giro < kGiriBase64 && (contenuto.empty() || contenuto[0] != kInizioDer);
         ++giro) {
        auto der = DecodificaTestoBase64(contenuto);
        if (!der)
            break;
        contenuto = std::move(*der);
        decodificato = true;
    }
    return decodificato ? std::optional<std::string>(std::move(contenuto)) : std::nullopt;
}

} // namespace

bool EstraiXmlDaP7m(const std::string& p7m, std::string& xml,
                    std::chrono::milliseconds attesaMassima) {
    const std::string strumento = AppDir() + DirOssl + kOpenSsl;
    xml = PercorsoXmlDaP7m(p7m);
    if (!FileEsiste(p7m))
        throw OndivoError("File non trovato: " + p7m);
    if (!FileEsiste(strumento))
        throw OndivoError("OpenSSL non trovato: " + strumento);
    // Without an extension to drop, the tool would write the content over the envelope.
    if (xml == p7m)
        throw OndivoError("Output non creato: " + xml);

    // The tool writes into a folder of our own; its output is then put beside the envelope
    // without following a symbolic link that may stand there and lead anywhere.
    platform::CartellaTemporanea lavoro; // removed, with the tool's output, at the end
    std::string errore;
    if (!lavoro.crea("ondivo-p7m-", errore))
        throw OndivoError("Cannot create file \"" + lavoro.percorso() + "\". " + errore);
    const std::string uscita = lavoro.percorso() + "/contenuto";

    platform::FileTemporaneo decodificato; // removed once the tool has ended
    std::string ingresso = assoluto(p7m);
    if (const auto der = derDaBase64(p7m)) {
        if (!decodificato.crea("ondivo-p7m-", *der, errore))
            throw OndivoError("Cannot create file \"" + decodificato.percorso() + "\". " + errore);
        ingresso = decodificato.percorso();
    }

    // cms rather than smime: smime refuses valid CMS envelopes (signers named by key
    // identifier); attribute signatures are not checked so that, as with a content digest
    // that does not match, the content is still written and the exit code alone tells.
    const auto esito = platform::EseguiProgramma({assoluto(strumento), "cms", "-verify", "-in",
                                                  ingresso, "-inform", "DER", "-binary",
                                                  "-noverify", "-no_attr_verify", "-out", uscita},
                                                 AppDir() + "ossl", attesaMassima);

    if (esito.fine == platform::EsitoProgramma::Fine::NonAvviato)
        throw OndivoError("Errore avvio OpenSSL");
    // Whatever the tool wrote stays, also when it then failed; with nothing written, a file
    // left at xml by an earlier run is kept.
    if (FileEsiste(uscita))
        platform::ScriviFile(xml, platform::LeggiFile(uscita));
    if (esito.fine == platform::EsitoProgramma::Fine::Scaduto)
        throw OndivoError("OpenSSL non ha terminato entro " + inSecondi(attesaMassima) +
                          " secondi ed è stato interrotto");
    if (esito.codiceUscita != 0 && esito.codiceUscita != 4)
        throw OndivoError("OpenSSL errore (ExitCode=" + std::to_string(esito.codiceUscita) + ")");
    if (!FileEsiste(xml))
        throw OndivoError("Output non creato: " + xml);
    return true;
}

std::string XmlPathToOpen(const std::string& scelto) {
    if (!IsEnvelope(scelto))
        return scelto;
    std::string xml;
    EstraiXmlDaP7m(scelto, xml);
    return xml;
}

} // namespace ondivo
