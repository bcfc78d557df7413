#include "marcatemporale.h"
#include "certificato.h"
#include "dataora.h"
#include "opensslptr.h"

#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509v3.h>

#include <cstring>

namespace ondivo {

namespace {

struct LiberaPilaVuota {
    void operator()(STACK_OF(X509) * pila) const { sk_X509_free(pila); }
};
using PilaSoloPtr = std::unique_ptr<STACK_OF(X509), LiberaPilaVuota>; // not the certificates

// The imprint the token carries is the digest of the bytes stamped, by the token's algorithm.
bool improntaGiusta(TS_TST_INFO* info, std::string_view dati) {
    TS_MSG_IMPRINT* impronta = TS_TST_INFO_get_msg_imprint(info);
    const X509_ALGOR* algoritmo = impronta ? TS_MSG_IMPRINT_get_algo(impronta) : nullptr;
    const ASN1_OBJECT* oggetto = nullptr;
    if (algoritmo)
        X509_ALGOR_get0(&oggetto, nullptr, nullptr, algoritmo);
    const EVP_MD* md = oggetto ? EVP_get_digestbyobj(oggetto) : nullptr;
    const ASN1_OCTET_STRING* valore = impronta ? TS_MSG_IMPRINT_get_msg(impronta) : nullptr;
    unsigned char calcolata[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    return md && valore && EVP_Digest(dati.data(), dati.size(), calcolata, &n, md, nullptr) == 1 &&
           static_cast<unsigned int>(ASN1_STRING_length(valore)) == n &&
           std::memcmp(ASN1_STRING_get0_data(valore), calcolata, n) == 0;
}

} // namespace

MarcaVerificata VerificaMarca(std::string_view token, std::string_view datiMarcati,
                              const Fiducia& fiducia, std::time_t ora) {
    MarcaVerificata esito;
    const auto fine = [&](std::string motivo) {
        esito.motivo = std::move(motivo);
        ERR_clear_error();
        return esito;
    };
    const auto* p = reinterpret_cast<const unsigned char*>(token.data());
    Pkcs7Ptr p7(d2i_PKCS7(nullptr, &p, static_cast<long>(token.size())));
    TsTstInfoPtr info(p7 ? PKCS7_to_TS_TST_INFO(p7.get()) : nullptr);
    if (!info)
        return fine("marca temporale illeggibile");
    esito.dichiarata = Secondi(TS_TST_INFO_get_time(info.get()));

    // The token's signature, with the certificate it carries.
    PilaSoloPtr firmatari(PKCS7_get0_signers(p7.get(), nullptr, 0));
    X509* tsa = firmatari && sk_X509_num(firmatari.get()) == 1 ? sk_X509_value(firmatari.get(), 0)
                                                               : nullptr;
    if (!tsa)
        return fine("la marca temporale non contiene il certificato del servizio che l'ha emessa");
    esito.autorita = NomeCertificato(tsa);
    if (PKCS7_verify(p7.get(), nullptr, nullptr, nullptr, nullptr,
                     PKCS7_NOVERIFY | PKCS7_NOCHAIN) != 1)
        return fine("la firma della marca temporale non è valida");
    if (!improntaGiusta(info.get(), datiMarcati))
        return fine("la marca temporale non riguarda questa firma");
    if (X509_check_purpose(tsa, X509_PURPOSE_TIMESTAMP_SIGN, 0) != 1)
        return fine("il certificato della marca temporale non è di un servizio di marcatura");
    if (!esito.dichiarata)
        return fine("la data della marca temporale è illeggibile");
    const std::time_t quando = *esito.dichiarata;
    if (quando > ora + ScartoOrologi)
        return fine("la data della marca temporale è nel futuro");
    const auto dal = Secondi(X509_get0_notBefore(tsa));
    const auto al = Secondi(X509_get0_notAfter(tsa));
    if (!dal || !al || quando < *dal || quando > *al)
        return fine("il certificato della marca temporale non era valido alla sua data");

    // Its authority: a time-stamping service of the list, qualified at that time.
    X509_STORE* store = fiducia.storeMarche();
    if (!store)
        return fine("nessun servizio di marcatura temporale nell'elenco di fiducia");
    X509StoreCtxPtr contesto(X509_STORE_CTX_new());
    STACK_OF(X509)* portati = p7->d.sign ? p7->d.sign->cert : nullptr;
    if (!contesto || !X509_STORE_CTX_init(contesto.get(), store, tsa, portati))
        return fine("catena della marca temporale non verificabile");
    X509_STORE_CTX_set_flags(contesto.get(), X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_NO_CHECK_TIME);
    X509_STORE_CTX_set_purpose(contesto.get(), X509_PURPOSE_TIMESTAMP_SIGN);
    if (X509_verify_cert(contesto.get()) != 1)
        return fine("il servizio della marca temporale non è nell'elenco di fiducia");
    STACK_OF(X509)* catena = X509_STORE_CTX_get0_chain(contesto.get());
    X509* ancora = sk_X509_value(catena, sk_X509_num(catena) - 1);
    if (auto motivo = fiducia.NonQualificato(ancora, quando, ServizioMarcheQualificate))
        return fine("marca temporale non qualificata: " + *motivo);
    esito.quando = quando;
    ERR_clear_error();
    return esito;
}

std::optional<std::time_t>
ProvaDiTempo(const std::vector<std::pair<std::string_view, std::string_view>>& marche,
             const Fiducia& fiducia, std::time_t ora, Firmatario& firmatario) {
    if (ora == 0)
        ora = std::time(nullptr);
    std::optional<std::time_t> prova;
    std::string nonProvate;
    for (const auto& [token, dati] : marche) {
        const MarcaVerificata marca = VerificaMarca(token, dati, fiducia, ora);
        if (marca.quando && (!prova || *marca.quando < *prova)) {
            prova = marca.quando;
            firmatario.marca =
                "marca temporale di " + marca.autorita + " del " + GiornoItaliano(*marca.quando);
        } else if (!marca.quando && nonProvate.empty()) {
            nonProvate = "marca temporale non considerata: " + marca.motivo;
        }
    }
    if (prova)
        firmatario.dataProvata = DataOraIsoDa(*prova);
    else
        firmatario.marca = nonProvate;
    return prova;
}

} // namespace ondivo
