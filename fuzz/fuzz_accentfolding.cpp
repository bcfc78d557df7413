// Accent folding of arbitrary bytes taken as UTF-8 (malformed sequences included), checked
// against the folding done literally, row by row: for each of the thirteen characters in turn,
// when it occurs, the whole text goes through Windows-1252, its byte is replaced by the pair
// and the text comes back as UTF-8.
#include "accentfolding.h"
#include "ansicodec.h"
#include "oracle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

struct Riga {
    char32_t carattere;
    char byteAnsi;
    const char* sostituto;
};

constexpr Riga kRighe[] = {
    {0x00C0, '\xC0', "A'"}, {0x00E0, '\xE0', "a'"}, {0x00C8, '\xC8', "E'"}, {0x00E8, '\xE8', "e'"},
    {0x00C9, '\xC9', "E'"}, {0x00E9, '\xE9', "e'"}, {0x00CC, '\xCC', "I'"}, {0x00EC, '\xEC', "i'"},
    {0x00D2, '\xD2', "O'"}, {0x00F2, '\xF2', "o'"}, {0x00D9, '\xD9', "U'"}, {0x00F9, '\xF9', "u'"},
    {0x20AC, '\x80', "EU"},
};

ONDIVO_ORACLE std::string piegaRigaPerRiga(std::string testo) {
    for (const Riga& riga : kRighe) {
        std::string cercato;
        ondivo::AppendUtf8(cercato, riga.carattere);
        if (testo.find(cercato) == std::string::npos)
            continue;
        const std::string ansi = ondivo::Utf8ToAnsi(testo);
        std::string piegato;
        for (const char b : ansi) {
            if (b == riga.byteAnsi)
                piegato += riga.sostituto;
            else
                piegato += b;
        }
        testo = ondivo::AnsiToUtf8(piegato);
    }
    return testo;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string testo(reinterpret_cast<const char*>(data), size);
    const std::string piegato = ondivo::PiegaAccenti(testo);
    ondivo::fuzz::check(piegato == piegaRigaPerRiga(testo) && piegato.size() <= testo.size());
    return 0;
}
