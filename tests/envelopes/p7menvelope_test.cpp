#include "cancelflag.h"
#include "envelopefixture.h"
#include "envelopepath.h"
#include "errors.h"
#include "executablepath.h"
#include "p7menvelope.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace ondivo;
using namespace ondivo::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Replaces {p7m}, {xml} and {tool} in an expected message.
std::string conPercorsi(std::string testo, const std::string& p7m, const std::string& xml,
                        const std::string& tool) {
    for (const auto& [segnaposto, valore] :
         {std::pair{"{p7m}", p7m}, std::pair{"{xml}", xml}, std::pair{"{tool}", tool}}) {
        const std::string s = segnaposto;
        for (auto pos = testo.find(s); pos != std::string::npos; pos = testo.find(s))
            testo.replace(pos, s.size(), valore);
    }
    return testo;
}

// The message of the error EstraiXmlDaP7m raises, or "" when it succeeds.
std::string estrai(const std::string& p7m, std::string& xml,
                   std::chrono::milliseconds attesa = AttesaMassimaOpenSsl) {
    try {
        // The tool of the program folder the test made.
        EXPECT_TRUE(EstraiXmlDaP7m(p7m, xml, AppDir() + "ossl/", attesa));
        return {};
    } catch (const OndivoError& e) {
        return e.what();
    }
}

// A fake tool finds the envelope and the output after -in and -out, wherever they are.
const std::string kFakeArgs = "#!/bin/sh\n"
                              "while [ $# -gt 0 ]; do\n"
                              "  case \"$1\" in -in) in=$2;; -out) out=$2;; esac; shift\n"
                              "done\n";

// The number of entries in a folder.
long voci(const fs::path& cartella) {
    return std::distance(fs::directory_iterator(cartella), fs::directory_iterator());
}

// Bytes that start like DER, so that they reach the tool as they are.
const std::string kSomeDer = std::string("\x30\x03\x02\x01\x01", 5);

// ---------------------------------------------------------------------------------------------
// Every way the envelope, the tool or its run can fail.

enum class Envelope { File, Missing, Folder };
enum class Tool { Missing, RealLink, DanglingLink, Folder, Script, ReadOnlyScript };

struct FailCase {
    const char* name;
    Envelope envelope;
    Tool tool;
    std::string script;
    std::string expected;
    std::chrono::milliseconds wait = AttesaMassimaOpenSsl;
};

void PrintTo(const FailCase& c, std::ostream* os) {
    *os << c.name;
}

class FailureTest : public testing::TestWithParam<FailCase> {};

