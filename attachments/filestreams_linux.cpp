#include "filestreams.h"
#include "uniquefd_linux.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondivo {

namespace {

std::string percorsoCompleto(const std::string& percorso) {
    std::error_code ec;
    const auto assoluto = std::filesystem::absolute(std::filesystem::path(percorso), ec);
    return ec ? percorso : assoluto.string();
}

[[noreturn]] void erroreFile(const char* modello, const std::string& percorso, int errore) {
    std::string messaggio = modello;
    messaggio += " \"" + percorsoCompleto(percorso) + "\". ";
    messaggio += std::strerror(errore);
    throw EFileStreamError(messaggio);
}

} // namespace

std::string LeggiFile(const std::string& percorso) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer that may never come.
    platform::UniqueFd fd(::open(percorso.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        erroreFile("Cannot open file", percorso, errno);

    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        erroreFile("Cannot open file", percorso, errno);
    // A FIFO or a device may never end (/dev/zero) or block the reading for good.
    if (S_ISDIR(info.st_mode))
        erroreFile("Cannot open file", percorso, EISDIR);
    if (!S_ISREG(info.st_mode))
        throw EFileStreamError("Cannot open file \"" + percorsoCompleto(percorso) + "\". " +
                               MsgNonFileRegolare);

    // The size is only a hint: files of /proc report 0, and a file may grow while it is read.
    const auto attesi = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
    std::string dati;
    dati.resize(attesi);
    std::size_t letti = 0;
    for (;;) {
        char blocco[16384];
        const bool pieno = letti == dati.size();
        char* dove = pieno ? blocco : dati.data() + letti;
        const std::size_t quanti = pieno ? sizeof blocco : dati.size() - letti;
        const ssize_t n = ::read(fd.get(), dove, quanti);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            erroreFile("Cannot open file", percorso, errno);
        if (n == 0)
            break;
        if (pieno)
            dati.append(blocco, static_cast<std::size_t>(n));
        letti += static_cast<std::size_t>(n);
    }
    dati.resize(letti);
    return dati;
}

TFileScrittura::TFileScrittura(const std::string& percorso)
    : m_fd(::open(percorso.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666)) {
    if (m_fd < 0)
        erroreFile("Cannot create file", percorso, errno);
}

TFileScrittura::~TFileScrittura() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void TFileScrittura::Scrivi(std::string_view dati) {
    while (!dati.empty()) {
        const ssize_t n = ::write(m_fd, dati.data(), dati.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EFileStreamError(MsgErroreScrittura);
        dati.remove_prefix(static_cast<std::size_t>(n));
    }
}

void TFileScrittura::Chiudi() {
    const int fd = m_fd;
    m_fd = -1;
    if (fd >= 0 && ::close(fd) != 0)
        throw EFileStreamError(MsgErroreScrittura);
}

void ScriviFile(const std::string& percorso, std::string_view dati) {
    TFileScrittura file(percorso);
    file.Scrivi(dati);
    file.Chiudi();
}

} // namespace ondivo
