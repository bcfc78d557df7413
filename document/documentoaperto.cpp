#include "documentoaperto.h"

#include "accentfolding.h"
#include "ansicodec.h"
#include "elementpath.h"
#include "envelopepath.h"
#include "errors.h"
#include "executablepath.h"
#include "files.h"
#include "fileutil.h"
#include "formabusta.h"
#include "headerfields.h"
#include "impronta.h"
#include "lctv.h"
#include "localloader.h"
#include "messages.h"
#include "messagesink.h"
#include "p7menvelope.h"
#include "stylesheetchoice.h"
#include "text.h"
#include "transform.h"

#include <libxml/parser.h>
#include <libxslt/extensions.h>

#include <exception>
#include <mutex>

namespace ondivo {

namespace {

// The plain messages of the steps, kept in order for the caller.
class Messaggi : public MessageSink {
public:
    explicit Messaggi(std::vector<std::string>& elenco) : m_elenco(elenco) {}
    void ShowMessage(const std::string& testo) override { m_elenco.push_back(testo); }

private:
    std::vector<std::string>& m_elenco;
};

bool annullata(const std::atomic<bool>* annulla) {
    return annulla && annulla->load();
}

DocumentoAperto soloAnnullato() {
    DocumentoAperto documento;
    documento.annullato = true;
    return documento;
}

std::optional<std::string> seScritto(const std::string& utf8) {
    return utf8.empty() ? std::nullopt : std::optional<std::string>(Utf8ToAnsi(utf8));
}

// The header of a message in the window's four labels: what it is where an invoice has its
// type, its IdentificativoSdI as number, its date, and the invoice it is about in place of
// the supplier.
void intestazioneMessaggio(const MessaggioSdI& messaggio, DocumentoAperto& documento) {
    documento.tipoDocumento = Utf8ToAnsi(messaggio.codice + " " + messaggio.descrizione);
    documento.numero = seScritto(messaggio.identificativoSdI);
    documento.data = seScritto(messaggio.data);
    documento.fornitore = seScritto(messaggio.nomeFile);
}

// The user's stylesheet for the invoice's format: its own entry, else the one for every format.
std::string foglioPersonaleDi(const PartiDocumento& parti, const std::string& formato) {
    if (!parti.fogliPersonali)
        return {};
    for (const std::string& chiave : {formato, std::string(OgniFormato)}) {
        const auto voce = parti.fogliPersonali->find(chiave);
        if (voce != parti.fogliPersonali->end() && !voce->second.empty())
            return voce->second;
    }
    return {};
}

// Makes the page with the user's stylesheet, taking the invoice. False, with the warning set
// and the tree gone, when the stylesheet cannot make it.
bool paginaPersonale(XmlDocPtr fattura, const std::string& foglio, std::string& html,
                     DocumentoAperto& documento) {
    try {
        TrasformaConFoglioPersonale(std::move(fattura), foglio, html);
        documento.foglioPersonale = foglio;
        return true;
    } catch (const EFoglioStile& e) {
        documento.avvisoFoglio = "Il foglio di stile «" + NomeFile(foglio) +
                                 "» non si è potuto usare (" + e.motivo() +
                                 "): la fattura è mostrata con il foglio di Ondivo.";
        return false;
    }
}

} // namespace

DocumentoAperto ApriDocumento(const std::string& scelto, const std::string& foglioStile,
                              const PartiDocumento& parti, const std::atomic<bool>* annulla,
                              std::shared_ptr<const std::string> contenuto) {
    DocumentoAperto documento;
    // The file is read once: its page, its signatures' verdict and its identity come from the
    // same bytes, whatever happens to the file meanwhile. A file that cannot be read is left
    // to the XML loader, whose message names the fault as the open always did.
    if (!contenuto && !FileEsiste(scelto)) {
        if (IsEnvelope(scelto))
            throw OndivoError("File non trovato: " + scelto);
    } else if (!contenuto) {
        try {
            contenuto = std::make_shared<const std::string>(platform::LeggiFile(scelto));
        } catch (const platform::EFileStreamError&) {
            if (IsEnvelope(scelto))
                throw;
        }
    }
    documento.dati = contenuto;
    documento.fileXml = scelto;
    documento.xml = contenuto;
    if (contenuto && IsEnvelope(scelto) && !EXmlSemplice(*contenuto)) {
        try {
            // The signature tool may run for up to its time-out: a withdrawn open ends it at once.
            documento.xml = std::make_shared<const std::string>(ContenutoBusta(
                *contenuto, scelto, AppDir() + DirOssl, AttesaMassimaOpenSsl, annulla));
            documento.fileXml =
                parti.estraiAccanto ? CollocaXmlEstratto(scelto, *documento.xml) : std::string();
        } catch (const EAnnullata&) {
            return soloAnnullato();
        }
    }
    if (annullata(annulla))
        return soloAnnullato();
    if (parti.datiDocumenti && documento.xml)
        documento.impronta = ImprontaSha256(*documento.xml);

    // libxslt reports through a process-wide handler: opens that make a page run one at a
    // time from here, whichever thread asks (the window's open, a batch). Opens that only read
    // the tree (a list's reading) report through libxml2's per-thread handlers and run side by
    // side.
    static std::mutex unaAllaVolta;
    std::unique_lock<std::mutex> turno(unaAllaVolta, std::defer_lock);
    if (parti.pagina)
        turno.lock();
    if (annullata(annulla))
        return soloAnnullato();
    Messaggi messaggi(documento.messaggi);
    const std::string& letto = documento.fileXml.empty() ? scelto : documento.fileXml;
    XmlDocPtr fattura = CaricaPerQuery(letto, messaggi, documento.xml.get());
    std::vector<std::string> formato;
    if (fattura && LeggiValoriDoc(fattura.get(), PercorsoFormato, formato)) {
        documento.formato = UnisciValori(formato);
        documento.foglioStile = foglioStile;
        ScegliFoglioStile(documento.formato, documento.foglioStile);
    } else {
        if (fattura)
            documento.messaggioSdI = LeggiMessaggioSdI(fattura.get());
        if (!documento.messaggioSdI) {
            messaggi.ShowMessage(MsgDocumentoNonGestito);
            return documento;
        }
        documento.formato = FormatoMessaggiSdI;
        documento.foglioStile = FoglioStileMessaggi();
    }
    documento.gestito = true;
    if (annullata(annulla))
        return soloAnnullato();

    // The list and the header come from the tree before the transformation, which then takes
    // the tree and frees it before the page is written out. An error of the header is raised
    // only after the transformation, whose own errors come first.
    if (parti.allegati && !documento.messaggioSdI)
        LeggiAllegatiDoc(fattura.get(), documento.allegati);
    if (parti.datiDocumenti)
        documento.documenti = LeggiDatiDocumenti(fattura.get());
    if (parti.fiducia) {
        try {
            documento.firme = documento.dati
                                  ? VerificaFirmeDati(*documento.dati, scelto, *parti.fiducia)
                                  : VerificaFirmeFile(scelto, *parti.fiducia);
        } catch (const std::exception& e) {
            documento.erroreFirme = e.what();
        }
    }
    std::exception_ptr erroreIntestazione;
    if (parti.intestazione && documento.messaggioSdI) {
        intestazioneMessaggio(*documento.messaggioSdI, documento);
    } else if (parti.intestazione) {
        try {
            documento.fornitore = LeggiCampoIntestazione(fattura.get(), CampoFornitore);
            documento.tipoDocumento = LeggiCampoIntestazione(fattura.get(), CampoTipoDoc);
            documento.data = LeggiCampoIntestazione(fattura.get(), CampoData);
            documento.numero = LeggiCampoIntestazione(fattura.get(), CampoNumero);
        } catch (const EXMLDocError&) {
            erroreIntestazione = std::current_exception();
        }
    }
    if (parti.pagina) {
        std::string html;
        const std::string personale =
            documento.messaggioSdI ? std::string() : foglioPersonaleDi(parti, documento.formato);
        bool fatta = false;
        if (!personale.empty()) {
            // The user's stylesheet takes the tree, which may have changed by the time it
            // fails (xsl:strip-space works on it in place): ours gets the same bytes afresh,
            // their messages already given.
            fatta = paginaPersonale(std::move(fattura), personale, html, documento);
            if (!fatta) {
                if (annullata(annulla))
                    return soloAnnullato();
                std::vector<std::string> giaDati;
                Messaggi ripetuti(giaDati);
                fattura = CaricaPerQuery(letto, ripetuti, documento.xml.get());
                if (!fattura)
                    throw OndivoError("Errore nel caricamento XML: " + letto);
            }
        }
        if (!fatta)
            TrasformaXml(std::move(fattura), documento.foglioStile, html);
        documento.pagina = Utf8ToAnsi(PiegaAccenti(std::move(html)));
        if (annullata(annulla))
            return soloAnnullato();
    }
    if (erroreIntestazione)
        std::rethrow_exception(erroreIntestazione);
    return documento;
}

void PreparaAperture() {
    xmlInitParser();
    xsltInitGlobals();
    PreparaXslt();
}

std::string MessaggioConFile(const std::string& messaggio, const std::string& file) {
    if (file.empty() || messaggio.find(file) != std::string::npos)
        return messaggio;
    return messaggio + "\n" + file;
}

} // namespace ondivo
