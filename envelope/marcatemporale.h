#pragma once

#include "esitofirma.h"
#include "fiducia.h"

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ondivo {

// What a time-stamp token (RFC 3161) over a signature proves.
struct MarcaVerificata {
    // The time the token proves the signature existed at: only when the token holds (its
    // imprint is that of the bytes stamped, its signature is its authority's) and its
    // authority is a qualified time-stamping service of the trusted list at that time.
    std::optional<std::time_t> quando;
    std::optional<std::time_t> dichiarata; // the token's time, whether proven or not
    std::string autorita;                  // the common name of the token's signer
    std::string motivo;                    // in Italian, why the time is not proven
};

// Verifies a time-stamp token (DER) over `datiMarcati` against the time-stamping services of
// `fiducia`, at the validation time `ora`.
MarcaVerificata VerificaMarca(std::string_view token, std::string_view datiMarcati,
                              const Fiducia& fiducia, std::time_t ora);

// The earliest time a signature's time-stamps prove, each given as its token and the bytes it
// stamps; what was found of them goes into the signer's `marca` and `dataProvata`.
std::optional<std::time_t>
ProvaDiTempo(const std::vector<std::pair<std::string_view, std::string_view>>& marche,
             const Fiducia& fiducia, std::time_t ora, Firmatario& firmatario);

} // namespace ondivo
