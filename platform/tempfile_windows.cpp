#include "tempfile.h"
#include "files.h"
#include "largo_windows.h"

#include <filesystem>
#include <system_error>

namespace ondivo::platform {

namespace {

// The system's temporary folder (ending in "\"), or "" with the reason.
bool cartellaTemporanea(std::wstring& cartella, std::string& errore) {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
    if (n == 0 || n > MAX_PATH + 1) {
        errore = MotivoErrore(static_cast<int>(GetLastError()));
        return false;
    }
    cartella.assign(buffer, n);
    return true;
}

constexpr int kTentativi = 100;

} // namespace

FileTemporaneo::~FileTemporaneo() {
    if (m_creato)
        DeleteFileW(Largo(m_percorso).c_str());
}

bool FileTemporaneo::crea(std::string_view prefisso, std::string_view contenuto,
                          std::string& errore) {
    std::wstring cartella;
    if (!cartellaTemporanea(cartella, errore))
        return false;
    UniqueHandle file;
    std::wstring nome;
    for (int i = 0; i < kTentativi && !file.valido(); ++i) {
        nome = cartella + Largo(prefisso) + SuffissoCasuale();
        file = UniqueHandle(CreateFileW(nome.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valido() && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    m_percorso = Stretto(nome);
    if (!file.valido()) {
        errore = MotivoErrore(static_cast<int>(GetLastError()));
        return false;
    }
    m_creato = true;
    while (!contenuto.empty()) {
        const DWORD quanti = static_cast<DWORD>(std::min<std::size_t>(contenuto.size(), 1u << 30));
        DWORD scritti = 0;
        if (!WriteFile(file.get(), contenuto.data(), quanti, &scritti, nullptr) || scritti == 0) {
            errore = MotivoErrore(static_cast<int>(scritti == 0 && GetLastError() == 0
                                                       ? ERROR_DISK_FULL
                                                       : GetLastError()));
            file.chiudi();
            DeleteFileW(nome.c_str());
            m_creato = false;
            return false;
        }
        contenuto.remove_prefix(scritti);
    }
    if (!file.chiudi()) {
        errore = MotivoErrore(static_cast<int>(GetLastError()));
        DeleteFileW(nome.c_str());
        m_creato = false;
        return false;
    }
    return true;
}

CartellaTemporanea::~CartellaTemporanea() {
    std::error_code ignorato;
    if (m_creata)
        std::filesystem::remove_all(std::filesystem::path(Largo(m_percorso)), ignorato);
}

bool CartellaTemporanea::crea(std::string_view prefisso, std::string& errore) {
    std::wstring cartella;
    if (!cartellaTemporanea(cartella, errore))
        return false;
    for (int i = 0; i < kTentativi; ++i) {
        const std::wstring nome = cartella + Largo(prefisso) + SuffissoCasuale();
        m_percorso = Stretto(nome);
        if (CreateDirectoryW(nome.c_str(), nullptr)) {
            m_creata = true;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    errore = MotivoErrore(static_cast<int>(GetLastError()));
    return false;
}

} // namespace ondivo::platform
