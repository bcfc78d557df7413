#pragma once

#include <string_view>
#include <vector>

namespace ondivo {

// The extensions (lower case, without the dot) of the files a system may run or that carry
// code a program runs: programs and installers, scripts and shortcuts, documents with macros,
// disk images that are mounted and opened. An attachment of these types is opened only after
// a warning.
const std::vector<std::string_view>& EstensioniEseguibili();

// True when a file of this name is of one of those types, judged as a system judges it: by
// its last extension, in any letter case, the dots and blanks that Windows drops at a name's
// end ("fattura.pdf.exe . ") dropped first.
bool TipoEseguibile(std::string_view nome);

} // namespace ondivo
