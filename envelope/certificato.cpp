#include "certificato.h"
#include "dataora.h"
#include "files.h"
#include "opensslptr.h"
#include "revocheinrete.h"
#include "text.h"

#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <string_view>

namespace ondivo {

namespace {

// The text of the name's first entry of that type, as UTF-8; empty when there is none.
std::string voce(const X509_NAME* nome, int nid) {
    if (!nome)
        return {};
    const int i = X509_NAME_get_index_by_NID(nome, nid, -1);
    if (i < 0)
        return {};
    const ASN1_STRING* dati = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(nome, i));
    unsigned char* utf8 = nullptr;
    const int n = ASN1_STRING_to_UTF8(&utf8, dati);
    if (n < 0)
        return {};
    std::string testo(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(n));
    OPENSSL_free(utf8);
    return testo;
}

// The whole name on one line, in the order it is written ("CN=…, O=…"), UTF-8.
std::string nomeSuUnaRiga(const X509_NAME* nome) {
    if (!nome)
        return {};
    BioPtr bio(BIO_new(BIO_s_mem()));
    // Most specific first, UTF-8 kept as it is.
    constexpr unsigned long formato = (ASN1_STRFLGS_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) |
                                      XN_FLAG_SEP_CPLUS_SPC | XN_FLAG_DN_REV | XN_FLAG_FN_SN |
                                      XN_FLAG_DUMP_UNKNOWN_FIELDS;
    X509_NAME_print_ex(bio.get(), nome, 0, formato);
    char* dati = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &dati);
    return n > 0 ? std::string(dati, static_cast<std::size_t>(n)) : std::string();
}

// A serialNumber "TINIT-RSSMRA80A01H501U" or "IT:RSSMRA80A01H501U" holds a fiscal code; any
// other (an identity card "IDCIT-…", a passport, a number of the authority's own) is only an
// identifier.
std::optional<std::string> codiceFiscale(const std::string& numero) {
    for (std::string_view prefisso : {"TINIT-", "IT:"}) {
        if (numero.size() > prefisso.size() && numero.compare(0, prefisso.size(), prefisso) == 0)
            return numero.substr(prefisso.size());
    }
    return std::nullopt;
}

std::string soloData(const ASN1_TIME* tempo) {
    auto iso = DataOraIso(tempo);
    return iso ? iso->substr(0, 10) : std::string();
}

std::string esadecimale(const ASN1_INTEGER* numero) {
    if (!numero)
        return {};
    std::string testo;
    static constexpr char cifre[] = "0123456789ABCDEF";
    for (int i = 0; i < numero->length; ++i) {
        testo += cifre[numero->data[i] >> 4];
        testo += cifre[numero->data[i] & 0x0F];
    }
    return testo;
}

// No authority of the list was reached: no chain, rather than a chain that fails.
bool catenaNonTrovata(int errore) {
    switch (errore) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return true;
    default:
        return false;
    }
}

// Why a chain did not verify, in the user's words.
std::string motivoCatena(int errore) {
    if (catenaNonTrovata(errore))
        return "il certificatore non è nell'elenco di fiducia";
    switch (errore) {
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
        return "la firma del certificatore sul certificato non è valida";
    case X509_V_ERR_INVALID_CA:
        return "un certificato della catena non è di un certificatore";
    default:
        return std::string("catena del certificato non verificata (") +
               X509_verify_cert_error_string(errore) + ")";
    }
}

// Extended key usages that allow signing documents: any, e-mail protection (S/MIME, which
// CAdES grew from), document signing, and the two vendors' document signing.
bool usoEstesoPerFirma(X509* certificato) {
    using EkuPtr = std::unique_ptr<EXTENDED_KEY_USAGE, LiberaCon<EXTENDED_KEY_USAGE_free>>;
    EkuPtr usi(static_cast<EXTENDED_KEY_USAGE*>(
        X509_get_ext_d2i(certificato, NID_ext_key_usage, nullptr, nullptr)));
    if (!usi)
        return false;
    static const char* const kAmmessi[] = {
        "2.5.29.37.0",             // anyExtendedKeyUsage
        "1.3.6.1.5.5.7.3.4",       // emailProtection
        "1.3.6.1.5.5.7.3.36",      // documentSigning
        "1.3.6.1.4.1.311.10.3.12", // Microsoft document signing
        "1.2.840.113583.1.1.5",    // Adobe authentic documents
    };
    for (int i = 0; i < sk_ASN1_OBJECT_num(usi.get()); ++i) {
        char oid[80];
        OBJ_obj2txt(oid, sizeof oid, sk_ASN1_OBJECT_value(usi.get(), i), 1);
        for (const char* ammesso : kAmmessi)
            if (std::string_view(oid) == ammesso)
                return true;
    }
    return false;
}

