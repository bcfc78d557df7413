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

// Bytes as Base64 on one line, padded, as XML and the program's own files keep them.
std::string CodificaBase64(std::string_view dati);

// Decodes an envelope written in PEM form: after optional white space, the line
// "-----BEGIN PKCS7-----", "-----BEGIN CMS-----" or "-----BEGIN PKCS #7 SIGNED DATA-----", Base64
// text as DecodificaTestoBase64 takes it, then "-----END " with the same label and "-----";
// whatever follows is ignored. Anything else, an empty body among it, gives nullopt.
std::optional<std::string> DecodificaPem(std::string_view testo);

} // namespace ondivo
