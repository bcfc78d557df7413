#pragma once

#include "fiducia.h"

#include <QString>

#include <cstddef>
#include <string>

namespace ondivo {

// SintesiElencoFiducia as a QString.
QString SintesiElenco(const ElencoFiducia& elenco, std::size_t certificatori);

// Which list the signatures are checked against: "Elenco di fiducia in uso: …" with the
// summary of the kept one, or "Nessun elenco di fiducia importato".
QString RigaElencoSalvato(const ElencoFiducia& salvato, std::size_t certificatori);

} // namespace ondivo
