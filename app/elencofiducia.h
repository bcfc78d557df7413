#pragma once

#include "fiducia.h"

#include <QString>

#include <cstddef>
#include <string>

namespace ondivo {

// Takes in a trusted list the user brought (a file or a download): reads and checks it
// (LeggiElencoFiducia) and keeps it in place of the one kept before (SalvaElencoFiducia).
// Throws OndivoError with the user's message; nothing kept changes then.
ElencoFiducia AccettaElencoFiducia(const std::string& xml);

// "3 certificatori (IT, emesso il 02/05/2024)": how many authorities, the territory and the
// issue date of a list.
QString SintesiElenco(const ElencoFiducia& elenco, std::size_t certificatori);

// Which list the signatures are checked against: "Elenco di fiducia in uso: …" with the
// summary of the kept one, or "Nessun elenco di fiducia importato".
QString RigaElencoSalvato(const ElencoFiducia& salvato, std::size_t certificatori);

} // namespace ondivo
