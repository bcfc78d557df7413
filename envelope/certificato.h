#pragma once

#include "esitofirma.h"
#include "fiducia.h"

#include <ctime>
#include <optional>

#include <openssl/x509.h>

namespace ondivo {

// Fills the certificate's fields of a signer: names, fiscal code, organisation, issuer,
// serial number, validity.
void CampiCertificato(X509* certificato, Firmatario& firmatario);

// "YYYY-MM-DDThh:mm:ssZ" from an ASN.1 time; nullopt when it cannot be read.
std::optional<std::string> DataOraIso(const ASN1_TIME* tempo);

// "SHA-256", "SHA-1"… from a digest's NID, and whether it is too weak for signatures.
std::string NomeAlgoritmo(int nid);
bool AlgoritmoDebole(int nid);

// Completes a signer once `integra` and `dataFirma` are known: whether the certificate chains
// to a trusted authority (with `intermedi`, the other certificates the signature carries; may
// be nullptr), the chain, whether it was valid at the signing time (now when the signature
// gives none), and the verdict with its reason.
void ValutaFirmatario(X509* certificato, STACK_OF(X509) * intermedi, const Fiducia& fiducia,
                      Firmatario& firmatario);

} // namespace ondivo
