#include "files.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace ondivo::platform;
using ondivo::test::TempDir;
namespace fs = std::filesystem;

namespace {

std::string leggi(const fs::path& file) {
    return LeggiFile(file.string());
}

// The message an action raises, or "ok".
template <class Azione> std::string esito(Azione azione) {
    try {
        azione();
        return "ok";
    } catch (const EFileStreamError& e) {
        return e.what();
    }
}

// Names in the folder besides those given: what a failed write must not leave behind.
std::vector<std::string> altriFile(const fs::path& cartella, std::set<std::string> attesi) {
    std::vector<std::string> altri;
    for (const auto& voce : fs::directory_iterator(cartella))
        if (!attesi.count(voce.path().filename().string()))
            altri.push_back(voce.path().filename().string());
    return altri;
}

// Files may grow no larger than `byte` while it lives: writes beyond fail with EFBIG, as they
// would on a full disk with ENOSPC.
class LimiteDimensione {
public:
    explicit LimiteDimensione(rlim_t byte) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_prima);
        rlimit limite = m_prima;
        limite.rlim_cur = byte;
        ::setrlimit(RLIMIT_FSIZE, &limite);
    }
    ~LimiteDimensione() { ::setrlimit(RLIMIT_FSIZE, &m_prima); }

private:
    rlimit m_prima{};
};

TEST(LeggiFile, ReadsFilesThatReportNoSize) {
    const std::string testo = LeggiFile("/proc/self/status");
    EXPECT_EQ(testo.rfind("Name:\t", 0), 0u);
    EXPECT_EQ(testo.back(), '\n');
}

TEST(LeggiFile, ReadsALargeFileWhole) {
    TempDir dir;
    std::string file(5'000'001, 'A');
    for (std::size_t i = 0; i < file.size(); i += 4099)
        file[i] = static_cast<char>(i);
    EXPECT_EQ(LeggiFile(dir.write("big.xml", file)), file);
}

struct CasoLettura {
    const char* nome;
    std::function<std::string(const TempDir&)> prepara; // gives the path to read
    std::function<std::string(const std::string&)> atteso;
};

class LetturaRifiutata : public testing::TestWithParam<CasoLettura> {};

TEST_P(LetturaRifiutata, NamesTheFileAndTheReason) {
    TempDir dir;
    const std::string percorso = GetParam().prepara(dir);
    auto lettura =
        std::async(std::launch::async, [&] { return esito([&] { LeggiFile(percorso); }); });
    if (lettura.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the reading waits";
        ::close(::open(percorso.c_str(), O_WRONLY)); // a writer that leaves at once ends the wait
    }
    EXPECT_EQ(lettura.get(), GetParam().atteso(percorso));
}

