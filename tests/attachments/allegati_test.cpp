#include "allegati.h"
#include "base64.h"
#include "files.h"
#include "tempdir.h"
#include "xmldocument.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
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
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica versione=\"FPR12\" "
           "xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\">\n"
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
            trovati[fs::relative(voce.path(), cartella).generic_string()] = leggi(voce.path());
    return trovati;
}

std::string quattro(int volte, const std::string& gruppo) {
    std::string testo;
    for (int i = 0; i < volte; ++i)
        testo += gruppo;
    return testo;
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

Coppie coppie(const ListaAllegati& lista) {
    Coppie trovati;
    for (const auto& voce : lista)
        trovati.emplace_back(voce->NomeFile, voce->DatiBase64);
    return trovati;
}

// The streamed reading of a file (saving) and the walk of a loaded tree (the window) find the
// same attachments.
TEST_P(LeggiAllegatiTest, CollectsTheBlocksInDocumentOrder) {
    TempDir dir;
    const std::string file = dir.write("f.xml", GetParam().file);
    ListaAllegati lista;
    const int n = LeggiAllegati(file, lista);
    EXPECT_EQ(coppie(lista), GetParam().allegati);
    EXPECT_EQ(n, static_cast<int>(lista.size()));

    ListaAllegati dalDocumento;
    EXPECT_EQ(LeggiAllegatiDoc(CaricaXml(file).get(), dalDocumento), n);
    EXPECT_EQ(coppie(dalDocumento), GetParam().allegati);
}

INSTANTIATE_TEST_SUITE_P(
    Invoices, LeggiAllegatiTest,
    testing::Values(
        ReadCase{"none", fattura(""), {}},
        ReadCase{"documentOrder",
                 fattura(allegato("b.pdf", "Yg==") + allegato("a.pdf", "YQ==") +
                         allegato("c.pdf", "Yw==")),
                 {{"b.pdf", "Yg=="}, {"a.pdf", "YQ=="}, {"c.pdf", "Yw=="}}},
        ReadCase{"incompleteBlocksSkipped",
                 fattura(allegato("", "YQ==") + allegato("x.pdf", " \n ") +
                         "<Allegati><Attachment>YQ==</Attachment></Allegati>" +
                         allegato("ok.pdf", "QUJD")),
                 {{"ok.pdf", "QUJD"}}},
        ReadCase{"prefixesAttributesAndBlanksInTags",
                 fattura("<Allegati xmlns=\"x\"><NomeAttachment>a</NomeAttachment><Attachment>YQ=="
                         "</Attachment></Allegati>\n<p:Allegati id=\"1\"><NomeAttachment >b"
                         "</NomeAttachment><Attachment\n>Yg==</Attachment ></p:Allegati >\n"
                         "<allegati><NomeAttachment>c</NomeAttachment><Attachment>Yw==</Attachment>"
                         "</allegati>\n"),
                 {{"a", "YQ=="}, {"b", "Yg=="}}},
        ReadCase{"fieldWithAttribute",
                 "<Allegati><NomeAttachment lang=\"it\">a</NomeAttachment><Attachment>YQ=="
                 "</Attachment></Allegati>",
                 {{"a", "YQ=="}}},
        ReadCase{"referencesDecoded",
                 fattura(allegato("a&amp;b&#46;pdf", "QU&#74;D")),
                 {{"a&b.pdf", "QUJD"}}},
        ReadCase{"cdataDecoded",
                 fattura(allegato("<![CDATA[a<b>.pdf]]>", "<![CDATA[QU]]>JD")),
                 {{"a<b>.pdf", "QUJD"}}},
        ReadCase{"commentsAndInstructionsAreNotTags",
                 fattura("<!-- <Allegati><NomeAttachment>falso.desktop</NomeAttachment>"
                         "<Attachment>YQ==</Attachment></Allegati> -->\n"
                         "<?x <Allegati><NomeAttachment>pi.sh</NomeAttachment><Attachment>YQ=="
                         "</Attachment></Allegati> ?>\n" +
                         allegato("vero<!-- x -->.pdf", "QU<?p?>JD")),
                 {{"vero.pdf", "QUJD"}}},
        ReadCase{"cdataInTheDescriptionHidesNothing",
                 fattura("<Allegati><DescrizioneAttachment><![CDATA[<NomeAttachment>falso.desktop"
                         "</NomeAttachment>]]></DescrizioneAttachment><NomeAttachment>vero.pdf"
                         "</NomeAttachment><Attachment>YQ==</Attachment></Allegati>"),
                 {{"vero.pdf", "YQ=="}}},
        ReadCase{"linesOfBase64AsTheParserGivesThem",
                 fattura(allegato("a.pdf", "\r\nQUJD\r\nREVG\rREVG\n")),
                 {{"a.pdf", "QUJD\nREVG\nREVG"}}},
        ReadCase{"windows1252NamesInUtf8",
                 "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Allegati><NomeAttachment>"
                 "f\xE8 \x80.pdf</NomeAttachment><Attachment>YQ==</Attachment></Allegati>",
                 {{"f\xC3\xA8 \xE2\x82\xAC.pdf", "YQ=="}}},
        ReadCase{"nestedInStartTagOrder",
                 fattura("<Allegati><NomeAttachment>fuori</NomeAttachment><x><Allegati>"
                         "<NomeAttachment>dentro</NomeAttachment><Attachment>Yg==</Attachment>"
                         "</Allegati></x><Attachment>YQ==</Attachment></Allegati>"),
                 {{"fuori", "YQ=="}, {"dentro", "Yg=="}}},
        ReadCase{"fieldsOnlyAsDirectChildren",
                 fattura("<Allegati><x><NomeAttachment>nascosto</NomeAttachment></x>"
                         "<Attachment>YQ==</Attachment></Allegati>"),
                 {}},
        ReadCase{"markupInsideAFieldGivesItsText",
                 fattura("<Allegati><NomeAttachment>a<b>b</b>c.pdf</NomeAttachment>"
                         "<Attachment>Y<i>Q</i>==</Attachment></Allegati>"),
                 {{"abc.pdf", "YQ=="}}},
        ReadCase{"declaredEntities",
                 "<!DOCTYPE x [<!ENTITY e \"n&#233;\"><!ENTITY m \"<b>QU</b>\">]>\n<x>"
                 "<Allegati><NomeAttachment>&e;&e;.pdf</NomeAttachment><Attachment>&m;JD"
                 "</Attachment></Allegati></x>",
                 {{"n\xC3\xA9n\xC3\xA9.pdf", "QUJD"}}},
        ReadCase{"firstFieldOfEachKind",
                 fattura("<Allegati><NomeAttachment>a</NomeAttachment><NomeAttachment>b"
                         "</NomeAttachment><Attachment>YQ==</Attachment><Attachment>Yg=="
                         "</Attachment></Allegati>"),
                 {{"a", "YQ=="}}},
        ReadCase{"dataUrlStoredWhole",
                 fattura(allegato("a.pdf", "data:application/pdf;base64,QUJD")),
                 {{"a.pdf", "data:application/pdf;base64,QUJD"}}},
        ReadCase{"sameNameTwice",
                 fattura(allegato("a.pdf", "YQ==") + allegato("a.pdf", "Yg==")),
                 {{"a.pdf", "YQ=="}, {"a.pdf", "Yg=="}}},
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
    EXPECT_EQ(LeggiAllegati(dir.write("b.xml", fattura(molti)), lista), 100);
    EXPECT_EQ(lista.front().get(), primo);
    EXPECT_EQ(primo->NomeFile, "a.pdf");
}

struct RefusalCase {
    const char* name;
    std::string file;   // "" for a missing file
    std::string motivo; // the end of the message after the path
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class LeggiAllegatiRefusal : public testing::TestWithParam<RefusalCase> {};

// A file that is not a well-formed document has no attachments the page could show.
TEST_P(LeggiAllegatiRefusal, RaisesAndAppendsNothing) {
    TempDir dir;
    ListaAllegati lista;
    const std::string file = GetParam().file.empty() && std::string(GetParam().name) == "missing"
                                 ? (dir.path() / "none.xml").string()
                                 : dir.write("f.xml", GetParam().file);
    try {
        LeggiAllegati(file, lista);
        FAIL() << "no error";
    } catch (const OndivoError& e) {
        const std::string messaggio = e.what();
        EXPECT_NE(messaggio.find(file), std::string::npos) << messaggio;
        EXPECT_EQ(messaggio.substr(messaggio.size() - GetParam().motivo.size()), GetParam().motivo)
            << messaggio;
    }
    EXPECT_TRUE(lista.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, LeggiAllegatiRefusal,
    testing::Values(RefusalCase{"missing", "", "file o cartella inesistente"},
                    RefusalCase{"empty", "", "Document is empty)"},
                    RefusalCase{"lastBlockWithoutEndTag",
                                allegato("a.pdf", "YQ==") +
                                    "<Allegati><NomeAttachment>b.pdf</NomeAttachment>",
                                "Extra content at the end of the document)"},
                    RefusalCase{"tooManyAttributes",
                                [] {
                                    std::string tag = "<x";
                                    for (int i = 0; i < 300; ++i)
                                        tag += " a" + std::to_string(i) + "=\"1\"";
                                    return tag + ">" + allegato("a.pdf", "YQ==") + "</x>";
                                }(),
                                "Un elemento del documento ha più di 256 attributi)"},
                    RefusalCase{"entitiesBeyondTheLimit",
                                "<!DOCTYPE x [<!ENTITY e \"" + std::string(4000, 'e') +
                                    "\">]><x><Allegati><NomeAttachment>" +
                                    [] {
                                        std::string r;
                                        for (int i = 0; i < 2000; ++i)
                                            r += "&e;";
                                        return r;
                                    }() +
                                    "</NomeAttachment><Attachment>YQ==</Attachment>"
                                    "</Allegati></x>",
                                "si espandono oltre il limite consentito)"},
                    RefusalCase{"zeroByte", "<x>\0</x>\n"s + allegato("a.pdf", "YQ=="),
                                "Premature end of data in tag x line 1)"}),
    [](const auto& info) { return std::string(info.param.name); });

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
        SaveCase{"sameNameEachInItsOwnFile",
                 fattura(allegato("a.pdf", "QUJD") + allegato("a.pdf", "REVG") +
                         allegato("a.pdf", "QUJD")),
                 3,
                 "",
                 {{"a.pdf", "ABC"}, {"a (2).pdf", "DEF"}, {"a (3).pdf", "ABC"}}},
        SaveCase{"namesThatBecomeOne",
                 fattura(allegato(".", "QUJD") + allegato("..", "REVG") + allegato("/", "R0hJ") +
                         allegato("C:", "SktM") + allegato("x/allegato", "TU5P")),
                 5,
                 "",
                 {{"allegato", "ABC"},
                  {"allegato (2)", "DEF"},
                  {"allegato (3)", "GHI"},
                  {"allegato (4)", "JKL"},
                  {"allegato (5)", "MNO"}}},
        SaveCase{"unevenStopsTheScan",
                 fattura(allegato("a.pdf", "QUJD") + allegato("b.pdf", "QUJDR") +
                         allegato("c.pdf", "QUJD")),
                 1,
                 "Uneven size in DecodeToStream.",
                 {{"a.pdf", "ABC"}}},
        SaveCase{"linesOf76WithCrLfAreSkipped",
                 fattura(allegato("a.pdf", quattro(19, "QUFB") + "\r\n" + quattro(19, "QUFB") +
                                               "\r\n QUJD \t")),
                 1,
                 "",
                 {{"a.pdf", std::string(114, 'A') + "ABC"}}},
        SaveCase{"linesStillUnevenAfterSkipping",
                 fattura(allegato("a.pdf", "QUJD\nRE")),
                 0,
                 "Uneven size in DecodeToStream.",
                 {}},
        SaveCase{"otherOddCharactersStayForTheDecoder",
                 fattura(allegato("a.pdf", "QUJD\nR-VG")),
                 1,
                 "",
                 {{"a.pdf", "ABCO\xF5\x46"}}},
        SaveCase{"cdataAndReferencesDecoded",
                 fattura(allegato("a&amp;b.pdf", "<![CDATA[QU]]>&#74;D")),
                 1,
                 "",
                 {{"a&b.pdf", "ABC"}}}),
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
    EXPECT_EQ(messaggio,
              "Cannot open file \"/proc/self/mem\". " + ondivo::platform::MotivoErrore(EIO));
    EXPECT_FALSE(fs::exists(dir.path() / "out"));
}

TEST(SalvaAllegati, FolderThatCannotBeMadeGivesTheCreateMessage) {
    TempDir dir;
    const std::string file = dir.write("f.xml", fattura(allegato("a.pdf", "QUJD")));
    const std::string cartella = (dir.path() / "f.xml" / "ALLEGATI").string();
    std::string messaggio;
    EXPECT_EQ(SalvaAllegati(file, cartella, messaggio), 0);
    EXPECT_EQ(messaggio, "Impossibile creare la cartella " + cartella + ": " +
                             ondivo::platform::MotivoErrore(ENOTDIR));
}

// Across saves a file already there is another invoice's attachment, or this one again.
TEST(SalvaAllegati, ExistingFilesAreNeverReplaced) {
    TempDir dir;
    dir.write("out/a.pdf", "an earlier invoice's attachment");
    dir.write("out/b.pdf", "ABC");
    const std::string file =
        dir.write("f.xml", fattura(allegato("a.pdf", "QUJD") + allegato("b.pdf", "QUJD")));
    std::string messaggio;
    EXPECT_EQ(SalvaAllegati(file, (dir.path() / "out").string(), messaggio), 2);
    const std::map<std::string, std::string> attesi = {
        {"a.pdf", "an earlier invoice's attachment"}, {"a (2).pdf", "ABC"}, {"b.pdf", "ABC"}};
    EXPECT_EQ(fileSotto(dir.path() / "out"), attesi);
    // Saving again finds every attachment where it is: nothing new.
    EXPECT_EQ(SalvaAllegati(file, (dir.path() / "out").string(), messaggio), 2);
    EXPECT_EQ(fileSotto(dir.path() / "out"), attesi);
}

TEST(SalvaAllegati, MalformedFileGivesTheLoadMessageAndNoFolder) {
    TempDir dir;
    const std::string file = dir.write("f.xml", "\0"s + fattura(allegato("a.pdf", "QUJD")));
    std::string messaggio;
    EXPECT_EQ(SalvaAllegati(file, (dir.path() / "out").string(), messaggio), 0);
    EXPECT_EQ(messaggio.rfind("Errore nel caricamento XML: " + file + " (riga 1: ", 0), 0u)
        << messaggio;
    EXPECT_FALSE(fs::exists(dir.path() / "out"));
}

TEST(SalvaAllegati, SymbolicLinkInTheFolderIsNotFollowed) {
    TempDir dir;
    const std::string fuori = dir.write("outside.txt", "untouched");
    fs::create_directory(dir.path() / "out");
    fs::create_symlink(fuori, dir.path() / "out" / "a.pdf");
    const std::string file = dir.write("f.xml", fattura(allegato("a.pdf", "QUJD")));
    std::string messaggio;
    EXPECT_EQ(SalvaAllegati(file, (dir.path() / "out").string(), messaggio), 1);
    EXPECT_EQ(messaggio, "");
    EXPECT_EQ(leggi(fuori), "untouched");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "out" / "a.pdf"));
    EXPECT_EQ(leggi(dir.path() / "out" / "a (2).pdf"), "ABC");
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
                    HostileCase{"newline", "a\nb", "a_b"},
                    HostileCase{"rightToLeftOverride", "fattura\u202Efdp.sh", "fattura_fdp.sh"},
                    HostileCase{"zeroWidthAndIsolates", "a\u200Bb\u2066c\uFEFF.pdf", "a_b_c_.pdf"},
                    HostileCase{"tab", "a\tb", "a_b"}),
    [](const auto& info) { return std::string(info.param.name); });

