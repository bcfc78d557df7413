#pragma once

#include "esitofirma.h"
#include "fiducia.h"

#include <string_view>

#include <openssl/x509.h>

namespace ondivo {

// The counter-signatures in one unsigned attribute of a signer (countersignature, whose
// values are each a SignerInfo signing `firmaControfirmata`, the signature value of that
// signer), added to `esito` after it, each followed by its own counter-signatures.
// `certificati` are the certificates the envelope carries; `profondita` counts the
// counter-signatures above this one, so that a hostile nesting ends.
void VerificaControfirme(X509_ATTRIBUTE* attributo, std::string_view firmaControfirmata,
                         STACK_OF(X509) * certificati, int livello, const Fiducia& fiducia,
                         VerificaFirme& esito, int profondita = 0);

} // namespace ondivo
