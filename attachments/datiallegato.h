#pragma once

#include <string>
#include <string_view>

namespace ondivo {

// The Base64 text of an attachment as every save decodes it: a data-URL header is dropped
// (the first "base64," in any letter case and everything before it), and XML white space
// (blank, tab, CR, LF) is skipped, so text broken into lines decodes as one run. Every other
// character stays for the decoder. Returns a view into `dati`, or into `copia` when white
// space had to be removed.
std::string_view DatiDaDecodificare(std::string_view dati, std::string& copia);

} // namespace ondivo
