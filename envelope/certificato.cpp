#include "certificato.h"
#include "opensslptr.h"

#include <openssl/objects.h>
#include <openssl/x509v3.h>

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

// The fiscal code in a serialNumber: "TINIT-RSSMRA80A01H501U" and "IT:RSSMRA80A01H501U" give
// the code; anything else is kept as written.
std::string codiceFiscale(std::string numero) {
    for (std::string_view prefisso : {"TINIT-", "IT:", "IDCIT-", "CF:IT-"}) {
        if (numero.size() > prefisso.size() && numero.compare(0, prefisso.size(), prefisso) == 0)
            return numero.substr(prefisso.size());
    }
    return numero;
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

// An ASN.1 time from "YYYY-MM-DDThh:mm:ssZ".
Asn1TimePtr tempoDaIso(const std::string& iso) {
    std::string generalizzato;
    for (char c : iso)
        if (c >= '0' && c <= '9')
            generalizzato += c;
    generalizzato += 'Z';
    Asn1TimePtr tempo(ASN1_TIME_new());
    if (!tempo || generalizzato.size() != 15 ||
        !ASN1_TIME_set_string_X509(tempo.get(), generalizzato.c_str()))
        return nullptr;
    return tempo;
}

// Why a chain did not verify, in the user's words.
std::string motivoCatena(int errore) {
    switch (errore) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return "il certificatore non è nell'elenco di fiducia";
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

} // namespace

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

bool AlgoritmoDebole(int nid) {
    return nid == NID_sha1 || nid == NID_md5 || nid == NID_md4 || nid == NID_md2;
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
    std::string numero = voce(soggetto, NID_serialNumber);
    if (numero.empty())
        numero = voce(soggetto, NID_dnQualifier);
    firmatario.codiceFiscale = codiceFiscale(numero);
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

void ValutaFirmatario(X509* certificato, STACK_OF(X509) * intermedi, const Fiducia& fiducia,
                      Firmatario& firmatario) {
    // The chain: to an authority of the list, which may be an issuing authority rather than a
    // root; the dates are judged below, at the signing time, not now.
    firmatario.attendibile = false;
    firmatario.catena.clear();
    std::string motivoFiducia;
    if (fiducia.vuota()) {
        motivoFiducia = "nessun elenco di certificatori fidati importato";
    } else {
        X509StoreCtxPtr contesto(X509_STORE_CTX_new());
        if (contesto && X509_STORE_CTX_init(contesto.get(), fiducia.store(), certificato, intermedi)) {
            X509_STORE_CTX_set_flags(contesto.get(),
                                     X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_NO_CHECK_TIME);
            if (X509_verify_cert(contesto.get()) == 1) {
                firmatario.attendibile = true;
                STACK_OF(X509)* catena = X509_STORE_CTX_get0_chain(contesto.get());
                for (int i = 0; i < sk_X509_num(catena); ++i)
                    firmatario.catena.push_back(
                        nomeSuUnaRiga(X509_get_subject_name(sk_X509_value(catena, i))));
            } else {
                motivoFiducia = motivoCatena(X509_STORE_CTX_get_error(contesto.get()));
            }
        } else {
            motivoFiducia = "catena del certificato non verificabile";
        }
    }

    // Valid at the signing time, or now when the signature does not say when it was made.
    Asn1TimePtr riferimento = firmatario.dataFirma ? tempoDaIso(*firmatario.dataFirma) : nullptr;
    if (!riferimento)
        riferimento.reset(ASN1_TIME_set(nullptr, std::time(nullptr)));
    const bool nonAncora =
        riferimento && ASN1_TIME_compare(X509_get0_notBefore(certificato), riferimento.get()) > 0;
    const bool scaduto =
        riferimento && ASN1_TIME_compare(X509_get0_notAfter(certificato), riferimento.get()) < 0;

    if (!firmatario.integra) {
        firmatario.esito = EsitoFirma::NonValida;
    } else if (scaduto) {
        firmatario.esito = EsitoFirma::Scaduta;
        firmatario.motivo = "il certificato è scaduto il " + firmatario.validoAl;
    } else if (nonAncora) {
        firmatario.esito = EsitoFirma::NonAncoraValida;
        firmatario.motivo = "il certificato è valido dal " + firmatario.validoDal;
    } else if (firmatario.attendibile) {
        firmatario.esito = EsitoFirma::Valida;
    } else {
        firmatario.esito = EsitoFirma::Integra;
        firmatario.motivo = motivoFiducia;
    }
    if (!firmatario.dataFirma && firmatario.integra && firmatario.motivo.empty())
        firmatario.motivo = "la firma non indica quando è stata apposta: validità del "
                            "certificato verificata alla data odierna";
}

} // namespace ondivo
