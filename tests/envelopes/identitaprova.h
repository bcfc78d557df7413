#pragma once

// Keys and certificates made by the tests with libcrypto: authorities, signers, whatever dates
// and names a case needs.

#include "opensslptr.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <string>
#include <utility>
#include <vector>

namespace ondivo::test {

enum class TipoChiave { Rsa, Ec, Rsa1024, Ed25519 };

// A key pair and a certificate for it.
struct Identita {
    EvpPkeyPtr chiave;
    X509Ptr certificato;

    std::string der() const {
        unsigned char* dati = nullptr;
        const int n = i2d_X509(certificato.get(), &dati);
        std::string testo(reinterpret_cast<const char*>(dati),
                          n > 0 ? static_cast<std::size_t>(n) : 0);
        OPENSSL_free(dati);
        return testo;
    }

    // Base64 on one line, as it goes in an XML element.
    std::string base64() const { return Base64(der()); }

    static std::string Base64(const std::string& dati) {
        std::string testo(4 * ((dati.size() + 2) / 3) + 1, '\0');
        const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(testo.data()),
                                      reinterpret_cast<const unsigned char*>(dati.data()),
                                      static_cast<int>(dati.size()));
        testo.resize(static_cast<std::size_t>(n));
        return testo;
    }
};

inline EvpPkeyPtr NuovaChiave(TipoChiave tipo) {
    EvpPkeyPtr chiave;
    switch (tipo) {
    case TipoChiave::Rsa:
        chiave.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t{2048}));
        break;
    case TipoChiave::Rsa1024:
        chiave.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t{1024}));
        break;
    case TipoChiave::Ec:
        chiave.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
        break;
    case TipoChiave::Ed25519:
        chiave.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"));
        break;
    }
    EXPECT_TRUE(chiave) << "key generation failed";
    return chiave;
}

using Nome = std::vector<std::pair<std::string, std::string>>; // ("givenName", "Mario")…

struct Certificato {
    Nome soggetto;
    std::string dal = "20000101000000Z"; // validity, as GeneralizedTime
    std::string al = "20991231235959Z";
    bool autorita = false;   // a certification authority
    std::string usoChiave{}; // keyUsage as openssl writes it; the usual one for the kind if empty
    std::string usoEsteso{}; // extendedKeyUsage; none if empty
    long numeroSerie = 0;    // the next of the tests' own when 0
};

// A certificate for `chiave`, signed by `emittente`, or self-signed when it is nullptr.
inline X509Ptr EmettiCertificato(EVP_PKEY* chiave, const Certificato& richiesta,
                                 const Identita* emittente) {
    static long numeroSerie = 1000;
    X509Ptr certificato(X509_new());
    X509_set_version(certificato.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificato.get()),
                     richiesta.numeroSerie ? richiesta.numeroSerie : ++numeroSerie);
    X509_NAME* nome = X509_get_subject_name(certificato.get());
    for (const auto& [campo, valore] : richiesta.soggetto)
        EXPECT_EQ(X509_NAME_add_entry_by_txt(nome, campo.c_str(), MBSTRING_UTF8,
                                             reinterpret_cast<const unsigned char*>(valore.c_str()),
                                             -1, -1, 0),
                  1)
            << campo;
    X509_set_issuer_name(certificato.get(),
                         emittente ? X509_get_subject_name(emittente->certificato.get()) : nome);
    EXPECT_EQ(
        ASN1_TIME_set_string_X509(X509_getm_notBefore(certificato.get()), richiesta.dal.c_str()),
        1);
    EXPECT_EQ(
        ASN1_TIME_set_string_X509(X509_getm_notAfter(certificato.get()), richiesta.al.c_str()), 1);
    X509_set_pubkey(certificato.get(), chiave);

    X509V3_CTX contesto;
    X509V3_set_ctx_nodb(&contesto);
    X509V3_set_ctx(&contesto, emittente ? emittente->certificato.get() : certificato.get(),
                   certificato.get(), nullptr, nullptr, 0);
    std::vector<std::pair<int, std::string>> estensioni = {
        {NID_basic_constraints, richiesta.autorita ? "critical,CA:TRUE" : "critical,CA:FALSE"},
        {NID_key_usage, !richiesta.usoChiave.empty() ? richiesta.usoChiave
                        : richiesta.autorita         ? "critical,keyCertSign,cRLSign"
                                                     : "critical,nonRepudiation"},
        {NID_subject_key_identifier, "hash"},
    };
    if (!richiesta.usoEsteso.empty())
        estensioni.emplace_back(NID_ext_key_usage, richiesta.usoEsteso);
    for (const auto& [nid, testo] : estensioni) {
        const char* valore = testo.c_str();
        X509_EXTENSION* estensione = X509V3_EXT_conf_nid(nullptr, &contesto, nid, valore);
        EXPECT_TRUE(estensione);
        X509_add_ext(certificato.get(), estensione, -1);
        X509_EXTENSION_free(estensione);
    }
    EXPECT_GT(
        X509_sign(certificato.get(), emittente ? emittente->chiave.get() : chiave, EVP_sha256()),
        0);
    return certificato;
}

inline Identita NuovaIdentita(const Certificato& richiesta, const Identita* emittente = nullptr,
                              TipoChiave tipo = TipoChiave::Rsa) {
    Identita identita;
    identita.chiave = NuovaChiave(tipo);
    identita.certificato = EmettiCertificato(identita.chiave.get(), richiesta, emittente);
    return identita;
}

// Another certificate for the same key.
inline Identita AltroCertificato(const Identita& originale, const Certificato& richiesta,
                                 const Identita* emittente) {
    Identita identita;
    EVP_PKEY_up_ref(originale.chiave.get());
    identita.chiave.reset(originale.chiave.get());
    identita.certificato = EmettiCertificato(identita.chiave.get(), richiesta, emittente);
    return identita;
}

// Replaces the first occurrence of `da`; the test fails when there is none.
inline std::string Sostituisci(std::string testo, const std::string& da, const std::string& a) {
    const auto posizione = testo.find(da);
    EXPECT_NE(posizione, std::string::npos) << "no \"" << da << "\" in the text";
    if (posizione != std::string::npos)
        testo.replace(posizione, da.size(), a);
    return testo;
}

} // namespace ondivo::test
