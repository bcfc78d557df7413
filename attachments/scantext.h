#pragma once

#include <string>

namespace ondivo {

// The scan text of an invoice file: its bytes with nothing decoded, cut at the first zero
// byte, every line break (CR LF, a lone CR, a lone LF) written as CR LF, and a CR LF added at
// the end when the text does not already end in a line break. An empty file gives "".

// Turns raw file bytes into the scan text, in place.
void NormalizzaTestoScansione(std::string& testo);

// Reads the file once and returns its scan text. Throws EFileStreamError.
std::string LeggiTestoScansione(const std::string& percorso);

} // namespace ondivo
