#pragma once

#include "certificato.h"
#include "esitofirma.h"
#include "fiducia.h"

#include <string_view>

#include <openssl/x509.h>

namespace ondivo {

// The counter-signatures in one unsigned attribute of a signer (countersignature, whose
// values are each a SignerInfo signing `firmaControfirmata`, the signature value of that
// signer), added to `esito` after it, each followed by its own counter-signatures.
// `prove` gives the certificates and revocation data the envelope carries and the validation
// time; `profondita` counts the counter-signatures above this one, so that a hostile nesting
// ends: what lies past the limits is reported in `esito.avvisi`.
void VerificaControfirme(X509_ATTRIBUTE* attributo, std::string_view firmaControfirmata,
                         const ProveFirma& prove, int livello, const Fiducia& fiducia,
                         VerificaFirme& esito, int profondita = 0);

} // namespace ondivo
