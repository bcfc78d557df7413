#pragma once

#include "tempfile.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ondivo {

// Between an archive and the name of an entry in it, as the user is shown an entry:
// "mese.zip › sotto/f.xml".
inline constexpr const char* SeparatoreArchivio = " \u203A ";

// The last name of a file as the user knows it: "f.xml" of "/a/f.xml" and of
// "/a/mese.zip › sotto/f.xml".
std::string UltimoNome(const std::string& file);

// One file among those the user opened at once: a file given, a file of a folder given, or an
// entry of a ZIP archive.
struct FileTrovato {
    std::string nome;     // as the user knows it: the path, or "archivio.zip › cartella/f.xml"
    std::string percorso; // where it can be read: the file itself, or a copy of the entry in
                          // the explorer's private folder; empty when the entry is refused or
                          // kept in memory
    std::string errore;   // why it is refused (Italian), empty when it can be read
    // The bytes of an archive's entry kept in memory (VociArchivio::InMemoria), else null.
    std::shared_ptr<const std::string> contenuto = nullptr;
};

// The limits an archive and its entries must keep, against archives made to fill the disk or
// memory.
struct LimitiArchivio {
    std::uint64_t dimensioneMassima = 1ull << 30; // uncompressed bytes of one entry
    double rapportoMassimo = 100;                 // uncompressed to compressed, for one entry
    std::size_t vociMassime = 100000;             // entries of one archive
    std::uint64_t inMemoriaMassima = 16u << 20;   // bytes of an entry that may stay in memory
    // All the bytes one archive given may unpack to, in memory and on disk together, those of
    // the archives inside it included: this many times its own size, and never more than
    // estrattiMassimi.
    double rapportoArchivio = 100;
    std::uint64_t estrattiMassimi = 2ull << 30;
};

// What becomes of an archive's entries: copies in the private folder, which can be opened again
// by path as long as the explorer lives (a window's list), or bytes in memory handed over with
// the entry, for a reader that reads each once (a listing on the command line): making a file
// costs far more than reading a small invoice. Archives inside archives and entries over
// LimitiArchivio::inMemoriaMassima are copied anyway.
enum class VociArchivio { Copiate, InMemoria };

// Finds the files of many paths, one by one, in order: a file is itself (a ZIP archive, by
// its first bytes, gives its entries), a folder gives its files and those of its sub-folders,
// an archive inside an archive gives its entries too, one level deep. Entries are copied into
// a private temporary folder that lives as long as the explorer, so they can be opened by
// path, or kept in memory (VociArchivio); nothing is ever written anywhere else. Unsafe
// entries (absolute names, "..", links, over the limits) are refused one by one, with the
// reason; an archive whose entries share their data is refused whole, and once an archive has
// unpacked all it may (LimitiArchivio::rapportoArchivio), each entry left is refused with the
// reason.
class Esploratore {
public:
    explicit Esploratore(LimitiArchivio limiti = {}, VociArchivio voci = VociArchivio::Copiate);
    ~Esploratore();
    Esploratore(const Esploratore&) = delete;
    Esploratore& operator=(const Esploratore&) = delete;

    // Calls `trovato` for each file, as it is found; stops early when `annulla` becomes true.
    void esplora(const std::vector<std::string>& percorsi,
                 const std::function<void(FileTrovato)>& trovato,
                 const std::atomic<bool>* annulla = nullptr);

private:
    void esploraFile(const std::string& percorso, const std::string& nome, int profondita,
                     const std::function<void(FileTrovato)>& trovato,
                     const std::atomic<bool>* annulla);
    // What an archive given may still unpack to (LimitiArchivio::rapportoArchivio).
    struct Bilancio {
        std::uint64_t totale = 0;
        std::uint64_t residuo = 0;
    };
    void esploraArchivio(const std::string& percorso, const std::string& nome, int profondita,
                         const std::function<void(FileTrovato)>& trovato,
                         const std::atomic<bool>* annulla, Bilancio* bilancio = nullptr);
    // Where the copy of an entry goes, under the entry's own name: straight in the private
    // folder while that name is free there, else in a new folder of its own.
    std::string postoCopia(const std::string& nome);

    LimitiArchivio m_limiti;
    VociArchivio m_modoVoci;
    platform::CartellaTemporanea m_privata;
    std::set<std::string> m_nomiUsati; // names taken in the private folder, in small letters
    std::uint64_t m_voci = 0;
};

// True when the bytes start as a ZIP archive does.
bool EArchivioZip(std::string_view inizio);

// True when the file can be read and starts as a ZIP archive does.
bool FileArchivioZip(const std::string& percorso);

// True when the paths opened at once make a list rather than one invoice: more than one path,
// a folder, or a ZIP archive (FileArchivioZip).
bool RichiedeElenco(const std::vector<std::string>& percorsi);

// Why an entry's name is unsafe to use ("" when it is safe): an absolute name, a drive
// letter, a ".." step.
std::string MotivoNomeNonSicuro(const std::string& nome);

} // namespace ondivo
