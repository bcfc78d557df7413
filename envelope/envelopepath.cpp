#include "envelopepath.h"
#include "executablepath.h"

#include "files.h"
#include "fileutil.h"

#include <cstdint>

namespace ondivo {

namespace {

// FNV-1a, 64 bits: stable across runs and builds, unlike std::hash.
std::uint64_t fnv1a(const std::string& testo) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : testo) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string esadecimale(std::uint64_t valore) {
    constexpr char kCifre[] = "0123456789abcdef";
    std::string testo(16, '0');
    for (int i = 15; i >= 0; --i, valore >>= 4)
        testo[static_cast<std::size_t>(i)] = kCifre[valore & 0xF];
    return testo;
}

} // namespace

std::string PercorsoXmlDaP7m(const std::string& p7m) {
    const auto punto = PosizioneEstensione(p7m);
    if (punto == std::string::npos)
        return p7m;
    const auto barra = p7m.find_last_of(platform::SeparatoriCartella(), punto);
    const std::string nome = p7m.substr(barra == std::string::npos ? 0 : barra + 1,
                                        punto - (barra == std::string::npos ? 0 : barra + 1));
    // Without a name of its own the XML would be the folder itself, or nothing.
    if (nome.empty() || nome == "." || nome == "..")
        return p7m + ".xml";
    return p7m.substr(0, punto);
}

std::string PercorsoXmlInCache(const std::string& p7m) {
    const std::string cache = platform::CartellaCacheUtente();
    if (cache.empty())
        return {};
    const std::string assoluto = platform::PercorsoNormalizzato(p7m);
    return cache + "p7m/" + esadecimale(fnv1a(assoluto)) + "/" + NomeFile(PercorsoXmlDaP7m(p7m));
}

bool IsEnvelope(const std::string& percorso) {
    return EstensioneMinuscola(percorso) == ".p7m";
}

} // namespace ondivo
