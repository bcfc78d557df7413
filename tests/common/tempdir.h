#pragma once

#include "tempfile.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ondivo::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string errore;
        if (!m_cartella.crea("ondivo-test-", errore))
            throw std::runtime_error("cannot create a temporary folder: " + errore);
        m_path = Percorso(m_cartella.percorso());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    // Writes the bytes to a file of that name and returns its full path.
    std::string write(const std::string& nome, std::string_view contenuto) const {
        const auto file = m_path / nome;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        out.write(contenuto.data(), static_cast<std::streamsize>(contenuto.size()));
        return Utf8(file);
    }

    // A UTF-8 path as the standard library's path, and back: on Windows its narrow strings
    // are in the ANSI code page, not UTF-8.
    static std::filesystem::path Percorso(const std::string& utf8) {
        return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
    }
    static std::string Utf8(const std::filesystem::path& percorso) {
        const std::u8string testo = percorso.u8string();
        return std::string(testo.begin(), testo.end());
    }

private:
    platform::CartellaTemporanea m_cartella; // gone already when ~TempDir has removed it all
    std::filesystem::path m_path;
};

} // namespace ondivo::test
