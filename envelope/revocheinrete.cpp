#include "revocheinrete.h"
#include "dataora.h"
#include "files.h"
#include "impronta.h"
#include "opensslptr.h"
#include "segnali.h"

#include <openssl/conf.h>
#include <openssl/err.h>
#include <openssl/http.h>
#include <openssl/httperr.h>
#include <openssl/ocsp.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <exception>
#include <map>
#include <optional>

namespace ondivo {

namespace {

constexpr const char* kNessunaRisposta = "nessuna risposta entro il tempo";
constexpr const char* kTempoEsaurito = "tempo esaurito, non consultato";
constexpr const char* kSoloHttp = "non consultato, si scaricano solo indirizzi http://";
constexpr const char* kPrefisso = "http://";
// A redirect to a redirect is tolerated; a chain of them is not followed.
constexpr int kRinviiMassimi = 5;

using HttpPtr = std::unique_ptr<OSSL_HTTP_REQ_CTX, LiberaCon<OSSL_HTTP_REQ_CTX_free>>;
using OcspRichiestaPtr = std::unique_ptr<OCSP_REQUEST, LiberaCon<OCSP_REQUEST_free>>;
using OcspRispostaPtr = std::unique_ptr<OCSP_RESPONSE, LiberaCon<OCSP_RESPONSE_free>>;
using CertIdPtr = std::unique_ptr<OCSP_CERTID, LiberaCon<OCSP_CERTID_free>>;
using PuntiPtr = std::unique_ptr<CRL_DIST_POINTS, LiberaCon<CRL_DIST_POINTS_free>>;
using IndirizziOcspPtr = std::unique_ptr<STACK_OF(OPENSSL_STRING), LiberaCon<X509_email_free>>;

// OPENSSL_free is a macro: no function to name in LiberaCon.
struct LiberaTesto {
    void operator()(char* p) const { OPENSSL_free(p); }
};
using TestoPtr = std::unique_ptr<char, LiberaTesto>;

struct LiberaIntestazioni {
    void operator()(STACK_OF(CONF_VALUE) * pila) const {
        sk_CONF_VALUE_pop_free(pila, X509V3_conf_free);
    }
};
using IntestazioniPtr = std::unique_ptr<STACK_OF(CONF_VALUE), LiberaIntestazioni>;

// The one deadline of a download, shared by all its requests.
class Tempo {
public:
    explicit Tempo(std::chrono::milliseconds durata)
        : m_fine(std::chrono::steady_clock::now() + durata) {}

    bool esaurito() const { return std::chrono::steady_clock::now() >= m_fine; }
    // What is left in whole seconds, at least one: OpenSSL's calls count no finer.
    int secondi() const {
        const auto resta = std::chrono::duration_cast<std::chrono::seconds>(
                               m_fine - std::chrono::steady_clock::now())
                               .count();
        return static_cast<int>(std::clamp<long long>(resta, 1, INT_MAX / 2));
    }

private:
    std::chrono::steady_clock::time_point m_fine;
};

// An address as it may go into a message: printable, not too long.
std::string Leggibile(std::string testo) {
    for (char& c : testo)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            c = '?';
    if (testo.size() > 200)
        testo = testo.substr(0, 200) + "…";
    return testo;
}

// The address with its scheme in lower case when it is http://; nullopt for any other scheme
// and for text that cannot be an address.
std::optional<std::string> IndirizzoHttp(std::string url) {
    const std::string_view prefisso = kPrefisso;
    if (url.size() <= prefisso.size())
        return std::nullopt;
    for (char c : url)
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return std::nullopt;
    for (std::size_t i = 0; i < prefisso.size(); ++i) {
        const char c = url[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != prefisso[i])
            return std::nullopt;
    }
    url.replace(0, prefisso.size(), prefisso);
    return url;
}

std::string Testo(const ASN1_STRING* s) {
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(s)),
                       static_cast<std::size_t>(ASN1_STRING_length(s)));
}

// The HTTP status in OpenSSL's note "code=404, reason=Not Found".
std::string CodiceHttp(const char* dati) {
    const std::string testo = dati ? dati : "";
    const auto inizio = testo.find("code=");
    if (inizio == std::string::npos)
        return "?";
    auto fine = inizio + 5;
    while (fine < testo.size() && testo[fine] >= '0' && testo[fine] <= '9')
        ++fine;
    return testo.substr(inizio + 5, fine - inizio - 5);
}

