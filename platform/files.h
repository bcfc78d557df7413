#pragma once

#include "errors.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ondivo::platform {

// Every file the program reads or writes goes through here; the system calls live in
// files_<platform>.cpp. Paths are UTF-8.

// A file that could not be opened, read, created or written. The message names the file by
// its full path and gives the system's reason in Italian: "Cannot open file "%s". %s",
// "Cannot create file "%s". %s", "Impossibile scrivere %s: %s", or a file too large to read.
class EFileStreamError : public OndivoError {
public:
    using OndivoError::OndivoError;
};

// Files above this size are refused before anything is read: an invoice never comes near it,
// and reading one whole would only end in an allocation failure.
inline constexpr std::uint64_t DimensioneMassimaFile = std::uint64_t{1} << 30;

// The Italian text of a system error code (errno on Linux, GetLastError() on Windows), e.g.
// "spazio esaurito sul disco".
std::string MotivoErrore(int codice);

// The path made absolute against the current folder, for messages.
std::string PercorsoCompleto(const std::string& percorso);

// The absolute path with "." and ".." steps resolved by name, without looking at the disk:
// the same file named two ways gives the same text.
std::string PercorsoNormalizzato(const std::string& percorso);

// True for an existing regular file (a symbolic link counts by its target); false for a
// folder, a device, a pipe or nothing at all.
bool FileRegolare(const std::string& percorso);

// The size of a file in bytes; 0 when it cannot be told.
std::uint64_t DimensioneFile(const std::string& percorso);

// A regular file opened for reading from its start. Anything else (a folder, a FIFO or a
// device, whose reading may block or never end) and files over DimensioneMassimaFile are
// refused without reading. Throws EFileStreamError "Cannot open file ...".
class TFileLettura {
public:
    explicit TFileLettura(const std::string& percorso);
    ~TFileLettura();
    TFileLettura(const TFileLettura&) = delete;
    TFileLettura& operator=(const TFileLettura&) = delete;

    // Up to `quanti` bytes into `dove`; 0 at the end. Throws EFileStreamError.
    std::size_t Leggi(char* dove, std::size_t quanti);
    // Back to the start.
    void Riavvolgi();
    // The size when opened: only a hint, files of /proc report 0 and files may grow.
    std::uint64_t Dimensione() const { return m_dimensione; }
    const std::string& percorso() const { return m_percorso; }

private:
    std::string m_percorso;
    std::uint64_t m_dimensione = 0;
    std::intptr_t m_fd = -1; // the system's handle
};

// A regular file opened for reading through the C library's descriptor, for libraries that
// read and seek through one themselves (libarchive). Refuses what TFileLettura refuses, but
// for the size: an archive may be larger than any one file read whole. Closed with the object.
class DescrittoreLettura {
public:
    explicit DescrittoreLettura(const std::string& percorso);
    ~DescrittoreLettura();
    DescrittoreLettura(const DescrittoreLettura&) = delete;
    DescrittoreLettura& operator=(const DescrittoreLettura&) = delete;

    int fd() const { return m_fd; }
    // Up to `quanti` bytes from `posizione` into `dove`, fewer only at the end of the file; the
    // descriptor's own position is left where it was. Throws EFileStreamError.
    std::size_t LeggiDa(std::uint64_t posizione, char* dove, std::size_t quanti) const;
    // The size of the file now.
    std::uint64_t Dimensione() const;

private:
    int m_fd = -1;
    std::string m_percorso;
};

// The whole file, read until its end, with TFileLettura's rules.
std::string LeggiFile(const std::string& percorso);

// A file written safely: the bytes go into a new hidden file in the target's folder, which
// takes the target's place only when Conferma() succeeds. Until then, and whenever anything
// fails, a file already at the target stays as it was; the hidden file is removed on failure
// and when the object goes without being confirmed (an exception on the way).
// Errors (EFileStreamError): "Cannot create file "<target>". <reason>" when the folder does
// not take the new file, "Impossibile scrivere <target>: <reason>" when writing or placing it
// fails (a full disk among them).
class TFileScrittura {
public:
    explicit TFileScrittura(const std::string& percorso);
    ~TFileScrittura();
    TFileScrittura(const TFileScrittura&) = delete;
    TFileScrittura& operator=(const TFileScrittura&) = delete;

    void Scrivi(std::string_view dati);

    // Puts the file at the target, replacing a file there. A symbolic link, a device or a FIFO
    // at the target is refused, never followed or replaced.
    void Conferma();

    // Puts the file at `percorso` (in the same folder) only when nothing stands there; false,
    // with the file still pending, when the name is taken.
    bool ConfermaSeLibero(const std::string& percorso);

    // The bytes written so far equal those of the file at `percorso` (false when there is no
    // regular file there). The file must have been written whole first.
    bool UgualeA(const std::string& percorso);

private:
    void chiudi();
    [[noreturn]] void fallisci(int codice);

    std::string m_percorso;   // the target
    std::string m_temporaneo; // the hidden file while it is pending
    std::intptr_t m_fd = -1;  // the system's handle
};

// Writes the whole file at once with TFileScrittura: replaced only by a complete copy.
void ScriviFile(const std::string& percorso, std::string_view dati);

// True when both paths name regular files with the same bytes.
bool StessiByte(const std::string& a, const std::string& b);

// Creates the folder and any missing parents. False, with the Italian reason, when it does
// not exist afterwards.
bool CreaCartella(const std::string& percorso, std::string& motivo);

// Removes a file of our own; false when it could not be (it may be gone already).
bool RimuoviFile(const std::string& percorso);

// True when the folder exists (or can be created) and new files can be made in it.
bool CartellaScrivibile(const std::string& percorso);

// The regular files under a folder and its sub-folders, in order of their paths; symbolic
// links to folders are not followed (no loops), those to files are listed. Folders that
// cannot be read are named in `illeggibili` with the reason.
std::vector<std::string>
FileNellaCartella(const std::string& cartella,
                  std::vector<std::pair<std::string, std::string>>& illeggibili);

// True when the path names a folder (following links).
bool ECartella(const std::string& percorso);

// True when both paths name one existing file (the same file through another name, a link or
// another case of the letters included); false when either does not exist.
bool StessoFile(const std::string& a, const std::string& b);

// The user's own folders for the program's data and cache, ending in a folder separator:
// $XDG_DATA_HOME/ondivo/ (else ~/.local/share/ondivo/) and $XDG_CACHE_HOME/ondivo/ (else
// ~/.cache/ondivo/); on Windows %LOCALAPPDATA%\ondivo\ and %LOCALAPPDATA%\ondivo\cache\.
// Empty when the user has no such folder.
std::string CartellaDatiUtente();
std::string CartellaCacheUtente();

// The user's own folder for the program's settings (the stylesheets chosen, the recent
// files), ending in a folder separator: $XDG_CONFIG_HOME/ondivo/ (else ~/.config/ondivo/); on
// Windows %APPDATA%\ondivo\. Empty when the user has no such folder. Never the program's.
std::string CartellaConfigurazioneUtente();

} // namespace ondivo::platform
