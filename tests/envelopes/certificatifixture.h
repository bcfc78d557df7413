#pragma once

// Signed envelopes made in process for the signature tests: CMS envelopes signed at a chosen
// time, counter-signatures, and the certificates Italian authorities issue.

#include "der.h"
#include "identitaprova.h"
#include "opensslptr.h"

#include <gtest/gtest.h>

#include <openssl/cms.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ondivo::test {

inline Identita Autorita(const std::string& nome) {
    return NuovaIdentita({{{"C", "IT"}, {"O", "Ondivo Test S.p.A."}, {"CN", nome}},
                          "20100101000000Z",
                          "20500101000000Z",
                          true},
                         nullptr, TipoChiave::Ec);
}

// An authority issued by another.
inline Identita Intermedia(const std::string& nome, const Identita& radice) {
    return NuovaIdentita({{{"C", "IT"}, {"O", "Ondivo Test S.p.A."}, {"CN", nome}},
                          "20100101000000Z",
                          "20500101000000Z",
                          true},
                         &radice, TipoChiave::Ec);
}

// A signing certificate as Italian authorities issue them.
inline Certificato Persona(std::string dal = "20200101000000Z",
                           std::string al = "20400101000000Z") {
    return {{{"C", "IT"},
             {"O", "Studio Rossi S.r.l."},
             {"GN", "Mario"},
             {"SN", "Rossi"},
             {"serialNumber", "TINIT-RSSMRA80A01H501U"},
             {"CN", "ROSSI MARIO"}},
            std::move(dal),
            std::move(al)};
}

inline Identita Emetti(const Certificato& richiesta, const Identita* emittente) {
    return NuovaIdentita(richiesta, emittente, TipoChiave::Ec);
}

inline std::string DerDi(CMS_ContentInfo* cms) {
    unsigned char* dati = nullptr;
    const int n = i2d_CMS_ContentInfo(cms, &dati);
    std::string testo(reinterpret_cast<const char*>(dati), static_cast<std::size_t>(n > 0 ? n : 0));
    OPENSSL_free(dati);
    return testo;
}

// One signer of an envelope: its identity, digest, signing time ("YYYYMMDDhhmmssZ"; the
// current time when empty) and the certificates it carries besides its own. `opzioni` are
// CMS_add1_signer's: CMS_NOCERTS leaves the signer's certificate out, CMS_USE_KEYID names it
// by its key, CMS_CADES adds the signed reference to it.
struct Firma {
    Firma(const Identita* chi, const EVP_MD* digest = EVP_sha256(), std::string data = {},
          std::vector<const Identita*> certificati = {}, unsigned opzioni = 0)
        : identita(chi), md(digest), quando(std::move(data)), altri(std::move(certificati)),
          flag(opzioni) {}
    const Identita* identita;
    const EVP_MD* md;
    std::string quando;
    std::vector<const Identita*> altri;
    unsigned flag;
};

using CrlPtr = std::unique_ptr<X509_CRL, LiberaCon<X509_CRL_free>>;

// A revocation list of `emittente` (DER), issued at `dal` with its next update at `al`
// ("YYYYMMDDhhmmssZ"), listing each certificate with its revocation time.
inline std::string Crl(const Identita& emittente,
                       const std::vector<std::pair<const Identita*, std::string>>& revocati = {},
                       const std::string& dal = "20300501000000Z",
                       const std::string& al = "20300701000000Z") {
    CrlPtr crl(X509_CRL_new());
    X509_CRL_set_version(crl.get(), 1);
    X509_CRL_set_issuer_name(crl.get(), X509_get_subject_name(emittente.certificato.get()));
    Asn1TimePtr t(ASN1_TIME_new());
    ASN1_TIME_set_string_X509(t.get(), dal.c_str());
    X509_CRL_set1_lastUpdate(crl.get(), t.get());
    ASN1_TIME_set_string_X509(t.get(), al.c_str());
    X509_CRL_set1_nextUpdate(crl.get(), t.get());
    for (const auto& [chi, quando] : revocati) {
        X509_REVOKED* voce = X509_REVOKED_new();
        X509_REVOKED_set_serialNumber(voce, X509_get_serialNumber(chi->certificato.get()));
        ASN1_TIME_set_string_X509(t.get(), quando.c_str());
        X509_REVOKED_set_revocationDate(voce, t.get());
        X509_CRL_add0_revoked(crl.get(), voce);
    }
    X509_CRL_sort(crl.get());
    EXPECT_GT(X509_CRL_sign(crl.get(), emittente.chiave.get(), EVP_sha256()), 0);
    unsigned char* der = nullptr;
    const int n = i2d_X509_CRL(crl.get(), &der);
    std::string testo(reinterpret_cast<const char*>(der), static_cast<std::size_t>(n > 0 ? n : 0));
    OPENSSL_free(der);
    return testo;
}

