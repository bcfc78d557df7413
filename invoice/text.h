#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ondivo {

// Removes every character with a code up to and including the space from both ends.
std::string_view Trim(std::string_view s);

// The text with its ASCII capitals made small; every other byte, UTF-8 included, as it is.
std::string MinuscoleAscii(std::string testo);

// Joins entries each followed by CR LF, then trims: the way several query results become
// one displayed value.
std::string UnisciValori(const std::vector<std::string>& valori);

// UTF-8 text on one line: the control characters (C0, DEL and C1) and the Unicode line and
// paragraph separators are written as escapes, "\n", "\r" and "\t" for those three, "\x01"
// for the other single bytes, "\u0085" for the rest. Everything else, malformed bytes
// included, is kept as it is.
std::string ControlliVisibili(std::string_view utf8);

// The length of the well-formed UTF-8 sequence at the start of `s` (1 to 4), 0 when it is not
// one: a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF or cut short.
std::size_t SequenzaUtf8(std::string_view s);

// True when the whole text is well-formed UTF-8.
bool Utf8Valido(std::string_view s);

// The text with every byte that is not part of well-formed UTF-8 replaced by U+FFFD.
std::string Utf8Sostituito(std::string_view s);

// "1234.50" as "1234,50", as spreadsheets read it; with `migliaia`, as a reader expects it,
// "1.234,50" (a plain decimal only: other texts lose no more than their point).
// "2024-03-14" as "14/03/2024"; other texts as they are.
std::string ImportoItaliano(const std::string& importo, bool migliaia = false);
std::string DataItaliana(const std::string& data);

// The error box's text: a "." is appended when the last character's code is above ".".
std::string TestoBoxErrore(const std::string& messaggio);

} // namespace ondivo
