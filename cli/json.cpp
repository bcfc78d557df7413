#include "json.h"

#include "text.h"

#include <cstdio>

namespace ondivo::cli {

std::string JsonValore(const std::optional<std::string>& utf8) {
    if (!utf8)
        return "null";
    std::string out = "\"";
    // Bytes that are not UTF-8 (a file name from the file system) would make the whole output
    // unreadable as JSON: they become U+FFFD, the original kept by the caller where it matters.
    for (char c : Utf8Sostituito(*utf8)) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned char>(c));
                out += esc;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

} // namespace ondivo::cli
