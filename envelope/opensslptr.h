#pragma once

// Owning handles for the OpenSSL objects the envelope code uses.

#include <memory>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

namespace ondivo {

template <auto Libera>
struct LiberaOpenSsl {
    template <class T>
    void operator()(T* p) const {
        Libera(p);
    }
};

using BioPtr = std::unique_ptr<BIO, LiberaOpenSsl<BIO_free_all>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, LiberaOpenSsl<CMS_ContentInfo_free>>;
using X509Ptr = std::unique_ptr<X509, LiberaOpenSsl<X509_free>>;
using X509StorePtr = std::unique_ptr<X509_STORE, LiberaOpenSsl<X509_STORE_free>>;
using X509StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, LiberaOpenSsl<X509_STORE_CTX_free>>;
using Asn1TimePtr = std::unique_ptr<ASN1_TIME, LiberaOpenSsl<ASN1_TIME_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, LiberaOpenSsl<EVP_PKEY_free>>;

// A stack of certificates with the certificates in it.
struct LiberaPilaX509 {
    void operator()(STACK_OF(X509) * pila) const { sk_X509_pop_free(pila, X509_free); }
};
using PilaX509Ptr = std::unique_ptr<STACK_OF(X509), LiberaPilaX509>;

} // namespace ondivo