// Why the certificate may not sign documents; nullopt when it may.
std::optional<std::string> nonAdattoAllaFirma(X509* certificato) {
    const uint32_t estensioni = X509_get_extension_flags(certificato);
    if ((estensioni & EXFLAG_KUSAGE) &&
        !(X509_get_key_usage(certificato) & (KU_DIGITAL_SIGNATURE | KU_NON_REPUDIATION)))
        return std::string("il certificato non è destinato alla firma (uso della chiave: ") +
               ((X509_get_key_usage(certificato) &
                 (KU_KEY_ENCIPHERMENT | KU_DATA_ENCIPHERMENT | KU_KEY_AGREEMENT))
                    ? "cifratura)"
                    : "altro)");
    if ((estensioni & EXFLAG_XKUSAGE) && !usoEstesoPerFirma(certificato))
        return std::string("il certificato è destinato ad altri usi che la firma di documenti (") +
               ((X509_get_extended_key_usage(certificato) & XKU_SSL_SERVER) ? "server TLS)"
                                                                            : "uso esteso)");
    return std::nullopt;
}

// The key as the user reads it ("RSA 2048 bit", "EC P-256", "Ed25519") and why it is too weak
// for signatures, when it is.
std::string descrizioneChiave(EVP_PKEY* chiave, std::optional<std::string>& debolezza) {
    if (!chiave)
        return {};
    const int bit = EVP_PKEY_get_bits(chiave);
    switch (EVP_PKEY_get_base_id(chiave)) {
    case EVP_PKEY_RSA:
    case EVP_PKEY_RSA_PSS:
    case EVP_PKEY_DSA: {
        const std::string tipo = EVP_PKEY_get_base_id(chiave) == EVP_PKEY_DSA ? "DSA" : "RSA";
        if (bit < 2048)
            debolezza =
                "chiave " + tipo + " di " + std::to_string(bit) + " bit, meno dei 2048 richiesti";
        return tipo + " " + std::to_string(bit) + " bit";
    }
    case EVP_PKEY_EC: {
        char curva[64] = "";
        std::size_t n = 0;
        EVP_PKEY_get_group_name(chiave, curva, sizeof curva, &n);
        if (bit < 256)
            debolezza = "chiave EC di " + std::to_string(bit) + " bit, meno dei 256 richiesti";
        // The NIST name where the curve has one ("P-256"), else the library's.
        const char* nist = EC_curve_nid2nist(OBJ_sn2nid(curva));
        return "EC " + std::string(nist ? nist : curva);
    }
    case EVP_PKEY_ED25519:
        return "Ed25519";
    case EVP_PKEY_ED448:
        return "Ed448";
    default:
        break;
    }
    const char* nome = OBJ_nid2sn(EVP_PKEY_get_base_id(chiave));
    return nome ? nome : "sconosciuta";
}

// Why a digest is no longer fit for signatures; nullopt when it is.
std::optional<std::string> digestDebole(int nid) {
    switch (nid) {
    case NID_md2:
    case NID_md4:
    case NID_md5:
        return NomeAlgoritmo(nid) + " non è ammesso per le firme";
    case NID_sha1:
        return std::string("SHA-1 non è ammesso per le firme apposte dopo il 31/12/2009, e nessuna "
                           "marca temporale prova una data anteriore");
    default:
        return std::nullopt;
    }
}

// The chain from the signer's certificate: to an authority of the list when `fidata`, else as
// far as the carried certificates go.
struct Catena {
    PilaX509Ptr certificati;
    bool fidata = false;
    std::string motivo;
    bool trovata = true; // false when no authority of the list is reached at all
};

