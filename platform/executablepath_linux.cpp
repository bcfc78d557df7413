#include "executablepath.h"

#include <filesystem>
#include <system_error>

namespace ondivo::platform {

std::string PercorsoEseguibile() {
    std::error_code ec;
    const auto percorso = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : percorso.string();
}

std::string NomeEseguibile(const std::string& nome) {
    return nome;
}

const char* SeparatoriCartella() {
    return "/";
}

} // namespace ondivo::platform
