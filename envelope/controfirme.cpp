#include "controfirme.h"
#include "certificato.h"
#include "der.h"
#include "opensslptr.h"

#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace ondivo {

namespace {

// Deeper chains of counter-signatures than this are not followed, nor more of them in one
// file than this: a hostile envelope may nest or repeat them without end.
constexpr int kProfonditaMassima = 8;
constexpr std::size_t kControfirmeMassime = 100;

constexpr unsigned char kSequenza = 0x30;
constexpr unsigned char kInsieme = 0x31;
constexpr unsigned char kOttetti = 0x04;
constexpr unsigned char kChiaveSoggetto = 0x80;      // [0] IMPLICIT SubjectKeyIdentifier
constexpr unsigned char kAttributiFirmati = 0xA0;    // [0] IMPLICIT SET OF Attribute
constexpr unsigned char kAttributiNonFirmati = 0xA1; // [1] IMPLICIT SET OF Attribute

using AttributoPtr = std::unique_ptr<X509_ATTRIBUTE, LiberaCon<X509_ATTRIBUTE_free>>;
using AlgoritmoPtr = std::unique_ptr<X509_ALGOR, LiberaCon<X509_ALGOR_free>>;
using NomePtr = std::unique_ptr<X509_NAME, LiberaCon<X509_NAME_free>>;
using InteroPtr = std::unique_ptr<ASN1_INTEGER, LiberaCon<ASN1_INTEGER_free>>;
using ContestoDigestPtr = std::unique_ptr<EVP_MD_CTX, LiberaCon<EVP_MD_CTX_free>>;

template <class T, auto Leggi> auto daDer(std::string_view der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    return T(Leggi(nullptr, &p, static_cast<long>(der.size())));
}

// A SignerInfo taken apart.
struct Controfirma {
    ElementoDer identificativo;
    ElementoDer algoritmoDigest;
    std::optional<ElementoDer> attributiFirmati;
    ElementoDer algoritmoFirma;
    ElementoDer firma;
    std::optional<ElementoDer> attributiNonFirmati;
};

std::optional<Controfirma> scomponi(std::string_view der) {
    auto elemento = LeggiElementoDer(der);
    if (!elemento || elemento->tag != kSequenza || !der.empty())
        return std::nullopt;
    auto figli = FigliDer(elemento->contenuto);
    if (!figli || figli->size() < 5)
        return std::nullopt;
    Controfirma c;
    std::size_t i = 1; // past the version
    c.identificativo = (*figli)[i++];
    c.algoritmoDigest = (*figli)[i++];
    if ((*figli)[i].tag == kAttributiFirmati)
        c.attributiFirmati = (*figli)[i++];
    if (i + 2 > figli->size())
        return std::nullopt;
    c.algoritmoFirma = (*figli)[i++];
    c.firma = (*figli)[i++];
    if (i < figli->size() && (*figli)[i].tag == kAttributiNonFirmati)
        c.attributiNonFirmati = (*figli)[i++];
    if (c.firma.tag != kOttetti || c.algoritmoDigest.tag != kSequenza)
        return std::nullopt;
    return c;
}

// The certificate the signer identifier names, among those the envelope carries.
X509* certificatoDi(const ElementoDer& identificativo, STACK_OF(X509) * certificati) {
    if (identificativo.tag == kChiaveSoggetto) {
        for (int i = 0; i < sk_X509_num(certificati); ++i) {
            X509* c = sk_X509_value(certificati, i);
            const ASN1_OCTET_STRING* chiave = X509_get0_subject_key_id(c);
            if (chiave &&
                static_cast<std::size_t>(ASN1_STRING_length(chiave)) ==
                    identificativo.contenuto.size() &&
                std::equal(identificativo.contenuto.begin(), identificativo.contenuto.end(),
                           reinterpret_cast<const char*>(ASN1_STRING_get0_data(chiave))))
                return c;
        }
        return nullptr;
    }
    auto parti = FigliDer(identificativo.contenuto);
    if (identificativo.tag != kSequenza || !parti || parti->size() != 2)
        return nullptr;
    auto emittente = daDer<NomePtr, d2i_X509_NAME>((*parti)[0].intero);
    auto seriale = daDer<InteroPtr, d2i_ASN1_INTEGER>((*parti)[1].intero);
    if (!emittente || !seriale)
        return nullptr;
    for (int i = 0; i < sk_X509_num(certificati); ++i) {
        X509* c = sk_X509_value(certificati, i);
        if (X509_NAME_cmp(X509_get_issuer_name(c), emittente.get()) == 0 &&
            ASN1_INTEGER_cmp(X509_get0_serialNumber(c), seriale.get()) == 0)
            return c;
    }
    return nullptr;
}

std::vector<AttributoPtr> attributi(const ElementoDer& insieme) {
    std::vector<AttributoPtr> lista;
    if (auto figli = FigliDer(insieme.contenuto))
        for (const auto& figlio : *figli)
            if (auto a = daDer<AttributoPtr, d2i_X509_ATTRIBUTE>(figlio.intero))
                lista.push_back(std::move(a));
    return lista;
}

const ASN1_TYPE* valore(const std::vector<AttributoPtr>& lista, int nid) {
    for (const auto& a : lista)
        if (OBJ_obj2nid(X509_ATTRIBUTE_get0_object(a.get())) == nid &&
            X509_ATTRIBUTE_count(a.get()) == 1)
            return X509_ATTRIBUTE_get0_type(a.get(), 0);
    return nullptr;
}

std::string digest(const EVP_MD* md, std::string_view dati) {
    unsigned char impronta[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (EVP_Digest(dati.data(), dati.size(), impronta, &n, md, nullptr) != 1)
        return {};
    return std::string(reinterpret_cast<const char*>(impronta), n);
}

bool firmaValida(EVP_PKEY* chiave, const EVP_MD* md, std::string_view firmati,
                 std::string_view firma) {
    ContestoDigestPtr contesto(EVP_MD_CTX_new());
    return contesto && EVP_DigestVerifyInit(contesto.get(), nullptr, md, nullptr, chiave) == 1 &&
           EVP_DigestVerify(contesto.get(), reinterpret_cast<const unsigned char*>(firma.data()),
                            firma.size(), reinterpret_cast<const unsigned char*>(firmati.data()),
                            firmati.size()) == 1;
}

void avvisa(VerificaFirme& esito, const std::string& avviso) {
    if (std::find(esito.avvisi.begin(), esito.avvisi.end(), avviso) == esito.avvisi.end())
        esito.avvisi.push_back(avviso);
}

// Verifies one counter-signature; its own counter-signatures follow it.
void verificaUna(std::string_view der, std::string_view firmaControfirmata,
                 const ProveFirma& proveBusta, int livello, const Fiducia& fiducia,
                 VerificaFirme& esito, int profondita) {
    STACK_OF(X509)* certificati = proveBusta.certificati;
    Firmatario firmatario;
    firmatario.tipo = "CAdES";
    firmatario.livello = livello;
    firmatario.controfirma = true;
    const auto parti = scomponi(der);
    X509* certificato = parti ? certificatoDi(parti->identificativo, certificati) : nullptr;
    if (!certificato) {
        if (parti)
            Segnala(firmatario, Indicazione::Indeterminate, sotto::NoSigningCertificateFound,
                    "il certificato del controfirmatario non è nella busta");
        else
            Segnala(firmatario, Indicazione::TotalFailed, sotto::FormatFailure,
                    "controfirma illeggibile");
        ConcludiFirmatario(firmatario);
        AggiungiFirmatario(esito, std::move(firmatario));
        return;
    }
    CampiCertificato(certificato, firmatario);
    auto algoritmo = daDer<AlgoritmoPtr, d2i_X509_ALGOR>(parti->algoritmoDigest.intero);
    const ASN1_OBJECT* oggetto = nullptr;
    if (algoritmo)
        X509_ALGOR_get0(&oggetto, nullptr, nullptr, algoritmo.get());
    const int nid = oggetto ? OBJ_obj2nid(oggetto) : NID_undef;
    firmatario.algoritmo = NomeAlgoritmo(nid);
    const EVP_MD* md = EVP_get_digestbynid(nid);
    EVP_PKEY* chiave = X509_get0_pubkey(certificato);
    const std::string_view firma = parti->firma.contenuto;

    if (!md || !chiave) {
        Segnala(firmatario, Indicazione::Indeterminate, sotto::CryptoConstraintsFailure,
                "algoritmo della controfirma non supportato");
    } else if (parti->attributiFirmati) {
        // The signature is over the signed attributes encoded as a SET; the message digest
        // among them is that of the countersigned signature value.
        const auto firmati = attributi(*parti->attributiFirmati);
        const ASN1_TYPE* impronta = valore(firmati, NID_pkcs9_messageDigest);
        const std::string attesa = digest(md, firmaControfirmata);
        const bool improntaUguale =
            impronta && impronta->type == V_ASN1_OCTET_STRING &&
            std::string_view(
                reinterpret_cast<const char*>(ASN1_STRING_get0_data(impronta->value.octet_string)),
                static_cast<std::size_t>(ASN1_STRING_length(impronta->value.octet_string))) ==
                attesa;
        std::string comeInsieme(parti->attributiFirmati->intero);
        comeInsieme[0] = static_cast<char>(kInsieme);
        firmatario.integra = improntaUguale && firmaValida(chiave, md, comeInsieme, firma);
        if (!improntaUguale)
            Segnala(firmatario, Indicazione::TotalFailed, sotto::HashFailure,
                    "l'impronta controfirmata non corrisponde alla firma");
        else if (!firmatario.integra)
            Segnala(firmatario, Indicazione::TotalFailed, sotto::SigCryptoFailure,
                    "la controfirma non è valida");
        const ASN1_TYPE* tempo = valore(firmati, NID_pkcs9_signingTime);
        if (tempo && (tempo->type == V_ASN1_UTCTIME || tempo->type == V_ASN1_GENERALIZEDTIME))
            firmatario.dataFirma = DataOraIso(tempo->value.utctime);
    } else {
        firmatario.integra = firmaValida(chiave, md, firmaControfirmata, firma);
        if (!firmatario.integra)
            Segnala(firmatario, Indicazione::TotalFailed, sotto::SigCryptoFailure,
                    "la controfirma non è valida");
    }
    ERR_clear_error();
    ProveFirma prove = proveBusta;
    prove.nidDigest = nid;
    ValutaFirmatario(certificato, prove, fiducia, firmatario);
    AggiungiFirmatario(esito, std::move(firmatario));

    if (parti->attributiNonFirmati)
        for (const auto& a : attributi(*parti->attributiNonFirmati))
            if (OBJ_obj2nid(X509_ATTRIBUTE_get0_object(a.get())) == NID_pkcs9_countersignature)
                VerificaControfirme(a.get(), firma, proveBusta, livello, fiducia, esito,
                                    profondita + 1);
}

} // namespace

void VerificaControfirme(X509_ATTRIBUTE* attributo, std::string_view firmaControfirmata,
                         const ProveFirma& prove, int livello, const Fiducia& fiducia,
                         VerificaFirme& esito, int profondita) {
    if (profondita >= kProfonditaMassima) {
        avvisa(esito, "controfirme annidate oltre " + std::to_string(kProfonditaMassima) +
                          " livelli: quelle più interne non sono state verificate");
        return;
    }
    for (int i = 0; i < X509_ATTRIBUTE_count(attributo); ++i) {
        if (esito.firmatari.size() >= kControfirmeMassime) {
            avvisa(esito, "più di " + std::to_string(kControfirmeMassime) +
                              " firme e controfirme: le successive non sono state verificate");
            return;
        }
        const ASN1_TYPE* tipo = X509_ATTRIBUTE_get0_type(attributo, i);
        if (!tipo || tipo->type != V_ASN1_SEQUENCE)
            continue;
        const ASN1_STRING* der = tipo->value.sequence;
        verificaUna(std::string_view(reinterpret_cast<const char*>(ASN1_STRING_get0_data(der)),
                                     static_cast<std::size_t>(ASN1_STRING_length(der))),
                    firmaControfirmata, prove, livello, fiducia, esito, profondita);
    }
}

} // namespace ondivo
