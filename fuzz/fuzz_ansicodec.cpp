// The Windows-1252 codec on arbitrary bytes: never more than one output byte per input byte,
// and every ANSI text survives a round trip through UTF-8.
#include "ansicodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (ondivo::Utf8ToAnsi(bytes).size() > size)
        std::abort();
    if (ondivo::Utf8ToAnsi(ondivo::AnsiToUtf8(bytes)) != bytes)
        std::abort();
    return 0;
}
