#include "files.h"

#include "dimensioneleggibile.h"
#include "largo_windows.h"
#include <filesystem>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <memory>

namespace ondivo::platform {

namespace {

constexpr std::size_t kBlocco = 1 << 16;

[[noreturn]] void erroreFile(const char* modello, const std::string& percorso, DWORD codice) {
    throw EFileStreamError(std::string(modello) + " \"" + PercorsoCompleto(percorso) + "\". " +
                           MotivoErrore(static_cast<int>(codice)));
}

[[noreturn]] void erroreScrittura(const std::string& percorso, DWORD codice) {
    throw EFileStreamError("Impossibile scrivere " + PercorsoCompleto(percorso) + ": " +
                           MotivoErrore(static_cast<int>(codice)));
}

HANDLE maniglia(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

// Opens a regular file for reading, sharing it with other readers and writers as Windows
// programs expect; throws "Cannot open file ..." for a folder, a device or a pipe.
UniqueHandle apriRegolare(const std::string& percorso, std::uint64_t& dimensione) {
    const std::wstring largo = Largo(percorso);
    const DWORD attributi = GetFileAttributesW(largo.c_str());
    if (attributi != INVALID_FILE_ATTRIBUTES && (attributi & FILE_ATTRIBUTE_DIRECTORY))
        erroreFile("Cannot open file", percorso, ERROR_DIRECTORY);
    UniqueHandle file(CreateFileW(largo.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valido())
        erroreFile("Cannot open file", percorso, GetLastError());
    if (GetFileType(file.get()) != FILE_TYPE_DISK)
        throw EFileStreamError("Cannot open file \"" + PercorsoCompleto(percorso) +
                               "\". Not a regular file");
    LARGE_INTEGER n{};
    if (!GetFileSizeEx(file.get(), &n))
        erroreFile("Cannot open file", percorso, GetLastError());
    dimensione = n.QuadPart > 0 ? static_cast<std::uint64_t>(n.QuadPart) : 0;
    return UniqueHandle(file.rilascia());
}

// Reads up to `quanti` bytes; false with the system's code on failure.
bool leggiBlocco(HANDLE file, char* dove, std::size_t quanti, std::size_t& letti) {
    DWORD n = 0;
    const DWORD chiesti = static_cast<DWORD>(std::min<std::size_t>(quanti, 1u << 30));
    if (!ReadFile(file, dove, chiesti, &n, nullptr))
        return false;
    letti = n;
    return true;
}

bool scriviTutto(HANDLE file, std::string_view dati, DWORD& codice) {
    while (!dati.empty()) {
        DWORD scritti = 0;
        const DWORD quanti = static_cast<DWORD>(std::min<std::size_t>(dati.size(), 1u << 30));
        if (!WriteFile(file, dati.data(), quanti, &scritti, nullptr)) {
            codice = GetLastError();
            return false;
        }
        if (scritti == 0) {
            codice = ERROR_DISK_FULL;
            return false;
        }
        dati.remove_prefix(scritti);
    }
    return true;
}

// The folder of a path, for the pending file that must live beside the target.
std::wstring cartellaDi(const std::wstring& percorso) {
    const auto barra = percorso.find_last_of(L"\\/:");
    if (barra == std::wstring::npos)
        return L".";
    if (barra == 0 || percorso[barra] == L':' || percorso[barra - 1] == L':')
        return percorso.substr(0, barra + 1);
    return percorso.substr(0, barra);
}

// %NAME% as UTF-8, or "".
std::string variabile(const wchar_t* nome) {
    const wchar_t* valore = _wgetenv(nome);
    return valore ? Stretto(valore) : std::string();
}

// The user's local application-data folder joined with the program's, ending in "\".
std::string cartellaUtente(const char* sotto, const wchar_t* radice = L"LOCALAPPDATA") {
    std::string base = variabile(radice);
    if (base.empty())
        return {};
    if (base.back() != '\\' && base.back() != '/')
        base += '\\';
    return base + "ondivo\\" + sotto;
}

// Lists the regular files under a folder, depth first; reparse points (junctions, links to
// folders) are not entered, so a loop cannot trap the walk.
void elenca(const std::wstring& cartella, std::vector<std::string>& file,
            std::vector<std::pair<std::string, std::string>>& illeggibili) {
    WIN32_FIND_DATAW voce{};
    HANDLE ricerca = FindFirstFileW((cartella + L"\\*").c_str(), &voce);
    if (ricerca == INVALID_HANDLE_VALUE) {
        illeggibili.emplace_back(Stretto(cartella), MotivoErrore(static_cast<int>(GetLastError())));
        return;
    }
    std::vector<std::wstring> sottocartelle;
    do {
        const std::wstring nome = voce.cFileName;
        if (nome == L"." || nome == L"..")
            continue;
        const std::wstring percorso = cartella + L"\\" + nome;
        if (voce.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(voce.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                sottocartelle.push_back(percorso);
        } else if (!(voce.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)) {
            file.push_back(Stretto(percorso));
        }
    } while (FindNextFileW(ricerca, &voce));
    FindClose(ricerca);
    for (const auto& s : sottocartelle)
        elenca(s, file, illeggibili);
}

} // namespace

std::string MotivoErrore(int codice) {
    switch (static_cast<DWORD>(codice)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return "file o cartella inesistente";
    case ERROR_ACCESS_DENIED:
        return "permesso negato";
    case ERROR_PRIVILEGE_NOT_HELD:
        return "operazione non permessa";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "spazio esaurito sul disco";
    case 1295: // ERROR_DISK_QUOTA_EXCEEDED, missing from MinGW's headers
        return "quota del disco superata";
    case ERROR_WRITE_PROTECT:
        return "file system in sola lettura";
    case ERROR_DIRECTORY:
        return "è una cartella";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return "il file esiste già";
    case ERROR_FILENAME_EXCED_RANGE:
        return "nome troppo lungo";
    case ERROR_INVALID_NAME:
        return "nome non valido";
    case ERROR_CANT_ACCESS_FILE:
    case ERROR_CANT_RESOLVE_FILENAME:
        return "è un collegamento simbolico";
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_IO_DEVICE:
    case ERROR_CRC:
        return "errore di input/output";
    case ERROR_FILE_TOO_LARGE:
        return "file troppo grande";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return "memoria insufficiente";
    case ERROR_TOO_MANY_OPEN_FILES:
        return "troppi file aperti";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
        return "file in uso";
    case ERROR_INVALID_PARAMETER:
        return "argomento non valido";
    case ERROR_NOT_SAME_DEVICE:
        return "collegamento tra dispositivi diversi";
    case ERROR_BAD_FILE_TYPE:
        return "non è un file regolare";
    default: {
        wchar_t* testo = nullptr;
        const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                           FORMAT_MESSAGE_IGNORE_INSERTS,
                                       nullptr, static_cast<DWORD>(codice), 0,
                                       reinterpret_cast<LPWSTR>(&testo), 0, nullptr);
        std::string motivo = n ? Stretto(std::wstring_view(testo, n)) : std::string();
        LocalFree(testo);
        while (!motivo.empty() && (motivo.back() == '\n' || motivo.back() == '\r' ||
                                   motivo.back() == ' ' || motivo.back() == '.'))
            motivo.pop_back();
        return motivo.empty() ? "errore di sistema " + std::to_string(codice) : motivo;
    }
    }
}

std::string PercorsoCompleto(const std::string& percorso) {
    const std::wstring largo = Largo(percorso);
    const DWORD n = GetFullPathNameW(largo.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return percorso;
    std::wstring completo(n, L'\0');
    const DWORD scritti = GetFullPathNameW(largo.c_str(), n, completo.data(), nullptr);
    if (scritti == 0 || scritti >= n)
        return percorso;
    completo.resize(scritti);
    return Stretto(completo);
}

std::string PercorsoNormalizzato(const std::string& percorso) {
    // GetFullPathName already resolves "." and ".." by name and turns "/" into "\".
    return PercorsoCompleto(percorso);
}

bool FileRegolare(const std::string& percorso) {
    WIN32_FILE_ATTRIBUTE_DATA dati{};
    return GetFileAttributesExW(Largo(percorso).c_str(), GetFileExInfoStandard, &dati) &&
           !(dati.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

std::uint64_t DimensioneFile(const std::string& percorso) {
    WIN32_FILE_ATTRIBUTE_DATA dati{};
    if (!GetFileAttributesExW(Largo(percorso).c_str(), GetFileExInfoStandard, &dati))
        return 0;
    return (std::uint64_t{dati.nFileSizeHigh} << 32) | dati.nFileSizeLow;
}

TFileLettura::TFileLettura(const std::string& percorso) : m_percorso(percorso) {
    UniqueHandle file = apriRegolare(percorso, m_dimensione);
    if (m_dimensione > DimensioneMassimaFile)
        throw EFileStreamError("Il file " + PercorsoCompleto(percorso) + " è troppo grande (" +
                               DimensioneLeggibile(m_dimensione) + "; al massimo " +
                               DimensioneLeggibile(DimensioneMassimaFile) + ")");
    m_fd = reinterpret_cast<std::intptr_t>(file.rilascia());
}

TFileLettura::~TFileLettura() {
    if (m_fd != -1)
        CloseHandle(maniglia(m_fd));
}

std::size_t TFileLettura::Leggi(char* dove, std::size_t quanti) {
    std::size_t letti = 0;
    if (!leggiBlocco(maniglia(m_fd), dove, quanti, letti))
        erroreFile("Cannot open file", m_percorso, GetLastError());
    return letti;
}

void TFileLettura::Riavvolgi() {
    LARGE_INTEGER inizio{};
    if (!SetFilePointerEx(maniglia(m_fd), inizio, nullptr, FILE_BEGIN))
        erroreFile("Cannot open file", m_percorso, GetLastError());
}

DescrittoreLettura::DescrittoreLettura(const std::string& percorso) : m_percorso(percorso) {
    std::uint64_t dimensione = 0;
    UniqueHandle file = apriRegolare(percorso, dimensione);
    // The C library's descriptor takes the handle over, and closes it with itself.
    m_fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(file.get()), _O_RDONLY | _O_BINARY);
    if (m_fd < 0)
        erroreFile("Cannot open file", percorso, ERROR_TOO_MANY_OPEN_FILES);
    file.rilascia();
}

DescrittoreLettura::~DescrittoreLettura() {
    if (m_fd >= 0)
        _close(m_fd);
}

std::size_t DescrittoreLettura::LeggiDa(std::uint64_t posizione, char* dove,
                                        std::size_t quanti) const {
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(m_fd));
    // A read at an offset moves the handle's position: it is put back where it was.
    LARGE_INTEGER prima{};
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, &prima, FILE_CURRENT))
        erroreFile("Cannot open file", m_percorso, GetLastError());
    std::size_t letti = 0;
    while (letti < quanti) {
        OVERLAPPED daDove{};
        const std::uint64_t da = posizione + letti;
        daDove.Offset = static_cast<DWORD>(da);
        daDove.OffsetHigh = static_cast<DWORD>(da >> 32);
        DWORD n = 0;
        const DWORD chiesti = static_cast<DWORD>(std::min<std::size_t>(quanti - letti, 1u << 30));
        if (!ReadFile(file, dove + letti, chiesti, &n, &daDove)) {
            const DWORD errore = GetLastError();
            if (errore == ERROR_HANDLE_EOF)
                break;
            SetFilePointerEx(file, prima, nullptr, FILE_BEGIN);
            erroreFile("Cannot open file", m_percorso, errore);
        }
        if (n == 0)
            break;
        letti += n;
    }
    SetFilePointerEx(file, prima, nullptr, FILE_BEGIN);
    return letti;
}

std::uint64_t DescrittoreLettura::Dimensione() const {
    LARGE_INTEGER dimensione{};
    if (!GetFileSizeEx(reinterpret_cast<HANDLE>(_get_osfhandle(m_fd)), &dimensione))
        erroreFile("Cannot open file", m_percorso, GetLastError());
    return static_cast<std::uint64_t>(dimensione.QuadPart);
}

TFileScrittura::TFileScrittura(const std::string& percorso) : m_percorso(percorso) {
    const std::wstring cartella = cartellaDi(Largo(percorso));
    const std::wstring separatore =
        cartella.back() == L'\\' || cartella.back() == L'/' || cartella.back() == L':' ? L""
                                                                                       : L"\\";
    for (int i = 0; i < 100; ++i) {
        const std::wstring nome = cartella + separatore + L".ondivo-" + SuffissoCasuale();
        HANDLE file = CreateFileW(nome.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_fd = reinterpret_cast<std::intptr_t>(file);
            m_temporaneo = Stretto(nome);
            return;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    erroreFile("Cannot create file", percorso, GetLastError());
}

TFileScrittura::~TFileScrittura() {
    if (m_fd != -1)
        CloseHandle(maniglia(m_fd));
    if (!m_temporaneo.empty())
        DeleteFileW(Largo(m_temporaneo).c_str());
}

void TFileScrittura::fallisci(int codice) {
    if (m_fd != -1)
        CloseHandle(maniglia(m_fd));
    m_fd = -1;
    if (!m_temporaneo.empty())
        DeleteFileW(Largo(m_temporaneo).c_str());
    m_temporaneo.clear();
    erroreScrittura(m_percorso, static_cast<DWORD>(codice));
}

void TFileScrittura::Scrivi(std::string_view dati) {
    DWORD codice = 0;
    if (m_fd == -1 || !scriviTutto(maniglia(m_fd), dati, codice))
        fallisci(static_cast<int>(m_fd == -1 ? ERROR_INVALID_HANDLE : codice));
}

// The file must be closed before it can be moved; a failure to close is a failed write.
void TFileScrittura::chiudi() {
    if (m_fd == -1)
        return;
    const HANDLE file = maniglia(m_fd);
    m_fd = -1;
    if (!CloseHandle(file))
        fallisci(static_cast<int>(GetLastError()));
}

void TFileScrittura::Conferma() {
    chiudi();
    if (m_temporaneo.empty())
        erroreScrittura(m_percorso, ERROR_INVALID_HANDLE);
    const std::wstring destinazione = Largo(m_percorso);
    const DWORD attributi = GetFileAttributesW(destinazione.c_str());
    if (attributi != INVALID_FILE_ATTRIBUTES) {
        if (attributi & FILE_ATTRIBUTE_REPARSE_POINT)
            fallisci(ERROR_CANT_ACCESS_FILE);
        if (attributi & FILE_ATTRIBUTE_DIRECTORY)
            fallisci(ERROR_DIRECTORY);
        if (attributi & FILE_ATTRIBUTE_DEVICE)
            fallisci(ERROR_BAD_FILE_TYPE);
    }
    // The new file takes the old one's place in one step; a reader never sees half of it.
    if (!MoveFileExW(Largo(m_temporaneo).c_str(), destinazione.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fallisci(static_cast<int>(GetLastError()));
    m_temporaneo.clear();
}

bool TFileScrittura::ConfermaSeLibero(const std::string& percorso) {
    chiudi();
    if (m_temporaneo.empty())
        erroreScrittura(percorso, ERROR_INVALID_HANDLE);
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken, in one step.
    if (MoveFileExW(Largo(m_temporaneo).c_str(), Largo(percorso).c_str(), MOVEFILE_WRITE_THROUGH)) {
        m_temporaneo.clear();
        return true;
    }
    const DWORD codice = GetLastError();
    if (codice == ERROR_ALREADY_EXISTS || codice == ERROR_FILE_EXISTS)
        return false;
    m_percorso = percorso;
    fallisci(static_cast<int>(codice));
}

bool TFileScrittura::UgualeA(const std::string& percorso) {
    chiudi();
    return !m_temporaneo.empty() && StessiByte(m_temporaneo, percorso);
}

bool StessiByte(const std::string& a, const std::string& b) {
    try {
        std::uint64_t da = 0;
        std::uint64_t db = 0;
        const UniqueHandle fa = apriRegolare(a, da);
        const UniqueHandle fb = apriRegolare(b, db);
        if (da != db)
            return false;
        const auto ba = std::make_unique<char[]>(kBlocco);
        const auto bb = std::make_unique<char[]>(kBlocco);
        for (;;) {
            std::size_t na = 0;
            if (!leggiBlocco(fa.get(), ba.get(), kBlocco, na))
                return false;
            std::size_t presi = 0;
            while (presi < na) {
                std::size_t nb = 0;
                if (!leggiBlocco(fb.get(), bb.get() + presi, na - presi, nb) || nb == 0)
                    return false;
                presi += nb;
            }
            if (std::memcmp(ba.get(), bb.get(), presi) != 0)
                return false;
            if (na == 0) {
                std::size_t resto = 0;
                return leggiBlocco(fb.get(), bb.get(), 1, resto) && resto == 0;
            }
        }
    } catch (const EFileStreamError&) {
        return false;
    }
}

bool CreaCartella(const std::string& percorso, std::string& motivo) {
    const std::wstring largo = Largo(percorso);
    // Each missing step from the root down; the ones already there are simply passed.
    DWORD codice = ERROR_SUCCESS;
    for (std::size_t pos = largo.find_first_of(L"\\/", 0);;
         pos = largo.find_first_of(L"\\/", pos + 1)) {
        const std::wstring passo = largo.substr(0, pos);
        if (!passo.empty() && passo.back() != L':' && passo != L"\\" &&
            !CreateDirectoryW(passo.c_str(), nullptr))
            codice = GetLastError();
        if (pos == std::wstring::npos)
            break;
    }
    const DWORD attributi = GetFileAttributesW(largo.c_str());
    if (attributi != INVALID_FILE_ATTRIBUTES && (attributi & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    motivo = MotivoErrore(static_cast<int>(
        attributi != INVALID_FILE_ATTRIBUTES || codice == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY
                                                                               : codice));
    return false;
}

bool CartellaScrivibile(const std::string& percorso) {
    std::string motivo;
    if (!CreaCartella(percorso, motivo))
        return false;
    // Permissions on Windows are lists that only a real attempt reads right.
    const std::wstring prova = Largo(percorso) + L"\\.ondivo-prova-" + SuffissoCasuale();
    HANDLE file = CreateFileW(prova.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::vector<std::string>
FileNellaCartella(const std::string& cartella,
                  std::vector<std::pair<std::string, std::string>>& illeggibili) {
    std::wstring radice = Largo(cartella);
    while (radice.size() > 1 && (radice.back() == L'\\' || radice.back() == L'/') &&
           radice[radice.size() - 2] != L':')
        radice.pop_back();
    std::vector<std::string> file;
    elenca(radice, file, illeggibili);
    std::sort(file.begin(), file.end());
    return file;
}

bool ECartella(const std::string& percorso) {
    const DWORD attributi = GetFileAttributesW(Largo(percorso).c_str());
    return attributi != INVALID_FILE_ATTRIBUTES && (attributi & FILE_ATTRIBUTE_DIRECTORY);
}

bool StessoFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(std::filesystem::path(Largo(a)),
                                       std::filesystem::path(Largo(b)), ec) &&
           !ec;
}

std::string CartellaDatiUtente() {
    return cartellaUtente("");
}

std::string CartellaCacheUtente() {
    return cartellaUtente("cache\\");
}

std::string CartellaConfigurazioneUtente() {
    return cartellaUtente("", L"APPDATA");
}

bool RimuoviFile(const std::string& percorso) {
    return DeleteFileW(Largo(percorso).c_str()) != 0;
}

} // namespace ondivo::platform
