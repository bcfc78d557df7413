#include "stylesheetchoice.h"

#include "lctv.h"

namespace ondivo {

std::string FoglioStilePredefinito() {
    return AppDir() + DirFogliStile + FogliStile[1].file;
}

std::string FoglioStileMessaggi() {
    return AppDir() + DirFogliStile + FileFoglioStileMessaggi;
}

void ScegliFoglioStile(const std::string& formato, std::string& fogliostile) {
    for (const auto& riga : FogliStile) {
        if (formato == riga.formato) {
            fogliostile = AppDir() + DirFogliStile + riga.file;
            return;
        }
    }
    if (fogliostile == FoglioStileMessaggi())
        fogliostile = FoglioStilePredefinito();
}

} // namespace ondivo