Catena costruisciCatena(X509* certificato, STACK_OF(X509) * carried, const Fiducia& fiducia) {
    Catena catena;
    X509StorePtr vuoto;
    X509_STORE* store = fiducia.store();
    if (!store) {
        vuoto.reset(X509_STORE_new());
        store = vuoto.get();
    }
    X509StoreCtxPtr contesto(X509_STORE_CTX_new());
    if (!contesto || !X509_STORE_CTX_init(contesto.get(), store, certificato, carried)) {
        catena.motivo = "catena del certificato non verificabile";
        catena.trovata = false;
        return catena;
    }
    // An authority of the list may be an issuing authority rather than a root; dates are
    // judged afterwards, certificate by certificate.
    X509_STORE_CTX_set_flags(contesto.get(), X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_NO_CHECK_TIME);
    catena.fidata = !fiducia.vuota() && X509_verify_cert(contesto.get()) == 1;
    if (!catena.fidata) {
        const int errore = X509_STORE_CTX_get_error(contesto.get());
        // Without a list, or without an authority of it above the signer, there is no chain;
        // a chain that reaches one but does not hold is a failure of the chain.
        catena.trovata = !fiducia.vuota() && !catenaNonTrovata(errore);
        catena.motivo = fiducia.vuota() ? "nessun elenco di certificatori fidati importato"
                                        : motivoCatena(errore);
    }
    catena.certificati.reset(X509_STORE_CTX_get1_chain(contesto.get()));
    ERR_clear_error();
    if (!catena.certificati || sk_X509_num(catena.certificati.get()) == 0) {
        // The chain built so far is not kept by every failure: the signer alone, then its
        // issuers among the carried certificates.
        catena.certificati.reset(sk_X509_new_null());
        X509_up_ref(certificato);
        sk_X509_push(catena.certificati.get(), certificato);
    }
    while (!catena.fidata && carried) {
        X509* ultimo =
            sk_X509_value(catena.certificati.get(), sk_X509_num(catena.certificati.get()) - 1);
        if (X509_check_issued(ultimo, ultimo) == X509_V_OK ||
            sk_X509_num(catena.certificati.get()) > 16)
            break;
        X509* emittente = nullptr;
        for (int i = 0; i < sk_X509_num(carried) && !emittente; ++i)
            if (X509_check_issued(sk_X509_value(carried, i), ultimo) == X509_V_OK)
                emittente = sk_X509_value(carried, i);
        if (!emittente)
            break;
        X509_up_ref(emittente);
        sk_X509_push(catena.certificati.get(), emittente);
    }
    return catena;
}

} // namespace

std::string DerCertificato(X509* certificato) {
    unsigned char* der = nullptr;
    const int n = certificato ? i2d_X509(certificato, &der) : -1;
    std::string testo(reinterpret_cast<const char*>(der), n > 0 ? static_cast<std::size_t>(n) : 0);
    OPENSSL_free(der);
    return testo;
}

std::string NomeChiave(EVP_PKEY* chiave) {
    std::optional<std::string> debolezza;
    return descrizioneChiave(chiave, debolezza);
}

std::string NomeCertificato(X509* certificato) {
    std::string nome = voce(X509_get_subject_name(certificato), NID_commonName);
    return nome.empty() ? nomeSuUnaRiga(X509_get_subject_name(certificato)) : nome;
}

std::optional<std::string> DataOraIso(const ASN1_TIME* tempo) {
    std::tm tm{};
    if (!tempo || ASN1_TIME_to_tm(tempo, &tm) != 1)
        return std::nullopt;
    std::array<char, 32> testo{};
    if (std::strftime(testo.data(), testo.size(), "%Y-%m-%dT%H:%M:%SZ", &tm) == 0)
        return std::nullopt;
    return std::string(testo.data());
}

std::string NomeAlgoritmo(int nid) {
    switch (nid) {
    case NID_sha1:
        return "SHA-1";
    case NID_sha224:
        return "SHA-224";
    case NID_sha256:
        return "SHA-256";
    case NID_sha384:
        return "SHA-384";
    case NID_sha512:
        return "SHA-512";
    case NID_sha3_256:
        return "SHA3-256";
    case NID_sha3_384:
        return "SHA3-384";
    case NID_sha3_512:
        return "SHA3-512";
    case NID_md5:
        return "MD5";
    default:
        break;
    }
    const char* nome = OBJ_nid2sn(nid);
    return nome ? nome : "sconosciuto";
}

