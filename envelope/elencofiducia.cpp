#include "base64text.h"
#include "certificato.h"
#include "dataora.h"
#include "errors.h"
#include "fiducia.h"
#include "opensslptr.h"
#include "text.h"
#include "verificadsig.h"

#include <algorithm>
#include <set>

namespace ondivo {

namespace {

constexpr const char* kNsElenco = "http://uri.etsi.org/02231/v2#";
constexpr const char* kCertificatoreQualificato = ServizioCertificatoreQualificato;
constexpr const char* kMarche = "http://uri.etsi.org/TrstSvc/Svctype/TSA";

[[noreturn]] void rifiuta(const std::string& motivo) {
    throw OndivoError("Elenco di fiducia non valido: " + motivo);
}

// The children, along a path of element names of the list's namespace, in document order.
std::vector<xmlNode*> percorso(const xmlNode* da, std::initializer_list<const char*> nomi) {
    std::vector<xmlNode*> livello{const_cast<xmlNode*>(da)};
    for (const char* nome : nomi) {
        std::vector<xmlNode*> successivo;
        for (const xmlNode* nodo : livello)
            for (xmlNode* figlio : FigliXml(nodo, nome, kNsElenco))
                successivo.push_back(figlio);
        livello = std::move(successivo);
    }
    return livello;
}

std::string testoDi(const xmlNode* da, std::initializer_list<const char*> nomi) {
    const auto nodi = percorso(da, nomi);
    return nodi.empty() ? std::string() : std::string(Trim(TestoXml(nodi.front())));
}

// The certificate as DER written afresh, so that one certificate gives one string however its
// Base64 was laid out; empty when the text is not a certificate.
std::string certificatoDer(const std::string& base64) {
    const auto der = DecodificaTestoBase64(base64);
    if (!der)
        return {};
    const auto* p = reinterpret_cast<const unsigned char*>(der->data());
    X509Ptr certificato(d2i_X509(nullptr, &p, static_cast<long>(der->size())));
    return DerCertificato(certificato.get());
}

} // namespace

ElencoFiducia LeggiElencoFiducia(const std::string& xml) {
    std::string motivo;
    const XmlDocPtr documento = LeggiXmlInMemoria(xml, motivo);
    if (!documento)
        rifiuta("non è un file XML");
    const xmlNode* radice = xmlDocGetRootElement(documento.get());
    if (!ElementoXml(radice, "TrustServiceStatusList", kNsElenco))
        rifiuta("non è un elenco di fiducia dei certificatori (il file XML che l'AgID pubblica, "
                "TSL-IT.xml, nel formato europeo ETSI TS 119 612)");

    // Nothing of the list is read before its signature holds.
    const auto firme = FigliXml(radice, "Signature", NsFirmaXml);
    if (firme.empty())
        rifiuta("l'elenco non è firmato");
    const FirmaXmlVerificata firma = VerificaFirmaDsig(documento.get(), firme.front());
    if (!firma.integra || !firma.certificato)
        rifiuta("la firma dell'elenco non è valida (" + firma.motivo + ")");

    ElencoFiducia elenco;
    Firmatario firmatario;
    CampiCertificato(firma.certificato.get(), firmatario);
    elenco.firmatario = firmatario.soggetto;
    elenco.certificatoFirmatario = CodificaBase64(DerCertificato(firma.certificato.get()));
    elenco.territorio = testoDi(radice, {"SchemeInformation", "SchemeTerritory"});
    elenco.numeroSequenza = testoDi(radice, {"SchemeInformation", "TSLSequenceNumber"});
    elenco.dataEmissione = testoDi(radice, {"SchemeInformation", "ListIssueDateTime"});
    elenco.prossimoAggiornamento = testoDi(radice, {"SchemeInformation", "NextUpdate", "dateTime"});

    // The certification and time-stamping services with every status they had: a signer's
    // authority is judged by the status in force when it issued the certificate, elsewhere.
    // The certificates of the certification services are kept whatever their status.
    std::set<std::string> visti;
    for (const xmlNode* servizio :
         percorso(radice, {"TrustServiceProviderList", "TrustServiceProvider", "TSPServices",
                           "TSPService"})) {
        const xmlNode* informazioni = FiglioXml(servizio, "ServiceInformation", kNsElenco);
        const std::string tipo = testoDi(informazioni, {"ServiceTypeIdentifier"});
        // Each status with the type the service had then.
        std::vector<std::pair<std::string, StatoServizio>> stati;
        const auto stato = [&](const xmlNode* da) {
            const auto dal = SecondiDaDataOra(testoDi(da, {"StatusStartingTime"}));
            stati.push_back({testoDi(da, {"ServiceTypeIdentifier"}),
                             {testoDi(da, {"ServiceStatus"}), dal.value_or(0)}});
        };
        stato(informazioni);
        for (const xmlNode* storia :
             percorso(servizio, {"ServiceHistory", "ServiceHistoryInstance"}))
            stato(storia);
        std::vector<std::string> certificati;
        for (const xmlNode* testo :
             percorso(informazioni, {"ServiceDigitalIdentity", "DigitalId", "X509Certificate"})) {
            std::string der = certificatoDer(TestoXml(testo));
            if (!der.empty())
                certificati.push_back(std::move(der));
        }
        if (tipo == kCertificatoreQualificato)
            for (const auto& der : certificati)
                if (visti.insert(der).second)
                    elenco.certificati.push_back(der);
        // One service a type it had among those judged; a status under another type counts as
        // not qualified for this one.
        std::set<std::string> tipi{tipo};
        for (const auto& [t, _] : stati)
            tipi.insert(t);
        for (const auto& t : tipi) {
            if (t != kCertificatoreQualificato && t.rfind(kMarche, 0) != 0)
                continue;
            ServizioFiducia voce{t, certificati, {}};
            for (const auto& [tipoAllora, s] : stati)
                voce.stati.push_back(tipoAllora == t ? s
                                                     : StatoServizio{"tipo:" + tipoAllora, s.dal});
            elenco.servizi.push_back(std::move(voce));
        }
    }
    // The list of lists: the signers of each territory's list, by its pointers.
    for (const xmlNode* puntatore :
         percorso(radice, {"SchemeInformation", "PointersToOtherTSL", "OtherTSLPointer"})) {
        const std::string territorio =
            testoDi(puntatore, {"AdditionalInformation", "OtherInformation", "SchemeTerritory"});
        if (territorio.empty())
            continue;
        for (const xmlNode* testo :
             percorso(puntatore, {"ServiceDigitalIdentities", "ServiceDigitalIdentity", "DigitalId",
                                  "X509Certificate"})) {
            std::string der = certificatoDer(TestoXml(testo));
            auto& firmatari = elenco.firmatariDegliElenchi[territorio];
            if (!der.empty() &&
                std::find(firmatari.begin(), firmatari.end(), der) == firmatari.end())
                firmatari.push_back(std::move(der));
        }
    }
    if (elenco.certificati.empty() && elenco.firmatariDegliElenchi.empty())
        rifiuta("nessun certificatore qualificato nell'elenco");
    return elenco;
}

} // namespace ondivo
