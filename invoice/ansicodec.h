#pragma once

#include <string>
#include <string_view>

namespace ondivo {

// Windows-1252 stands for the ANSI code page on every platform. "ANSI" strings hold its
// bytes; every other text in the program is UTF-8.

// UTF-8 to Windows-1252. A character outside the code page becomes its nearest plain letter
// where an obvious one exists (accented Latin letters, full-width forms), else "?"; a
// character beyond U+FFFF gives one "?", as does each byte of a malformed sequence.
std::string Utf8ToAnsi(std::string_view utf8);

// The same, converting in the text's own storage: no copy of a large page is made.
std::string Utf8ToAnsi(std::string&& utf8);

// Windows-1252 to UTF-8. The five bytes the code page leaves undefined map to U+0081,
// U+008D, U+008F, U+0090 and U+009D, so every byte survives a round trip.
std::string AnsiToUtf8(std::string_view ansi);

// The Windows-1252 byte for a code point, or -1 when the code page lacks it (no substitute).
int AnsiByteFor(char32_t cp);

// The code point of a Windows-1252 byte.
char32_t AnsiCodePoint(unsigned char b);

// Decodes one UTF-8 character starting at s[i]; advances i. A malformed or truncated
// sequence yields U+FFFD and consumes one byte.
char32_t DecodeUtf8(std::string_view s, std::size_t& i);

// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, char32_t cp);

} // namespace ondivo
