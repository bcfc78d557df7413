// Arbitrary bytes as an invoice file, through the page the window shows: the format query, the
// stylesheet choice among our three stylesheets, the XSLT transformation and the folding. A
// page, when there is one, holds none of the thirteen folded characters.
#include "errors.h"
#include "invoicepage.h"
#include "lctv.h"
#include "memfile.h"
#include "oracle.h"
#include "stylesheetchoice.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

class IgnoreMessages : public ondivo::MessageSink {
public:
    void ShowMessage(const std::string&) override {}
};

// Windows-1252 bytes of the characters the folding replaces.
constexpr std::string_view kByteePiegati("\xC0\xE0\xC8\xE8\xC9\xE9\xCC\xEC\xD2\xF2\xD9\xF9\x80");

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The program folder of the build, where FODISTILE holds the stylesheets.
    ondivo::ImpostaAppDir(ONDIVO_PROGRAM_DIR "/");
    if (!std::filesystem::exists(ondivo::FoglioStilePredefinito())) {
        std::fprintf(stderr, "manca %s\n", ondivo::FoglioStilePredefinito().c_str());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ondivo::fuzz::MemFile file(data, size);
    IgnoreMessages sink;
    std::string fogliostile = ondivo::FoglioStilePredefinito();
    try {
        const auto pagina = ondivo::PaginaDaXml(file.path(), fogliostile, sink);
        ondivo::fuzz::check(!pagina || pagina->find_first_of(kByteePiegati) == std::string::npos);
    } catch (const ondivo::OndivoError&) {
    }
    return 0;
}