// Why an exchange failed, in Italian, from OpenSSL's error queue, which is emptied: its first
// telling error is the cause, the later ones only say where it surfaced.
std::string MotivoDallaCoda(std::size_t massimo) {
    std::string motivo;
    unsigned long errore = 0;
    const char* dati = nullptr;
    int flag = 0;
    while ((errore = ERR_get_error_all(nullptr, nullptr, nullptr, &dati, &flag)) != 0) {
        if (!motivo.empty())
            continue;
        const int ragione = ERR_GET_REASON(errore);
        const char* nota = (flag & ERR_TXT_STRING) ? dati : nullptr;
        if (ERR_GET_LIB(errore) == ERR_LIB_BIO) {
            if (ragione == BIO_R_TRANSFER_TIMEOUT || ragione == BIO_R_CONNECT_TIMEOUT)
                motivo = kNessunaRisposta;
            continue;
        }
        if (ERR_GET_LIB(errore) != ERR_LIB_HTTP)
            continue;
        switch (ragione) {
        case HTTP_R_RETRY_TIMEOUT:
            motivo = kNessunaRisposta;
            break;
        case HTTP_R_RECEIVED_ERROR:
        case HTTP_R_STATUS_CODE_UNSUPPORTED:
            motivo = "il server ha risposto " + CodiceHttp(nota);
            break;
        case HTTP_R_MAX_RESP_LEN_EXCEEDED:
        case HTTP_R_ASN1_LEN_EXCEEDS_MAX_RESP_LEN:
            motivo = "risposta oltre il limite di " + std::to_string(massimo >> 20) + " MB";
            break;
        case HTTP_R_MISSING_ASN1_ENCODING:
        case HTTP_R_ERROR_PARSING_ASN1_LENGTH:
            motivo = "la risposta non è in DER";
            break;
        case HTTP_R_HEADER_PARSE_ERROR:
        case HTTP_R_RESPONSE_PARSE_ERROR:
        case HTTP_R_RECEIVED_WRONG_HTTP_VERSION:
        case HTTP_R_RESPONSE_LINE_TOO_LONG:
        case HTTP_R_ERROR_PARSING_CONTENT_LENGTH:
        case HTTP_R_INCONSISTENT_CONTENT_LENGTH:
            motivo = "risposta HTTP non valida";
            break;
        case HTTP_R_FAILED_READING_DATA:
            motivo = "connessione chiusa prima della risposta completa";
            break;
        default:
            break;
        }
    }
    return motivo.empty() ? "scambio non riuscito" : motivo;
}

// A connection to the host, made here rather than by OpenSSL's HTTP client: that one retries
// a refused connection until its deadline, and goes through the proxy of http_proxy.
BioPtr Connetti(const char* host, const char* porta, const Tempo& tempo, std::string& motivo) {
    BioPtr bio(BIO_new(BIO_s_connect()));
    if (!bio || BIO_set_conn_hostname(bio.get(), host) <= 0 ||
        BIO_set_conn_port(bio.get(), porta) <= 0) {
        motivo = "indirizzo non valido";
        return {};
    }
    BIO_set_nbio(bio.get(), 1);
    const std::time_t limite = std::time(nullptr) + tempo.secondi();
    for (;;) {
        if (BIO_do_connect(bio.get()) > 0)
            return bio;
        if (!BIO_should_retry(bio.get())) {
            motivo = "connessione non riuscita";
            return {};
        }
        if (BIO_wait(bio.get(), limite, 100) <= 0) {
            motivo = kNessunaRisposta;
            return {};
        }
    }
}

enum class Fine { Risposta, Rinvio, Errore };

