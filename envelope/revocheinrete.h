#pragma once

#include "revoca.h"

#include <chrono>
#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include <openssl/x509.h>

namespace ondivo {

// The largest answers taken: a revocation list, an OCSP response.
inline constexpr std::size_t DimensioneMassimaCrl = std::size_t{20} << 20;
inline constexpr std::size_t DimensioneMassimaOcsp = std::size_t{1} << 20;

struct OpzioniRete {
    std::chrono::milliseconds scadenza{15000}; // deadline for the whole download, all URLs together
    std::string cache;                         // folder for cached CRLs ("" = no cache)
    std::time_t ora = 0;                       // validation time; 0 = now
};

struct RevocheScaricate {
    RevochePossedute revoche;        // what was fetched or taken from the cache
    std::vector<std::string> errori; // in Italian, one per URL that failed or was left out
};

// For each certificate of the chain but the last, checked against the next one (its issuer):
// the CRLs of its distribution points and a response of its OCSP responder (POST, SHA-1
// CertID, no nonce). Only http:// addresses are contacted, directly (no proxy); a redirect is
// followed to another http:// address. A distribution point's addresses are alternatives:
// the first that gives a list signed by the issuer is enough. CRLs are kept in `cache` under
// the SHA-256 of their address (hex) + ".crl", and taken from there without a download while
// their next update is not before the validation time. Never throws for the network or the
// cache: what could not be had is told in `errori` ("http://…: nessuna risposta entro il
// tempo"). A host name is looked up by the system, outside the deadline.
RevocheScaricate ScaricaRevoche(const std::vector<X509*>& catena, const OpzioniRete& opzioni);

} // namespace ondivo
