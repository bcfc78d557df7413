#pragma once

// Owning handles for the OpenSSL objects the envelope code uses.

#include "liberacon.h"

#include <memory>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>

namespace ondivo {

using BioPtr = std::unique_ptr<BIO, LiberaCon<BIO_free_all>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, LiberaCon<CMS_ContentInfo_free>>;
using X509Ptr = std::unique_ptr<X509, LiberaCon<X509_free>>;
using X509StorePtr = std::unique_ptr<X509_STORE, LiberaCon<X509_STORE_free>>;
using X509StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, LiberaCon<X509_STORE_CTX_free>>;
using Asn1TimePtr = std::unique_ptr<ASN1_TIME, LiberaCon<ASN1_TIME_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, LiberaCon<EVP_PKEY_free>>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, LiberaCon<PKCS7_free>>;
using TsTstInfoPtr = std::unique_ptr<TS_TST_INFO, LiberaCon<TS_TST_INFO_free>>;

// A stack of certificates with the certificates in it.
struct LiberaPilaX509 {
    void operator()(STACK_OF(X509) * pila) const { sk_X509_pop_free(pila, X509_free); }
};
using PilaX509Ptr = std::unique_ptr<STACK_OF(X509), LiberaPilaX509>;

} // namespace ondivo