// The window saves one record as the bulk save does: the same header rule, the same bytes.
TEST(SalvaAllegato, DropsADataUrlHeaderAsTheBulkSaveDoes) {
    TempDir dir;
    const auto cartella = dir.path() / "ALLEGATI";
    fs::create_directory(cartella);
    const TAllegatoItem item{"a.pdf", "data:application/pdf;base64,QUJD"};
    EXPECT_EQ(SalvaAllegato(item, cartella.string()), (cartella / "a.pdf").string());
    EXPECT_EQ(leggi(cartella / "a.pdf"), "ABC");
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
    const TAllegatoItem item{"a.pdf", "QUJD\r\nREV"};
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
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + cartella + "/a.pdf\". " +
                                             ondivo::platform::MotivoErrore(ENOENT));
    }
}

// "Salva con nome…": the bytes decoded, a file of the user's at the target replaced only by the
// whole attachment; an attachment that does not decode, or a target that cannot be written,
// leaves the file there as it was. The large case is known bytes encoded by the test's own
// encoder, larger than the block the decoder writes at a time.
TEST(SalvaAllegatoCome, ReplacesOnlyWithTheWholeAttachment) {
    TempDir dir;
    const auto destinazione = (dir.path() / "scelto.pdf").string();
    const auto codifica = [](const std::string& byte) {
        static const char alfabeto[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string testo;
        for (std::size_t i = 0; i < byte.size(); i += 3) {
            unsigned v = static_cast<unsigned char>(byte[i]) << 16;
            if (i + 1 < byte.size())
                v |= static_cast<unsigned char>(byte[i + 1]) << 8;
            if (i + 2 < byte.size())
                v |= static_cast<unsigned char>(byte[i + 2]);
            testo += alfabeto[(v >> 18) & 63];
            testo += alfabeto[(v >> 12) & 63];
            testo += i + 1 < byte.size() ? alfabeto[(v >> 6) & 63] : '=';
            testo += i + 2 < byte.size() ? alfabeto[v & 63] : '=';
        }
        return testo;
    };
    std::string grande(3 * (std::size_t{1} << 20) + 2, '\0');
    for (std::size_t k = 0; k < grande.size(); ++k)
        grande[k] = static_cast<char>((k * 131 + k / 7) & 0xff);
    struct Caso {
        const char* nome;
        std::string base64;
        std::optional<std::string> atteso; // none: refused
    };
    const Caso casi[] = {
        {"plain", "QUJD", "ABC"},
        {"brokenIntoLines", "QU\r\nJD\nRA==", "ABCD"},
        {"dataUrl", "data:application/pdf;base64,QUJD", "ABC"},
        {"zeroAndHighBytes", "AP/+", std::string("\0\xff\xfe", 3)},
        {"largerThanABlock", codifica(grande), grande},
        {"uneven", "QUJDR", std::nullopt},
    };
    for (const auto& caso : casi) {
        std::ofstream(destinazione, std::ios::binary) << "del cliente";
        const TAllegatoItem item{"a.pdf", caso.base64};
        if (caso.atteso) {
            SalvaAllegatoCome(item, destinazione);
            EXPECT_EQ(leggi(destinazione), *caso.atteso) << caso.nome;
        } else {
            EXPECT_ANY_THROW(SalvaAllegatoCome(item, destinazione)) << caso.nome;
            EXPECT_EQ(leggi(destinazione), "del cliente") << caso.nome;
        }
        // Nothing but the target: no pending file left behind.
        for (const auto& voce : fs::directory_iterator(dir.path()))
            EXPECT_EQ(voce.path().filename().string(), "scelto.pdf") << caso.nome;
    }
    EXPECT_THROW(SalvaAllegatoCome(TAllegatoItem{"a.pdf", "QUJD"},
                                   (dir.path() / "manca" / "a.pdf").string()),
                 platform::EFileStreamError);
}

} // namespace
