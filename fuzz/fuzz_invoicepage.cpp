// Arbitrary bytes as an invoice file, through the open the window runs: the format query, the
// stylesheet choice among our three stylesheets, the XSLT transformation, the folding, the
// attachments and the header values. A page, when there is one, holds none of the thirteen
// folded characters.
#include "documentoaperto.h"
#include "errors.h"
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
    try {
        const auto documento = ondivo::ApriDocumento(file.path(), ondivo::FoglioStilePredefinito());
        ondivo::fuzz::check(documento.pagina.find_first_of(kByteePiegati) == std::string::npos);
    } catch (const ondivo::OndivoError&) {
    }
    return 0;
}
