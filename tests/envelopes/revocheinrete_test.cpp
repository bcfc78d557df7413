// Revocation data downloaded for a chain: lists from a small HTTP server of the test, responses
// from openssl's own OCSP responder, all on 127.0.0.1; the results judged by StatoRevocaDi and,
// where it applies, by openssl verify and openssl ocsp.
#include "certificatifixture.h"
#include "dataora.h"
#include "envelopefixture.h"
#include "identitaprova.h"
#include "revoca.h"
#include "revocheinrete.h"

#include <gtest/gtest.h>

#include <openssl/bn.h>
#include <openssl/ocsp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace ondivo;
using namespace ondivo::test;
using namespace std::chrono_literals;

namespace {

// ---------------------------------------------------------------------------------------------
// Helpers: times, PEM, openssl.

// "YYYYMMDDhhmmssZ", or "YYMMDDhhmmssZ" as openssl's index writes it, of a moment.
std::string Ora(std::time_t quando, bool breve = false) {
    std::tm tm{};
    gmtime_r(&quando, &tm);
    char testo[32];
    std::strftime(testo, sizeof testo, breve ? "%y%m%d%H%M%SZ" : "%Y%m%d%H%M%SZ", &tm);
    return testo;
}

std::string TestoBio(BIO* bio) {
    char* dati = nullptr;
    const long n = BIO_get_mem_data(bio, &dati);
    return std::string(dati, static_cast<std::size_t>(n > 0 ? n : 0));
}

std::string PemCertificato(X509* certificato) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    EXPECT_EQ(PEM_write_bio_X509(bio.get(), certificato), 1);
    return TestoBio(bio.get());
}

std::string PemChiave(EVP_PKEY* chiave) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    EXPECT_EQ(PEM_write_bio_PrivateKey(bio.get(), chiave, nullptr, nullptr, 0, nullptr, nullptr),
              1);
    return TestoBio(bio.get());
}

std::string DerCrl(X509_CRL* crl) {
    unsigned char* der = nullptr;
    const int n = i2d_X509_CRL(crl, &der);
    std::string testo(reinterpret_cast<const char*>(der), static_cast<std::size_t>(n > 0 ? n : 0));
    OPENSSL_free(der);
    return testo;
}

std::string PemCrl(X509_CRL* crl) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    EXPECT_EQ(PEM_write_bio_X509_CRL(bio.get(), crl), 1);
    return TestoBio(bio.get());
}

// Runs openssl with `argomenti`; its output and errors together.
std::string Openssl(const TempDir& dir, const std::vector<std::string>& argomenti) {
    const auto out = TempDir::Utf8(dir.path() / "openssl.out");
    std::vector<std::string> comando = {"/bin/sh", "-c", "o=$1; shift; exec \"$@\" >\"$o\" 2>&1",
                                        "sh",      out,  ONDIVO_OPENSSL};
    comando.insert(comando.end(), argomenti.begin(), argomenti.end());
    Esegui(comando);
    return LeggiFile(std::filesystem::path(out));
}

