#include "fiducia.h"
#include "errors.h"
#include "files.h"
#include "fileutil.h"
#include "opensslptr.h"
#include "text.h"

#include <openssl/pem.h>

#include <sstream>

namespace ondivo {

namespace {

constexpr const char* kCertificati = "certificatori.pem";
constexpr const char* kDescrizione = "elenco.txt";
constexpr const char* kIndirizzo = "indirizzo";

// The description's lines: "chiave=valore".
constexpr std::pair<const char*, std::string ElencoFiducia::*> kCampi[] = {
    {"territorio", &ElencoFiducia::territorio},
    {"numero", &ElencoFiducia::numeroSequenza},
    {"emissione", &ElencoFiducia::dataEmissione},
    {"prossimo", &ElencoFiducia::prossimoAggiornamento},
    {"firmatario", &ElencoFiducia::firmatario},
};

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
    std::size_t numero = 0;
};

Fiducia::Fiducia() = default;
Fiducia::~Fiducia() = default;
Fiducia::Fiducia(const Fiducia&) = default;
Fiducia& Fiducia::operator=(const Fiducia&) = default;

Fiducia::Fiducia(const std::vector<std::string>& certificatiDer) {
    auto dati = std::make_shared<Dati>();
    for (const auto& der : certificatiDer) {
        const auto* p = reinterpret_cast<const unsigned char*>(der.data());
        X509Ptr certificato(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
        if (certificato && X509_STORE_add_cert(dati->store.get(), certificato.get()) == 1)
            ++dati->numero;
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
    platform::ScriviFile(cartella + kDescrizione, descrizione);
}

ElencoFiducia AccettaElencoFiducia(const std::string& xml) {
    ElencoFiducia elenco = LeggiElencoFiducia(xml);
    SalvaElencoFiducia(elenco);
    return elenco;
}

std::string SintesiElencoFiducia(const ElencoFiducia& elenco, std::size_t certificatori) {
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
    return dettagli.empty() ? testo : testo + " (" + dettagli + ")";
}

Fiducia CaricaFiducia() {
    const std::string cartella = CartellaFiducia();
    const std::string pem = leggiSeEsiste(cartella.empty() ? "" : cartella + kCertificati);
    if (pem.empty())
        return Fiducia();
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    std::vector<std::string> certificati;
    while (X509Ptr certificato{PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)}) {
        unsigned char* der = nullptr;
        const int n = i2d_X509(certificato.get(), &der);
        if (n > 0)
            certificati.emplace_back(reinterpret_cast<const char*>(der),
                                     static_cast<std::size_t>(n));
        OPENSSL_free(der);
    }
    return Fiducia(certificati);
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
