#include "envelopepath.h"

#include "fileutil.h"

namespace ondivo {

std::string PercorsoXmlDaP7m(const std::string& p7m) {
    return p7m.substr(0, PosizioneEstensione(p7m));
}

bool IsEnvelope(const std::string& percorso) {
    return EstensioneMinuscola(percorso) == ".p7m";
}

} // namespace ondivo