// The cache's name for the list at `url`, worked out here on its own.
std::string NomeInCache(const std::string& url) {
    unsigned char impronta[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EXPECT_EQ(EVP_Digest(url.data(), url.size(), impronta, &n, EVP_sha256(), nullptr), 1);
    std::string nome;
    char cifre[3];
    for (unsigned int i = 0; i < n; ++i) {
        std::snprintf(cifre, sizeof cifre, "%02x", impronta[i]);
        nome += cifre;
    }
    return nome + ".crl";
}

// The certificate given the addresses of its revocation data (a distribution point for each
// list address, an OCSP responder), signed again by its issuer.
void ConIndirizzi(Identita& chi, const Identita& emittente, const std::vector<std::string>& crl,
                  const std::string& ocsp = {}) {
    X509* c = chi.certificato.get();
    X509V3_CTX contesto;
    X509V3_set_ctx_nodb(&contesto);
    X509V3_set_ctx(&contesto, emittente.certificato.get(), c, nullptr, nullptr, 0);
    const auto aggiungi = [&](int nid, const std::string& valore) {
        X509_EXTENSION* estensione = X509V3_EXT_conf_nid(nullptr, &contesto, nid, valore.c_str());
        ASSERT_TRUE(estensione) << valore;
        X509_add_ext(c, estensione, -1);
        X509_EXTENSION_free(estensione);
    };
    std::string punti;
    for (const auto& url : crl)
        punti += (punti.empty() ? "URI:" : ",URI:") + url;
    if (!punti.empty())
        aggiungi(NID_crl_distribution_points, punti);
    if (!ocsp.empty())
        aggiungi(NID_info_access, "OCSP;URI:" + ocsp);
    ASSERT_GT(X509_sign(c, emittente.chiave.get(), EVP_sha256()), 0);
    // Read back, as a verifier would get it.
    const std::string der = chi.der();
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    chi.certificato.reset(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
    ASSERT_TRUE(chi.certificato);
}

// A port of 127.0.0.1 nobody listens on now.
int PortaLibera() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in indirizzo{};
    indirizzo.sin_family = AF_INET;
    indirizzo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof indirizzo;
    EXPECT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&indirizzo), n), 0);
    EXPECT_EQ(::getsockname(s, reinterpret_cast<sockaddr*>(&indirizzo), &n), 0);
    ::close(s);
    return ntohs(indirizzo.sin_port);
}

// ---------------------------------------------------------------------------------------------
// A tiny HTTP server on 127.0.0.1: fixed answers by path, 404 for any other, one request per
// connection. It stops with the object, or by itself after a minute.

class ServerHttp {
public:
    struct Risorsa {
        std::string corpo;
        bool lunghezza = true; // sent with Content-Length
        std::string rinvio;    // a 302 to this address instead
        bool muta = false;     // reads the request and never answers
        bool chiusa = false;   // reads the request and closes the connection

        static Risorsa Corpo(std::string corpo, bool lunghezza = true) {
            Risorsa r;
            r.corpo = std::move(corpo);
            r.lunghezza = lunghezza;
            return r;
        }
        static Risorsa Rinvio(std::string a) {
            Risorsa r;
            r.rinvio = std::move(a);
            return r;
        }
        static Risorsa Muta() {
            Risorsa r;
            r.muta = true;
            return r;
        }
        static Risorsa Chiusa() {
            Risorsa r;
            r.chiusa = true;
            return r;
        }
    };

    ServerHttp() {
        m_ascolto = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in indirizzo{};
        indirizzo.sin_family = AF_INET;
        indirizzo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof indirizzo;
        EXPECT_EQ(::bind(m_ascolto, reinterpret_cast<sockaddr*>(&indirizzo), n), 0);
        EXPECT_EQ(::listen(m_ascolto, 16), 0);
        EXPECT_EQ(::getsockname(m_ascolto, reinterpret_cast<sockaddr*>(&indirizzo), &n), 0);
        m_porta = ntohs(indirizzo.sin_port);
        EXPECT_EQ(::pipe2(m_sveglia, O_CLOEXEC), 0);
        m_filo = std::thread([this] { servi(); });
    }
    ~ServerHttp() {
        EXPECT_EQ(::write(m_sveglia[1], "x", 1), 1);
        m_filo.join();
        ::close(m_sveglia[0]);
        ::close(m_sveglia[1]);
        ::close(m_ascolto);
    }
    ServerHttp(const ServerHttp&) = delete;
    ServerHttp& operator=(const ServerHttp&) = delete;

    void pubblica(const std::string& percorso, Risorsa risorsa) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_risorse[percorso] = std::move(risorsa);
    }
    std::string url(const std::string& percorso) const {
        return "http://127.0.0.1:" + std::to_string(m_porta) + percorso;
    }
    int richieste() const { return m_richieste.load(); }

