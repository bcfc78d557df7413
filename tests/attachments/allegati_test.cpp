#include "allegati.h"
#include "base64.h"
#include "files.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>
#include <vector>

using namespace ondivo;
using ondivo::test::TempDir;
namespace fs = std::filesystem;

namespace {

using namespace std::string_literals;

std::string allegato(const std::string& nome, const std::string& dati) {
    return "    <Allegati>\n      <NomeAttachment>" + nome +
           "</NomeAttachment>\n      <FormatoAttachment>PDF</FormatoAttachment>\n"
           "      <Attachment>" +
           dati + "</Attachment>\n    </Allegati>\n";
}

std::string fattura(const std::string& allegati) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica versione=\"FPR12\">\n"
           "  <FatturaElettronicaBody>\n    <DatiGenerali/>\n" +
           allegati + "  </FatturaElettronicaBody>\n</p:FatturaElettronica>\n";
}

std::string leggi(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Every regular file under the folder, by path relative to it, with its bytes.
std::map<std::string, std::string> fileSotto(const fs::path& cartella) {
    std::map<std::string, std::string> trovati;
    for (const auto& voce : fs::recursive_directory_iterator(cartella))
        if (voce.is_regular_file() || voce.is_symlink())
            trovati[fs::relative(voce.path(), cartella).string()] = leggi(voce.path());
    return trovati;
}

using Coppie = std::vector<std::pair<std::string, std::string>>;

struct ReadCase {
    const char* name;
    std::string file;
    Coppie allegati;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class LeggiAllegatiTest : public testing::TestWithParam<ReadCase> {};

TEST_P(LeggiAllegatiTest, CollectsTheBlocksInDocumentOrder) {
    TempDir dir;
    ListaAllegati lista;
    const int n = LeggiAllegati(dir.write("f.xml", GetParam().file), lista);
    Coppie trovati;
    for (const auto& voce : lista)
        trovati.emplace_back(voce->NomeFile, voce->DatiBase64);
    EXPECT_EQ(trovati, GetParam().allegati);
    EXPECT_EQ(n, static_cast<int>(lista.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Invoices, LeggiAllegatiTest,
    testing::Values(
        ReadCase{"none", fattura(""), {}}, ReadCase{"emptyFile", "", {}},
        ReadCase{"documentOrder",
                 fattura(allegato("b.pdf", "Yg==") + allegato("a.pdf", "YQ==") +
                         allegato("c.pdf", "Yw==")),
                 {{"b.pdf", "Yg=="}, {"a.pdf", "YQ=="}, {"c.pdf", "Yw=="}}},
        ReadCase{"incompleteBlocksSkipped",
                 fattura(allegato("", "YQ==") + allegato("x.pdf", " \n ") +
                         "<Allegati><Attachment>YQ==</Attachment></Allegati>" +
                         allegato("ok.pdf", "QUJD")),
                 {{"ok.pdf", "QUJD"}}},
        ReadCase{
            "lastBlockWithoutEndTag",
            allegato("a.pdf", "YQ==") +
                "<Allegati><NomeAttachment>b.pdf</NomeAttachment><Attachment>Yg==</Attachment>",
            {{"a.pdf", "YQ=="}}},
        ReadCase{"startTagVariantsNotFound",
                 fattura("<Allegati xmlns=\"x\"><NomeAttachment>a</NomeAttachment><Attachment>YQ=="
                         "</Attachment></Allegati>\n<p:Allegati><NomeAttachment>b</NomeAttachment>"
                         "<Attachment>Yg==</Attachment></p:Allegati>\n<allegati><NomeAttachment>c"
                         "</NomeAttachment><Attachment>Yw==</Attachment></allegati>\n"),
                 {}},
        ReadCase{"fieldWithAttributeIsMissing",
                 "<Allegati><NomeAttachment lang=\"it\">a</NomeAttachment><Attachment>YQ=="
                 "</Attachment></Allegati>",
                 {}},
        ReadCase{"entityReferenceKept",
                 fattura(allegato("a&amp;b.pdf", "YQ==")),
                 {{"a&amp;b.pdf", "YQ=="}}},
        ReadCase{"linesOfBase64KeepCrLf",
                 fattura(allegato("a.pdf", "\nQUJD\nREVG\n")),
                 {{"a.pdf", "QUJD\r\nREVG"}}},
        ReadCase{"crLinesOfBase64KeepCrLf",
                 "<Allegati>\r<NomeAttachment>a.pdf</NomeAttachment>"
                 "<Attachment>QUJD\rREVG</Attachment></Allegati>",
                 {{"a.pdf", "QUJD\r\nREVG"}}},
        ReadCase{"dataUrlStoredWhole",
                 fattura(allegato("a.pdf", "data:application/pdf;base64,QUJD")),
                 {{"a.pdf", "data:application/pdf;base64,QUJD"}}},
        ReadCase{"sameNameTwice",
                 fattura(allegato("a.pdf", "YQ==") + allegato("a.pdf", "Yg==")),
                 {{"a.pdf", "YQ=="}, {"a.pdf", "Yg=="}}},
        ReadCase{
            "zeroByteBeforeAttachments", "<x>\0</x>\n"s + fattura(allegato("a.pdf", "YQ==")), {}},
        ReadCase{"zeroByteBetweenAttachments",
                 allegato("a.pdf", "YQ==") + "\0"s + allegato("b.pdf", "Yg=="),
                 {{"a.pdf", "YQ=="}}},
        ReadCase{"byteOrderMark",
                 "\xEF\xBB\xBF" + fattura(allegato("a.pdf", "YQ==")),
                 {{"a.pdf", "YQ=="}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LeggiAllegati, RecordsStayPutWhileTheListGrows) {
    TempDir dir;
    ListaAllegati lista;
    LeggiAllegati(dir.write("a.xml", allegato("a.pdf", "YQ==")), lista);
    const TAllegatoItem* primo = lista.front().get();
    std::string molti;
    for (int i = 0; i < 100; ++i)
        molti += allegato("n" + std::to_string(i), "YQ==");
    EXPECT_EQ(LeggiAllegati(dir.write("b.xml", molti), lista), 100);
    EXPECT_EQ(lista.front().get(), primo);
    EXPECT_EQ(primo->NomeFile, "a.pdf");
}

TEST(LeggiAllegati, UnreadableFileRaisesAndAppendsNothing) {
    TempDir dir;
    ListaAllegati lista;
    const std::string mancante = (dir.path() / "none.xml").string();
    try {
        LeggiAllegati(mancante, lista);
        FAIL() << "no error";
    } catch (const platform::EFileStreamError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + mancante + "\". " + ondivo::platform::MotivoErrore(ENOENT));
    }
    EXPECT_TRUE(lista.empty());
}

struct SaveCase {
    const char* name;
    std::string file;
    int conteggio;
    std::string messaggio;
    std::map<std::string, std::string> scritti;
};

void PrintTo(const SaveCase& c, std::ostream* os) {
    *os << c.name;
}

class SalvaAllegatiTest : public testing::TestWithParam<SaveCase> {};

TEST_P(SalvaAllegatiTest, WritesEveryAttachmentDecoded) {
    TempDir dir;
    const auto cartella = dir.path() / "out" / "ALLEGATI";
    std::string messaggio = "stale";
    const int n = SalvaAllegati(dir.write("f.xml", GetParam().file), cartella.string(), messaggio);
    EXPECT_EQ(n, GetParam().conteggio);
    EXPECT_EQ(messaggio, GetParam().messaggio);
    ASSERT_TRUE(fs::is_directory(cartella));
    EXPECT_EQ(fileSotto(cartella), GetParam().scritti);
}

INSTANTIATE_TEST_SUITE_P(
    Invoices, SalvaAllegatiTest,
    testing::Values(
        SaveCase{"noneStillMakesTheFolder", fattura(""), 0, "", {}},
        SaveCase{"three",
                 fattura(allegato("b.pdf", "Yg==") + allegato("a.pdf", "QUJD") +
                         allegato("c.pdf", "Yw==")),
                 3,
                 "",
                 {{"a.pdf", "ABC"}, {"b.pdf", "b"}, {"c.pdf", "c"}}},
        SaveCase{"binaryBytes",
                 fattura(allegato("z.bin", "AP8A/w==")),
                 1,
                 "",
                 {{"z.bin", "\0\xFF\0\xFF"s}}},
        SaveCase{"incompleteBlocksSkipped",
                 fattura(allegato("", "YQ==") + allegato("x.pdf", "") + allegato("ok", "QUJD")),
                 1,
                 "",
                 {{"ok", "ABC"}}},
        SaveCase{"dataUrlHeaderDropped",
                 fattura(allegato("a.pdf", "data:application/pdf;base64,QUJD")),
                 1,
                 "",
                 {{"a.pdf", "ABC"}}},
        SaveCase{"headerInAnyCase",
                 fattura(allegato("a.pdf", "x;BaSe64,QUJD")),
                 1,
                 "",
                 {{"a.pdf", "ABC"}}},
        SaveCase{"firstHeaderOnly",
                 fattura(allegato("a.pdf", "base64,base64,QUJD")),
                 0,
                 "Uneven size in DecodeToStream.",
                 {}},
        SaveCase{"headerWithoutDataIsEmptyFile",
                 fattura(allegato("a.pdf", "data:;base64,")),
                 1,
                 "",
                 {{"a.pdf", ""}}},
        SaveCase{"sameNameSecondWins",
                 fattura(allegato("a.pdf", "QUJD") + allegato("a.pdf", "REVG")),
                 2,
                 "",
                 {{"a.pdf", "DEF"}}},
        SaveCase{"unevenStopsTheScan",
                 fattura(allegato("a.pdf", "QUJD") + allegato("b.pdf", "QUJDR") +
                         allegato("c.pdf", "QUJD")),
                 1,
                 "Uneven size in DecodeToStream.",
                 {{"a.pdf", "ABC"}}},
        SaveCase{"linesMakeTheLengthUneven",
                 fattura(allegato("a.pdf", "QUJD\nREVG")),
                 0,
                 "Uneven size in DecodeToStream.",
                 {}},
        SaveCase{"linesOfEvenLengthDecodeWrong",
                 fattura(allegato("a.pdf", "QUJD\nRE")),
                 1,
                 "",
                 {{"a.pdf", "ABC\xFF\xF4\x44"}}},
        SaveCase{"zeroByteHidesAll", "\0"s + fattura(allegato("a.pdf", "QUJD")), 0, "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SalvaAllegati, MissingFileMakesNoFolder) {
    TempDir dir;
    std::string messaggio = "stale";
    EXPECT_EQ(
        SalvaAllegati((dir.path() / "none.xml").string(), (dir.path() / "out").string(), messaggio),
        0);
    EXPECT_EQ(messaggio, "");
    EXPECT_FALSE(fs::exists(dir.path() / "out"));
}

TEST(SalvaAllegati, UnreadableFileGivesTheOpenMessageAndNoFolder) {
    // Reading /proc/self/mem at offset 0 fails even for root.
    TempDir dir;
    std::string messaggio;
    EXPECT_EQ(SalvaAllegati("/proc/self/mem", (dir.path() / "out").string(), messaggio), 0);
    EXPECT_EQ(messaggio, "Cannot open file \"/proc/self/mem\". " + ondivo::platform::MotivoErrore(EIO));
    EXPECT_FALSE(fs::exists(dir.path() / "out"));
}

TEST(SalvaAllegati, FolderThatCannotBeMadeGivesTheCreateMessage) {
    TempDir dir;
    const std::string file = dir.write("f.xml", fattura(allegato("a.pdf", "QUJD")));
    const std::string cartella = (dir.path() / "f.xml" / "ALLEGATI").string();
    std::string messaggio;
    EXPECT_EQ(SalvaAllegati(file, cartella, messaggio), 0);
    EXPECT_EQ(messaggio, "Cannot create file \"" + cartella + "/a.pdf\". " +
                             ondivo::platform::MotivoErrore(ENOTDIR));
}

TEST(SalvaAllegati, ExistingFileIsReplacedWhole) {
    TempDir dir;
    dir.write("out/a.pdf", "a much longer old content");
    const std::string file = dir.write("f.xml", fattura(allegato("a.pdf", "QUJD")));
    std::string messaggio;
    EXPECT_EQ(SalvaAllegati(file, (dir.path() / "out").string(), messaggio), 1);
    EXPECT_EQ(leggi(dir.path() / "out" / "a.pdf"), "ABC");
}

TEST(SalvaAllegati, SymbolicLinkInTheFolderIsNotFollowed) {
    TempDir dir;
    const std::string fuori = dir.write("outside.txt", "untouched");
    fs::create_directory(dir.path() / "out");
    fs::create_symlink(fuori, dir.path() / "out" / "a.pdf");
    const std::string file = dir.write("f.xml", fattura(allegato("a.pdf", "QUJD")));
    std::string messaggio;
    EXPECT_EQ(SalvaAllegati(file, (dir.path() / "out").string(), messaggio), 0);
    EXPECT_EQ(messaggio, "Impossibile scrivere " + (dir.path() / "out" / "a.pdf").string() +
                             ": " + ondivo::platform::MotivoErrore(ELOOP));
    EXPECT_EQ(leggi(fuori), "untouched");
}

struct HostileCase {
    const char* name;
    std::string nome;
    std::string sicuro;
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

class HostileNameTest : public testing::TestWithParam<HostileCase> {};

// The folder lies three levels down, so "../../x" and its kin would land in the temporary
// folder if a name were joined unchanged; an absolute name is aimed at it too.
TEST_P(HostileNameTest, WritesOnlyInsideTheFolder) {
    TempDir dir;
    const auto cartella = dir.path() / "a" / "b" / "ALLEGATI";
    std::string nome = GetParam().nome;
    if (nome.rfind("TMP", 0) == 0)
        nome.replace(0, 3, dir.path().string());
    const std::string file = dir.write("f.xml", fattura(allegato(nome, "QUJD")));
    std::string messaggio;
    EXPECT_EQ(SalvaAllegati(file, cartella.string(), messaggio), 1);
    EXPECT_EQ(messaggio, "");
    const std::map<std::string, std::string> attesi = {
        {"f.xml", leggi(file)}, {"a/b/ALLEGATI/" + GetParam().sicuro, "ABC"}};
    EXPECT_EQ(fileSotto(dir.path()), attesi);

    // The window's save of the same record lands on the same file.
    ListaAllegati lista;
    ASSERT_EQ(LeggiAllegati(file, lista), 1);
    EXPECT_EQ(SalvaAllegato(*lista.front(), cartella.string()),
              (cartella / GetParam().sicuro).string());
    EXPECT_EQ(fileSotto(dir.path()), attesi);
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostileNameTest,
    testing::Values(HostileCase{"parents", "../../x", "x"}, HostileCase{"absolute", "TMP/x", "x"},
                    HostileCase{"parentsInside", "a/../../b", "b"},
                    HostileCase{"drive", "C:\\x", "x"},
                    HostileCase{"backslashParents", "..\\..\\x", "x"},
                    HostileCase{"dots", "...", "allegato"}, HostileCase{"parent", "..", "allegato"},
                    HostileCase{"folderOnly", "../", "allegato"},
                    HostileCase{"newline", "a\nb", "a__b"}, HostileCase{"tab", "a\tb", "a_b"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SalvaAllegato, DecodesTheTextAsStoredWithoutDroppingAHeader) {
    TempDir dir;
    const auto cartella = dir.path() / "ALLEGATI";
    fs::create_directory(cartella);
    // 16 characters: decodable, and the header decodes into bytes of its own.
    const TAllegatoItem item{"a.pdf", "abcd;base64,QUJD"};
    EXPECT_EQ(SalvaAllegato(item, cartella.string()), (cartella / "a.pdf").string());
    const std::string scritto = leggi(cartella / "a.pdf");
    EXPECT_EQ(scritto.size(), 12u);
    EXPECT_EQ(scritto.substr(9), "ABC");
}

// Large attachments are decoded into the file a block at a time; sizes around the block
// (1 MiB of text) and pads in the last group must give the same bytes as one decoding.
TEST(SalvaAllegato, LargeTextsAreWrittenWhole) {
    TempDir dir;
    constexpr std::size_t blocco = std::size_t{1} << 20;
    for (const std::size_t caratteri : {blocco - 4, blocco, blocco + 4, 2 * blocco + 8}) {
        for (const std::string coda : {"QUJD", "QUI=", "QQ==", "Q===", "QQ=A"}) {
            std::string testo(caratteri - 4, 'A');
            for (std::size_t k = 0; k < testo.size(); k += 997)
                testo[k] = "+/9z"[k % 4];
            testo += coda;
            const std::string percorso =
                SalvaAllegato(TAllegatoItem{"a.bin", testo}, dir.path().string());
            ASSERT_EQ(leggi(percorso), DecodeBase64Text(testo)) << caratteri << " " << coda;
        }
    }
}

TEST(SalvaAllegato, UnevenTextCreatesNoFile) {
    TempDir dir;
    const TAllegatoItem item{"a.pdf", "QUJD\r\nREVG"};
    EXPECT_THROW(SalvaAllegato(item, dir.path().string()), EErroreCodifica);
    EXPECT_FALSE(fs::exists(dir.path() / "a.pdf"));
}

TEST(SalvaAllegato, MissingFolderRaisesTheCreateError) {
    TempDir dir;
    const auto cartella = (dir.path() / "ALLEGATI").string();
    try {
        SalvaAllegato(TAllegatoItem{"a.pdf", "QUJD"}, cartella);
        FAIL() << "no error";
    } catch (const platform::EFileStreamError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + cartella + "/a.pdf\". " + ondivo::platform::MotivoErrore(ENOENT));
    }
}

} // namespace