// One request on a connection of its own: GET, or POST of `invio` as an OCSP request. The
// body of the answer, or where it is redirected, or the reason of the failure, in `testo`.
Fine Richiesta(const std::string& url, const std::string* invio, std::size_t massimo,
               const Tempo& tempo, std::string& testo) {
    ERR_clear_error();
    char* host = nullptr;
    char* porta = nullptr;
    char* percorso = nullptr;
    int tls = 0;
    const bool letto = OSSL_HTTP_parse_url(url.c_str(), &tls, nullptr, &host, &porta, nullptr,
                                           &percorso, nullptr, nullptr) == 1;
    TestoPtr h(host), p(porta), c(percorso);
    if (!letto || tls) {
        ERR_clear_error();
        testo = "indirizzo non valido";
        return Fine::Errore;
    }
    BioPtr connessione = Connetti(host, porta, tempo, testo);
    if (!connessione) {
        ERR_clear_error();
        return Fine::Errore;
    }
    const int secondi = tempo.secondi();
    HttpPtr http(OSSL_HTTP_open(host, porta, nullptr, nullptr, 0, connessione.get(),
                                connessione.get(), nullptr, nullptr, 0, secondi));
    // The port goes into Host unless it is the default (OpenSSL would leave it out).
    const std::string ospite = std::string(porta) == "80" ? host : std::string(host) + ":" + porta;
    STACK_OF(CONF_VALUE)* pila = nullptr;
    const bool intestato = X509V3_add_value("Host", ospite.c_str(), &pila) == 1;
    IntestazioniPtr intestazioni(pila);
    BioPtr corpo(invio ? BIO_new_mem_buf(invio->data(), static_cast<int>(invio->size())) : nullptr);
    if (!http || !intestato || (invio && !corpo) ||
        !OSSL_HTTP_set1_request(http.get(), percorso, intestazioni.get(),
                                invio ? "application/ocsp-request" : nullptr, corpo.get(), nullptr,
                                1, massimo, secondi, 0)) {
        ERR_clear_error();
        testo = "richiesta non preparata";
        return Fine::Errore;
    }
    char* rinvio = nullptr;
    BioPtr risposta(OSSL_HTTP_exchange(http.get(), &rinvio));
    TestoPtr r(rinvio);
    if (risposta) {
        char* dati = nullptr;
        const long n = BIO_get_mem_data(risposta.get(), &dati);
        testo.assign(dati ? dati : "", static_cast<std::size_t>(n > 0 ? n : 0));
        ERR_clear_error();
        return Fine::Risposta;
    }
    if (rinvio) {
        ERR_clear_error();
        testo = rinvio[0] == '/' ? std::string(kPrefisso) + ospite + rinvio : rinvio;
        return Fine::Rinvio;
    }
    testo = MotivoDallaCoda(massimo);
    return Fine::Errore;
}

// The body fetched from `url`, following redirects to http:// addresses (a GET only: OpenSSL
// does not redirect a POST); nullopt with the reason in `motivo`.
std::optional<std::string> Scambia(const std::string& url, const std::string* invio,
                                   std::size_t massimo, const Tempo& tempo, std::string& motivo) {
    std::string indirizzo = url;
    for (int rinvii = 0; rinvii <= kRinviiMassimi; ++rinvii) {
        if (tempo.esaurito()) {
            motivo = kNessunaRisposta;
            return std::nullopt;
        }
        std::string testo;
        switch (Richiesta(indirizzo, invio, massimo, tempo, testo)) {
        case Fine::Risposta:
            return testo;
        case Fine::Errore:
            motivo = testo;
            return std::nullopt;
        case Fine::Rinvio:
            if (auto http = IndirizzoHttp(testo)) {
                indirizzo = *http;
                break;
            }
            motivo = "rinviato a " + Leggibile(testo) + ", che non è un indirizzo http://";
            return std::nullopt;
        }
    }
    motivo = "troppi rinvii";
    return std::nullopt;
}

// The list is the issuer's own: named by it and signed with its key.
bool DellEmittente(X509_CRL* crl, X509* emittente) {
    EVP_PKEY* chiave = X509_get0_pubkey(emittente);
    const bool sua =
        X509_NAME_cmp(X509_CRL_get_issuer(crl), X509_get_subject_name(emittente)) == 0 && chiave &&
        X509_CRL_verify(crl, chiave) == 1;
    ERR_clear_error();
    return sua;
}

CrlPtr CrlDaDer(std::string_view der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    CrlPtr crl(d2i_X509_CRL(nullptr, &p, static_cast<long>(der.size())));
    ERR_clear_error();
    return crl;
}

std::string DerDi(X509_CRL* crl) {
    unsigned char* der = nullptr;
    const int n = i2d_X509_CRL(crl, &der);
    std::string testo(reinterpret_cast<const char*>(der), static_cast<std::size_t>(n > 0 ? n : 0));
    OPENSSL_free(der);
    return testo;
}

