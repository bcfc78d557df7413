// Arbitrary bytes as an invoice file, through the element path queries the window runs.
#include "elementpath.h"
#include "errors.h"
#include "headerfields.h"
#include "memfile.h"

#include <cstddef>
#include <cstdint>

namespace {
class IgnoreMessages : public ondivo::MessageSink {
public:
    void ShowMessage(const std::string&) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ondivo::fuzz::MemFile file(data, size);
    IgnoreMessages sink;
    std::vector<std::string> valori;
    for (const char* percorso : {ondivo::PercorsoFormato, ondivo::CampoFornitore.percorso,
                                 ondivo::CampoNumero.percorso, "a.b", "p:x..y"}) {
        try {
            ondivo::LeggiValoriXml(file.path(), percorso, valori, sink);
        } catch (const ondivo::EXMLDocError&) {
        }
    }
    return 0;
}
