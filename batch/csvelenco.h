#pragma once

#include "elenco.h"
#include "text.h"

#include <string>
#include <vector>

namespace ondivo {

// The list as a CSV file Italian spreadsheet programs open directly: UTF-8 with a BOM, ";"
// between fields, a decimal comma, dates as dd/mm/yyyy, CR LF at the end of each line. Amounts
// carry the sign the list sums them with (credit notes negative); the currency and the net
// amount come last, after the columns older lists already had.
std::string CsvElenco(const std::vector<RigaElenco>& righe);

// The words of a row's signature column ("valida", "integra"…), empty when not reached.
std::string ParolaFirma(const RigaElenco& riga);

} // namespace ondivo
