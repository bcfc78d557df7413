#pragma once

// Time-stamps made in process for the signature tests: a time-stamping authority, its tokens
// over any bytes at a chosen time, and envelopes whose first signer carries one.

#include "certificatifixture.h"
#include "identitaprova.h"
#include "opensslptr.h"

#include <gtest/gtest.h>

#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>

#include <memory>
#include <string>
#include <string_view>

namespace ondivo::test {

using TsReqPtr = std::unique_ptr<TS_REQ, LiberaCon<TS_REQ_free>>;
using TsRespPtr = std::unique_ptr<TS_RESP, LiberaCon<TS_RESP_free>>;
using TsRespCtxPtr = std::unique_ptr<TS_RESP_CTX, LiberaCon<TS_RESP_CTX_free>>;
using TsMsgImprintPtr = std::unique_ptr<TS_MSG_IMPRINT, LiberaCon<TS_MSG_IMPRINT_free>>;
using X509AlgorPtr = std::unique_ptr<X509_ALGOR, LiberaCon<X509_ALGOR_free>>;
using Asn1ObjectPtr = std::unique_ptr<ASN1_OBJECT, LiberaCon<ASN1_OBJECT_free>>;

// A time-stamping authority, issued by `emittente` or self-signed when it is nullptr. OpenSSL
// signs tokens only with a certificate whose sole extended key usage, critical, is time-stamping.
inline Identita AutoritaMarche(const std::string& nome, const Identita* emittente = nullptr) {
    return NuovaIdentita({{{"C", "IT"}, {"O", "Ondivo Test S.p.A."}, {"CN", nome}},
                          "20100101000000Z",
                          "20500101000000Z",
                          false,
                          "critical,digitalSignature",
                          "critical,timeStamping"},
                         emittente, TipoChiave::Ec);
}

// The digest of `dati` with `md`.
inline std::string Impronta(std::string_view dati, const EVP_MD* md) {
    unsigned char valore[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EXPECT_EQ(EVP_Digest(dati.data(), dati.size(), valore, &n, md, nullptr), 1);
    return std::string(reinterpret_cast<const char*>(valore), n);
}

// A time-stamp token (DER: a ContentInfo with the SignedData of a TSTInfo) signed by `tsa`,
// whose imprint is md(dati) and whose genTime is `quando` ("YYYYMMDDhhmmssZ"). It carries the
// authority's certificate when `conCertificato`; otherwise a verifier must be given it.
inline std::string MarcaTemporale(const Identita& tsa, std::string_view dati, const EVP_MD* md,
                                  const std::string& quando, bool conCertificato = true) {
    // The request, as a client sends it.
    X509AlgorPtr algoritmo(X509_ALGOR_new());
    X509_ALGOR_set0(algoritmo.get(), OBJ_nid2obj(EVP_MD_get_type(md)), V_ASN1_NULL, nullptr);
    std::string impronta = Impronta(dati, md);
    TsMsgImprintPtr imprint(TS_MSG_IMPRINT_new());
    TS_MSG_IMPRINT_set_algo(imprint.get(), algoritmo.get());
    TS_MSG_IMPRINT_set_msg(imprint.get(), reinterpret_cast<unsigned char*>(impronta.data()),
                           static_cast<int>(impronta.size()));
    TsReqPtr richiesta(TS_REQ_new());
    TS_REQ_set_version(richiesta.get(), 1);
    TS_REQ_set_msg_imprint(richiesta.get(), imprint.get());
    // The authority puts its certificate in the token only when the request asks for it.
    TS_REQ_set_cert_req(richiesta.get(), conCertificato ? 1 : 0);
    BioPtr bioRichiesta(BIO_new(BIO_s_mem()));
    EXPECT_EQ(i2d_TS_REQ_bio(bioRichiesta.get(), richiesta.get()), 1);

    // The authority answers at `quando`: it reads the time from a callback, in seconds since
    // 1970.
    Asn1TimePtr epoca(ASN1_TIME_set(nullptr, 0));
    Asn1TimePtr ora(ASN1_TIME_new());
    EXPECT_EQ(ASN1_TIME_set_string_X509(ora.get(), quando.c_str()), 1) << quando;
    int giorni = 0, secondi = 0;
    EXPECT_EQ(ASN1_TIME_diff(&giorni, &secondi, epoca.get(), ora.get()), 1);
    long istante = giorni * 86400L + secondi;

    TsRespCtxPtr ctx(TS_RESP_CTX_new());
    EXPECT_EQ(TS_RESP_CTX_set_signer_cert(ctx.get(), tsa.certificato.get()), 1)
        << "not a time-stamping certificate";
    EXPECT_EQ(TS_RESP_CTX_set_signer_key(ctx.get(), tsa.chiave.get()), 1);
    EXPECT_EQ(TS_RESP_CTX_set_signer_digest(ctx.get(), EVP_sha256()), 1);
    // signingCertificateV2, with a SHA-256 reference to the authority's certificate.
    EXPECT_EQ(TS_RESP_CTX_set_ess_cert_id_digest(ctx.get(), EVP_sha256()), 1);
    Asn1ObjectPtr politica(OBJ_txt2obj("1.2.3.4.1", 1));
    EXPECT_EQ(TS_RESP_CTX_set_def_policy(ctx.get(), politica.get()), 1);
    // Only the digests added here are accepted in a request.
    EXPECT_EQ(TS_RESP_CTX_add_md(ctx.get(), md), 1);
    TS_RESP_CTX_set_time_cb(
        ctx.get(),
        [](TS_RESP_CTX*, void* dato, long* sec, long* usec) {
            *sec = *static_cast<const long*>(dato);
            *usec = 0;
            return 1;
        },
        &istante);

    TsRespPtr risposta(TS_RESP_create_response(ctx.get(), bioRichiesta.get()));
    EXPECT_TRUE(risposta) << "TS_RESP_create_response failed";
    // A refused request still gets a response, with no token and the reason in its status.
    PKCS7* token = risposta ? TS_RESP_get_token(risposta.get()) : nullptr;
    EXPECT_TRUE(token) << "the time-stamping authority refused the request";
    if (!token) {
        ERR_clear_error();
        return {};
    }
    unsigned char* der = nullptr;
    const int n = i2d_PKCS7(token, &der);
    std::string testo(reinterpret_cast<const char*>(der), static_cast<std::size_t>(n > 0 ? n : 0));
    OPENSSL_free(der);
    return testo;
}

// The signature value of the first signer of a CMS envelope.
inline std::string ValoreFirma(CMS_ContentInfo* cms) {
    CMS_SignerInfo* si = sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(cms), 0);
    const ASN1_OCTET_STRING* valore = CMS_SignerInfo_get0_signature(si);
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(valore)),
                       static_cast<std::size_t>(ASN1_STRING_length(valore)));
}

// Adds to the first signer of `busta` a signature time-stamp by `tsa` at `quando`, over the
// SHA-256 of its signature value; `guasta` stamps other bytes instead, as a token taken from
// another signature. Re-encoding sorts the envelope's signers by their bytes, so with more than
// one the stamped signer may no longer come first.
inline std::string ConMarca(const std::string& busta, const Identita& tsa,
                            const std::string& quando, bool guasta = false) {
    const auto* p = reinterpret_cast<const unsigned char*>(busta.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(busta.size())));
    EXPECT_TRUE(cms) << "not a CMS envelope";
    if (!cms)
        return busta;
    CMS_SignerInfo* si = sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(cms.get()), 0);
    std::string firmata = ValoreFirma(cms.get());
    if (guasta)
        firmata.back() = static_cast<char>(firmata.back() ^ 0x01);
    const std::string token = MarcaTemporale(tsa, firmata, EVP_sha256(), quando);
    EXPECT_EQ(CMS_unsigned_add1_attr_by_NID(si, NID_id_smime_aa_timeStampToken, V_ASN1_SEQUENCE,
                                            token.data(), static_cast<int>(token.size())),
              1);
    return DerDi(cms.get());
}

} // namespace ondivo::test
