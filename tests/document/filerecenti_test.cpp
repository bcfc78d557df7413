#include "filerecenti.h"
#include "files.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace ondivo {
namespace {

// The list kept in a temporary settings folder of each test's own.
class FileRecentiTest : public testing::Test {
protected:
    std::string cartella() const { return (m_dir.path() / "ondivo").string() + "/"; }
    std::vector<std::string> leggi() const { return LeggiFileRecenti(cartella()); }
    bool aggiungi(const std::string& p) const { return AggiungiFileRecente(p, cartella()); }

    std::string percorso(const std::string& nome) const { return (m_dir.path() / nome).string(); }
    fs::path elenco() const { return m_dir.path() / "ondivo" / FileFileRecenti; }

    test::TempDir m_dir;
};

// What the list holds after a series of opens: the latest first, each once, ten at most.
TEST_F(FileRecentiTest, LatestFirstEachOnceTenAtMost) {
    const struct {
        const char* nome;
        std::vector<std::string> aperti;
        std::vector<std::string> attesi;
    } casi[] = {
        {"none", {}, {}},
        {"one", {"a.xml"}, {"a.xml"}},
        {"latestFirst", {"a.xml", "b.xml", "c.p7m"}, {"c.p7m", "b.xml", "a.xml"}},
        {"againMovesFirst", {"a.xml", "b.xml", "a.xml"}, {"a.xml", "b.xml"}},
        {"elevenKeepTen",
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"},
         {"11", "10", "9", "8", "7", "6", "5", "4", "3", "2"}},
        {"folderAndArchive", {"mese", "mese.zip"}, {"mese.zip", "mese"}},
    };
    for (const auto& caso : casi) {
        ASSERT_TRUE(DimenticaFileRecenti(cartella())) << caso.nome;
        for (const auto& a : caso.aperti)
            ASSERT_TRUE(aggiungi(percorso(a))) << caso.nome;
        std::vector<std::string> attesi;
        for (const auto& a : caso.attesi)
            attesi.push_back(percorso(a));
        EXPECT_EQ(leggi(), attesi) << caso.nome;
    }
}

// A relative path is kept absolute; a path with a line break, which the file cannot hold, is
// not kept and leaves the list as it was.
TEST_F(FileRecentiTest, PathsKeptAbsoluteAndWhole) {
    ASSERT_TRUE(aggiungi(percorso("a.xml")));
    EXPECT_FALSE(aggiungi(percorso("riga\nnuova.xml")));
    EXPECT_FALSE(aggiungi(percorso("riga\rnuova.xml")));
    EXPECT_EQ(leggi(), std::vector<std::string>{percorso("a.xml")});
    const fs::path prima = fs::current_path();
    fs::current_path(m_dir.path());
    const bool aggiunto = aggiungi("relativo.xml");
    fs::current_path(prima);
    ASSERT_TRUE(aggiunto);
    EXPECT_EQ(leggi().front(), percorso("relativo.xml"));
}

// A file edited by hand or damaged: only absolute paths count, each once, CR LF endings read.
TEST_F(FileRecentiTest, ReadsWhatIsUsableOfADamagedFile) {
    fs::create_directories(elenco().parent_path());
    std::ofstream(elenco(), std::ios::binary) << percorso("a.xml") << "\r\n\nrelativo.xml\n"
                                              << percorso("a.xml") << "\n"
                                              << std::string("\0\xff", 2) << "\n"
                                              << percorso("b.xml");
    EXPECT_EQ(leggi(), (std::vector<std::string>{percorso("a.xml"), percorso("b.xml")}));
}

// No settings folder can be made (a file stands where it would go): nothing is thrown, the
// open goes on.
TEST_F(FileRecentiTest, AFolderThatCannotBeMadeThrowsNothing) {
    std::ofstream(m_dir.path() / "ondivo") << "un file";
    EXPECT_FALSE(aggiungi(percorso("a.xml")));
    EXPECT_TRUE(leggi().empty());
}

} // namespace
} // namespace ondivo
