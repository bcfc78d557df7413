// The Windows system layer, run under Wine: programs started with quoted arguments, ended with
// everything they started; files under names with accents, replaced in one step; the user's
// folders; paths with drive letters and backslashes.
#include "avvio.h"
#include "esecuzione.h"
#include "executablepath.h"
#include "files.h"
#include "fileutil.h"
#include "tempdir.h"
#include "tempfile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

using namespace ondivo;
using namespace ondivo::platform;
using namespace std::chrono_literals;
using ondivo::test::TempDir;
using Fine = EsitoProgramma::Fine;

namespace {

std::string figlio() {
    return CartellaDi(PercorsoEseguibile()) + "\\figlio.exe";
}

std::string utf8(const TempDir& dir) {
    return TempDir::Utf8(dir.path());
}

std::vector<std::string> elenco(std::initializer_list<std::string> inizio,
                                const std::vector<std::string>& resto) {
    std::vector<std::string> tutti(inizio);
    tutti.insert(tutti.end(), resto.begin(), resto.end());
    return tutti;
}

// ---------------------------------------------------------------------------------------------
// Arguments reach the program exactly, whatever the quoting rules make of them.

struct CasoArgomenti {
    const char* nome;
    std::vector<std::string> argomenti;
};

void PrintTo(const CasoArgomenti& c, std::ostream* os) {
    *os << c.nome;
}

class Argomenti : public testing::TestWithParam<CasoArgomenti> {};

TEST_P(Argomenti, ArriveAsTheyWereGiven) {
    TempDir dir;
    const std::string uscita = utf8(dir) + "\\argomenti.txt";
    const auto esito = EseguiProgramma(
        elenco({figlio(), "argomenti", uscita}, GetParam().argomenti), utf8(dir), 30s);
    ASSERT_EQ(esito.fine, Fine::Terminato);
    ASSERT_EQ(esito.codiceUscita, 0u);
    std::string atteso;
    for (const auto& a : GetParam().argomenti)
        atteso += std::to_string(a.size()) + ":" + a + "\n";
    EXPECT_EQ(LeggiFile(uscita), atteso);
}

INSTANTIATE_TEST_SUITE_P(
    Quoting, Argomenti,
    testing::Values(CasoArgomenti{"blanks", {"a b", "c", " iniziale", "finale "}},
                    CasoArgomenti{"empty", {"", "x", ""}},
                    CasoArgomenti{"quotes", {"dice \"ciao\"", "\"", "\"\""}},
                    CasoArgomenti{
                        "backslashes",
                        {"C:\\cartella\\", "a\\\\b", "\\\"", "fine\\", "C:\\con spazio\\"}},
                    CasoArgomenti{"accents", {"fattura è € ù.xml", "Società Cooperativa", "日本"}},
                    CasoArgomenti{"tabs", {"a\tb", "\t"}},
                    CasoArgomenti{"shellCharacters", {"a&b|c>d", "%PATH%", "^", "(x)", "!y!"}}),
    [](const auto& info) { return std::string(info.param.nome); });

// ---------------------------------------------------------------------------------------------
// How a program ends.

TEST(EseguiProgramma, ReportsTheExitCode) {
    for (const std::uint32_t codice : {0u, 3u, 255u, 70000u}) {
        const auto esito = EseguiProgramma({figlio(), "esci", std::to_string(codice)}, ".", 30s);
        EXPECT_EQ(esito.fine, Fine::Terminato) << codice;
        EXPECT_EQ(esito.codiceUscita, codice);
    }
}

TEST(EseguiProgramma, SaysWhenTheProgramCannotStart) {
    TempDir dir;
    const std::string cartella = utf8(dir);
    EXPECT_EQ(EseguiProgramma({cartella + "\\assente.exe"}, cartella, 30s).fine, Fine::NonAvviato);
    EXPECT_EQ(EseguiProgramma({cartella}, cartella, 30s).fine, Fine::NonAvviato);
    EXPECT_EQ(EseguiProgramma({figlio(), "esci", "0"}, cartella + "\\nessuna", 30s).fine,
              Fine::NonAvviato);
    EXPECT_EQ(EseguiProgramma({}, cartella, 30s).fine, Fine::NonAvviato);
    // The search path is not looked at: only a full path starts a program.
    EXPECT_EQ(EseguiProgramma({"figlio.exe", "esci", "0"}, cartella, 30s).fine, Fine::NonAvviato);
}

TEST(EseguiProgramma, StartsInTheWorkingFolderEvenWithAccents) {
    TempDir dir;
    std::string motivo;
    const std::string cartella = utf8(dir) + "\\cartella è";
    ASSERT_TRUE(CreaCartella(cartella, motivo)) << motivo;
    const std::string uscita = utf8(dir) + "\\cartella.txt";
    ASSERT_EQ(EseguiProgramma({figlio(), "cartella", uscita}, cartella, 30s).fine, Fine::Terminato);
    EXPECT_EQ(LeggiFile(uscita), PercorsoCompleto(cartella));
}

TEST(EseguiProgramma, PassesTheEnvironment) {
    TempDir dir;
    const std::string uscita = utf8(dir) + "\\ambiente.txt";
    ASSERT_EQ(_wputenv_s(L"ONDIVO_PROVA", L"valore con è"), 0);
    EseguiProgramma({figlio(), "ambiente", "ONDIVO_PROVA", uscita}, utf8(dir), 30s);
    EXPECT_EQ(LeggiFile(uscita), "valore con è");

    // A variable given anew replaces the caller's, whatever the case of its name.
    const auto collegato = EseguiProgrammaCollegato({figlio(), "ambiente", "ONDIVO_PROVA", uscita},
                                                    {"ondivo_prova=nuovo"});
    EXPECT_EQ(collegato.fine, Fine::Terminato);
    EXPECT_EQ(LeggiFile(uscita), "nuovo");
    _wputenv_s(L"ONDIVO_PROVA", L"");
}

TEST(EseguiProgramma, ATimeOutEndsTheProgramAndWhatItStarted) {
    TempDir dir;
    const std::string segno = utf8(dir) + "\\nipote.txt";
    const auto inizio = std::chrono::steady_clock::now();
    const auto esito = EseguiProgramma({figlio(), "nipote", segno}, utf8(dir), 1500ms);
    EXPECT_EQ(esito.fine, Fine::Scaduto);
    EXPECT_LT(std::chrono::steady_clock::now() - inizio, 30s);
    // The grandchild would write after three seconds, had it survived.
    std::this_thread::sleep_for(4500ms);
    EXPECT_FALSE(FileRegolare(segno));
}

TEST(EseguiProgramma, CancellationFromAnotherThreadEndsTheWait) {
    TempDir dir;
    const std::string segno = utf8(dir) + "\\nipote.txt";
    std::atomic<bool> annulla{false};
    std::thread annullatore([&] {
        std::this_thread::sleep_for(500ms);
        annulla = true;
    });
    const auto esito = EseguiProgramma({figlio(), "nipote", segno}, utf8(dir), 60s, &annulla);
    annullatore.join();
    EXPECT_EQ(esito.fine, Fine::Annullato);
    std::this_thread::sleep_for(4500ms);
    EXPECT_FALSE(FileRegolare(segno));
}

// ---------------------------------------------------------------------------------------------
// Files under any name, written whole or not at all.

TEST(File, NamesWithAccentsAreWrittenReadListedAndMeasured) {
    TempDir dir;
    const std::string contenuto("riga uno\r\nriga due\r\n\0fine", 25);
    std::string motivo;
    ASSERT_TRUE(CreaCartella(utf8(dir) + "\\Società\\Fatture ù", motivo)) << motivo;
    const std::vector<std::string> nomi = {
        utf8(dir) + "\\Società\\Fatture ù\\IT01234567890_è€.xml",
        utf8(dir) + "\\Società\\日本.xml.p7m",
        utf8(dir) + "\\semplice.xml",
    };
    for (const auto& nome : nomi) {
        ScriviFile(nome, contenuto);
        EXPECT_TRUE(FileRegolare(nome)) << nome;
        EXPECT_EQ(DimensioneFile(nome), contenuto.size());
        EXPECT_EQ(LeggiFile(nome), contenuto);
        DescrittoreLettura d(nome);
        EXPECT_GE(d.fd(), 0);
    }
    std::vector<std::pair<std::string, std::string>> illeggibili;
    auto trovati = FileNellaCartella(utf8(dir), illeggibili);
    auto attesi = nomi;
    std::sort(attesi.begin(), attesi.end());
    EXPECT_EQ(trovati, attesi);
    EXPECT_TRUE(illeggibili.empty());
    EXPECT_TRUE(StessiByte(nomi[0], nomi[1]));
}

TEST(File, ReplacingLeavesOnlyTheNewFileAndNoPendingCopy) {
    TempDir dir;
    const std::string nome = utf8(dir) + "\\fattura.xml";
    ScriviFile(nome, std::string(100000, 'a'));
    ScriviFile(nome, "breve");
    EXPECT_EQ(LeggiFile(nome), "breve");
    {
        TFileScrittura abbandonato(nome);
        abbandonato.Scrivi("mai confermato");
    }
    EXPECT_EQ(LeggiFile(nome), "breve");
    std::vector<std::pair<std::string, std::string>> illeggibili;
    EXPECT_EQ(FileNellaCartella(utf8(dir), illeggibili), std::vector<std::string>{nome});
}

TEST(File, ConfermaSeLiberoNeverReplaces) {
    TempDir dir;
    const std::string preso = dir.write("preso.xml", "vecchio");
    TFileScrittura file(utf8(dir) + "\\qualsiasi.xml");
    file.Scrivi("nuovo");
    EXPECT_FALSE(file.ConfermaSeLibero(preso));
    EXPECT_EQ(LeggiFile(preso), "vecchio");
    EXPECT_TRUE(file.ConfermaSeLibero(utf8(dir) + "\\libero è.xml"));
    EXPECT_EQ(LeggiFile(utf8(dir) + "\\libero è.xml"), "nuovo");
}

struct CasoRifiuto {
    const char* nome;
    std::string (*prepara)(const TempDir&);
    std::string motivo;
};

void PrintTo(const CasoRifiuto& c, std::ostream* os) {
    *os << c.nome;
}

class Rifiuti : public testing::TestWithParam<CasoRifiuto> {};

TEST_P(Rifiuti, NameTheFileAndTheReason) {
    TempDir dir;
    const std::string percorso = GetParam().prepara(dir);
    try {
        LeggiFile(percorso);
        ADD_FAILURE() << "read";
    } catch (const EFileStreamError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + PercorsoCompleto(percorso) + "\". " + GetParam().motivo);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lettura, Rifiuti,
    testing::Values(
        CasoRifiuto{"missing", [](const TempDir& d) { return utf8(d) + "\\assente è.xml"; },
                    "file o cartella inesistente"},
        CasoRifiuto{"missingFolder", [](const TempDir& d) { return utf8(d) + "\\nessuna\\f.xml"; },
                    "file o cartella inesistente"},
        CasoRifiuto{"folder", [](const TempDir& d) { return utf8(d); }, "è una cartella"},
        CasoRifiuto{"device", [](const TempDir&) { return std::string("NUL"); },
                    "Not a regular file"}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(File, AFolderAtTheTargetIsNeverReplaced) {
    TempDir dir;
    std::string motivo;
    ASSERT_TRUE(CreaCartella(utf8(dir) + "\\cartella", motivo));
    EXPECT_THROW(ScriviFile(utf8(dir) + "\\cartella", "x"), EFileStreamError);
    EXPECT_TRUE(ECartella(utf8(dir) + "\\cartella"));
    std::vector<std::pair<std::string, std::string>> illeggibili;
    EXPECT_TRUE(FileNellaCartella(utf8(dir), illeggibili).empty());
}

TEST(Cartelle, AreMadeWithTheirParentsOrTheReasonIsGiven) {
    TempDir dir;
    std::string motivo;
    EXPECT_TRUE(CreaCartella(utf8(dir) + "\\a\\b è/c", motivo)) << motivo;
    EXPECT_TRUE(ECartella(utf8(dir) + "\\a\\b è\\c"));
    EXPECT_TRUE(CartellaScrivibile(utf8(dir) + "\\a\\b è\\c"));
    const std::string file = dir.write("f", "x");
    EXPECT_FALSE(CreaCartella(file + "\\sotto", motivo));
    EXPECT_FALSE(motivo.empty());
    EXPECT_FALSE(CartellaScrivibile(file + "\\sotto"));
}

TEST(Cartelle, TheUserFoldersLiveUnderLocalAppData) {
    const wchar_t* prima = _wgetenv(L"LOCALAPPDATA");
    const std::wstring salvata = prima ? prima : L"";
    ASSERT_EQ(_wputenv_s(L"LOCALAPPDATA", L"C:\\Utenti\\Mario Rossi\\AppData\\Local"), 0);
    EXPECT_EQ(CartellaDatiUtente(), "C:\\Utenti\\Mario Rossi\\AppData\\Local\\ondivo\\");
    EXPECT_EQ(CartellaCacheUtente(), "C:\\Utenti\\Mario Rossi\\AppData\\Local\\ondivo\\cache\\");
    _wputenv_s(L"LOCALAPPDATA", salvata.c_str());
    const wchar_t* roaming = _wgetenv(L"APPDATA");
    const std::wstring salvataRoaming = roaming ? roaming : L"";
    ASSERT_EQ(_wputenv_s(L"APPDATA", L"C:\\Utenti\\Mario Rossi\\AppData\\Roaming"), 0);
    EXPECT_EQ(CartellaConfigurazioneUtente(),
              "C:\\Utenti\\Mario Rossi\\AppData\\Roaming\\ondivo\\");
    _wputenv_s(L"APPDATA", salvataRoaming.c_str());
}

TEST(Cartelle, TemporaryOnesAreRemovedWithEverythingInThem) {
    std::string percorsoFile;
    std::string percorsoCartella;
    {
        FileTemporaneo file;
        std::string errore;
        ASSERT_TRUE(file.crea("ondivo-prova-", "contenuto", errore)) << errore;
        percorsoFile = file.percorso();
        EXPECT_EQ(LeggiFile(percorsoFile), "contenuto");
        CartellaTemporanea cartella;
        ASSERT_TRUE(cartella.crea("ondivo-prova-", errore)) << errore;
        percorsoCartella = cartella.percorso();
        ScriviFile(percorsoCartella + "\\dentro è.xml", "x");
    }
    EXPECT_FALSE(FileRegolare(percorsoFile));
    EXPECT_FALSE(ECartella(percorsoCartella));
}

// ---------------------------------------------------------------------------------------------
// Paths in Windows' forms.

TEST(Percorsi, TheProgramKnowsItsOwnFile) {
    const std::string eseguibile = PercorsoEseguibile();
    EXPECT_EQ(NomeFile(eseguibile), "platform_test.exe");
    EXPECT_TRUE(FileRegolare(eseguibile));
    EXPECT_EQ(NomeEseguibile("openssl"), "openssl.exe");
}

struct CasoPercorso {
    std::string percorso, nome, cartella, estensione;
};

class Percorsi : public testing::TestWithParam<CasoPercorso> {};

TEST_P(Percorsi, SplitAtEitherSlashAndAfterTheDrive) {
    const auto& c = GetParam();
    EXPECT_EQ(NomeFile(c.percorso), c.nome);
    EXPECT_EQ(CartellaDi(c.percorso), c.cartella);
    EXPECT_EQ(EstensioneMinuscola(c.percorso), c.estensione);
}

INSTANTIATE_TEST_SUITE_P(
    Forme, Percorsi,
    testing::Values(
        CasoPercorso{"C:\\Fatture\\IT01_A.XML.P7M", "IT01_A.XML.P7M", "C:\\Fatture", ".p7m"},
        CasoPercorso{"C:\\a.xml", "a.xml", "C:\\", ".xml"},
        CasoPercorso{"C:a.xml", "a.xml", "C:", ".xml"},
        CasoPercorso{"Z:/misto\\cartella.d/file", "file", "Z:/misto\\cartella.d", ""},
        CasoPercorso{"\\\\server\\condivisa\\f.xml", "f.xml", "\\\\server\\condivisa", ".xml"},
        CasoPercorso{"relativo\\è.xml", "è.xml", "relativo", ".xml"},
        CasoPercorso{"solo.xml", "solo.xml", ".", ".xml"}));

TEST(Percorsi, AreMadeFullAndNormal) {
    TempDir dir;
    const std::string base = PercorsoCompleto(utf8(dir));
    EXPECT_EQ(PercorsoNormalizzato(base + "/a/./b/../c è.xml"), base + "\\a\\c è.xml");
    EXPECT_EQ(PercorsoCompleto("C:\\x\\..\\y.xml"), "C:\\y.xml");
}

} // namespace
