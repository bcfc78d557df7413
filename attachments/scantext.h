#pragma once

#include <string>
#include <string_view>

namespace ondivo {

// The scanners look at an invoice as its bytes up to the first zero byte, nothing decoded,
// with every line break (CR LF, a lone CR, a lone LF) standing for CR LF. Tags hold no line
// breaks, so the search runs over the bytes as they are: it finds the same elements, in the
// same order, as it would with the breaks rewritten, and only the values it returns are given
// CR LF breaks (ConInterruzioniCrLf). No copy of the whole file is made.

// The bytes before the first zero byte.
std::string_view FinoAlPrimoZero(std::string_view byte);

// True when the text holds a CR or an LF.
bool HaInterruzioni(std::string_view testo);

// A copy of the text with every line break written as CR LF.
std::string ConInterruzioniCrLf(std::string_view testo);

} // namespace ondivo
