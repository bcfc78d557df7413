#pragma once

#include <string>

namespace ondivo {

// Rewrites the grave-accented vowels, É and é, and the euro sign as plain ASCII pairs
// ("a'", "E'", "EU"...); every other accented letter is left alone. Works on UTF-8 text.
// When none of these thirteen characters occurs the text comes back untouched. Otherwise the
// whole text passes through the ANSI code page (Windows-1252) on the way, as the folding always
// did: a character the code page lacks becomes its nearest plain letter or "?", and a malformed
// byte becomes "?". Never fails.
std::string PiegaAccenti(std::string html);

} // namespace ondivo