void CampiCertificato(X509* certificato, Firmatario& firmatario) {
    const X509_NAME* soggetto = X509_get_subject_name(certificato);
    const X509_NAME* emittente = X509_get_issuer_name(certificato);
    const std::string nome = voce(soggetto, NID_givenName);
    const std::string cognome = voce(soggetto, NID_surname);
    if (!nome.empty() || !cognome.empty())
        firmatario.nome = nome.empty() ? cognome : cognome.empty() ? nome : nome + " " + cognome;
    else
        firmatario.nome = voce(soggetto, NID_commonName);
    const std::string numero = voce(soggetto, NID_serialNumber);
    if (auto codice = codiceFiscale(numero))
        firmatario.codiceFiscale = *codice;
    else
        firmatario.identificativo = numero;
    if (firmatario.identificativo.empty())
        firmatario.identificativo = voce(soggetto, NID_dnQualifier);
    firmatario.organizzazione = voce(soggetto, NID_organizationName);
    firmatario.emittente = voce(emittente, NID_commonName);
    if (firmatario.emittente.empty())
        firmatario.emittente = voce(emittente, NID_organizationName);
    firmatario.soggetto = nomeSuUnaRiga(soggetto);
    firmatario.soggettoEmittente = nomeSuUnaRiga(emittente);
    firmatario.numeroSerie = esadecimale(X509_get0_serialNumber(certificato));
    firmatario.validoDal = soloData(X509_get0_notBefore(certificato));
    firmatario.validoAl = soloData(X509_get0_notAfter(certificato));
}