// An envelope (DER) carrying `contenuto`, signed by each signer in turn, with the revocation
// lists `crl` (DER) in its own set.
inline std::string Busta(const std::string& contenuto, const std::vector<Firma>& firme,
                         bool staccata = false, const std::vector<std::string>& crl = {}) {
    BioPtr dati(BIO_new_mem_buf(contenuto.data(), static_cast<int>(contenuto.size())));
    const unsigned flag = CMS_BINARY | CMS_PARTIAL | (staccata ? CMS_DETACHED : 0u);
    CmsPtr cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flag));
    for (const auto& lista : crl) {
        const auto* p = reinterpret_cast<const unsigned char*>(lista.data());
        CrlPtr c(d2i_X509_CRL(nullptr, &p, static_cast<long>(lista.size())));
        EXPECT_EQ(CMS_add1_crl(cms.get(), c.get()), 1);
    }
    for (const auto& f : firme) {
        CMS_SignerInfo* si = CMS_add1_signer(cms.get(), f.identita->certificato.get(),
                                             f.identita->chiave.get(), f.md, CMS_BINARY | f.flag);
        EXPECT_NE(si, nullptr);
        if (!f.quando.empty()) {
            Asn1TimePtr t(ASN1_TIME_new());
            ASN1_TIME_set_string_X509(t.get(), f.quando.c_str());
            CMS_signed_add1_attr_by_NID(si, NID_pkcs9_signingTime, t->type, t.get(), -1);
        }
        for (const Identita* altro : f.altri)
            CMS_add1_cert(cms.get(), altro->certificato.get());
    }
    EXPECT_EQ(CMS_final(cms.get(), dati.get(), nullptr, flag), 1);
    return DerDi(cms.get());
}

// The first SignerInfo of an envelope, as DER.
inline std::string PrimoSignerInfo(const std::string& busta) {
    std::string_view resto = busta;
    auto info = LeggiElementoDer(resto);
    auto parti = FigliDer(info->contenuto);           // type, [0]
    auto esplicito = FigliDer((*parti)[1].contenuto); // SignedData
    auto signedData = FigliDer((*esplicito)[0].contenuto);
    auto firme = FigliDer(signedData->back().contenuto); // SET OF SignerInfo
    return std::string((*firme)[0].intero);
}

// Adds to the first signer of `busta` a counter-signature by `controfirmatario` (whose
// certificate the envelope then carries too); `guasta` spoils the counter-signature's value.
inline std::string Controfirma(const std::string& busta, const Identita& controfirmatario,
                               bool guasta = false) {
    const auto* p = reinterpret_cast<const unsigned char*>(busta.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(busta.size())));
    CMS_SignerInfo* si = sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(cms.get()), 0);
    const ASN1_OCTET_STRING* valore = CMS_SignerInfo_get0_signature(si);
    const std::string firmata(reinterpret_cast<const char*>(ASN1_STRING_get0_data(valore)),
                              static_cast<std::size_t>(ASN1_STRING_length(valore)));
    // The counter-signer signs the signature value as a detached content.
    std::string signerInfo = PrimoSignerInfo(Busta(firmata, {{&controfirmatario}}, true));
    if (guasta)
        signerInfo[signerInfo.size() - 5] ^= 0x01;
    CMS_unsigned_add1_attr_by_NID(si, NID_pkcs9_countersignature, V_ASN1_SEQUENCE,
                                  signerInfo.data(), static_cast<int>(signerInfo.size()));
    CMS_add1_cert(cms.get(), controfirmatario.certificato.get());
    return DerDi(cms.get());
}

// Base64 in lines of 64 characters, as envelopes are often written.
inline std::string Base64Encode(const std::string& dati) {
    const std::string uscita = Identita::Base64(dati);
    std::string righe;
    for (std::size_t i = 0; i < uscita.size(); i += 64)
        righe += uscita.substr(i, 64) + "\r\n";
    return righe;
}

} // namespace ondivo::test
