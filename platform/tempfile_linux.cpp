#include "tempfile.h"
#include "uniquefd_linux.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace ondivo::platform {

namespace {

// The system's temporary folder joined with the prefix and the "XXXXXX" that mkstemp and
// mkdtemp replace.
bool modelloNome(std::string_view prefisso, std::string& percorso, std::string& errore) {
    std::error_code ec;
    const auto cartella = std::filesystem::temp_directory_path(ec);
    if (ec) {
        errore = ec.message();
        return false;
    }
    percorso = (cartella / (std::string(prefisso) + "XXXXXX")).string();
    return true;
}

} // namespace

FileTemporaneo::~FileTemporaneo() {
    if (m_creato)
        ::unlink(m_percorso.c_str());
}

bool FileTemporaneo::crea(std::string_view prefisso, std::string_view contenuto,
                          std::string& errore) {
    if (!modelloNome(prefisso, m_percorso, errore))
        return false;
    UniqueFd fd(::mkstemp(m_percorso.data()));
    if (fd.get() < 0) {
        errore = std::strerror(errno);
        return false;
    }
    m_creato = true;
    const auto fallito = [&](int codice) {
        errore = std::strerror(codice);
        fd.close();
        ::unlink(m_percorso.c_str());
        m_creato = false;
        return false;
    };
    while (!contenuto.empty()) {
        const ssize_t scritti = ::write(fd.get(), contenuto.data(), contenuto.size());
        if (scritti < 0 && errno == EINTR)
            continue;
        if (scritti <= 0)
            return fallito(scritti < 0 ? errno : ENOSPC);
        contenuto.remove_prefix(static_cast<std::size_t>(scritti));
    }
    if (fd.close() != 0)
        return fallito(errno);
    return true;
}

CartellaTemporanea::~CartellaTemporanea() {
    std::error_code ignorato;
    if (m_creata)
        std::filesystem::remove_all(m_percorso, ignorato);
}

bool CartellaTemporanea::crea(std::string_view prefisso, std::string& errore) {
    if (!modelloNome(prefisso, m_percorso, errore))
        return false;
    if (!::mkdtemp(m_percorso.data())) {
        errore = std::strerror(errno);
        return false;
    }
    m_creata = true;
    return true;
}

} // namespace ondivo::platform
