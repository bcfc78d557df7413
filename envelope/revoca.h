#pragma once

#include "liberacon.h"

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <openssl/cms.h>
#include <openssl/ocsp.h>
#include <openssl/x509.h>

namespace ondivo {

// The revocation data at hand for a signature: revocation lists and OCSP responses, as the
// envelope or the signature carries them. Not owned.
struct DatiRevoca {
    std::vector<X509_CRL*> crl;
    std::vector<OCSP_BASICRESP*> ocsp;

    void aggiungi(const DatiRevoca& altri) {
        crl.insert(crl.end(), altri.crl.begin(), altri.crl.end());
        ocsp.insert(ocsp.end(), altri.ocsp.begin(), altri.ocsp.end());
    }
};

using CrlPtr = std::unique_ptr<X509_CRL, LiberaCon<X509_CRL_free>>;
using OcspBasePtr = std::unique_ptr<OCSP_BASICRESP, LiberaCon<OCSP_BASICRESP_free>>;

// Revocation data read from a signature, owned.
struct RevochePossedute {
    std::vector<CrlPtr> crl;
    std::vector<OcspBasePtr> ocsp;

    void aggiungiCrl(std::string_view der);
    // An OCSPResponse or a BasicOCSPResponse, as DER.
    void aggiungiOcsp(std::string_view der);
    // A CAdES RevocationValues (crlVals [0], ocspVals [1]) as DER; what cannot be read is
    // left out.
    void aggiungiValori(std::string_view der);
    // The CRLs of a CMS SignedData's own set.
    void aggiungiDaCms(CMS_ContentInfo* cms);
    DatiRevoca dati() const;
};

// What the revocation data say of one certificate.
struct StatoRevoca {
    enum class Stato { Sconosciuto, Valido, Revocato };
    Stato stato = Stato::Sconosciuto;
    std::optional<std::time_t> quando; // the revocation time
    std::string fonte;                 // "CRL del 03/02/2025", "OCSP del 03/02/2025"
};

// The status of `certificato` from data signed by `emittente` (a list signed with its key, a
// response signed by it or by a responder it certified for OCSP). Revoked as soon as one such
// list or response says so, whenever it was issued; valid only from a list or response fresh
// for `riferimento` (whose next update is not before it; without a next update, issued at it
// or after, with a few minutes' leeway for the clocks) and not issued after `ora`, the
// validation time; unknown otherwise.
StatoRevoca StatoRevocaDi(X509* certificato, X509* emittente, const DatiRevoca& dati,
                          std::time_t riferimento, std::time_t ora);

} // namespace ondivo
