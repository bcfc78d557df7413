#pragma once

#include <optional>
#include <string>

namespace ondivo::cli {

// A JSON string literal for UTF-8 text, or null; bytes that are not well-formed UTF-8 are
// written as U+FFFD, so that the output is always valid JSON.
std::string JsonValore(const std::optional<std::string>& utf8);

} // namespace ondivo::cli
