#pragma once

#include "esitofirma.h"
#include "fiducia.h"
#include "revoca.h"

#include <chrono>
#include <ctime>
#include <optional>

#include <openssl/x509.h>

namespace ondivo {

// Fills the certificate's fields of a signer: names, fiscal code or other identifier,
// organisation, issuer, serial number, validity.
void CampiCertificato(X509* certificato, Firmatario& firmatario);

// The certificate's DER encoding; empty when it cannot be encoded.
std::string DerCertificato(X509* certificato);

// The key as the user reads it: "RSA 2048 bit", "EC P-256", "Ed25519".
std::string NomeChiave(EVP_PKEY* chiave);

// The common name of the certificate's subject, else the whole subject on one line.
std::string NomeCertificato(X509* certificato);

// "YYYY-MM-DDThh:mm:ssZ" from an ASN.1 time; nullopt when it cannot be read.
std::optional<std::string> DataOraIso(const ASN1_TIME* tempo);

// "SHA-256", "SHA-1"… from a digest's NID.
std::string NomeAlgoritmo(int nid);

// What the signature gives the validation of its signer besides the signer's certificate.
struct ProveFirma {
    STACK_OF(X509) * certificati = nullptr; // carried by the signature; may be nullptr
    DatiRevoca revoche;                     // carried by the signature
    int nidDigest = 0;                      // the digest the signature was made with
    std::time_t ora = 0;                    // the validation time
    // When a time-stamp proves the signature existed; the certificates are judged then.
    std::optional<std::time_t> provaTempo;
    // Revocation data may be downloaded, within this deadline, for a trusted chain that lacks
    // current data; nullopt: never.
    std::optional<std::chrono::milliseconds> rete;
};

// Completes a signer once the checks of the signature itself have reported (Segnala) and
// `integra` and `dataFirma` are set: the chain to a trusted authority, the fitness of the
// certificate for signing, the strength of digest and key, the dates of every certificate of
// the chain and their revocation, all judged at the time a time-stamp proves, else at the
// validation time, since the claimed time proves nothing; then the verdict
// (ConcludiFirmatario).
void ValutaFirmatario(X509* certificato, const ProveFirma& prove, const Fiducia& fiducia,
                      Firmatario& firmatario);

// Adds to a file's verdict the warning that the trusted list is past its next update.
void AvvisiFiducia(const Fiducia& fiducia, std::time_t ora, VerificaFirme& verifica);

} // namespace ondivo
