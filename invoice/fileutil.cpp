#include "fileutil.h"

#include <filesystem>
#include <system_error>

namespace ondivo {

bool FileEsiste(const std::string& percorso) {
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::path(percorso), ec);
}

} // namespace ondivo