private:
    // The path of the request's first line; empty when none came within a few seconds.
    static std::string percorsoRichiesto(int c) {
        std::string richiesta;
        char buffer[4096];
        while (richiesta.find("\r\n\r\n") == std::string::npos && richiesta.size() < 65536) {
            pollfd attesa{c, POLLIN, 0};
            if (::poll(&attesa, 1, 5000) <= 0)
                return {};
            const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
            if (n <= 0)
                return {};
            richiesta.append(buffer, static_cast<std::size_t>(n));
        }
        const auto inizio = richiesta.find(' ');
        const auto fine = richiesta.find(' ', inizio + 1);
        return inizio == std::string::npos || fine == std::string::npos
                   ? std::string()
                   : richiesta.substr(inizio + 1, fine - inizio - 1);
    }

    static void invia(int c, const std::string& testo) {
        std::size_t inviati = 0;
        while (inviati < testo.size()) {
            const ssize_t n =
                ::send(c, testo.data() + inviati, testo.size() - inviati, MSG_NOSIGNAL);
            if (n <= 0)
                return; // the client went away: it may refuse what it is sent
            inviati += static_cast<std::size_t>(n);
        }
    }

    void servi() {
        const auto fine = std::chrono::steady_clock::now() + 60s;
        std::vector<int> muti;
        for (;;) {
            const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(
                fine - std::chrono::steady_clock::now());
            if (resta <= 0ms)
                break;
            pollfd attese[2] = {{m_ascolto, POLLIN, 0}, {m_sveglia[0], POLLIN, 0}};
            if (::poll(attese, 2, static_cast<int>(resta.count())) < 0 || attese[1].revents)
                break;
            if (!attese[0].revents)
                continue;
            const int c = ::accept4(m_ascolto, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                continue;
            const timeval limite{5, 0};
            ::setsockopt(c, SOL_SOCKET, SO_SNDTIMEO, &limite, sizeof limite);
            const std::string percorso = percorsoRichiesto(c);
            ++m_richieste;
            Risorsa risorsa;
            bool trovata = false;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (const auto r = m_risorse.find(percorso); r != m_risorse.end()) {
                    risorsa = r->second;
                    trovata = true;
                }
            }
            if (trovata && risorsa.muta) {
                muti.push_back(c);
                continue;
            }
            if (!trovata)
                invia(c, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
            else if (!risorsa.rinvio.empty())
                invia(c, "HTTP/1.0 302 Found\r\nLocation: " + risorsa.rinvio + "\r\n\r\n");
            else if (!risorsa.chiusa)
                invia(c,
                      "HTTP/1.0 200 OK\r\nContent-Type: application/pkix-crl\r\n" +
                          (risorsa.lunghezza
                               ? "Content-Length: " + std::to_string(risorsa.corpo.size()) + "\r\n"
                               : std::string()) +
                          "\r\n" + risorsa.corpo);
            ::close(c);
        }
        for (int c : muti)
            ::close(c);
    }

    int m_ascolto = -1;
    int m_porta = 0;
    int m_sveglia[2] = {-1, -1};
    std::mutex m_mutex;
    std::map<std::string, Risorsa> m_risorse;
    std::atomic<int> m_richieste{0};
    std::thread m_filo;
};

// ---------------------------------------------------------------------------------------------
// openssl ocsp as the responder of an authority, on a port of its own: it answers `richieste`
// requests and exits; it is killed with the object, or when the test program ends.

