#include "fiducia.h"
#include "base64text.h"
#include "certificato.h"
#include "dataora.h"
#include "errors.h"
#include "files.h"
#include "fileutil.h"
#include "lctv.h"
#include "opensslptr.h"
#include "text.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <algorithm>
#include <map>
#include <sstream>

namespace ondivo {

namespace {

constexpr const char* kCertificati = "certificatori.pem";
constexpr const char* kServizi = "servizi.txt";
constexpr const char* kTipoMarche = "http://uri.etsi.org/TrstSvc/Svctype/TSA";
constexpr const char* kDescrizione = "elenco.txt";
constexpr const char* kIndirizzo = "indirizzo";

// The description's lines: "chiave=valore".
constexpr std::pair<const char*, std::string ElencoFiducia::*> kCampi[] = {
    {"territorio", &ElencoFiducia::territorio},
    {"numero", &ElencoFiducia::numeroSequenza},
    {"emissione", &ElencoFiducia::dataEmissione},
    {"prossimo", &ElencoFiducia::prossimoAggiornamento},
    {"firmatario", &ElencoFiducia::firmatario},
    {"certificato_firmatario", &ElencoFiducia::certificatoFirmatario},
    {"autenticato", &ElencoFiducia::autenticato},
    {"motivo_non_autenticato", &ElencoFiducia::motivoNonAutenticato},
};
constexpr const char* kFirmatariNoti = "firmatari-noti.pem";
constexpr const char* kFirmatariProgramma = "fiducia/firmatari.pem";
constexpr const char* kSi = "sì";
// The list of lists kept: its signer ("firmatario BASE64") and, a line each, the signers of
// the territories' lists ("TERRITORIO BASE64").
constexpr const char* kElenchi = "elenchi.txt";

std::string leggiSeEsiste(const std::string& percorso) {
    if (percorso.empty() || !FileEsiste(percorso))
        return {};
    try {
        return platform::LeggiFile(percorso);
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace

struct Fiducia::Dati {
    X509StorePtr store{X509_STORE_new()};
    X509StorePtr storeMarche;
    std::size_t numero = 0;
    // The services of each certificate of the list (DER).
    std::map<std::string, std::vector<ServizioFiducia>> servizi;
    std::time_t prossimo = 0;
    bool statiIgnoti = false;   // kept by an earlier version, without the statuses
    std::string nonAutenticato; // why the list is not authentic; empty when it is
};

namespace {

X509Ptr daDer(const std::string& der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    return X509Ptr(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
}

bool diMarche(const std::string& tipo) {
    return tipo.rfind(kTipoMarche, 0) == 0;
}

std::string parteDelTipo(const std::string& tipo) {
    return tipo == ServizioCertificatoreQualificato ? "certificatore qualificato"
           : diMarche(tipo)                         ? "servizio di marche temporali qualificato"
                                                    : tipo;
}

// The status's last word, as the user may look it up: "granted", "withdrawn".
std::string nomeStato(const std::string& stato) {
    const auto barra = stato.rfind('/');
    return barra == std::string::npos ? stato : stato.substr(barra + 1);
}

} // namespace

bool StatoQualificato(const std::string& stato) {
    static constexpr std::string_view kQualificati[] = {
        "http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/granted",
        "http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/recognisedatnationallevel",
        // Before 2016.
        "http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/undersupervision",
        "http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/supervisionincessation",
        "http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/accredited",
        "http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/setbynationallaw",
    };
    return std::find(std::begin(kQualificati), std::end(kQualificati), stato) !=
           std::end(kQualificati);
}

Fiducia::Fiducia() = default;
Fiducia::~Fiducia() = default;
Fiducia::Fiducia(const Fiducia&) = default;
Fiducia& Fiducia::operator=(const Fiducia&) = default;

Fiducia::Fiducia(const std::vector<std::string>& certificatiDer)
    : Fiducia([&] {
          std::vector<ServizioFiducia> servizi;
          for (const auto& der : certificatiDer)
              servizi.push_back({ServizioCertificatoreQualificato, {der}, {}});
          return servizi;
      }()) {}

Fiducia::Fiducia(const std::vector<ServizioFiducia>& servizi, std::time_t prossimoAggiornamento) {
    auto dati = std::make_shared<Dati>();
    dati->prossimo = prossimoAggiornamento;
    for (const auto& servizio : servizi) {
        const bool certificazione = servizio.tipo == ServizioCertificatoreQualificato;
        if (!certificazione && !diMarche(servizio.tipo))
            continue;
        for (const auto& der : servizio.certificati) {
            X509Ptr certificato = daDer(der);
            if (!certificato)
                continue;
            const std::string chiave = DerCertificato(certificato.get());
            auto& suoi = dati->servizi[chiave];
            suoi.push_back({servizio.tipo, {chiave}, servizio.stati});
            if (suoi.size() > 1 && std::any_of(suoi.begin(), suoi.end() - 1, [&](const auto& s) {
                    return s.tipo == servizio.tipo;
                }))
                continue; // already in its store
            if (certificazione) {
                if (X509_STORE_add_cert(dati->store.get(), certificato.get()) == 1)
                    ++dati->numero;
            } else {
                if (!dati->storeMarche)
                    dati->storeMarche.reset(X509_STORE_new());
                X509_STORE_add_cert(dati->storeMarche.get(), certificato.get());
            }
        }
    }
    if (dati->numero > 0)
        m_dati = std::move(dati);
}

bool Fiducia::vuota() const {
    return !m_dati;
}

std::size_t Fiducia::numero() const {
    return m_dati ? m_dati->numero : 0;
}

X509_STORE* Fiducia::store() const {
    return m_dati ? m_dati->store.get() : nullptr;
}

X509_STORE* Fiducia::storeMarche() const {
    return m_dati ? m_dati->storeMarche.get() : nullptr;
}

std::time_t Fiducia::prossimoAggiornamento() const {
    return m_dati ? m_dati->prossimo : 0;
}

std::optional<std::string> Fiducia::NonQualificato(X509* autorita, std::time_t quando,
                                                   const char* tipo) const {
    if (!m_dati)
        return std::string("nessun elenco di certificatori fidati importato");
    if (!m_dati->nonAutenticato.empty())
        return "l'elenco di fiducia non è autenticato: " + m_dati->nonAutenticato;
    if (m_dati->statiIgnoti)
        return std::string("lo stato dei certificatori non è noto: importare di nuovo l'elenco "
                           "di fiducia");
    const auto voce = m_dati->servizi.find(DerCertificato(autorita));
    const bool cercaMarche = diMarche(tipo);
    std::optional<StatoServizio> inVigore;
    bool trovato = false;
    if (voce != m_dati->servizi.end()) {
        for (const auto& servizio : voce->second) {
            if (cercaMarche ? !diMarche(servizio.tipo) : servizio.tipo != tipo)
                continue;
            trovato = true;
            if (servizio.stati.empty())
                return std::nullopt; // given as qualified at any time
            // The status in force at that time: the latest that began by then.
            std::optional<StatoServizio> stato;
            for (const auto& s : servizio.stati)
                if (s.dal <= quando && (!stato || s.dal >= stato->dal))
                    stato = s;
            if (stato && StatoQualificato(stato->stato) &&
                (!cercaMarche || servizio.tipo != kTipoMarche))
                return std::nullopt;
            if (stato)
                inVigore = stato;
        }
    }
    if (!trovato)
        return "il certificatore non è nell'elenco come " + parteDelTipo(tipo);
    if (!inVigore)
        return "il servizio del certificatore non era ancora nell'elenco il " +
               GiornoItaliano(quando);
    return "il servizio del certificatore non era qualificato il " + GiornoItaliano(quando) +
           " (stato: " + nomeStato(inVigore->stato) +
           (inVigore->dal ? " dal " + GiornoItaliano(inVigore->dal) : std::string()) + ")";
}

std::string CartellaFiducia() {
    const std::string utente = platform::CartellaDatiUtente();
    return utente.empty() ? std::string() : utente + "fiducia/";
}

void SalvaElencoFiducia(const ElencoFiducia& elenco) {
    const std::string cartella = CartellaFiducia();
    if (cartella.empty())
        throw OndivoError("Impossibile salvare i certificatori: l'utente non ha una cartella dati");
    std::string motivo;
    if (!platform::CreaCartella(cartella, motivo))
        throw OndivoError("Impossibile creare la cartella " + cartella + ": " + motivo);
    std::string pem;
    for (const auto& der : elenco.certificati) {
        const auto* p = reinterpret_cast<const unsigned char*>(der.data());
        X509Ptr certificato(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
        BioPtr bio(BIO_new(BIO_s_mem()));
        if (!certificato || !bio || PEM_write_bio_X509(bio.get(), certificato.get()) != 1)
            continue;
        char* testo = nullptr;
        const long n = BIO_get_mem_data(bio.get(), &testo);
        pem.append(testo, static_cast<std::size_t>(n));
    }
    // The services with their statuses, one item a line: "servizio TIPO", then its
    // "certificato BASE64" and "stato URI SECONDI" lines.
    std::vector<ServizioFiducia> servizi = elenco.servizi;
    if (servizi.empty())
        for (const auto& der : elenco.certificati)
            servizi.push_back({ServizioCertificatoreQualificato, {der}, {}});
    std::string righeServizi;
    for (const auto& servizio : servizi) {
        righeServizi += "servizio " + servizio.tipo + "\n";
        for (const auto& der : servizio.certificati)
            righeServizi += "certificato " + CodificaBase64(der) + "\n";
        for (const auto& stato : servizio.stati)
            righeServizi += "stato " + stato.stato + " " + std::to_string(stato.dal) + "\n";
    }
    std::string descrizione;
    for (const auto& [chiave, campo] : kCampi) {
        std::string valore = elenco.*campo;
        for (char& c : valore)
            if (c == '\n' || c == '\r')
                c = ' ';
        descrizione += std::string(chiave) + "=" + valore + "\n";
    }
    // The certificates first: a description never speaks of certificates not written.
    platform::ScriviFile(cartella + kCertificati, pem);
    platform::ScriviFile(cartella + kServizi, righeServizi);
    platform::ScriviFile(cartella + kDescrizione, descrizione);
}

namespace {

// The DER of every certificate of a PEM file; none when there is no such file.
std::vector<std::string> certificatiPem(const std::string& percorso) {
    std::vector<std::string> certificati;
    const std::string pem = leggiSeEsiste(percorso);
    if (pem.empty())
        return certificati;
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    while (X509Ptr certificato{PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)})
        certificati.push_back(DerCertificato(certificato.get()));
    ERR_clear_error();
    return certificati;
}

} // namespace

namespace {

// The list of lists kept: its signer, and the signers it names for each territory.
struct ElenchiSalvati {
    std::string firmatario; // DER
    std::map<std::string, std::vector<std::string>> firmatari;
};

ElenchiSalvati elenchiSalvati() {
    ElenchiSalvati salvati;
    const std::string cartella = CartellaFiducia();
    std::istringstream righe(leggiSeEsiste(cartella.empty() ? "" : cartella + kElenchi));
    std::string riga;
    while (std::getline(righe, riga)) {
        const auto spazio = riga.find(' ');
        const auto der = spazio == std::string::npos
                             ? std::nullopt
                             : DecodificaTestoBase64(riga.substr(spazio + 1));
        if (!der)
            continue;
        if (riga.compare(0, spazio, "firmatario") == 0)
            salvati.firmatario = *der;
        else
            salvati.firmatari[riga.substr(0, spazio)].push_back(*der);
    }
    return salvati;
}

} // namespace

void AutenticaElencoFiducia(ElencoFiducia& elenco) {
    elenco.autenticato.clear();
    elenco.motivoNonAutenticato.clear();
    const auto der = DecodificaTestoBase64(elenco.certificatoFirmatario);
    std::vector<std::string> noti = certificatiPem(AppDir() + kFirmatariProgramma);
    const std::string cartella = CartellaFiducia();
    if (!cartella.empty())
        for (auto& c : certificatiPem(cartella + kFirmatariNoti))
            noti.push_back(std::move(c));
    const ElenchiSalvati elenchi = elenchiSalvati();
    // A territory's list, by the signers the list of lists names for it; the list of lists,
    // by the signer of the one kept before.
    if (elenco.firmatariDegliElenchi.empty()) {
        const auto voce = elenchi.firmatari.find(elenco.territorio);
        if (voce != elenchi.firmatari.end())
            noti.insert(noti.end(), voce->second.begin(), voce->second.end());
    } else if (!elenchi.firmatario.empty()) {
        noti.push_back(elenchi.firmatario);
    }
    if (der && std::find(noti.begin(), noti.end(), *der) != noti.end()) {
        elenco.autenticato = kSi;
        return;
    }
    if (!elenco.firmatariDegliElenchi.empty()) {
        elenco.motivoNonAutenticato = "il suo firmatario (" + elenco.firmatario +
                                      ") non è tra i firmatari di elenchi conosciuti";
        return;
    }
    // The signer of the authentic list kept, for the same territory.
    const ElencoFiducia salvato = DescrizioneFiduciaSalvata();
    if (der && salvato.autenticato == kSi && !salvato.territorio.empty() &&
        salvato.territorio == elenco.territorio &&
        DecodificaTestoBase64(salvato.certificatoFirmatario) == der) {
        elenco.autenticato = kSi;
        return;
    }
    elenco.motivoNonAutenticato =
        "il suo firmatario (" + elenco.firmatario + ") non è tra i firmatari di elenchi conosciuti";
}

ElencoFiducia AccettaElencoFiducia(const std::string& xml) {
    ElencoFiducia elenco = LeggiElencoFiducia(xml);
    AutenticaElencoFiducia(elenco);
    if (elenco.firmatariDegliElenchi.empty()) {
        SalvaElencoFiducia(elenco);
        return elenco;
    }
    // A list of lists vouches for lists, not for signatures: kept apart, and only authentic.
    if (elenco.autenticato != kSi)
        throw OndivoError("Elenco degli elenchi di fiducia non autenticato: " +
                          elenco.motivoNonAutenticato);
    const std::string cartella = CartellaFiducia();
    std::string motivo;
    if (cartella.empty() || !platform::CreaCartella(cartella, motivo))
        throw OndivoError(
            "Impossibile salvare l'elenco degli elenchi: " +
            (motivo.empty() ? std::string("l'utente non ha una cartella dati") : motivo));
    std::string righe = "firmatario " + elenco.certificatoFirmatario + "\n";
    for (const auto& [territorio, firmatari] : elenco.firmatariDegliElenchi)
        for (const auto& der : firmatari)
            righe += territorio + " " + CodificaBase64(der) + "\n";
    platform::ScriviFile(cartella + kElenchi, righe);
    return elenco;
}

std::string SintesiElencoFiducia(const ElencoFiducia& elenco, std::size_t certificatori) {
    if (!elenco.firmatariDegliElenchi.empty())
        return "elenco degli elenchi di fiducia, " +
               std::to_string(elenco.firmatariDegliElenchi.size()) + " territori";
    std::string testo = certificatori == 1 ? std::string("1 certificatore")
                                           : std::to_string(certificatori) + " certificatori";
    std::string dettagli = elenco.territorio;
    if (!elenco.dataEmissione.empty()) {
        // ListIssueDateTime is a date and time; the day is what the user needs.
        const std::string& data = elenco.dataEmissione;
        const std::string giorno = data.substr(0, 10);
        const std::string italiana = DataItaliana(giorno);
        dettagli += dettagli.empty() ? "" : ", ";
        dettagli += "emesso il " + (italiana != giorno ? italiana : data);
    }
    if (elenco.autenticato != kSi && !elenco.certificatoFirmatario.empty())
        dettagli += dettagli.empty() ? "non autenticato" : ", non autenticato";
    return dettagli.empty() ? testo : testo + " (" + dettagli + ")";
}

std::string AvvisoAggiornamentoElenco(const ElencoFiducia& elenco, std::time_t ora) {
    const auto prossimo = SecondiDaDataOra(elenco.prossimoAggiornamento);
    if (!prossimo || *prossimo >= (ora ? ora : std::time(nullptr)))
        return {};
    return "da sostituire: il prossimo aggiornamento era previsto entro il " +
           GiornoItaliano(*prossimo);
}

Fiducia CaricaFiducia() {
    const std::string cartella = CartellaFiducia();
    if (cartella.empty())
        return Fiducia();
    const ElencoFiducia descritto = DescrizioneFiduciaSalvata();
    const auto prossimo = SecondiDaDataOra(descritto.prossimoAggiornamento);
    const std::string righe = leggiSeEsiste(cartella + kServizi);
    if (!righe.empty()) {
        std::vector<ServizioFiducia> servizi;
        std::istringstream testo(righe);
        std::string riga;
        while (std::getline(testo, riga)) {
            const auto spazio = riga.find(' ');
            const std::string chiave = riga.substr(0, spazio);
            const std::string valore = spazio == std::string::npos ? "" : riga.substr(spazio + 1);
            if (chiave == "servizio") {
                servizi.push_back({valore, {}, {}});
            } else if (servizi.empty()) {
                continue;
            } else if (chiave == "certificato") {
                if (auto der = DecodificaTestoBase64(valore))
                    servizi.back().certificati.push_back(*der);
            } else if (chiave == "stato") {
                const auto fine = valore.rfind(' ');
                if (fine != std::string::npos)
                    servizi.back().stati.push_back(
                        {valore.substr(0, fine),
                         std::strtoll(valore.c_str() + fine + 1, nullptr, 10)});
            }
        }
        Fiducia fiducia(servizi, prossimo.value_or(0));
        if (fiducia.m_dati && descritto.autenticato != kSi)
            std::const_pointer_cast<Fiducia::Dati>(fiducia.m_dati)->nonAutenticato =
                descritto.motivoNonAutenticato.empty() ? "non risulta autenticato"
                                                       : descritto.motivoNonAutenticato;
        return fiducia;
    }
    // Kept by an earlier version: the authorities without their statuses.
    const std::string pem = leggiSeEsiste(cartella + kCertificati);
    if (pem.empty())
        return Fiducia();
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    std::vector<std::string> certificati;
    while (X509Ptr certificato{PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)})
        certificati.push_back(DerCertificato(certificato.get()));
    Fiducia fiducia(certificati);
    if (fiducia.m_dati)
        std::const_pointer_cast<Fiducia::Dati>(fiducia.m_dati)->statiIgnoti = true;
    return fiducia;
}

ElencoFiducia DescrizioneFiduciaSalvata() {
    ElencoFiducia elenco;
    const std::string cartella = CartellaFiducia();
    std::istringstream righe(leggiSeEsiste(cartella.empty() ? "" : cartella + kDescrizione));
    std::string riga;
    while (std::getline(righe, riga)) {
        const auto uguale = riga.find('=');
        if (uguale == std::string::npos)
            continue;
        for (const auto& [chiave, campo] : kCampi)
            if (riga.compare(0, uguale, chiave) == 0)
                elenco.*campo = riga.substr(uguale + 1);
    }
    return elenco;
}

std::string IndirizzoElencoFiducia() {
    const std::string cartella = CartellaFiducia();
    const std::string testo = leggiSeEsiste(cartella.empty() ? "" : cartella + kIndirizzo);
    const std::string indirizzo(Trim(testo));
    return indirizzo.empty() ? IndirizzoPredefinitoElencoFiducia : indirizzo;
}

void ImpostaIndirizzoElencoFiducia(const std::string& indirizzo) {
    const std::string cartella = CartellaFiducia();
    if (cartella.empty())
        throw OndivoError("Impossibile salvare l'indirizzo: l'utente non ha una cartella dati");
    std::string motivo;
    if (!platform::CreaCartella(cartella, motivo))
        throw OndivoError("Impossibile creare la cartella " + cartella + ": " + motivo);
    platform::ScriviFile(cartella + kIndirizzo, std::string(Trim(indirizzo)) + "\n");
}

} // namespace ondivo
