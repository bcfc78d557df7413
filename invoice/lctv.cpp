#include "lctv.h"
#include "executablepath.h"

namespace ondivo {

namespace {
std::string& appDirStorage() {
    static std::string dir;
    return dir;
}
} // namespace

const std::string& AppDir() {
    return appDirStorage();
}

void ImpostaAppDir(std::string cartella) {
    appDirStorage() = std::move(cartella);
}

std::string CartellaProgramma(const std::string& percorsoEseguibile) {
    const auto fine = percorsoEseguibile.find_last_of(platform::SeparatoriCartella());
    if (fine == std::string::npos)
        return {};
    return percorsoEseguibile.substr(0, fine + 1);
}

// Made from the stylesheets' table of codes when the program is built.
const std::array<TDocSDIRec, 23> TabTipiDoc = {{
#include "tipidocumento.inc"
}};

std::string DescrTipoDoc(const std::string& codice) {
    for (const auto& riga : TabTipiDoc)
        if (codice == riga.Codice)
            return std::string(riga.Codice) + " " + riga.Descrizione;
    return {};
}

} // namespace ondivo
