#pragma once

#include <string>

namespace ondivo {

// The address a click on the link field opens: the text itself when its trimmed form starts
// with the prefix, else the prefix and the trimmed text; "" for a blank text.
std::string IndirizzoLink(const std::string& testo, const std::string& prefisso);

} // namespace ondivo
