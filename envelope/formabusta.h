#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ondivo {

// The forms a signed envelope comes in: CMS signed data in DER, or the same as Base64 text
// (perhaps Base64 of Base64) or PEM, a UTF-8 BOM allowed before the text.

// XML text rather than an envelope: "<" first, after a BOM and blanks.
bool EXmlSemplice(std::string_view dati);

// True when the bytes start as an envelope does: a SEQUENCE, of any length form, whose first
// element is the signed-data type. Stricter than the first byte alone, which a content may
// well start with ("0" is 0x30).
bool EBustaDer(std::string_view dati);

// The bytes of an envelope written as text: PEM, or Base64 (perhaps Base64 of Base64, decoded
// until DER appears), after a UTF-8 BOM. nullopt when the text is neither; otherwise what was
// decoded, which may still not be an envelope.
std::optional<std::string> DerDaTesto(std::string_view testo);

// The envelope in some bytes, as DER: the bytes themselves or their decoding; nullopt when
// they are not an envelope in any of its forms.
std::optional<std::string> BustaInterna(std::string_view contenuto);

} // namespace ondivo