INSTANTIATE_TEST_SUITE_P(
    Casi, LetturaRifiutata,
    testing::Values(CasoLettura{"missingRelativePathInFull",
                                [](const TempDir& d) {
                                    fs::current_path(d.path());
                                    return std::string("no-such-invoice.xml");
                                },
                                [](const std::string&) {
                                    return "Cannot open file \"" +
                                           (fs::current_path() / "no-such-invoice.xml").string() +
                                           "\". file o cartella inesistente";
                                }},
                    CasoLettura{"folder", [](const TempDir& d) { return d.path().string(); },
                                [](const std::string& p) {
                                    return "Cannot open file \"" + p + "\". è una cartella";
                                }},
                    CasoLettura{"device", [](const TempDir&) { return std::string("/dev/zero"); },
                                [](const std::string&) {
                                    return std::string(
                                        "Cannot open file \"/dev/zero\". Not a regular file");
                                }},
                    CasoLettura{"fifoWithoutWaitingForAWriter",
                                [](const TempDir& d) {
                                    const auto fifo = (d.path() / "fattura.xml").string();
                                    ::mkfifo(fifo.c_str(), 0600);
                                    return fifo;
                                },
                                [](const std::string& p) {
                                    return "Cannot open file \"" + p + "\". Not a regular file";
                                }},
                    CasoLettura{"hugeSparseFileUnread",
                                [](const TempDir& d) {
                                    const auto file = d.write("enorme.xml", "<a/>");
                                    fs::resize_file(file, std::uintmax_t{30} << 30);
                                    return file;
                                },
                                [](const std::string& p) {
                                    return "Il file " + p +
                                           " è troppo grande (30,0 GB; al massimo 1,0 GB)";
                                }}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(TFileLettura, RewindsToReadAgain) {
    TempDir dir;
    TFileLettura file(dir.write("a.xml", "abcdef"));
    char buffer[16];
    ASSERT_EQ(file.Leggi(buffer, 4), 4u);
    file.Riavvolgi();
    ASSERT_EQ(file.Leggi(buffer, sizeof buffer), 6u);
    EXPECT_EQ(std::string(buffer, 6), "abcdef");
    EXPECT_EQ(file.Leggi(buffer, sizeof buffer), 0u);
}

TEST(ScriviFile, CreatesAndReplacesWholeFiles) {
    TempDir dir;
    const auto file = dir.path() / "a.pdf";
    ScriviFile(file.string(), "prima versione, lunga");
    EXPECT_EQ(leggi(file), "prima versione, lunga");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    ScriviFile(file.string(), "");
    EXPECT_EQ(leggi(file), "");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write)
        << "a replaced file keeps its permissions";
    EXPECT_TRUE(altriFile(dir.path(), {"a.pdf"}).empty());
}

TEST(ScriviFile, NewFilesGetTheUsualPermissions) {
    TempDir dir;
    const mode_t prima = ::umask(022);
    ScriviFile((dir.path() / "n.pdf").string(), "x");
    ::umask(prima);
    EXPECT_EQ(fs::status(dir.path() / "n.pdf").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
}

// A write that fails part of the way, as on a full disk, leaves the earlier file whole.
TEST(ScriviFile, AFailedWriteKeepsTheOldFileAndLeavesNothing) {
    TempDir dir;
    const auto file = dir.path() / "a.pdf";
    ScriviFile(file.string(), "contenuto originale");
    std::string messaggio;
    {
        LimiteDimensione limite(4096);
        messaggio = esito([&] { ScriviFile(file.string(), std::string(100'000, 'x')); });
    }
    EXPECT_EQ(messaggio, "Impossibile scrivere " + file.string() + ": file troppo grande");
    EXPECT_EQ(leggi(file), "contenuto originale");
    EXPECT_TRUE(altriFile(dir.path(), {"a.pdf"}).empty());
}

TEST(TFileScrittura, AnUnconfirmedFileLeavesNothing) {
    TempDir dir;
    const auto file = dir.path() / "a.pdf";
    ScriviFile(file.string(), "vecchio");
    {
        TFileScrittura scrittura(file.string());
        scrittura.Scrivi("nuovo ma interrotto");
    }
    EXPECT_EQ(leggi(file), "vecchio");
    EXPECT_TRUE(altriFile(dir.path(), {"a.pdf"}).empty());
}

TEST(TFileScrittura, RefusesASymbolicLinkAtTheTarget) {
    TempDir dir;
    const auto fuori = dir.write("fuori.txt", "da non toccare");
    const auto link = dir.path() / "a.pdf";
    fs::create_symlink(fuori, link);
    EXPECT_EQ(esito([&] { ScriviFile(link.string(), "x"); }),
              "Impossibile scrivere " + link.string() + ": è un collegamento simbolico");
    EXPECT_EQ(leggi(fuori), "da non toccare");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(altriFile(dir.path(), {"a.pdf", "fuori.txt"}).empty());
}

TEST(TFileScrittura, NeverReplacesAFifoOrADevice) {
    TempDir dir;
    const auto fifo = (dir.path() / "tubo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(esito([&] { ScriviFile(fifo, "x"); }),
              "Impossibile scrivere " + fifo + ": non è un file regolare");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(altriFile(dir.path(), {"tubo"}).empty());
}

TEST(TFileScrittura, FolderThatCannotTakeTheFileIsNamed) {
    TempDir dir;
    const auto file = dir.write("file", "x");
    const auto dentro = file + "/a.pdf";
    EXPECT_EQ(esito([&] { ScriviFile(dentro, "x"); }),
              "Cannot create file \"" + dentro + "\". un elemento del percorso non è una cartella");
    const auto mancante = (dir.path() / "manca" / "a.pdf").string();
    EXPECT_EQ(esito([&] { ScriviFile(mancante, "x"); }),
              "Cannot create file \"" + mancante + "\". file o cartella inesistente");
}

TEST(TFileScrittura, ConfermaSeLiberoNeverReplaces) {
    TempDir dir;
    const auto occupato = dir.write("a.pdf", "di un'altra fattura");
    TFileScrittura scrittura((dir.path() / "a.pdf").string());
    scrittura.Scrivi("nuovo");
    EXPECT_FALSE(scrittura.UgualeA(occupato));
    EXPECT_FALSE(scrittura.ConfermaSeLibero(occupato));
    EXPECT_TRUE(scrittura.ConfermaSeLibero((dir.path() / "a (2).pdf").string()));
    EXPECT_EQ(leggi(occupato), "di un'altra fattura");
    EXPECT_EQ(leggi(dir.path() / "a (2).pdf"), "nuovo");
    EXPECT_TRUE(altriFile(dir.path(), {"a.pdf", "a (2).pdf"}).empty());
}

TEST(TFileScrittura, UgualeAComparesTheWholeContent) {
    TempDir dir;
    const std::string grande(300'000, 'q');
    std::string diverso = grande;
    diverso[299'999] = 'r';
    TFileScrittura scrittura((dir.path() / "x").string());
    scrittura.Scrivi(grande);
    EXPECT_TRUE(scrittura.UgualeA(dir.write("uguale", grande)));
    EXPECT_FALSE(scrittura.UgualeA(dir.write("diverso", diverso)));
    EXPECT_FALSE(scrittura.UgualeA(dir.write("corto", grande.substr(1))));
    EXPECT_FALSE(scrittura.UgualeA((dir.path() / "assente").string()));
}

TEST(CartelleUtente, FollowTheXdgVariablesWhenAbsolute) {
    const std::string casa = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_DATA_HOME", "/tmp/dati", 1);
    ::setenv("XDG_CACHE_HOME", "relativa/ignorata", 1);
    ::setenv("XDG_CONFIG_HOME", "/tmp/conf/", 1);
    EXPECT_EQ(CartellaDatiUtente(), "/tmp/dati/ondivo/");
    EXPECT_EQ(CartellaConfigurazioneUtente(), "/tmp/conf/ondivo/");
    if (!casa.empty()) {
        EXPECT_EQ(CartellaCacheUtente(), casa + "/.cache/ondivo/");
    }
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_CACHE_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    if (!casa.empty()) {
        EXPECT_EQ(CartellaDatiUtente(), casa + "/.local/share/ondivo/");
        EXPECT_EQ(CartellaConfigurazioneUtente(), casa + "/.config/ondivo/");
    }
}

TEST(CreaCartella, MakesParentsAndNamesTheReason) {
    TempDir dir;
    std::string motivo;
    EXPECT_TRUE(CreaCartella((dir.path() / "a/b/c").string(), motivo));
    EXPECT_TRUE(fs::is_directory(dir.path() / "a/b/c"));
    const auto file = dir.write("f", "x");
    EXPECT_FALSE(CreaCartella(file + "/sotto", motivo));
    EXPECT_EQ(motivo, "un elemento del percorso non è una cartella");
    EXPECT_FALSE(CartellaScrivibile(file + "/sotto"));
    EXPECT_TRUE(CartellaScrivibile(dir.path().string()));
}

} // namespace