TEST_P(FailureTest, RaisesTheUsersMessageAndWritesNothing) {
    const auto& c = GetParam();
    ProgramFolder app;
    const auto p7m = (app.dir().path() / "in" / "fattura.xml.p7m").string();
    const auto xmlAtteso = (app.dir().path() / "in" / "fattura.xml").string();
    fs::create_directories(app.dir().path() / "in");
    if (c.envelope == Envelope::File)
        app.dir().write("in/fattura.xml.p7m", kSomeDer);
    else if (c.envelope == Envelope::Folder)
        fs::create_directories(p7m);

    switch (c.tool) {
    case Tool::Missing:
        break;
    case Tool::RealLink:
        app.linkRealTool();
        break;
    case Tool::DanglingLink:
        fs::create_directories(fs::path(app.tool()).parent_path());
        fs::create_symlink(app.dir().path() / "nowhere", app.tool());
        break;
    case Tool::Folder:
        fs::create_directories(app.tool());
        break;
    case Tool::Script:
        app.fakeTool(c.script);
        break;
    case Tool::ReadOnlyScript:
        app.fakeTool(c.script, fs::perms::owner_read);
        break;
    }

    std::string xml = "stale value";
    EXPECT_EQ(estrai(p7m, xml, c.wait), conPercorsi(c.expected, p7m, xmlAtteso, app.tool()));
    EXPECT_EQ(xml, xmlAtteso);
    EXPECT_FALSE(fs::exists(xmlAtteso));
    EXPECT_TRUE(app.cacheEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailureTest,
    testing::Values(
        FailCase{"missingEnvelopeAndTool", Envelope::Missing, Tool::Missing, "",
                 "File non trovato: {p7m}"},
        FailCase{"missingEnvelope", Envelope::Missing, Tool::RealLink, "",
                 "File non trovato: {p7m}"},
        FailCase{"envelopeIsAFolder", Envelope::Folder, Tool::RealLink, "",
                 "File non trovato: {p7m}"},
        FailCase{"noOsslFolder", Envelope::File, Tool::Missing, "", "OpenSSL non trovato: {tool}"},
        FailCase{"danglingToolLink", Envelope::File, Tool::DanglingLink, "",
                 "OpenSSL non trovato: {tool}"},
        FailCase{"toolIsAFolder", Envelope::File, Tool::Folder, "", "OpenSSL non trovato: {tool}"},
        FailCase{"toolNotExecutable", Envelope::File, Tool::ReadOnlyScript, "#!/bin/sh\nexit 0\n",
                 "Errore avvio OpenSSL"},
        FailCase{"toolInterpreterMissing", Envelope::File, Tool::Script,
                 "#!/nonexistent/interpreter\n", "Errore avvio OpenSSL"},
        FailCase{"toolExits2", Envelope::File, Tool::Script, "#!/bin/sh\nexit 2\n",
                 "OpenSSL errore (ExitCode=2)"},
        FailCase{"toolExits1", Envelope::File, Tool::Script, "#!/bin/sh\nexit 1\n",
                 "OpenSSL errore (ExitCode=1)"},
        FailCase{"toolExits255", Envelope::File, Tool::Script, "#!/bin/sh\nexit 255\n",
                 "OpenSSL errore (ExitCode=255)"},
        FailCase{"toolExits4WithoutWriting", Envelope::File, Tool::Script, "#!/bin/sh\nexit 4\n",
                 "Output non creato: {xml}"},
        FailCase{"toolExits0WithoutWriting", Envelope::File, Tool::Script, "#!/bin/sh\nexit 0\n",
                 "Output non creato: {xml}"},
        FailCase{"toolKilledBySignal", Envelope::File, Tool::Script, "#!/bin/sh\nkill -KILL $$\n",
                 "OpenSSL errore (ExitCode=137)"},
        FailCase{"toolCrashes", Envelope::File, Tool::Script, "#!/bin/sh\nkill -SEGV $$\n",
                 "OpenSSL errore (ExitCode=139)"},
        FailCase{"toolHangs", Envelope::File, Tool::Script, "#!/bin/sh\nsleep 600\n",
                 "OpenSSL non ha terminato entro 0,2 secondi ed è stato interrotto", 200ms},
        FailCase{"toolHangsWholeSeconds", Envelope::File, Tool::Script, "#!/bin/sh\nsleep 600\n",
                 "OpenSSL non ha terminato entro 1 secondi ed è stato interrotto", 1000ms},
        FailCase{"realToolRejectsGarbage", Envelope::File, Tool::RealLink, "",
                 "OpenSSL errore (ExitCode=2)"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// A run that fails places nothing: an old file beside the envelope stays as it was, and the
// tool's partial output goes with the private folder.

struct RunCase {
    const char* name;
    std::string script;                // after kFakeArgs
    bool oldFile;                      // "old" beside the envelope before the run
    std::string expectedMessage;       // "" for success
    std::optional<std::string> beside; // beside the envelope afterwards; nullopt: nothing
    std::chrono::milliseconds wait = AttesaMassimaOpenSsl;
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

class RunTest : public testing::TestWithParam<RunCase> {};

TEST_P(RunTest, PlacesOnlyACompleteContent) {
    const auto& c = GetParam();
    ProgramFolder app;
    app.fakeTool(kFakeArgs + c.script);
    const ScopedTmpDir tmp(app.dir().path() / "tmp");
    const auto p7m = app.dir().write("in/Contratto.pdf.p7m", kSomeDer);
    const auto accanto = (app.dir().path() / "in/Contratto.pdf").string();
    if (c.oldFile)
        app.dir().write("in/Contratto.pdf", "old");

    std::string xml;
    EXPECT_EQ(estrai(p7m, xml, c.wait), conPercorsi(c.expectedMessage, p7m, accanto, app.tool()));
    EXPECT_EQ(xml, accanto);
    if (c.beside) {
        EXPECT_EQ(LeggiFile(accanto), *c.beside);
    } else {
        EXPECT_FALSE(fs::exists(accanto));
    }
    EXPECT_EQ(voci(app.dir().path() / "in"), c.beside ? 2 : 1) << "a file left beside";
    EXPECT_TRUE(app.cacheEmpty());
    EXPECT_TRUE(tmp.empty());
}

INSTANTIATE_TEST_SUITE_P(
    ExitCodes, RunTest,
    testing::Values(
        RunCase{"writesAndExits0", "printf fresh > \"$out\"\n", false, "", "fresh"},
        // 4: the signature did not verify; the content is still shown.
        RunCase{"writesAndExits4", "printf fresh > \"$out\"\nexit 4\n", false, "", "fresh"},
        RunCase{"partialOutputThenExit2", "printf part > \"$out\"\nexit 2\n", true,
                "OpenSSL errore (ExitCode=2)", "old"},
        RunCase{"partialOutputThenExit3", "printf part > \"$out\"\nexit 3\n", false,
                "OpenSSL errore (ExitCode=3)", std::nullopt},
        RunCase{"partialOutputThenKilled", "printf part > \"$out\"\nkill -KILL $$\n", true,
                "OpenSSL errore (ExitCode=137)", "old"},
        RunCase{"partialOutputThenTimeOut", "printf part > \"$out\"\nsleep 600\n", true,
                "OpenSSL non ha terminato entro 0,2 secondi ed è stato interrotto", "old", 200ms},
        RunCase{"partialOutputThenTimeOutNothingBeside", "printf part > \"$out\"\nsleep 600\n",
                false, "OpenSSL non ha terminato entro 0,2 secondi ed è stato interrotto",
                std::nullopt, 200ms},
        RunCase{"exit4WithoutOutput", "exit 4\n", true, "Output non creato: {xml}", "old"},
        RunCase{"exit0WithoutOutput", "exit 0\n", true, "Output non creato: {xml}", "old"},
        RunCase{"exit0WithEmptyOutput", ": > \"$out\"\n", false, "Output non creato: {xml}",
                std::nullopt},
        RunCase{"exit4WithEmptyOutput", ": > \"$out\"\nexit 4\n", true, "Output non creato: {xml}",
                "old"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Where the content goes: beside the envelope when the name is free or already holds the same
// bytes, else into the user's cache. Whatever stands beside the envelope stays untouched.

enum class Beside {
    Nothing,
    SameBytes,
    OtherBytes,
    Prefix,
    LinkToOther,
    LinkToSameBytes,
    DanglingLink,
    Folder,
    Fifo
};
enum class Goes { Beside, Cache };

struct PlaceCase {
    const char* name;
    Beside beside;
    Goes goes;
    bool olderCacheCopy = false;
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kContent = "<fattura>contenuto estratto</fattura>\n";

// What stands at a path, described well enough to see any change: kind, bytes or link
// target, and for a file the inode and time that a replacement would change.
std::string stato(const fs::path& percorso) {
    struct stat info {};
    if (::lstat(percorso.c_str(), &info) != 0)
        return "nothing";
    if (S_ISLNK(info.st_mode))
        return "link to " + fs::read_symlink(percorso).string();
    if (S_ISDIR(info.st_mode))
        return "folder of " + std::to_string(voci(percorso));
    if (S_ISFIFO(info.st_mode))
        return "fifo";
    return "file " + LeggiFile(percorso) + " inode " + std::to_string(info.st_ino) + " time " +
           std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
}

class PlacementTest : public testing::TestWithParam<PlaceCase> {};

TEST_P(PlacementTest, NeverReplacesWhatStandsBesideTheEnvelope) {
    const auto& c = GetParam();
    ProgramFolder app;
    app.fakeTool(kFakeArgs + "printf '%s' '" + kContent + "' > \"$out\"\n");
    const auto p7m = app.dir().write("in/fattura.xml.p7m", kSomeDer);
    const fs::path accanto = app.dir().path() / "in/fattura.xml";
    const auto altro = app.dir().write("altro.xml", "other bytes");
    const auto uguale = app.dir().write("uguale.xml", kContent);
    const auto nessuno = app.dir().path() / "nowhere.xml";
    switch (c.beside) {
    case Beside::Nothing:
        break;
    case Beside::SameBytes:
        app.dir().write("in/fattura.xml", kContent);
        break;
    case Beside::OtherBytes:
        app.dir().write("in/fattura.xml", "old invoice");
        break;
    case Beside::Prefix:
        app.dir().write("in/fattura.xml", kContent.substr(0, 10));
        break;
    case Beside::LinkToOther:
        fs::create_symlink(altro, accanto);
        break;
    case Beside::LinkToSameBytes:
        fs::create_symlink(uguale, accanto);
        break;
    case Beside::DanglingLink:
        fs::create_symlink(nessuno, accanto);
        break;
    case Beside::Folder:
        fs::create_directories(accanto);
        break;
    case Beside::Fifo:
        ASSERT_EQ(::mkfifo(accanto.c_str(), 0600), 0);
        break;
    }
    if (c.olderCacheCopy) {
        fs::create_directories(fs::path(PercorsoXmlInCache(p7m)).parent_path());
        app.dir().write(PercorsoXmlInCache(p7m), "older copy");
    }
    const auto prima = stato(accanto);

    std::string xml;
    EXPECT_EQ(estrai(p7m, xml), "");
    EXPECT_EQ(xml, c.goes == Goes::Beside ? accanto.string() : PercorsoXmlInCache(p7m));
    EXPECT_EQ(LeggiFile(xml), kContent);
    if (c.beside != Beside::Nothing) {
        EXPECT_EQ(stato(accanto), prima) << "what stood beside the envelope changed";
    }
    EXPECT_EQ(LeggiFile(altro), "other bytes");
    EXPECT_EQ(LeggiFile(uguale), kContent);
    EXPECT_FALSE(fs::exists(fs::symlink_status(nessuno))) << "written through a link";
    EXPECT_EQ(voci(app.dir().path() / "in"), 2) << "a file left beside";
    if (c.goes == Goes::Beside) {
        EXPECT_TRUE(app.cacheEmpty());
    } else {
        EXPECT_TRUE(xml.starts_with(app.cache().string() + "/")) << xml;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, PlacementTest,
    testing::Values(PlaceCase{"nameFree", Beside::Nothing, Goes::Beside},
                    PlaceCase{"sameBytesKept", Beside::SameBytes, Goes::Beside},
                    PlaceCase{"otherBytes", Beside::OtherBytes, Goes::Cache},
                    PlaceCase{"aPrefixOfTheContent", Beside::Prefix, Goes::Cache},
                    PlaceCase{"linkToAnotherFile", Beside::LinkToOther, Goes::Cache},
                    PlaceCase{"linkToTheSameBytes", Beside::LinkToSameBytes, Goes::Cache},
                    PlaceCase{"danglingLink", Beside::DanglingLink, Goes::Cache},
                    PlaceCase{"folder", Beside::Folder, Goes::Cache},
                    PlaceCase{"fifo", Beside::Fifo, Goes::Cache},
                    PlaceCase{"olderCacheCopyReplaced", Beside::OtherBytes, Goes::Cache, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A folder that takes no new file sends the content to the cache. Envelopes under /proc stand
// for it: there even root cannot create files, where a read-only mode would not stop it.
struct FolderCase {
    const char* name;
    std::string envelope; // "{dir}": the test's folder
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name;
}

class UnwritableFolderTest : public testing::TestWithParam<FolderCase> {};

TEST_P(UnwritableFolderTest, PutsTheContentInTheCache) {
    TempDir dir;
    const ScopedEnv cache("XDG_CACHE_HOME", (dir.path() / "cache").string());
    const auto unFile = dir.write("unfile", "a file, not a folder");
    std::string p7m = GetParam().envelope;
    if (const auto pos = p7m.find("{dir}"); pos != std::string::npos)
        p7m.replace(pos, 5, dir.path().string());

    const auto xml = CollocaXmlEstratto(p7m, kContent);
    EXPECT_EQ(xml, PercorsoXmlInCache(p7m));
    EXPECT_TRUE(xml.starts_with((dir.path() / "cache").string() + "/")) << xml;
    EXPECT_EQ(LeggiFile(xml), kContent);
    EXPECT_EQ(LeggiFile(unFile), "a file, not a folder");
}

INSTANTIATE_TEST_SUITE_P(
    Folders, UnwritableFolderTest,
    testing::Values(FolderCase{"procFolder", "/proc/self/fattura.xml.p7m"},
                    FolderCase{"missingFolderUnderProc", "/proc/self/nuova/fattura.xml.p7m"},
                    FolderCase{"bareExtensionUnderProc", "/proc/self/.p7m"},
                    FolderCase{"aFileWhereTheFolderIs", "{dir}/unfile/fattura.xml.p7m"}),
    [](const auto& info) { return std::string(info.param.name); });

// When the cache cannot take the copy either, the error names the file and the reason, and
// nothing beside the envelope changes.
struct CacheFailCase {
    const char* name;
    bool cacheIsAFile;    // XDG_CACHE_HOME names a file
    bool linkAtTheCopy;   // a link stands where the cache copy goes
    std::string expected; // {copy}: the cache copy's path, {folder}: its folder
};

void PrintTo(const CacheFailCase& c, std::ostream* os) {
    *os << c.name;
}

class CacheFailureTest : public testing::TestWithParam<CacheFailCase> {};

TEST_P(CacheFailureTest, ReportsAndPlacesNothing) {
    const auto& c = GetParam();
    ProgramFolder app;
    app.fakeTool(kFakeArgs + "printf fresh > \"$out\"\n");
    const auto p7m = app.dir().write("in/fattura.xml.p7m", kSomeDer);
    app.dir().write("in/fattura.xml", "old invoice");
    const auto vittima = app.dir().write("vittima.txt", "originale");
    std::optional<ScopedEnv> cacheFile;
    if (c.cacheIsAFile)
        cacheFile.emplace("XDG_CACHE_HOME", app.dir().write("cachefile", "x"));
    const auto copia = PercorsoXmlInCache(p7m);
    if (c.linkAtTheCopy) {
        fs::create_directories(fs::path(copia).parent_path());
        fs::create_symlink(vittima, copia);
    }
    std::string atteso = c.expected;
    for (const auto& [segnaposto, valore] :
         {std::pair{std::string("{copy}"), copia},
          std::pair{std::string("{folder}"), fs::path(copia).parent_path().string()}})
        if (const auto pos = atteso.find(segnaposto); pos != std::string::npos)
            atteso.replace(pos, segnaposto.size(), valore);

    std::string xml;
    EXPECT_EQ(estrai(p7m, xml), atteso);
    EXPECT_EQ(LeggiFile(app.dir().path() / "in/fattura.xml"), "old invoice");
    EXPECT_EQ(voci(app.dir().path() / "in"), 2);
    EXPECT_EQ(LeggiFile(vittima), "originale");
}

INSTANTIATE_TEST_SUITE_P(
    Cache, CacheFailureTest,
    testing::Values(CacheFailCase{"cacheFolderIsAFile", true, false,
                                  "Impossibile creare la cartella {folder}: un elemento del "
                                  "percorso non è una cartella"},
                    CacheFailCase{"linkAtTheCacheCopy", false, true,
                                  "Impossibile scrivere {copy}: è un collegamento simbolico"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EstraiXmlDaP7m, RunsTheToolInItsOwnFolderOnAPrivateCopyOfTheBytesRead) {
    ProgramFolder app;
    app.fakeTool(kFakeArgs + "{ pwd -P; echo \"$in\"; cat \"$in\"; } > \"$out\"\n");
    const auto p7m = app.dir().write("sub/f.p7m", kSomeDer);

    const auto prima = fs::current_path();
    fs::current_path(app.dir().path());
    std::string xml;
    const auto messaggio = estrai("sub/f.p7m", xml);
    fs::current_path(prima);

    EXPECT_EQ(messaggio, "");
    EXPECT_EQ(xml, "sub/f");
    // The tool runs in its folder, on an absolute path that is not the user's file (which
    // could change between the reading and the tool's run) but holds the same bytes.
    std::istringstream righe(LeggiFile(app.dir().path() / "sub/f"));
    std::string cartella, ingresso, dati;
    std::getline(righe, cartella);
    std::getline(righe, ingresso);
    std::getline(righe, dati, '\0');
    EXPECT_EQ(cartella, fs::canonical(app.tool()).parent_path().string());
    EXPECT_TRUE(fs::path(ingresso).is_absolute()) << ingresso;
    EXPECT_NE(fs::weakly_canonical(ingresso), fs::canonical(p7m));
    EXPECT_EQ(dati, kSomeDer);
}

TEST(EstraiXmlDaP7m, RefusesToWriteOverAnEnvelopeWithoutExtension) {
    ProgramFolder app;
    app.linkRealTool();
    const auto p7m = app.dir().write("fattura", kSomeDer);
    std::string xml;
    EXPECT_EQ(estrai(p7m, xml), "Output non creato: " + p7m);
    EXPECT_EQ(LeggiFile(p7m), kSomeDer);
}

// ---------------------------------------------------------------------------------------------
// Envelopes signed here with the real tool, in every form met in practice.

enum class Form {
    Der,
    BerStream,
    SignerByKeyId,
    ContentTampered,
    SignatureTampered,
    Base64Line,
    Base64Lf64,
    Base64Lf63,
    Base64CrLf76,
    Base64Padded,
    Base64Twice,
    Base64Thrice,
    Base64EightTimes,
    Truncated,
    XmlText,
    Empty,
    Base64OfText,
    Base64WithStrayChar,
    // Forms met in the wild beyond plain DER and Base64.
    XmlWithBom,
    XmlAfterBlanks,
    PemCms,
    PemPkcs7,
    PemSignedData,
    PemCrLfWithBom,
    Base64WithBom,
    Base64TwiceWithBom,
    // Envelopes inside envelopes.
    NestedTwice,
    NestedThrice,
    NestedFourTimes,
    NestedBerInside,
    NestedBase64Inside,
    NestedPemInside,
    NestedInsideBase64,
    NestedThriceMixed,
    NestedInnerContentTampered,
};

// Where the content is read from afterwards.
enum class Where { Beside, Itself };

struct RealCase {
    const char* name;
    Form form;
    std::string payload;
    std::string expectedMessage;                      // "" for success; {p7m}: the envelope
    std::optional<std::string> output = std::nullopt; // when it is not the payload
    Where where = Where::Beside;
};

void PrintTo(const RealCase& c, std::ostream* os) {
    *os << c.name;
}

std::string base64Openssl(const TempDir& dir, const std::string& dati, bool unaRiga) {
    const auto in = dir.write("b64.in", dati);
    const auto out = (dir.path() / "b64.out").string();
    std::vector<std::string> argomenti = {ONDIVO_OPENSSL, "base64", "-in", in, "-out", out};
    if (unaRiga)
        argomenti.push_back("-A");
    EXPECT_TRUE(Esegui(argomenti));
    return LeggiFile(out);
}

std::string aCapo(std::string riga, std::size_t colonne, const std::string& fineRiga) {
    riga.erase(riga.find_last_not_of('\n') + 1);
    std::string out;
    for (std::size_t i = 0; i < riga.size(); i += colonne)
        out += riga.substr(i, colonne) + fineRiga;
    return out;
}

// The envelope in PEM as openssl writes it: "cms" under the label CMS, "pkcs7" under PKCS7.
std::string pemOpenssl(const TempDir& dir, const std::string& der, const std::string& comando) {
    const auto in = dir.write("pem.in", der);
    const auto out = (dir.path() / "pem.out").string();
    std::vector<std::string> argomenti = {ONDIVO_OPENSSL, comando};
    if (comando == "cms")
        argomenti.push_back("-cmsout");
    argomenti.insert(argomenti.end(),
                     {"-inform", "DER", "-outform", "PEM", "-in", in, "-out", out});
    EXPECT_TRUE(Esegui(argomenti));
    return LeggiFile(out);
}

std::string sostituisci(std::string testo, const std::string& da, const std::string& a) {
    for (auto pos = testo.find(da); pos != std::string::npos; pos = testo.find(da, pos + a.size()))
        testo.replace(pos, da.size(), a);
    return testo;
}

const std::string kBom = "\xEF\xBB\xBF";

std::string flipAt(std::string dati, std::size_t pos) {
    dati[pos] = static_cast<char>(dati[pos] ^ 0x01);
    return dati;
}

std::string costruisci(const TempDir& dir, Form form, const std::string& payload) {
    const auto& firmatario = Firmatario::get();
    const auto in = dir.write("payload", payload);
    const auto der = firmatario.firma(in);
    const auto b64 = [&](const std::string& d) { return base64Openssl(dir, d, true); };
    // An envelope whose content is the given bytes.
    const auto firma = [&](const std::string& contenuto,
                           const std::vector<std::string>& extra = {}) {
        return firmatario.firma(dir.write("inner", contenuto), extra);
    };
    switch (form) {
    case Form::Der:
        return der;
    case Form::BerStream:
        return firmatario.firma(in, {"-stream"});
    case Form::SignerByKeyId:
        return firmatario.firma(in, {"-keyid"});
    case Form::ContentTampered:
        return flipAt(der, der.find(payload.substr(0, 16)) + 10);
    case Form::SignatureTampered:
        return flipAt(der, der.size() - 5);
    case Form::Base64Line:
        return b64(der);
    case Form::Base64Lf64:
        return base64Openssl(dir, der, false);
    case Form::Base64Lf63:
        return aCapo(b64(der), 63, "\n");
    case Form::Base64CrLf76:
        return aCapo(b64(der), 76, "\r\n");
    case Form::Base64Padded:
        return "\r\n  \t" + aCapo(b64(der), 64, " \n") + "\n\n";
    case Form::Base64Twice:
        return b64(b64(der));
    case Form::Base64Thrice:
        return aCapo(b64(b64(b64(der))), 76, "\r\n");
    case Form::Base64EightTimes: {
        std::string t = der;
        for (int i = 0; i < 8; ++i)
            t = b64(t);
        return t;
    }
    case Form::Truncated:
        return der.substr(0, der.size() / 2);
    case Form::XmlText:
        return payload;
    case Form::Empty:
        return {};
    case Form::Base64OfText:
        return b64(payload);
    case Form::Base64WithStrayChar: {
        std::string t = b64(der);
        t[t.size() / 2] = '*';
        return t;
    }
    case Form::XmlWithBom:
        return kBom + payload;
    case Form::XmlAfterBlanks:
        return "\r\n \t\r\n" + payload;
    case Form::PemCms:
        return pemOpenssl(dir, der, "cms");
    case Form::PemPkcs7:
        return pemOpenssl(dir, der, "pkcs7");
    case Form::PemSignedData:
        return sostituisci(pemOpenssl(dir, der, "pkcs7"), "PKCS7", "PKCS #7 SIGNED DATA");
    case Form::PemCrLfWithBom:
        return kBom + sostituisci(pemOpenssl(dir, der, "cms"), "\n", "\r\n");
    case Form::Base64WithBom:
        return kBom + aCapo(b64(der), 76, "\r\n");
    case Form::Base64TwiceWithBom:
        return kBom + b64(b64(der));
    case Form::NestedTwice:
        return firma(der);
    case Form::NestedThrice:
        return firma(firma(der));
    case Form::NestedFourTimes:
        return firma(firma(firma(der)));
    case Form::NestedBerInside:
        return firma(firmatario.firma(in, {"-stream"}));
    case Form::NestedBase64Inside:
        return firma(aCapo(b64(der), 64, "\n"));
    case Form::NestedPemInside:
        return firma(pemOpenssl(dir, der, "pkcs7"));
    case Form::NestedInsideBase64:
        return b64(firma(der));
    case Form::NestedThriceMixed:
        return pemOpenssl(dir, firma(kBom + b64(firma(der))), "cms");
    case Form::NestedInnerContentTampered:
        return firma(flipAt(der, der.find(payload.substr(0, 16)) + 10));
    }
    return {};
}

const std::string kInvoice =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<p:FatturaElettronica versione=\"FPR12\" "
    "xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\">\r\n"
    "<Descrizione>Caff\xC3\xA8 \xE2\x82\xAC 1,00</Descrizione>\r\n</p:FatturaElettronica>\r\n";

// Several megabytes of every byte value: the content must come out untouched, line ends too.
std::string bigPayload() {
    std::string s;
    s.reserve(3'000'000);
    std::uint32_t x = 12345;
    while (s.size() < 3'000'000) {
        x = x * 1103515245u + 12345u;
        s += static_cast<char>(x >> 24);
    }
    return s;
}

class RealToolTest : public testing::TestWithParam<RealCase> {};

TEST_P(RealToolTest, WritesThePayloadNextToTheEnvelope) {
    const auto& c = GetParam();
    ProgramFolder app;
    app.linkRealTool();
    const auto p7m =
        app.dir().write("in/fattura.xml.p7m", costruisci(app.dir(), c.form, c.payload));
    const ScopedTmpDir tmp(app.dir().path() / "tmp");
    const auto accanto = (app.dir().path() / "in/fattura.xml").string();
    const bool riuscita = c.expectedMessage.empty();

    std::string xml;
    EXPECT_EQ(estrai(p7m, xml), conPercorsi(c.expectedMessage, p7m, accanto, app.tool()));
    EXPECT_EQ(xml, riuscita && c.where == Where::Itself ? p7m : accanto);
    if (riuscita) {
        EXPECT_TRUE(LeggiFile(xml) == c.output.value_or(c.payload)) << "the output differs";
    }
    const bool scritto = riuscita && c.where == Where::Beside;
    EXPECT_EQ(voci(app.dir().path() / "in"), scritto ? 2 : 1);
    EXPECT_TRUE(app.cacheEmpty());
    EXPECT_TRUE(tmp.empty()) << "a decoded envelope was left in the temporary folder";
}

const std::string kTamperedInvoice = [] {
    auto s = kInvoice;
    s[10] = static_cast<char>(s[10] ^ 0x01);
    return s;
}();

INSTANTIATE_TEST_SUITE_P(
    Forms, RealToolTest,
    testing::Values(
        RealCase{"der", Form::Der, kInvoice, ""},
        RealCase{"berIndefiniteLengths", Form::BerStream, kInvoice, ""},
        RealCase{"signerByKeyIdentifier", Form::SignerByKeyId, kInvoice, ""},
        // The tool ends with 4 but writes the content: accepted.
        RealCase{"contentNotMatchingItsDigest", Form::ContentTampered, kInvoice, "",
                 kTamperedInvoice},
        RealCase{"brokenSignature", Form::SignatureTampered, kInvoice, ""},
        RealCase{"base64OneLine", Form::Base64Line, kInvoice, ""},
        RealCase{"base64Wrapped64Lf", Form::Base64Lf64, kInvoice, ""},
        RealCase{"base64Wrapped63Lf", Form::Base64Lf63, kInvoice, ""},
        RealCase{"base64Wrapped76CrLf", Form::Base64CrLf76, kInvoice, ""},
        RealCase{"base64AmidBlanks", Form::Base64Padded, kInvoice, ""},
        RealCase{"base64Twice", Form::Base64Twice, kInvoice, ""},
        RealCase{"base64Thrice", Form::Base64Thrice, kInvoice, ""},
        RealCase{"bigBerPayload", Form::BerStream, bigPayload(), ""},
        RealCase{"bigBase64Payload", Form::Base64CrLf76, bigPayload(), ""},
        RealCase{"base64TooDeep", Form::Base64EightTimes, kInvoice, "OpenSSL errore (ExitCode=2)"},
        RealCase{"truncated", Form::Truncated, kInvoice, "OpenSSL errore (ExitCode=2)"},
        RealCase{"plainXml", Form::XmlText, kInvoice, "", std::nullopt, Where::Itself},
        RealCase{"plainXmlWithBom", Form::XmlWithBom, kInvoice, "", kBom + kInvoice, Where::Itself},
        RealCase{"plainXmlAfterBlanks", Form::XmlAfterBlanks, kInvoice, "",
                 "\r\n \t\r\n" + kInvoice, Where::Itself},
        RealCase{"emptyFile", Form::Empty, kInvoice, "OpenSSL errore (ExitCode=2)"},
        RealCase{"base64OfNoEnvelope", Form::Base64OfText, kInvoice, "OpenSSL errore (ExitCode=2)"},
        RealCase{"base64WithStrayCharacter", Form::Base64WithStrayChar, kInvoice,
                 "OpenSSL errore (ExitCode=2)"},
        RealCase{"pemCms", Form::PemCms, kInvoice, ""},
        RealCase{"pemPkcs7", Form::PemPkcs7, kInvoice, ""},
        RealCase{"pemSignedDataLabel", Form::PemSignedData, kInvoice, ""},
        RealCase{"pemCrLfAfterBom", Form::PemCrLfWithBom, kInvoice, ""},
        RealCase{"base64AfterBom", Form::Base64WithBom, kInvoice, ""},
        RealCase{"base64TwiceAfterBom", Form::Base64TwiceWithBom, kInvoice, ""},
        RealCase{"nestedTwice", Form::NestedTwice, kInvoice, ""},
        RealCase{"nestedThrice", Form::NestedThrice, kInvoice, ""},
        RealCase{"nestedFourTimes", Form::NestedFourTimes, kInvoice,
                 "Impossibile aprire {p7m}: contiene buste annidate oltre 3 livelli"},
        RealCase{"nestedBerInside", Form::NestedBerInside, kInvoice, ""},
        RealCase{"nestedBase64Inside", Form::NestedBase64Inside, kInvoice, ""},
        RealCase{"nestedPemInside", Form::NestedPemInside, kInvoice, ""},
        RealCase{"nestedInsideBase64", Form::NestedInsideBase64, kInvoice, ""},
        RealCase{"nestedThricePemBase64Der", Form::NestedThriceMixed, kInvoice, ""},
        // The inner tool run ends with 4 and writes the content: accepted at any depth.
        RealCase{"nestedInnerContentTampered", Form::NestedInnerContentTampered, kInvoice, "",
                 kTamperedInvoice},
        // Contents that only look like an envelope are shown as they are.
        RealCase{"payloadStartingWithZero", Form::Der, "0 non è una busta\n", ""},
        RealCase{"payloadDerOfAnotherType", Form::Der,
                 std::string("\x30\x0b\x06\x09\x2a\x86\x48\x86\xf7\x0d\x01\x07\x01", 13), ""},
        RealCase{"payloadBase64Text", Form::Der, "TWFu\r\n", ""},
        RealCase{"payloadPemCertificate", Form::Der,
                 "-----BEGIN CERTIFICATE-----\nTWFu\n-----END CERTIFICATE-----\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EstraiXmlDaP7m, Base64EnvelopeMessagesNameTheEnvelope) {
    ProgramFolder app;
    app.fakeTool("#!/bin/sh\nexit 0\n");
    const ScopedTmpDir tmp(app.dir().path() / "tmp");
    const auto p7m = app.dir().write("b.xml.p7m", "MAMCAQE=\r\n");
    std::string xml;
    EXPECT_EQ(estrai(p7m, xml), "Output non creato: " + (app.dir().path() / "b.xml").string());
    EXPECT_TRUE(tmp.empty());
}

TEST(EstraiXmlDaP7m, HandsTheToolTheDecodedBytes) {
    ProgramFolder app;
    app.fakeTool(kFakeArgs + "cp \"$in\" \"$out\"\n");
    const auto p7m = app.dir().write("b.xml.p7m", "TUFNQ0FRRT0=\n"); // Base64 of "MAMCAQE="
    std::string xml;
    EXPECT_EQ(estrai(p7m, xml), "");
    EXPECT_EQ(LeggiFile(xml), kSomeDer);
}

// ---------------------------------------------------------------------------------------------
// A ".p7m" that is plain XML opens as it is, with no tool at all.

struct PlainCase {
    const char* name;
    std::string content;
    std::string expectedMessage; // "" when the file itself is opened
};

void PrintTo(const PlainCase& c, std::ostream* os) {
    *os << c.name;
}

class PlainXmlTest : public testing::TestWithParam<PlainCase> {};

TEST_P(PlainXmlTest, OpensTheFileItselfWithoutTheTool) {
    const auto& c = GetParam();
    ProgramFolder app; // no tool
    const auto p7m = app.dir().write("in/fattura.xml.p7m", c.content);
    std::string xml;
    EXPECT_EQ(estrai(p7m, xml), conPercorsi(c.expectedMessage, p7m, "", app.tool()));
    EXPECT_EQ(xml, c.expectedMessage.empty() ? p7m : PercorsoXmlDaP7m(p7m));
    EXPECT_EQ(voci(app.dir().path() / "in"), 1);
    EXPECT_TRUE(app.cacheEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Starts, PlainXmlTest,
    testing::Values(PlainCase{"xmlDeclaration", "<?xml version=\"1.0\"?><a/>", ""},
                    PlainCase{"element", "<a/>", ""}, PlainCase{"bom", "\xEF\xBB\xBF<a/>", ""},
                    PlainCase{"blanks", " \t\r\n<a/>", ""},
                    PlainCase{"bomThenBlanks", "\xEF\xBB\xBF\r\n<a/>", ""},
                    PlainCase{"textFirst", "x<a/>", "OpenSSL non trovato: {tool}"},
                    PlainCase{"onlyBlanks", " \r\n", "OpenSSL non trovato: {tool}"},
                    PlainCase{"onlyBom", "\xEF\xBB\xBF", "OpenSSL non trovato: {tool}"},
                    PlainCase{"twoBoms", "\xEF\xBB\xBF\xEF\xBB\xBF<a/>",
                              "OpenSSL non trovato: {tool}"},
                    PlainCase{"utf16Bom", std::string("\xFF\xFE<\0a\0/\0>\0", 10),
                              "OpenSSL non trovato: {tool}"},
                    PlainCase{"der", kSomeDer, "OpenSSL non trovato: {tool}"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Names with nothing before the extension still give the XML a name of its own.

struct NameCase {
    const char* name;
    std::string envelope;
    std::string xml;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class EnvelopeNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(EnvelopeNameTest, WritesTheXmlBesideUnderItsName) {
    const auto& c = GetParam();
    ProgramFolder app;
    app.linkRealTool();
    const auto payload = app.dir().write("payload", kInvoice);
    const auto p7m = app.dir().write("in/" + c.envelope, Firmatario::get().firma(payload));
    std::string xml;
    EXPECT_EQ(estrai(p7m, xml), "");
    EXPECT_EQ(xml, (app.dir().path() / "in" / c.xml).string());
    EXPECT_EQ(LeggiFile(xml), kInvoice);
    EXPECT_EQ(voci(app.dir().path() / "in"), 2);
}

INSTANTIATE_TEST_SUITE_P(Names, EnvelopeNameTest,
                         testing::Values(NameCase{"bareExtension", ".p7m", ".p7m.xml"},
                                         NameCase{"bareExtensionCapitals", ".P7M", ".P7M.xml"},
                                         NameCase{"nameIsADot", "..p7m", "..p7m.xml"},
                                         NameCase{"hidden", ".fattura.xml.p7m", ".fattura.xml"},
                                         NameCase{"pdf", "Contratto.pdf.p7m", "Contratto.pdf"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Cancellation: the flag, set from another thread while the tool hangs, ends the tool and the
// call at once; nothing is placed and nothing is left running.

struct CancelCase {
    const char* name;
    std::string script; // after kFakeArgs; {ready}: the FIFO, {dir}: the test's folder
    bool setBeforeTheCall;
    bool inMemoria; // through ContenutoBusta, as an open unwraps the bytes it read
};

void PrintTo(const CancelCase& c, std::ostream* os) {
    *os << c.name;
}

// The tool hangs, after some output, in a child it waits for.
const std::string kHangs = "printf part > \"$out\"\nsleep 600 & echo $! > {ready}\nwait\n";

class CancelTest : public testing::TestWithParam<CancelCase> {};

// The tool's wait is the full one: a call that ends with EAnnullata did not wait for it.
TEST_P(CancelTest, RaisesEAnnullataAndPlacesNothing) {
    const auto& c = GetParam();
    ProgramFolder app;
    const ScopedTmpDir tmp(app.dir().path() / "tmp");
    CancelFromAnotherThread annulla(app.dir().path());
    std::string script = kFakeArgs + c.script;
    for (const auto& [segnaposto, valore] :
         {std::pair{std::string("{ready}"), (app.dir().path() / "ready").string()},
          std::pair{std::string("{dir}"), app.dir().path().string()}})
        script = sostituisci(script, segnaposto, valore);
    app.fakeTool(script);
    const auto p7m = app.dir().write("in/fattura.xml.p7m", kSomeDer);
    app.dir().write("in/fattura.xml", "old");
    if (c.setBeforeTheCall)
        annulla.flag.store(true);

    std::string messaggio = "no error";
    try {
        std::string xml;
        if (c.inMemoria)
            ContenutoBusta(LeggiFile(p7m), p7m, app.toolDir(), AttesaMassimaOpenSsl, &annulla.flag);
        else
            EstraiXmlDaP7m(p7m, xml, app.toolDir(), AttesaMassimaOpenSsl, &annulla.flag);
    } catch (const EAnnullata& e) {
        messaggio = e.what();
    } catch (const OndivoError& e) {
        messaggio = std::string("another error: ") + e.what();
    }
    const pid_t lasciato = annulla.release();

    EXPECT_EQ(messaggio, "Operazione annullata");
    if (lasciato > 0) {
        EXPECT_TRUE(ProcessEnded(lasciato)) << "the tool's child is still running";
    }
    EXPECT_EQ(LeggiFile(app.dir().path() / "in/fattura.xml"), "old");
    EXPECT_EQ(voci(app.dir().path() / "in"), 2);
    EXPECT_TRUE(app.cacheEmpty());
    EXPECT_TRUE(tmp.empty());
    EXPECT_FALSE(fs::exists(app.dir().path() / "started")) << "the tool ran";
}

INSTANTIATE_TEST_SUITE_P(
    Flags, CancelTest,
    testing::Values(
        CancelCase{"whileTheToolHangs", kHangs, false, false},
        CancelCase{"whileTheToolHangsInMemory", kHangs, false, true},
        // The first run gives an inner envelope; the second hangs.
        CancelCase{"whileTheInnerEnvelopeIsUnwrapped",
                   "case \"$in\" in *.p7m) printf "
                   "'\\060\\200\\006\\011\\052\\206\\110\\206\\367\\015\\001\\007\\002' > "
                   "\"$out\"; exit 0;; esac\n" +
                       kHangs,
                   false, false},
        CancelCase{"beforeTheCall", "touch {dir}/started\nprintf x > \"$out\"\n", true, false},
        CancelCase{"beforeTheCallInMemory", "touch {dir}/started\nprintf x > \"$out\"\n", true,
                   true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
