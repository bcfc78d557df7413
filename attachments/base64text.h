#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ondivo {

// Decodes text that is Base64 throughout, white space (blank, tab, CR, LF, FF, VT) anywhere
// ignored: the standard alphabet, then at most two "=" at the very end. Padding may be left
// out. Anything else (another character, "=" in the middle, a length no Base64 text can
// have, no characters at all) gives nullopt: the text is not Base64.
std::optional<std::string> DecodificaTestoBase64(std::string_view testo);

} // namespace ondivo
