#include "dimensioneleggibile.h"
#include "files.h"
#include "uniquefd_linux.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include <climits>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondivo::platform {

namespace {

constexpr std::size_t kBlocco = 1 << 16;

[[noreturn]] void erroreFile(const char* modello, const std::string& percorso, int codice) {
    throw EFileStreamError(std::string(modello) + " \"" + PercorsoCompleto(percorso) + "\". " +
                           MotivoErrore(codice));
}

[[noreturn]] void erroreScrittura(const std::string& percorso, int codice) {
    throw EFileStreamError("Impossibile scrivere " + PercorsoCompleto(percorso) + ": " +
                           MotivoErrore(codice));
}

ssize_t leggiTutto(int fd, char* dove, std::size_t quanti) {
    for (;;) {
        const ssize_t n = ::read(fd, dove, quanti);
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

bool scriviTutto(int fd, std::string_view dati, int& codice) {
    while (!dati.empty()) {
        const ssize_t n = ::write(fd, dati.data(), dati.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            codice = n < 0 ? errno : ENOSPC;
            return false;
        }
        dati.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string cartellaDi(const std::string& percorso) {
    const auto barra = percorso.find_last_of('/');
    if (barra == std::string::npos)
        return ".";
    return barra == 0 ? "/" : percorso.substr(0, barra);
}

// The permissions a new file gets from the user's umask, read without changing it (umask()
// would, for a moment, for every thread). Read once: the program never changes its umask.
mode_t leggiPermessiNuovoFile() {
    std::ifstream stato("/proc/self/status");
    std::string riga;
    while (std::getline(stato, riga))
        if (riga.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(0666 & ~std::strtoul(riga.c_str() + 6, nullptr, 8));
    return 0644;
}

mode_t permessiNuovoFile() {
    static const mode_t permessi = leggiPermessiNuovoFile();
    return permessi;
}

// The folder named by an XDG variable when it is an absolute path, else home + ripiego.
std::string cartellaUtente(const char* variabile, const char* ripiego) {
    const char* valore = std::getenv(variabile);
    std::string base;
    if (valore && valore[0] == '/') {
        base = valore;
    } else {
        const char* home = std::getenv("HOME");
        std::string casa = home && home[0] == '/' ? home : "";
        if (casa.empty())
            if (const passwd* utente = ::getpwuid(::getuid()); utente && utente->pw_dir)
                casa = utente->pw_dir;
        if (casa.empty())
            return {};
        base = casa + ripiego;
    }
    if (base.back() != '/')
        base += '/';
    return base + "ondivo/";
}

} // namespace

std::string MotivoErrore(int codice) {
    switch (codice) {
    case ENOENT:
        return "file o cartella inesistente";
    case EACCES:
        return "permesso negato";
    case EPERM:
        return "operazione non permessa";
    case ENOSPC:
        return "spazio esaurito sul disco";
    case EDQUOT:
        return "quota del disco superata";
    case EROFS:
        return "file system in sola lettura";
    case EISDIR:
        return "è una cartella";
    case ENOTDIR:
        return "un elemento del percorso non è una cartella";
    case EEXIST:
        return "il file esiste già";
    case ENAMETOOLONG:
        return "nome troppo lungo";
    case ELOOP:
        return "è un collegamento simbolico";
    case EIO:
        return "errore di input/output";
    case EFBIG:
        return "file troppo grande";
    case ENOMEM:
        return "memoria insufficiente";
    case EMFILE:
    case ENFILE:
        return "troppi file aperti";
    case EBUSY:
        return "risorsa occupata";
    case ETXTBSY:
        return "file in uso";
    case EINVAL:
        return "argomento non valido";
    case EXDEV:
        return "collegamento tra dispositivi diversi";
    case EAGAIN:
        return "risorsa temporaneamente non disponibile";
    case ENODEV:
        return "non è un file regolare";
    default:
        return std::strerror(codice);
    }
}

std::string PercorsoCompleto(const std::string& percorso) {
    std::error_code ec;
    const auto assoluto = std::filesystem::absolute(std::filesystem::path(percorso), ec);
    return ec ? percorso : assoluto.string();
}

std::string PercorsoNormalizzato(const std::string& percorso) {
    return std::filesystem::path(PercorsoCompleto(percorso)).lexically_normal().string();
}

bool FileRegolare(const std::string& percorso) {
    struct stat info {};
    return ::stat(percorso.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::uint64_t DimensioneFile(const std::string& percorso) {
    struct stat info {};
    return ::stat(percorso.c_str(), &info) == 0 && info.st_size > 0
               ? static_cast<std::uint64_t>(info.st_size)
               : 0;
}

namespace {

// Opens a regular file for reading without following it into a FIFO's endless wait; throws
// "Cannot open file ..." for anything else. The size is returned through `dimensione`.
int apriRegolare(const std::string& percorso, std::uint64_t& dimensione) {
    UniqueFd fd(::open(percorso.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        erroreFile("Cannot open file", percorso, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        erroreFile("Cannot open file", percorso, errno);
    if (S_ISDIR(info.st_mode))
        erroreFile("Cannot open file", percorso, EISDIR);
    if (!S_ISREG(info.st_mode))
        throw EFileStreamError("Cannot open file \"" + PercorsoCompleto(percorso) +
                               "\". Not a regular file");
    dimensione = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    // Back to blocking reads: a regular file never blocks for long, and the flag is not needed.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd.rilascia();
}

} // namespace

TFileLettura::TFileLettura(const std::string& percorso) : m_percorso(percorso) {
    UniqueFd fd(apriRegolare(percorso, m_dimensione));
    if (m_dimensione > DimensioneMassimaFile)
        throw EFileStreamError("Il file " + PercorsoCompleto(percorso) + " è troppo grande (" +
                               DimensioneLeggibile(m_dimensione) + "; al massimo " +
                               DimensioneLeggibile(DimensioneMassimaFile) + ")");
    m_fd = fd.rilascia();
}

TFileLettura::~TFileLettura() {
    if (m_fd >= 0)
        ::close(static_cast<int>(m_fd));
}

DescrittoreLettura::DescrittoreLettura(const std::string& percorso) : m_percorso(percorso) {
    std::uint64_t dimensione = 0;
    m_fd = apriRegolare(percorso, dimensione);
}

std::size_t DescrittoreLettura::LeggiDa(std::uint64_t posizione, char* dove,
                                        std::size_t quanti) const {
    std::size_t letti = 0;
    while (letti < quanti) {
        const ssize_t n =
            ::pread(m_fd, dove + letti, quanti - letti, static_cast<off_t>(posizione + letti));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            erroreFile("Cannot open file", m_percorso, errno);
        if (n == 0)
            break;
        letti += static_cast<std::size_t>(n);
    }
    return letti;
}

std::uint64_t DescrittoreLettura::Dimensione() const {
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        erroreFile("Cannot open file", m_percorso, errno);
    return static_cast<std::uint64_t>(info.st_size);
}

DescrittoreLettura::~DescrittoreLettura() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::size_t TFileLettura::Leggi(char* dove, std::size_t quanti) {
    const ssize_t n = leggiTutto(static_cast<int>(m_fd), dove, quanti);
    if (n < 0)
        erroreFile("Cannot open file", m_percorso, errno);
    return static_cast<std::size_t>(n);
}

void TFileLettura::Riavvolgi() {
    if (::lseek(static_cast<int>(m_fd), 0, SEEK_SET) != 0)
        erroreFile("Cannot open file", m_percorso, errno);
}

TFileScrittura::TFileScrittura(const std::string& percorso) : m_percorso(percorso) {
    // The hidden file's short name would pass where the target's own name cannot.
    if (percorso.size() - percorso.find_last_of('/') - 1 > NAME_MAX)
        erroreFile("Cannot create file", percorso, ENAMETOOLONG);
    std::string modello = cartellaDi(percorso) + "/.ondivo-XXXXXX";
    m_fd = ::mkostemp(modello.data(), O_CLOEXEC);
    if (m_fd < 0)
        erroreFile("Cannot create file", percorso, errno);
    m_temporaneo = modello;
    // mkostemp makes the file private; a saved file gets the permissions any new file would.
    ::fchmod(static_cast<int>(m_fd), permessiNuovoFile());
}

TFileScrittura::~TFileScrittura() {
    if (m_fd >= 0)
        ::close(static_cast<int>(m_fd));
    if (!m_temporaneo.empty())
        ::unlink(m_temporaneo.c_str());
}

void TFileScrittura::fallisci(int codice) {
    if (m_fd >= 0)
        ::close(static_cast<int>(m_fd));
    m_fd = -1;
    if (!m_temporaneo.empty())
        ::unlink(m_temporaneo.c_str());
    m_temporaneo.clear();
    erroreScrittura(m_percorso, codice);
}

void TFileScrittura::Scrivi(std::string_view dati) {
    int codice = 0;
    if (m_fd < 0 || !scriviTutto(static_cast<int>(m_fd), dati, codice))
        fallisci(m_fd < 0 ? EBADF : codice);
}

// Some file systems report a full disk only when the file is closed.
void TFileScrittura::chiudi() {
    if (m_fd < 0)
        return;
    const int fd = static_cast<int>(m_fd);
    m_fd = -1;
    if (::close(fd) != 0)
        fallisci(errno);
}

void TFileScrittura::Conferma() {
    chiudi();
    if (m_temporaneo.empty())
        erroreScrittura(m_percorso, EBADF);
    struct stat info {};
    if (::lstat(m_percorso.c_str(), &info) == 0) {
        if (S_ISLNK(info.st_mode))
            fallisci(ELOOP);
        if (S_ISDIR(info.st_mode))
            fallisci(EISDIR);
        // A device or a FIFO is never replaced by a file (as root, /dev/null would be).
        if (!S_ISREG(info.st_mode))
            fallisci(ENODEV);
        ::chmod(m_temporaneo.c_str(), info.st_mode & 07777); // a replaced file keeps its mode
    }
    if (::rename(m_temporaneo.c_str(), m_percorso.c_str()) != 0)
        fallisci(errno);
    m_temporaneo.clear();
}

bool TFileScrittura::ConfermaSeLibero(const std::string& percorso) {
    chiudi();
    if (m_temporaneo.empty())
        erroreScrittura(percorso, EBADF);
    // A hard link fails when the name is taken, so two savers never replace each other's file.
    if (::link(m_temporaneo.c_str(), percorso.c_str()) == 0) {
        ::unlink(m_temporaneo.c_str());
        m_temporaneo.clear();
        return true;
    }
    const int codice = errno;
    if (codice == EEXIST)
        return false;
    if (codice != EPERM && codice != EOPNOTSUPP && codice != EMLINK) {
        m_percorso = percorso;
        fallisci(codice);
    }
    // File systems without hard links (FAT on a USB stick): test, then rename.
    struct stat info {};
    if (::lstat(percorso.c_str(), &info) == 0)
        return false;
    if (::rename(m_temporaneo.c_str(), percorso.c_str()) != 0) {
        m_percorso = percorso;
        fallisci(errno);
    }
    m_temporaneo.clear();
    return true;
}

bool TFileScrittura::UgualeA(const std::string& percorso) {
    chiudi();
    return !m_temporaneo.empty() && StessiByte(m_temporaneo, percorso);
}

bool StessiByte(const std::string& a, const std::string& b) {
    UniqueFd fa(::open(a.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    UniqueFd fb(::open(b.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    struct stat ia {
    }, ib{};
    if (fa.get() < 0 || fb.get() < 0 || ::fstat(fa.get(), &ia) != 0 ||
        ::fstat(fb.get(), &ib) != 0 || !S_ISREG(ia.st_mode) || !S_ISREG(ib.st_mode) ||
        ia.st_size != ib.st_size)
        return false;
    const auto ba = std::make_unique<char[]>(kBlocco);
    const auto bb = std::make_unique<char[]>(kBlocco);
    for (;;) {
        const ssize_t na = leggiTutto(fa.get(), ba.get(), kBlocco);
        if (na <= 0)
            return na == 0 && leggiTutto(fb.get(), bb.get(), 1) == 0;
        std::size_t presi = 0;
        while (presi < static_cast<std::size_t>(na)) {
            const ssize_t nb =
                leggiTutto(fb.get(), bb.get() + presi, static_cast<std::size_t>(na) - presi);
            if (nb <= 0)
                return false;
            presi += static_cast<std::size_t>(nb);
        }
        if (std::memcmp(ba.get(), bb.get(), presi) != 0)
            return false;
    }
}

bool CreaCartella(const std::string& percorso, std::string& motivo) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(percorso), ec);
    if (std::filesystem::is_directory(std::filesystem::path(percorso)))
        return true;
    motivo = MotivoErrore(ec ? ec.value() : ENOTDIR);
    return false;
}

bool CartellaScrivibile(const std::string& percorso) {
    std::string motivo;
    return CreaCartella(percorso, motivo) && ::access(percorso.c_str(), W_OK | X_OK) == 0;
}

std::vector<std::string>
FileNellaCartella(const std::string& cartella,
                  std::vector<std::pair<std::string, std::string>>& illeggibili) {
    namespace fs = std::filesystem;
    std::vector<std::string> file;
    // One folder at a time, read whole and closed before its sub-folders: the walk never holds
    // more than one descriptor, however deep the tree, and a folder that cannot be read (or
    // stops being readable half-way) is named, never skipped in silence.
    std::vector<fs::path> daLeggere{cartella};
    while (!daLeggere.empty()) {
        const fs::path qui = std::move(daLeggere.back());
        daLeggere.pop_back();
        std::vector<fs::path> sotto;
        std::error_code ec;
        fs::directory_iterator it(qui, ec);
        for (const fs::directory_iterator fine; !ec && it != fine; it.increment(ec)) {
            std::error_code ecTipo;
            const fs::file_status proprio = it->symlink_status(ecTipo);
            if (fs::is_directory(proprio))
                sotto.push_back(it->path());
            else if (it->is_regular_file(ecTipo))
                file.push_back(it->path().string());
        }
        if (ec)
            illeggibili.emplace_back(qui.string(), MotivoErrore(ec.value()));
        // Reversed onto the stack, so that folders are read in the order they were found.
        daLeggere.insert(daLeggere.end(), sotto.rbegin(), sotto.rend());
    }
    std::sort(file.begin(), file.end());
    return file;
}

bool ECartella(const std::string& percorso) {
    std::error_code ec;
    return std::filesystem::is_directory(percorso, ec);
}

bool StessoFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::string CartellaDatiUtente() {
    return cartellaUtente("XDG_DATA_HOME", "/.local/share");
}

std::string CartellaCacheUtente() {
    return cartellaUtente("XDG_CACHE_HOME", "/.cache");
}

std::string CartellaConfigurazioneUtente() {
    return cartellaUtente("XDG_CONFIG_HOME", "/.config");
}

bool RimuoviFile(const std::string& percorso) {
    return ::unlink(percorso.c_str()) == 0;
}

} // namespace ondivo::platform