// The cached copy of the list at `url`: the SHA-256 of the address, in hex.
std::string FileInCache(const std::string& cartella, const std::string& url) {
    const std::string nome = ImprontaSha256(url);
    const bool separato = cartella.back() == '/' || cartella.back() == '\\';
    return cartella + (separato ? "" : "/") + nome + ".crl";
}

const char* StatoOcsp(int stato) {
    switch (stato) {
    case OCSP_RESPONSE_STATUS_MALFORMEDREQUEST:
        return "richiesta malformata";
    case OCSP_RESPONSE_STATUS_INTERNALERROR:
        return "errore interno";
    case OCSP_RESPONSE_STATUS_TRYLATER:
        return "riprovare più tardi";
    case OCSP_RESPONSE_STATUS_SIGREQUIRED:
        return "richiesta da firmare";
    case OCSP_RESPONSE_STATUS_UNAUTHORIZED:
        return "non autorizzato per questo certificato";
    default:
        return "stato sconosciuto";
    }
}

class Scaricatore {
public:
    explicit Scaricatore(const OpzioniRete& opzioni)
        : m_tempo(opzioni.scadenza), m_cache(opzioni.cache),
          m_ora(opzioni.ora ? opzioni.ora : std::time(nullptr)) {}

    void crl(X509* certificato, X509* emittente);
    void ocsp(X509* certificato, X509* emittente);

    RevocheScaricate esito;

private:
    bool lista(const std::string& url, X509* emittente);
    void nota(const std::string& url, const std::string& motivo) {
        esito.errori.push_back(Leggibile(url) + ": " + motivo);
    }
    // The http:// addresses among those given, in order; the others are told only when there
    // is no http:// one.
    std::vector<std::string> soloHttp(const std::vector<std::string>& indirizzi) {
        std::vector<std::string> http, altri;
        for (const auto& url : indirizzi) {
            if (auto indirizzo = IndirizzoHttp(url))
                http.push_back(*indirizzo);
            else
                altri.push_back(url);
        }
        if (http.empty())
            for (const auto& url : altri)
                nota(url, kSoloHttp);
        return http;
    }

    Tempo m_tempo;
    std::string m_cache;
    std::time_t m_ora;
    std::map<std::string, bool> m_liste; // the lists' addresses already tried, and whether had
};

// The lists of the certificate's distribution points. The addresses of one point are
// alternatives for the same list; other schemes are told only when a point has no http://.
void Scaricatore::crl(X509* certificato, X509* emittente) {
    PuntiPtr punti(static_cast<CRL_DIST_POINTS*>(
        X509_get_ext_d2i(certificato, NID_crl_distribution_points, nullptr, nullptr)));
    ERR_clear_error();
    for (int i = 0; i < sk_DIST_POINT_num(punti.get()); ++i) {
        const DIST_POINT* punto = sk_DIST_POINT_value(punti.get(), i);
        if (!punto->distpoint || punto->distpoint->type != 0)
            continue; // named relative to an issuer: no address
        std::vector<std::string> indirizzi;
        const GENERAL_NAMES* nomi = punto->distpoint->name.fullname;
        for (int j = 0; j < sk_GENERAL_NAME_num(nomi); ++j) {
            const GENERAL_NAME* nome = sk_GENERAL_NAME_value(nomi, j);
            if (nome->type == GEN_URI)
                indirizzi.push_back(Testo(nome->d.uniformResourceIdentifier));
        }
        for (const auto& url : soloHttp(indirizzi))
            if (lista(url, emittente))
                break;
    }
}

