#pragma once

#include <optional>
#include <string>

namespace ondivo::cli {

// A JSON string literal for UTF-8 text, or null.
std::string JsonValore(const std::optional<std::string>& utf8);

} // namespace ondivo::cli
