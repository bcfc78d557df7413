#include "executablepath.h"
#include "largo_windows.h"

namespace ondivo::platform {

std::string PercorsoEseguibile() {
    // The buffer grows until the whole path fits (paths may pass MAX_PATH).
    std::wstring percorso(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, percorso.data(), static_cast<DWORD>(percorso.size()));
        if (n == 0)
            return {};
        if (n < percorso.size()) {
            percorso.resize(n);
            return Stretto(percorso);
        }
        if (percorso.size() >= 32768)
            return {};
        percorso.resize(percorso.size() * 2);
    }
}

std::string NomeEseguibile(const std::string& nome) {
    return nome + ".exe";
}

const char* SeparatoriCartella() {
    return "\\/:";
}

} // namespace ondivo::platform
