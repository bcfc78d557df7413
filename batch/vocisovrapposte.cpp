#include "vocisovrapposte.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace ondivo {

namespace {

// The end record, the ZIP64 locator and end record, a central directory entry.
constexpr std::string_view kFine("PK\x05\x06", 4);
constexpr std::string_view kLocatore64("PK\x06\x07", 4);
constexpr std::string_view kFine64("PK\x06\x06", 4);
constexpr std::string_view kCentrale("PK\x01\x02", 4);
constexpr std::size_t kFineMinima = 22;
constexpr std::size_t kCommentoMassimo = 0xFFFF;
constexpr std::size_t kIntestazioneLocale = 30;
// A directory larger than this (far beyond the entries a list reads) is not examined.
constexpr std::uint64_t kDirectoryMassima = 64u << 20;

std::uint64_t intero(std::string_view dati, std::size_t dove, int byte) {
    std::uint64_t valore = 0;
    for (int i = byte - 1; i >= 0; --i)
        valore =
            (valore << 8) | static_cast<unsigned char>(dati[dove + static_cast<std::size_t>(i)]);
    return valore;
}

std::string leggi(const platform::DescrittoreLettura& archivio, std::uint64_t da,
                  std::size_t quanti) {
    std::string dati(quanti, '\0');
    dati.resize(archivio.LeggiDa(da, dati.data(), quanti));
    return dati;
}

struct Directory {
    std::uint64_t inizio = 0;
    std::uint64_t dimensione = 0;
};

// Where the central directory is, from the end record (and its ZIP64 form when the plain one
// says so).
std::optional<Directory> trovaDirectory(const platform::DescrittoreLettura& archivio) {
    const std::uint64_t dimensione = archivio.Dimensione();
    if (dimensione < kFineMinima)
        return std::nullopt;
    const std::uint64_t coda = std::min<std::uint64_t>(dimensione, kFineMinima + kCommentoMassimo);
    const std::string fine = leggi(archivio, dimensione - coda, static_cast<std::size_t>(coda));
    std::size_t dove = fine.size() < kFineMinima ? std::string::npos : fine.size() - kFineMinima;
    for (;; --dove) {
        if (dove == std::string::npos)
            return std::nullopt;
        if (std::string_view(fine).substr(dove, 4) == kFine &&
            dove + kFineMinima + intero(fine, dove + 20, 2) == fine.size())
            break;
        if (dove == 0)
            return std::nullopt;
    }
    Directory directory{intero(fine, dove + 16, 4), intero(fine, dove + 12, 4)};
    if (directory.inizio == 0xFFFFFFFF || directory.dimensione == 0xFFFFFFFF) {
        if (dove < 20 || std::string_view(fine).substr(dove - 20, 4) != kLocatore64)
            return std::nullopt;
        const std::string fine64 = leggi(archivio, intero(fine, dove - 20 + 8, 8), 56);
        if (fine64.size() < 56 || std::string_view(fine64).substr(0, 4) != kFine64)
            return std::nullopt;
        directory = {intero(fine64, 48, 8), intero(fine64, 40, 8)};
    }
    if (directory.dimensione > kDirectoryMassima ||
        directory.inizio + directory.dimensione > dimensione)
        return std::nullopt;
    return directory;
}

} // namespace

std::string MotivoVociSovrapposte(const platform::DescrittoreLettura& archivio) {
    const auto directory = trovaDirectory(archivio);
    if (!directory)
        return {};
    const std::string voci =
        leggi(archivio, directory->inizio, static_cast<std::size_t>(directory->dimensione));
    // Each entry's bytes in the archive: its local header, its name and its data. The local
    // header's extra field is not counted: the span is never longer than the entry's own.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spazi;
    std::size_t dove = 0;
    while (dove + 46 <= voci.size() && std::string_view(voci).substr(dove, 4) == kCentrale) {
        std::uint64_t compressa = intero(voci, dove + 20, 4);
        const std::uint64_t estesa = intero(voci, dove + 24, 4);
        const std::size_t nome = intero(voci, dove + 28, 2);
        const std::size_t extra = intero(voci, dove + 30, 2);
        const std::size_t commento = intero(voci, dove + 32, 2);
        std::uint64_t locale = intero(voci, dove + 42, 4);
        if (dove + 46 + nome + extra + commento > voci.size())
            break;
        // ZIP64 sizes and offset, in that order, for the fields the entry marks as such.
        std::size_t campo = dove + 46 + nome;
        const std::size_t fineExtra = campo + extra;
        while (campo + 4 <= fineExtra) {
            const auto id = intero(voci, campo, 2);
            const std::size_t lunghezza = intero(voci, campo + 2, 2);
            if (campo + 4 + lunghezza > fineExtra)
                break;
            if (id == 0x0001) {
                std::size_t valore = campo + 4;
                const auto prendi = [&](std::uint64_t& dato) {
                    if (valore + 8 <= campo + 4 + lunghezza) {
                        dato = intero(voci, valore, 8);
                        valore += 8;
                    }
                };
                std::uint64_t ignorata = 0;
                if (estesa == 0xFFFFFFFF)
                    prendi(ignorata);
                if (compressa == 0xFFFFFFFF)
                    prendi(compressa);
                if (locale == 0xFFFFFFFF)
                    prendi(locale);
            }
            campo += 4 + lunghezza;
        }
        spazi.emplace_back(locale, locale + kIntestazioneLocale + nome + compressa);
        dove += 46 + nome + extra + commento;
    }
    std::sort(spazi.begin(), spazi.end());
    std::uint64_t fine = 0;
    for (std::size_t i = 0; i < spazi.size(); ++i) {
        if (i > 0 && spazi[i].first < fine)
            return "voci che condividono gli stessi dati compressi: archivio costruito per "
                   "estrarre molto più di quanto contiene, non letto";
        fine = std::max(fine, spazi[i].second);
    }
    return {};
}

} // namespace ondivo