void ValutaFirmatario(X509* certificato, const ProveFirma& prove, const Fiducia& fiducia,
                      Firmatario& f) {
    using I = Indicazione;
    const std::time_t ora = prove.ora ? prove.ora : std::time(nullptr);
    // Every certificate is judged at the time a time-stamp proves the signature existed, else
    // at the validation time. The claimed time is only shown, and believed only against the
    // signer.
    const std::time_t riferimento = prove.provaTempo.value_or(ora);
    const bool provata = prove.provaTempo.has_value();
    const auto letta = f.dataFirma ? SecondiDaIso(*f.dataFirma) : std::nullopt;
    const bool conData = letta.has_value();
    const std::time_t dichiarata = letta.value_or(0);
    const std::string frase =
        provata       ? "la marca temporale prova la firma solo al " + GiornoItaliano(riferimento)
        : f.dataFirma ? "firma dichiarata del " + DataItaliana(f.dataFirma->substr(0, 10)) +
                            ", non provata da marca temporale"
                      : std::string("data della firma non indicata");

    // The chain.
    Catena catena = costruisciCatena(certificato, prove.certificati, fiducia);
    f.attendibile = catena.fidata;
    f.catena.clear();
    const int lunghezza = sk_X509_num(catena.certificati.get());
    if (catena.fidata)
        for (int i = 0; i < lunghezza; ++i)
            f.catena.push_back(
                nomeSuUnaRiga(X509_get_subject_name(sk_X509_value(catena.certificati.get(), i))));
    else
        Segnala(f, I::Indeterminate,
                catena.trovata ? sotto::CertificateChainGeneralFailure
                               : sotto::NoCertificateChainFound,
                catena.motivo);
    // The authority of the list is judged by the list: it must have been a qualified
    // certification service when it issued the signer's certificate (a service withdrawn
    // since still vouches for what it issued before). The others by their dates and status.
    const int daGiudicare = catena.fidata ? lunghezza - 1 : lunghezza;
    if (catena.fidata) {
        X509* ancora = sk_X509_value(catena.certificati.get(), lunghezza - 1);
        const auto emesso = Secondi(X509_get0_notBefore(certificato));
        // An authority the list does not vouch for then is no anchor of trust.
        if (auto motivo = fiducia.NonQualificato(ancora, emesso.value_or(ora))) {
            f.attendibile = false;
            Segnala(f, I::Indeterminate, sotto::NoCertificateChainFound, *motivo);
        }
    }

    // Fitness for signing.
    if (auto motivo = nonAdattoAllaFirma(certificato))
        Segnala(f, I::Indeterminate, sotto::ChainConstraintsFailure, *motivo);

    // Strength of digest and keys, and of the signatures on the certificates of the chain.
    std::vector<std::string> debolezze;
    // SHA-1 served signatures until the end of 2009: one proven to be older stands.
    constexpr std::time_t kFineSha1 = 1262304000; // 2010-01-01T00:00:00Z
    if (auto d = digestDebole(prove.nidDigest);
        d && !(prove.nidDigest == NID_sha1 && provata && riferimento < kFineSha1))
        debolezze.push_back(*d);
    std::optional<std::string> chiaveDebole;
    f.chiave = descrizioneChiave(X509_get0_pubkey(certificato), chiaveDebole);
    if (chiaveDebole)
        debolezze.push_back(*chiaveDebole);
    for (int i = 0; i < daGiudicare; ++i) {
        X509* c = sk_X509_value(catena.certificati.get(), i);
        int nid = NID_undef;
        if (X509_get_signature_info(c, &nid, nullptr, nullptr, nullptr) == 1 && digestDebole(nid))
            debolezze.push_back("il certificato di " + NomeCertificato(c) + " è firmato con " +
                                NomeAlgoritmo(nid) + ", non più ammesso");
    }
    f.algoritmoDebole = !debolezze.empty();
    f.motivoAlgoritmo.clear();
    for (const auto& d : debolezze) {
        f.motivoAlgoritmo += (f.motivoAlgoritmo.empty() ? "" : "; ") + d;
        Segnala(f, I::Indeterminate, sotto::CryptoConstraintsFailureNoPoe, d);
    }

    // The claimed time, against the signer: only from signed attributes that hold. What the
    // dates and lists say of a signature that could not be checked fails nothing by itself.
    const bool verificata = f.integra;
    const auto dal = Secondi(X509_get0_notBefore(certificato));
    const auto al = Secondi(X509_get0_notAfter(certificato));
    if (verificata && conData) {
        if (dichiarata > ora + ScartoOrologi)
            Segnala(f, I::Indeterminate, sotto::FutureTime,
                    "la data della firma dichiarata (" + DataItaliana(f.dataFirma->substr(0, 10)) +
                        ") è successiva a quella della verifica");
        else if (dal && dichiarata < *dal)
            Segnala(f, I::TotalFailed, sotto::NotYetValid,
                    "la firma dichiara una data anteriore alla validità del certificato (valido "
                    "dal " +
                        DataItaliana(f.validoDal) + ")");
        else if (al && dichiarata > *al)
            Segnala(f, I::TotalFailed, sotto::Expired,
                    "la firma dichiara una data successiva alla scadenza del certificato (" +
                        DataItaliana(f.validoAl) + ")");
    }

    // The dates of every certificate of the chain, at the validation time.
    for (int i = 0; i < daGiudicare; ++i) {
        X509* c = sk_X509_value(catena.certificati.get(), i);
        const auto inizio = Secondi(X509_get0_notBefore(c));
        const auto fine = Secondi(X509_get0_notAfter(c));
        const std::string di =
            i == 0 ? "il certificato" : "il certificato del certificatore " + NomeCertificato(c);
        if (fine && *fine < riferimento)
            Segnala(f, I::Indeterminate, sotto::OutOfBoundsNoPoe,
                    di + " è scaduto il " + GiornoItaliano(*fine) + ": " + frase);
        else if (inizio && *inizio > riferimento)
            Segnala(f, i == 0 && verificata ? I::TotalFailed : I::Indeterminate,
                    i == 0 && verificata ? sotto::NotYetValid
                    : i == 0             ? sotto::OutOfBoundsNoPoe
                                         : sotto::CertificateChainGeneralFailure,
                    di + " è valido solo dal " + GiornoItaliano(*inizio));
    }

    // Revocation data from the network, when the user asked for it and the chain is trusted
    // (the addresses come from certificates of qualified authorities only) but lacks current
    // data for one of its certificates.
    DatiRevoca revoche = prove.revoche;
    RevocheScaricate scaricate;
    if (prove.rete && catena.fidata) {
        bool manca = false;
        for (int i = 0; i < daGiudicare && !manca; ++i)
            manca = StatoRevocaDi(sk_X509_value(catena.certificati.get(), i),
                                  sk_X509_value(catena.certificati.get(), i + 1), revoche,
                                  riferimento, ora)
                        .stato == StatoRevoca::Stato::Sconosciuto;
        if (manca) {
            std::vector<X509*> certificati;
            for (int i = 0; i < lunghezza; ++i)
                certificati.push_back(sk_X509_value(catena.certificati.get(), i));
            const std::string cache = platform::CartellaCacheUtente();
            scaricate = ScaricaRevoche(
                certificati,
                {*prove.rete, cache.empty() ? std::string() : cache + "revoche/", ora});
            revoche.aggiungi(scaricate.revoche.dati());
        }
    }

    // Revocation of every certificate judged, by its issuer's lists and responses; a root
    // that no list names, at the top of a chain that is not trusted, has no issuer to ask.
    f.revoca = "non verificata";
    for (int i = 0; i < daGiudicare; ++i) {
        X509* c = sk_X509_value(catena.certificati.get(), i);
        if (i > 0 && X509_check_issued(c, c) == X509_V_OK)
            break;
        X509* emittente =
            i + 1 < lunghezza ? sk_X509_value(catena.certificati.get(), i + 1) : nullptr;
        const StatoRevoca stato =
            emittente ? StatoRevocaDi(c, emittente, revoche, riferimento, ora) : StatoRevoca{};
        const std::string di =
            i == 0 ? "il certificato" : "il certificato del certificatore " + NomeCertificato(c);
        switch (stato.stato) {
        case StatoRevoca::Stato::Revocato: {
            const std::string quando = stato.quando ? " il " + GiornoItaliano(*stato.quando) : "";
            // Revoked after the time a time-stamp proves: the signature was made before.
            if (provata && stato.quando && *stato.quando > riferimento) {
                if (i == 0)
                    f.revoca = "revocato" + quando +
                               ", dopo la firma provata da marca temporale (" + stato.fonte + ")";
                break;
            }
            if (provata)
                Segnala(f, i == 0 && verificata ? I::TotalFailed : I::Indeterminate,
                        i == 0 ? sotto::Revoked : sotto::RevokedCaNoPoe,
                        di + " era già revocato" + quando +
                            " alla data provata dalla marca temporale (" + stato.fonte + ")");
            else if (i == 0 && verificata && conData && stato.quando && *stato.quando <= dichiarata)
                Segnala(f, I::TotalFailed, sotto::Revoked,
                        di + " è stato revocato" + quando + ", prima della data della firma (" +
                            stato.fonte + ")");
            else
                Segnala(f, I::Indeterminate, i == 0 ? sotto::RevokedNoPoe : sotto::RevokedCaNoPoe,
                        di + " è stato revocato" + quando + " (" + stato.fonte +
                            "); nessuna marca temporale prova che la firma sia anteriore");
            if (i == 0)
                f.revoca = "revocato" + quando + " (" + stato.fonte + ")";
            break;
        }
        case StatoRevoca::Stato::Valido:
            if (i == 0)
                f.revoca = "non revocato (" + stato.fonte + ")";
            break;
        case StatoRevoca::Stato::Sconosciuto:
            Segnala(f, I::Indeterminate, sotto::TryLater,
                    "stato di revoca non verificato: per " + di +
                        " mancano liste di revoca (CRL) o risposte OCSP aggiornate" +
                        (scaricate.errori.empty()
                             ? std::string()
                             : " (in rete: " + scaricate.errori.front() + ")"));
            break;
        }
    }
    ConcludiFirmatario(f);
}

void AvvisiFiducia(const Fiducia& fiducia, std::time_t ora, VerificaFirme& verifica) {
    if (ora == 0)
        ora = std::time(nullptr);
    const std::time_t prossimo = fiducia.prossimoAggiornamento();
    if (verifica.firmatari.empty() || prossimo == 0 || prossimo >= ora)
        return;
    const std::string avviso = "l'elenco di fiducia in uso andava sostituito entro il " +
                               GiornoItaliano(prossimo) +
                               ": i certificatori sospesi o cessati da allora non sono noti";
    if (std::find(verifica.avvisi.begin(), verifica.avvisi.end(), avviso) == verifica.avvisi.end())
        verifica.avvisi.push_back(avviso);
}

} // namespace ondivo