// The list at `url`, from the cache while fresh, else downloaded. A stale cached copy is still
// given when the download fails: it can tell a revocation, not a good standing.
bool Scaricatore::lista(const std::string& url, X509* emittente) {
    if (const auto fatto = m_liste.find(url); fatto != m_liste.end())
        return fatto->second;
    bool& avuta = m_liste[url];
    std::string file;
    CrlPtr vecchia;
    if (!m_cache.empty()) {
        file = FileInCache(m_cache, url);
        try {
            if (platform::FileRegolare(file))
                vecchia = CrlDaDer(platform::LeggiFile(file));
        } catch (const std::exception&) {
            // unreadable: as if absent
        }
        if (vecchia && !DellEmittente(vecchia.get(), emittente))
            vecchia.reset();
        const auto prossimo =
            vecchia ? Secondi(X509_CRL_get0_nextUpdate(vecchia.get())) : std::nullopt;
        if (prossimo && *prossimo >= m_ora) {
            esito.revoche.crl.push_back(std::move(vecchia));
            return avuta = true;
        }
    }

    std::string motivo;
    CrlPtr crl;
    if (m_tempo.esaurito()) {
        motivo = kTempoEsaurito;
    } else if (auto corpo = Scambia(url, nullptr, DimensioneMassimaCrl, m_tempo, motivo)) {
        crl = CrlDaDer(*corpo);
        if (!crl) {
            motivo = "la risposta non è una CRL";
        } else if (!DellEmittente(crl.get(), emittente)) {
            motivo = "la CRL non è firmata dall'emittente del certificato";
            crl.reset();
        }
    }
    if (!crl) {
        nota(url, motivo);
        if (vecchia)
            esito.revoche.crl.push_back(std::move(vecchia));
        return false;
    }

    if (!file.empty()) {
        std::string perche;
        try {
            if (!platform::CreaCartella(m_cache, perche))
                nota(url, "CRL non salvata nella cache (" + m_cache + ": " + perche + ")");
            else
                platform::ScriviFile(file, DerDi(crl.get()));
        } catch (const std::exception& e) {
            nota(url, std::string("CRL non salvata nella cache (") + e.what() + ")");
        }
    }
    esito.revoche.crl.push_back(std::move(crl));
    return avuta = true;
}

// A response of the certificate's first OCSP responder that gives one; the next ones are
// asked only when it does not. Other schemes are told only when there is no http:// one.
void Scaricatore::ocsp(X509* certificato, X509* emittente) {
    IndirizziOcspPtr indirizzi(X509_get1_ocsp(certificato));
    ERR_clear_error();
    std::vector<std::string> tutti;
    for (int i = 0; i < sk_OPENSSL_STRING_num(indirizzi.get()); ++i)
        tutti.push_back(sk_OPENSSL_STRING_value(indirizzi.get(), i));
    const std::vector<std::string> http = soloHttp(tutti);
    std::optional<std::string> richiesta;
    for (const auto& url : http) {
        if (m_tempo.esaurito()) {
            nota(url, kTempoEsaurito);
            continue;
        }
        if (!richiesta) {
            OcspRichiestaPtr r(OCSP_REQUEST_new());
            CertIdPtr id(OCSP_cert_to_id(EVP_sha1(), certificato, emittente));
            if (!r || !id || !OCSP_request_add0_id(r.get(), id.get())) {
                ERR_clear_error();
                nota(url, "richiesta OCSP non preparata");
                return;
            }
            id.release(); // the request's now
            unsigned char* der = nullptr;
            const int n = i2d_OCSP_REQUEST(r.get(), &der);
            richiesta.emplace(reinterpret_cast<const char*>(der),
                              static_cast<std::size_t>(n > 0 ? n : 0));
            OPENSSL_free(der);
        }
        std::string motivo;
        const auto corpo = Scambia(url, &*richiesta, DimensioneMassimaOcsp, m_tempo, motivo);
        if (!corpo) {
            nota(url, motivo);
            continue;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(corpo->data());
        OcspRispostaPtr risposta(d2i_OCSP_RESPONSE(nullptr, &p, static_cast<long>(corpo->size())));
        ERR_clear_error();
        if (!risposta) {
            nota(url, "la risposta non è una risposta OCSP");
            continue;
        }
        const int stato = OCSP_response_status(risposta.get());
        if (stato != OCSP_RESPONSE_STATUS_SUCCESSFUL) {
            nota(url, std::string("il responder OCSP ha risposto: ") + StatoOcsp(stato));
            continue;
        }
        const auto prima = esito.revoche.ocsp.size();
        esito.revoche.aggiungiOcsp(*corpo);
        if (esito.revoche.ocsp.size() > prima)
            return;
        nota(url, "risposta OCSP illeggibile");
    }
}

} // namespace

RevocheScaricate ScaricaRevoche(const std::vector<X509*>& catena, const OpzioniRete& opzioni) {
    const platform::SenzaSigpipe senzaSigpipe;
    Scaricatore scaricatore(opzioni);
    for (std::size_t i = 0; i + 1 < catena.size(); ++i) {
        if (!catena[i] || !catena[i + 1])
            continue;
        scaricatore.crl(catena[i], catena[i + 1]);
        scaricatore.ocsp(catena[i], catena[i + 1]);
    }
    ERR_clear_error();
    return std::move(scaricatore.esito);
}

} // namespace ondivo