class ResponderOcsp {
public:
    ResponderOcsp(const TempDir& dir, const Identita& autorita, const std::string& indice,
                  int porta, int richieste = 1) {
        const std::vector<std::string> argomenti = {
            ONDIVO_OPENSSL,
            "ocsp",
            "-index",
            dir.write("ocsp/index.txt", indice),
            "-CA",
            dir.write("ocsp/ca.pem", PemCertificato(autorita.certificato.get())),
            "-rsigner",
            dir.write("ocsp/firmatario.pem", PemCertificato(autorita.certificato.get())),
            "-rkey",
            dir.write("ocsp/firmatario.key", PemChiave(autorita.chiave.get())),
            "-port",
            std::to_string(porta),
            "-nrequest",
            std::to_string(richieste),
            "-ignore_err"};
        std::vector<char*> argv;
        for (const auto& a : argomenti)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int tubo[2];
        EXPECT_EQ(::pipe2(tubo, O_CLOEXEC), 0);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the tests
            ::dup2(tubo[1], 1);
            ::dup2(tubo[1], 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(tubo[1]);
        m_uscita = tubo[0];
        // Ready once it says it accepts connections.
        const auto fine = std::chrono::steady_clock::now() + 10s;
        char buffer[512];
        while (m_testo.find("ACCEPT") == std::string::npos) {
            const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(
                fine - std::chrono::steady_clock::now());
            pollfd attesa{m_uscita, POLLIN, 0};
            if (resta <= 0ms || ::poll(&attesa, 1, static_cast<int>(resta.count())) <= 0)
                break;
            const ssize_t n = ::read(m_uscita, buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_testo.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ~ResponderOcsp() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_uscita);
    }
    ResponderOcsp(const ResponderOcsp&) = delete;
    ResponderOcsp& operator=(const ResponderOcsp&) = delete;

    bool pronto() const { return m_testo.find("ACCEPT") != std::string::npos; }
    const std::string& testo() const { return m_testo; }

private:
    pid_t m_pid = -1;
    int m_uscita = -1;
    std::string m_testo;
};

// A line of openssl's index: valid, or revoked at `revoca` when not 0.
std::string VoceIndice(const Identita& chi, std::time_t revoca) {
    BIGNUM* bn = ASN1_INTEGER_to_BN(X509_get_serialNumber(chi.certificato.get()), nullptr);
    char* seriale = BN_bn2hex(bn);
    char* soggetto = X509_NAME_oneline(X509_get_subject_name(chi.certificato.get()), nullptr, 0);
    const std::string voce = std::string(revoca ? "R" : "V") + "\t" +
                             Ora(*Secondi(X509_get0_notAfter(chi.certificato.get())), true) + "\t" +
                             (revoca ? Ora(revoca, true) : "") + "\t" + seriale + "\tunknown\t" +
                             soggetto + "\n";
    OPENSSL_free(soggetto);
    OPENSSL_free(seriale);
    BN_free(bn);
    return voce;
}

// ---------------------------------------------------------------------------------------------
// The cases.

enum class Servizio {
    Crl,              // the list, listing no one
    CrlRevoca,        // the list, listing the certificate
    CrlAltraAutorita, // a list of another authority
    Niente,           // 404
    Muto,             // accepts and never answers
    Chiuso,           // closes the connection without answering
    NessunoAscolta,   // a port nobody listens on
    Rinvio,           // a 302 to the list
    NonDer,           // an HTML page
    OltreDichiarato,  // a body over the limit, with its Content-Length
    OltreDer,         // no Content-Length, a DER length over the limit
    OcspValido,       // openssl ocsp, the certificate valid
    OcspRevocato,     // openssl ocsp, the certificate revoked
    SoloLdap,         // the distribution point is ldap://
    CatenaDiTre,      // leaf, intermediate and root, each list served
};

enum class Cache {
    Vuota,        // an empty folder
    Assente,      // none given
    Fresca,       // holding a list still fresh, listing the certificate
    Scaduta,      // holding a list past its next update
    NonScrivibile // a file stands where the folder should be
};

struct CasoRete {
    const char* nome;
    Servizio servizio;
    Cache cache;
    int richieste;            // requests the HTTP server gets
    std::size_t crl;          // lists had
    std::size_t ocsp;         // responses had
    StatoRevoca::Stato stato; // of every certificate but the last
    const char* errore;       // in the only error; none when empty
    std::chrono::milliseconds scadenza = 10s;
};

void PrintTo(const CasoRete& c, std::ostream* os) {
    *os << c.nome;
}

using S = StatoRevoca::Stato;

const char* Nome(S stato) {
    return stato == S::Valido ? "valid" : stato == S::Revocato ? "revoked" : "unknown";
}

const CasoRete kCasi[] = {
    {"crlServed", Servizio::Crl, Cache::Vuota, 1, 1, 0, S::Valido, ""},
    {"crlListsTheCertificate", Servizio::CrlRevoca, Cache::Vuota, 1, 1, 0, S::Revocato, ""},
    {"crlOfAnotherAuthority", Servizio::CrlAltraAutorita, Cache::Vuota, 1, 0, 0, S::Sconosciuto,
     "la CRL non è firmata dall'emittente del certificato"},
    {"notFound", Servizio::Niente, Cache::Vuota, 1, 0, 0, S::Sconosciuto,
     "il server ha risposto 404"},
    {"serverNeverAnswers", Servizio::Muto, Cache::Vuota, 1, 0, 0, S::Sconosciuto,
     "nessuna risposta entro il tempo", 1500ms},
    {"closedWithoutAnswer", Servizio::Chiuso, Cache::Vuota, 1, 0, 0, S::Sconosciuto,
     "connessione chiusa prima della risposta completa"},
    {"nobodyListens", Servizio::NessunoAscolta, Cache::Vuota, 0, 0, 0, S::Sconosciuto,
     "connessione non riuscita", 1500ms},
    {"redirected", Servizio::Rinvio, Cache::Vuota, 2, 1, 0, S::Valido, ""},
    {"notDer", Servizio::NonDer, Cache::Vuota, 1, 0, 0, S::Sconosciuto, "la risposta non è in DER"},
    {"overLimitByContentLength", Servizio::OltreDichiarato, Cache::Vuota, 1, 0, 0, S::Sconosciuto,
     "risposta oltre il limite di 20 MB"},
    {"overLimitByDerLength", Servizio::OltreDer, Cache::Vuota, 1, 0, 0, S::Sconosciuto,
     "risposta oltre il limite di 20 MB"},
    {"cachedFresh", Servizio::Crl, Cache::Fresca, 0, 1, 0, S::Revocato, ""},
    {"cachedStale", Servizio::Crl, Cache::Scaduta, 1, 1, 0, S::Valido, ""},
    {"noCache", Servizio::Crl, Cache::Assente, 1, 1, 0, S::Valido, ""},
    {"cacheNotWritable", Servizio::Crl, Cache::NonScrivibile, 1, 1, 0, S::Valido,
     "CRL non salvata nella cache"},
    {"ocspGood", Servizio::OcspValido, Cache::Vuota, 0, 0, 1, S::Valido, ""},
    {"ocspRevoked", Servizio::OcspRevocato, Cache::Vuota, 0, 0, 1, S::Revocato, ""},
    {"ldapOnly", Servizio::SoloLdap, Cache::Vuota, 0, 0, 0, S::Sconosciuto,
     "non consultato, si scaricano solo indirizzi http://"},
    {"chainOfThree", Servizio::CatenaDiTre, Cache::Vuota, 2, 2, 0, S::Valido, ""},
};

class RevocheInReteTest : public testing::TestWithParam<CasoRete> {};

TEST_P(RevocheInReteTest, Scarica) {
    const CasoRete& caso = GetParam();
    TempDir dir;
    ServerHttp server;
    const std::time_t adesso = std::time(nullptr);
    const std::string dal = Ora(adesso - 86400), al = Ora(adesso + 7 * 86400);

    Identita radice = Autorita("Ondivo Rete Root");
    Identita intermedia = Intermedia("Ondivo Rete CA", radice);
    const bool tre = caso.servizio == Servizio::CatenaDiTre;
    const Identita& emittente = tre ? intermedia : radice;
    Identita foglia = Emetti(Persona(), &emittente);

    // Where the certificate says its revocation data are.
    const std::string urlCrl = server.url("/ca.crl");
    std::string indirizzo = urlCrl, ocsp;
    int portaOcsp = 0;
    switch (caso.servizio) {
    case Servizio::Niente:
        indirizzo = server.url("/manca.crl");
        break;
    case Servizio::NessunoAscolta:
        indirizzo = "http://127.0.0.1:" + std::to_string(PortaLibera()) + "/ca.crl";
        break;
    case Servizio::Rinvio:
        indirizzo = server.url("/vecchia.crl");
        break;
    case Servizio::SoloLdap:
        indirizzo = "ldap://127.0.0.1/cn=Ondivo%20Rete%20Root?certificateRevocationList";
        break;
    case Servizio::OcspValido:
    case Servizio::OcspRevocato:
        indirizzo.clear();
        portaOcsp = PortaLibera();
        ocsp = "http://127.0.0.1:" + std::to_string(portaOcsp) + "/";
        break;
    default:
        break;
    }
    ConIndirizzi(
        foglia, emittente,
        indirizzo.empty() ? std::vector<std::string>{} : std::vector<std::string>{indirizzo}, ocsp);
    if (tre)
        ConIndirizzi(intermedia, radice, {server.url("/radice.crl")});

    // What the servers hold.
    std::vector<std::string> servite; // the lists served, DER
    const auto pubblica = [&](const std::string& percorso, const std::string& der) {
        server.pubblica(percorso, ServerHttp::Risorsa::Corpo(der));
        servite.push_back(der);
    };
    std::unique_ptr<ResponderOcsp> responder;
    switch (caso.servizio) {
    case Servizio::Crl:
    case Servizio::Rinvio:
        pubblica("/ca.crl", Crl(radice, {}, dal, al));
        if (caso.servizio == Servizio::Rinvio)
            server.pubblica("/vecchia.crl", ServerHttp::Risorsa::Rinvio("/ca.crl"));
        break;
    case Servizio::CrlRevoca:
        pubblica("/ca.crl", Crl(radice, {{&foglia, Ora(adesso - 3600)}}, dal, al));
        break;
    case Servizio::CrlAltraAutorita:
        server.pubblica("/ca.crl",
                        ServerHttp::Risorsa::Corpo(Crl(Autorita("Ondivo Rete Root"), {}, dal, al)));
        break;
    case Servizio::Muto:
        server.pubblica("/ca.crl", ServerHttp::Risorsa::Muta());
        break;
    case Servizio::Chiuso:
        server.pubblica("/ca.crl", ServerHttp::Risorsa::Chiusa());
        break;
    case Servizio::NonDer:
        server.pubblica("/ca.crl",
                        ServerHttp::Risorsa::Corpo("<html><body>Manutenzione</body></html>"));
        break;
    case Servizio::OltreDichiarato: {
        // A SEQUENCE one byte over the limit, whole.
        const std::size_t contenuto = DimensioneMassimaCrl + 1 - 6;
        std::string corpo = {'\x30', '\x84'};
        for (int i = 3; i >= 0; --i)
            corpo += static_cast<char>((contenuto >> (8 * i)) & 0xFF);
        corpo.resize(DimensioneMassimaCrl + 1, '\0');
        server.pubblica("/ca.crl", ServerHttp::Risorsa::Corpo(corpo));
        break;
    }
    case Servizio::OltreDer:
        // Only the start of a SEQUENCE that says it is 256 MB long.
        server.pubblica("/ca.crl",
                        ServerHttp::Risorsa::Corpo(
                            std::string("\x30\x84\x10\x00\x00\x00\x02\x01\x00", 9), false));
        break;
    case Servizio::OcspValido:
    case Servizio::OcspRevocato: {
        const std::time_t revoca = caso.servizio == Servizio::OcspRevocato ? adesso - 3600 : 0;
        responder =
            std::make_unique<ResponderOcsp>(dir, radice, VoceIndice(foglia, revoca), portaOcsp);
        ASSERT_TRUE(responder->pronto()) << responder->testo();
        break;
    }
    case Servizio::CatenaDiTre:
        pubblica("/ca.crl", Crl(intermedia, {}, dal, al));
        pubblica("/radice.crl", Crl(radice, {}, dal, al));
        break;
    default:
        break;
    }

    // The cache.
    OpzioniRete opzioni;
    opzioni.scadenza = caso.scadenza;
    std::filesystem::path cartella = dir.path() / "cache";
    std::vector<std::string> attese = servite; // the lists to be had
    switch (caso.cache) {
    case Cache::Assente:
        break;
    case Cache::NonScrivibile:
        opzioni.cache = dir.write("occupata", "un file, non una cartella");
        break;
    case Cache::Fresca:
    case Cache::Scaduta: {
        const bool fresca = caso.cache == Cache::Fresca;
        const std::string lista =
            fresca ? Crl(radice, {{&foglia, Ora(adesso - 3600)}}, dal, al)
                   : Crl(radice, {}, Ora(adesso - 8 * 86400), Ora(adesso - 86400));
        dir.write("cache/" + NomeInCache(urlCrl), lista);
        if (fresca)
            attese = {lista};
        [[fallthrough]];
    }
    case Cache::Vuota:
        std::filesystem::create_directories(cartella);
        opzioni.cache = TempDir::Utf8(cartella);
        break;
    }

    std::vector<X509*> catena = {foglia.certificato.get(), emittente.certificato.get()};
    if (tre)
        catena.push_back(radice.certificato.get());
    const auto inizio = std::chrono::steady_clock::now();
    const RevocheScaricate esito = ScaricaRevoche(catena, opzioni);
    const auto durata = std::chrono::steady_clock::now() - inizio;
    RecordProperty(
        "ms",
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(durata).count()));

    // An upper bound only: a deadline kept, not a measure.
    EXPECT_LT(durata, 5s);
    EXPECT_EQ(server.richieste(), caso.richieste);
    EXPECT_EQ(esito.revoche.crl.size(), caso.crl);
    EXPECT_EQ(esito.revoche.ocsp.size(), caso.ocsp);
    if (*caso.errore) {
        ASSERT_EQ(esito.errori.size(), 1u) << testing::PrintToString(esito.errori);
        EXPECT_NE(esito.errori[0].find(caso.errore), std::string::npos) << esito.errori[0];
        EXPECT_EQ(
            esito.errori[0].rfind(caso.servizio == Servizio::SoloLdap ? "ldap://" : "http://", 0),
            0u)
            << esito.errori[0];
    } else {
        EXPECT_TRUE(esito.errori.empty()) << testing::PrintToString(esito.errori);
    }

    const DatiRevoca dati = esito.revoche.dati();
    for (std::size_t i = 0; i + 1 < catena.size(); ++i)
        EXPECT_STREQ(Nome(StatoRevocaDi(catena[i], catena[i + 1], dati, adesso, adesso).stato),
                     Nome(caso.stato))
            << "certificate " << i;

    // The lists are the very bytes served (or cached).
    if (caso.crl > 0) {
        std::vector<std::string> avute;
        for (const auto& c : esito.revoche.crl)
            avute.push_back(DerCrl(c.get()));
        std::sort(avute.begin(), avute.end());
        std::sort(attese.begin(), attese.end());
        EXPECT_TRUE(avute == attese);
    }

    // A list downloaded is in the cache under its address's name, and nothing else is.
    if (caso.cache == Cache::Vuota || caso.cache == Cache::Scaduta) {
        const auto file = std::distance(std::filesystem::directory_iterator(cartella),
                                        std::filesystem::directory_iterator());
        EXPECT_EQ(static_cast<std::size_t>(file), caso.crl);
        if (caso.crl > 0) {
            // Under the certificate's address, redirected or not.
            EXPECT_EQ(LeggiFile(cartella / NomeInCache(indirizzo)), servite[0]);
        }
    }

    // openssl's own judgement of the same data.
    if (caso.stato == S::Sconosciuto)
        return;
    const std::string ca = dir.write("oracolo/ca.pem", PemCertificato(catena.back()));
    if (caso.crl > 0) {
        std::string liste;
        for (const auto& c : esito.revoche.crl)
            liste += PemCrl(c.get());
        const std::string file = dir.write("oracolo/liste.pem", liste);
        for (std::size_t i = 0; i + 1 < catena.size(); ++i) {
            std::vector<std::string> argomenti = {"verify", "-crl_check", "-CAfile",
                                                  ca,       "-CRLfile",   file};
            if (i + 2 < catena.size())
                argomenti.insert(argomenti.end(),
                                 {"-untrusted", dir.write("oracolo/intermedia.pem",
                                                          PemCertificato(catena[i + 1]))});
            argomenti.push_back(dir.write("oracolo/certificato.pem", PemCertificato(catena[i])));
            const std::string uscita = Openssl(dir, argomenti);
            if (caso.stato == S::Valido)
                EXPECT_NE(uscita.find(": OK"), std::string::npos) << uscita;
            else
                EXPECT_NE(uscita.find("certificate revoked"), std::string::npos) << uscita;
        }
    }
    if (caso.ocsp > 0) {
        std::unique_ptr<OCSP_RESPONSE, LiberaCon<OCSP_RESPONSE_free>> intera(
            OCSP_response_create(OCSP_RESPONSE_STATUS_SUCCESSFUL, esito.revoche.ocsp[0].get()));
        unsigned char* der = nullptr;
        const int n = i2d_OCSP_RESPONSE(intera.get(), &der);
        const std::string risposta(reinterpret_cast<const char*>(der),
                                   static_cast<std::size_t>(n > 0 ? n : 0));
        OPENSSL_free(der);
        const std::string uscita = Openssl(
            dir, {"ocsp", "-respin", dir.write("oracolo/risposta.der", risposta), "-issuer", ca,
                  "-cert", dir.write("oracolo/certificato.pem", PemCertificato(catena[0])),
                  "-CAfile", ca, "-VAfile", ca, "-no_nonce"});
        EXPECT_NE(uscita.find("Response verify OK"), std::string::npos) << uscita;
        EXPECT_NE(uscita.find(caso.stato == S::Valido ? "certificato.pem: good"
                                                      : "certificato.pem: revoked"),
                  std::string::npos)
            << uscita;
    }
}

INSTANTIATE_TEST_SUITE_P(Rete, RevocheInReteTest, testing::ValuesIn(kCasi),
                         [](const auto& info) { return std::string(info.param.nome); });

// One deadline for the whole call: six lists whose server never answers take about one wait,
// not six; the addresses left when it runs out are told without being asked.
TEST(RevocheInRete, DeadlineIsSharedByAllAddresses) {
    ServerHttp server;
    const Identita radice = Autorita("Ondivo Rete Root");
    Identita foglia = Emetti(Persona(), &radice);
    std::vector<std::string> indirizzi;
    for (int i = 1; i <= 6; ++i) {
        indirizzi.push_back(server.url("/muta" + std::to_string(i) + ".crl"));
        server.pubblica("/muta" + std::to_string(i) + ".crl", ServerHttp::Risorsa::Muta());
    }
    ConIndirizzi(foglia, radice, indirizzi);
    OpzioniRete opzioni;
    opzioni.scadenza = 1500ms;

    const auto inizio = std::chrono::steady_clock::now();
    const RevocheScaricate esito =
        ScaricaRevoche({foglia.certificato.get(), radice.certificato.get()}, opzioni);
    EXPECT_LT(std::chrono::steady_clock::now() - inizio, 5s);

    EXPECT_TRUE(esito.revoche.crl.empty());
    EXPECT_LT(server.richieste(), 6);
    ASSERT_EQ(esito.errori.size(), 6u) << testing::PrintToString(esito.errori);
    std::size_t esauriti = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        const std::string& errore = esito.errori[i];
        EXPECT_EQ(errore.rfind(indirizzi[i] + ": ", 0), 0u) << errore;
        const bool esaurito = errore.ends_with("tempo esaurito, non consultato");
        EXPECT_TRUE(esaurito || errore.ends_with("nessuna risposta entro il tempo")) << errore;
        esauriti += esaurito;
    }
    EXPECT_GE(esauriti, 1u);
}

// A chain of one certificate has nothing to ask for.
TEST(RevocheInRete, RootAloneAsksNothing) {
    const Identita radice = Autorita("Ondivo Rete Root");
    const RevocheScaricate esito = ScaricaRevoche({radice.certificato.get()}, {});
    EXPECT_TRUE(esito.revoche.crl.empty());
    EXPECT_TRUE(esito.revoche.ocsp.empty());
    EXPECT_TRUE(esito.errori.empty());
}

} // namespace
