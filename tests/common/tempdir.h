#pragma once

#include <cstdlib>
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
        std::string modello =
            (std::filesystem::temp_directory_path() / "ondivo-test-XXXXXX").string();
        if (!::mkdtemp(modello.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = modello;
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
        return file.string();
    }

private:
    std::filesystem::path m_path;
};

} // namespace ondivo::test
