#pragma once

#include <string>
#include <string_view>

namespace ondivo {

// The SHA-256 of bytes in small hexadecimal letters, as the exchange system's Hash writes it
// and as cached files are named.
std::string ImprontaSha256(std::string_view byte);

} // namespace ondivo
