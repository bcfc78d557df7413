#pragma once

// The program folder a window test runs in: the stylesheets, an empty FATTURE and the
// signature tool in ossl/, as the build lays them out. The test target defines
// ONDIVO_SOURCE_DIR and ONDIVO_OPENSSL.

#include <filesystem>

namespace ondivo::test {

inline void PreparaCartellaProgramma(const std::filesystem::path& cartella) {
    namespace fs = std::filesystem;
    fs::create_directories(cartella / "FATTURE");
    fs::copy(ONDIVO_SOURCE_DIR "/stylesheets", cartella / "FODISTILE");
    fs::create_directories(cartella / "ossl");
    fs::create_symlink(ONDIVO_OPENSSL, cartella / "ossl" / "openssl");
}

} // namespace ondivo::test
