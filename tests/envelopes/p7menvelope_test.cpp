#include "envelopefixture.h"
#include "envelopepath.h"
#include "errors.h"
#include "p7menvelope.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
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
        EXPECT_TRUE(EstraiXmlDaP7m(p7m, xml, attesa));
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
// Exit codes 0 and 4 rest on the output's existence alone; an earlier file of that name counts.

struct OutcomeCase {
    const char* name;
    std::string script;
    bool staleOutput;
    std::string expectedMessage; // "" for success
    std::string expectedContent; // what is at the output path afterwards
};

void PrintTo(const OutcomeCase& c, std::ostream* os) {
    *os << c.name;
}

class OutcomeTest : public testing::TestWithParam<OutcomeCase> {};

TEST_P(OutcomeTest, LeavesTheOutputInPlace) {
    const auto& c = GetParam();
    ProgramFolder app;
    app.fakeTool(kFakeArgs + c.script);
    const auto p7m = app.dir().write("FATTURA.XML.P7M", kSomeDer);
    const auto xmlAtteso = (app.dir().path() / "FATTURA.XML").string();
    if (c.staleOutput)
        app.dir().write("FATTURA.XML", "stale");

    std::string xml;
    EXPECT_EQ(estrai(p7m, xml), c.expectedMessage);
    EXPECT_EQ(xml, xmlAtteso);
    EXPECT_EQ(LeggiFile(xmlAtteso), c.expectedContent);
}

INSTANTIATE_TEST_SUITE_P(
    ExitCodes, OutcomeTest,
    testing::Values(OutcomeCase{"writesAndExits0", "printf fresh > \"$out\"\n", false, "", "fresh"},
                    OutcomeCase{"writesAndExits4", "printf fresh > \"$out\"\nexit 4\n", false, "",
                                "fresh"},
                    OutcomeCase{"writesAndExits3", "printf fresh > \"$out\"\nexit 3\n", false,
                                "OpenSSL errore (ExitCode=3)", "fresh"},
                    OutcomeCase{"replacesStale", "printf fresh > \"$out\"\n", true, "", "fresh"},
                    OutcomeCase{"staleSatisfiesExit0", "exit 0\n", true, "", "stale"},
                    OutcomeCase{"staleSatisfiesExit4", "exit 4\n", true, "", "stale"},
                    OutcomeCase{"staleKeptOnFailure", "exit 2\n", true,
                                "OpenSSL errore (ExitCode=2)", "stale"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EstraiXmlDaP7m, RunsTheToolInItsOwnFolderWithAbsolutePaths) {
    ProgramFolder app;
    app.fakeTool(kFakeArgs + "{ pwd -P; echo \"$in\"; } > \"$out\"\n");
    const auto p7m = app.dir().write("sub/f.p7m", kSomeDer);

    const auto prima = fs::current_path();
    fs::current_path(app.dir().path());
    std::string xml;
    const auto messaggio = estrai("sub/f.p7m", xml);
    fs::current_path(prima);

    EXPECT_EQ(messaggio, "");
    EXPECT_EQ(xml, "sub/f");
    EXPECT_EQ(LeggiFile(app.dir().path() / "sub/f"),
              fs::canonical(app.tool()).parent_path().string() + "\n" +
                  (fs::canonical(app.dir().path()) / "sub/f.p7m").string() + "\n");
}

TEST(EstraiXmlDaP7m, NeverWritesThroughASymbolicLinkAtTheOutput) {
    ProgramFolder app;
    app.fakeTool(kFakeArgs + "printf contenuto > \"$out\"\n");
    const auto fuori = app.dir().write("fuori/segreto.txt", "originale");
    const auto p7m = app.dir().write("in/fattura.xml.p7m", kSomeDer);
    const auto xmlAtteso = (app.dir().path() / "in" / "fattura.xml").string();
    fs::create_symlink(fuori, xmlAtteso);

    std::string xml;
    EXPECT_EQ(estrai(p7m, xml),
              "Impossibile scrivere " + xmlAtteso + ": è un collegamento simbolico");
    EXPECT_EQ(LeggiFile(fuori), "originale");
    EXPECT_TRUE(fs::is_symlink(xmlAtteso));
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
};

struct RealCase {
    const char* name;
    Form form;
    std::string payload;
    std::string expectedMessage;                      // "" for success
    std::optional<std::string> output = std::nullopt; // when it is not the payload
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

std::string flipAt(std::string dati, std::size_t pos) {
    dati[pos] = static_cast<char>(dati[pos] ^ 0x01);
    return dati;
}

std::string costruisci(const TempDir& dir, Form form, const std::string& payload) {
    const auto& firmatario = Firmatario::get();
    const auto in = dir.write("payload", payload);
    const auto der = firmatario.firma(in);
    const auto b64 = [&](const std::string& d) { return base64Openssl(dir, d, true); };
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
    const auto xmlAtteso = (app.dir().path() / "in/fattura.xml").string();

    std::string xml;
    EXPECT_EQ(estrai(p7m, xml), c.expectedMessage);
    EXPECT_EQ(xml, xmlAtteso);
    if (c.expectedMessage.empty()) {
        EXPECT_TRUE(LeggiFile(xmlAtteso) == c.output.value_or(c.payload)) << "the output differs";
    } else {
        EXPECT_FALSE(fs::exists(xmlAtteso));
    }
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
        RealCase{"plainXml", Form::XmlText, kInvoice, "OpenSSL errore (ExitCode=2)"},
        RealCase{"emptyFile", Form::Empty, kInvoice, "OpenSSL errore (ExitCode=2)"},
        RealCase{"base64OfNoEnvelope", Form::Base64OfText, kInvoice, "OpenSSL errore (ExitCode=2)"},
        RealCase{"base64WithStrayCharacter", Form::Base64WithStrayChar, kInvoice,
                 "OpenSSL errore (ExitCode=2)"}),
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
// The open command's rule: which file gets read.

TEST(XmlPathToOpen, LeavesOtherFilesAlone) {
    ProgramFolder app; // no tool: nothing may be run
    for (const std::string nome : {"missing.xml", "fattura.p7m.xml", "fattura.p7mx", "p7m"})
        EXPECT_EQ(XmlPathToOpen(nome), nome);
}

TEST(XmlPathToOpen, UnwrapsEnvelopesInAnyCase) {
    ProgramFolder app;
    app.linkRealTool();
    const auto in = app.dir().write("payload", kInvoice);
    const auto p7m = app.dir().write("FATTURA.XML.P7M", Firmatario::get().firma(in));
    const auto xml = XmlPathToOpen(p7m);
    EXPECT_EQ(xml, (app.dir().path() / "FATTURA.XML").string());
    EXPECT_EQ(LeggiFile(xml), kInvoice);
}

TEST(XmlPathToOpen, PassesTheExtractionErrorOn) {
    ProgramFolder app;
    const auto p7m = (app.dir().path() / "x.P7m").string();
    try {
        XmlPathToOpen(p7m);
        ADD_FAILURE() << "no error";
    } catch (const OndivoError& e) {
        EXPECT_EQ(std::string(e.what()), "File non trovato: " + p7m);
    }
}

} // namespace
