#include "errors.h"
#include "pdfcompleto.h"

#include <gtest/gtest.h>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <map>
#include <random>

namespace ondivo {
namespace {

// The map to Unicode of an engine's subset font: glyph codes of its own for the characters of
// "pagina n di m", a range for the digits.
const std::string kMappaCompleta =
    "8 beginbfchar\n<0003> <0020>\n<0044> <0061>\n<0047> <0064>\n<004A> <0067>\n"
    "<004C> <0069>\n<0051> <006E>\n<0053> <0070>\n<0060> <00B7>\nendbfchar\n"
    "1 beginbfrange\n<0010> <0019> <0030>\nendbfrange\n";

std::string flusso(const std::string& dizionario, const std::string& dati) {
    return "<< " + dizionario + " /Length " + std::to_string(dati.size()) + " >>\nstream\n" + dati +
           "\nendstream";
}

// A PDF as a printing engine leaves it, with a title of its own and XMP metadata, of `pagine`
// A4 pages: the first draws and leaves its fill colour set, the others are empty. The fonts are
// inherited from the page tree, as engines write them: a composite font named `nome` whose map
// to Unicode is `mappa`.
std::string pdfStampato(int pagine = 1, const std::string& mappa = kMappaCompleta,
                        const std::string& nome = "AAAAAA+LiberationSans") {
    std::string figli;
    for (int i = 0; i < pagine; ++i)
        figli += std::to_string(9 + i) + " 0 R ";
    std::vector<std::string> oggetti = {
        "<< /Type /Catalog /Pages 2 0 R /Metadata 5 0 R >>",
        "<< /Type /Pages /Kids [" + figli + "] /Count " + std::to_string(pagine) +
            " /Resources << /Font << /F5 6 0 R >> >> >>",
        flusso("", "0.9 g 0 0 100 100 re f"),
        "<< /Title (Pagina del motore) /Producer (motore) >>",
        flusso("/Type /Metadata /Subtype /XML", "<x:xmpmeta>"),
        "<< /Type /Font /Subtype /Type0 /BaseFont /" + nome +
            " /Encoding /Identity-H /DescendantFonts [7 0 R] /ToUnicode 8 0 R >>",
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + nome +
            " /CIDToGIDMap /Identity /DW 0 /W [3 [278] 16 25 556 68 [556] 71 [556] 74 [556] "
            "76 [222] 81 [556] 83 [556]] >>",
        flusso("", "/CIDInit /ProcSet findresource begin\nbegincmap\n" + mappa + "endcmap\n"),
    };
    for (int i = 0; i < pagine; ++i)
        oggetti.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.28 841.89]" +
                          std::string(i == 0 ? " /Contents 3 0 R" : "") + " >>");
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> posizioni;
    for (std::size_t i = 0; i < oggetti.size(); ++i) {
        posizioni.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + oggetti[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(posizioni.size() + 1) + "\n0000000000 65535 f \n";
    for (const auto p : posizioni) {
        char riga[32];
        std::snprintf(riga, sizeof riga, "%010zu 00000 n \n", p);
        pdf += riga;
    }
    pdf += "trailer\n<< /Size " + std::to_string(posizioni.size() + 1) +
           " /Root 1 0 R /Info 4 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

struct Letto {
    std::map<std::string, std::string> info;
    std::vector<std::pair<std::string, std::string>> file; // name, bytes, in name order
    bool xmp = false;
    int pagine = 0;
};

Letto leggi(const std::string& byte) {
    QPDF pdf;
    pdf.processMemoryFile("test", byte.data(), byte.size());
    Letto l;
    for (const char* chiave : {"/Title", "/Author", "/Subject", "/Producer"}) {
        auto v = pdf.getTrailer().getKey("/Info").getKey(chiave);
        if (v.isString())
            l.info[chiave] = v.getUTF8Value();
    }
    for (const auto& [nome, voce] : QPDFEmbeddedFileDocumentHelper(pdf).getEmbeddedFiles()) {
        const auto dati = voce->getEmbeddedFileStream().getStreamData(qpdf_dl_all);
        l.file.emplace_back(
            voce->getFilename(),
            std::string(reinterpret_cast<const char*>(dati->getBuffer()), dati->getSize()));
    }
    l.xmp = pdf.getRoot().hasKey("/Metadata");
    l.pagine = static_cast<int>(pdf.getAllPages().size());
    return l;
}

std::string tuttiIByte() {
    std::string s;
    for (int r = 0; r < 3; ++r)
        for (int b = 0; b < 256; ++b)
            s += static_cast<char>(b);
    return s;
}

std::string casuali(std::size_t quanti) {
    std::mt19937 g(7);
    std::string s(quanti, '\0');
    for (auto& c : s)
        c = static_cast<char>(g());
    return s;
}

struct CasoFile {
    const char* nome;
    std::vector<FileIncorporato> dati;
    std::vector<std::pair<std::string, std::string>> attesi; // sorted by name
};

class FileIncorporati : public ::testing::TestWithParam<CasoFile> {};

TEST_P(FileIncorporati, EveryFileWithItsNameAndBytes) {
    const auto& caso = GetParam();
    const Letto l = leggi(CompletaPdf(pdfStampato(), {"T", "A", "S"}, caso.dati));
    EXPECT_EQ(l.file, caso.attesi);
    EXPECT_EQ(l.pagine, 1);
}

const std::string kBinario = tuttiIByte();
const std::string kGrande = casuali(3u << 20);

INSTANTIATE_TEST_SUITE_P(
    Pdf, FileIncorporati,
    ::testing::Values(
        CasoFile{"none", {}, {}},
        CasoFile{"xmlAndAttachments",
                 {{"fattura.xml", "<a>è</a>", "application/xml", "La fattura"},
                  {"contratto.pdf", kBinario, "", ""}},
                 {{"contratto.pdf", kBinario}, {"fattura.xml", "<a>è</a>"}}},
        CasoFile{"accentedAndSpacedNames",
                 {{"Relazione Città € 2024.pdf", "x", "", ""},
                  {"(parentesi) [quadre].txt", "y", "", ""}},
                 {{"(parentesi) [quadre].txt", "y"}, {"Relazione Città € 2024.pdf", "x"}}},
        CasoFile{"sameNameNumbered",
                 {{"a.txt", "1", "", ""}, {"a.txt", "2", "", ""}, {"a.txt", "3", "", ""}},
                 {{"a (2).txt", "2"}, {"a (3).txt", "3"}, {"a.txt", "1"}}},
        CasoFile{
            "emptyAndLarge",
            {{"vuoto.bin", "", "", ""}, {"grande.bin", kGrande, "application/octet-stream", ""}},
            {{"grande.bin", kGrande}, {"vuoto.bin", ""}}}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(Metadati, SetAsGivenAndEngineCopyDropped) {
    const Letto l = leggi(CompletaPdf(
        pdfStampato(),
        {"Fattura n. 12/A del 02/04/2024", "Società Caffè «Sì» S.r.l.", "TD01 fattura"}, {}));
    EXPECT_EQ(l.info.at("/Title"), "Fattura n. 12/A del 02/04/2024");
    EXPECT_EQ(l.info.at("/Author"), "Società Caffè «Sì» S.r.l.");
    EXPECT_EQ(l.info.at("/Subject"), "TD01 fattura");
    EXPECT_EQ(l.info.at("/Producer"), "motore");
    EXPECT_FALSE(l.xmp);
}

TEST(Metadati, EmptyValuesLeaveNoKey) {
    const Letto l = leggi(CompletaPdf(pdfStampato(), {"", "", ""}, {}));
    EXPECT_FALSE(l.info.count("/Title"));
    EXPECT_FALSE(l.info.count("/Author"));
    EXPECT_FALSE(l.info.count("/Subject"));
}

TEST(Metadati, SameInputSameBytes) {
    const std::vector<FileIncorporato> file{{"a.xml", "<a/>", "", ""}};
    EXPECT_EQ(CompletaPdf(pdfStampato(), {"T", "A", "S"}, file),
              CompletaPdf(pdfStampato(), {"T", "A", "S"}, file));
}

// The content each page of a finished PDF draws, its streams joined.
std::vector<std::string> contenuti(const std::string& byte) {
    QPDF pdf;
    pdf.processMemoryFile("test", byte.data(), byte.size());
    std::vector<std::string> pagine;
    for (auto& pagina : QPDFPageDocumentHelper(pdf).getAllPages()) {
        Pl_Buffer buffer("contenuto");
        pagina.pipeContents(&buffer);
        const auto dati = buffer.getBufferSharedPointer();
        pagine.emplace_back(reinterpret_cast<const char*>(dati->getBuffer()), dati->getSize());
    }
    return pagine;
}

// The codes of "pagina n di m" in the test font, and its width at 7.5 points.
std::pair<std::string, double> codiciNumero(int n, int di) {
    const std::map<char, std::pair<std::string, double>> glifi = {
        {' ', {"0003", 278}}, {'a', {"0044", 556}}, {'d', {"0047", 556}}, {'g', {"004A", 556}},
        {'i', {"004C", 222}}, {'n', {"0051", 556}}, {'p', {"0053", 556}}};
    std::string codici;
    double larghezza = 0;
    for (const char c : "pagina " + std::to_string(n) + " di " + std::to_string(di)) {
        if (c >= '0' && c <= '9') {
            char esa[8];
            std::snprintf(esa, sizeof esa, "%04X", 0x10 + (c - '0'));
            codici += esa;
            larghezza += 556;
        } else {
            codici += glifi.at(c).first;
            larghezza += glifi.at(c).second;
        }
    }
    return {codici, larghezza * 7.5 / 1000};
}

// Every page gets "pagina n di m" at its foot, in the PDF's own embedded font, right-aligned
// 12 mm from the edge, after its own content, which is kept whole inside a saved graphics state.
TEST(NumeriPagina, EveryPageNumberedOfTheWholeInTheDocumentsFont) {
    for (const int pagine : {1, 3, 12}) {
        const auto pagina = contenuti(CompletaPdf(pdfStampato(pagine), {"T", "A", "S"}, {}));
        ASSERT_EQ(static_cast<int>(pagina.size()), pagine);
        for (int i = 0; i < pagine; ++i) {
            const std::string& c = pagina[static_cast<std::size_t>(i)];
            const auto [codici, larghezza] = codiciNumero(i + 1, pagine);
            char atteso[256];
            std::snprintf(atteso, sizeof atteso,
                          "BT /OndivoNumeroPagina 7.5 Tf 0.333 g %.2f 16.00 Td <%s> Tj ET",
                          595.28 - 12 / 25.4 * 72 - larghezza, codici.c_str());
            const auto scritto = c.find(atteso);
            ASSERT_NE(scritto, std::string::npos) << atteso << "\n" << c;
            EXPECT_EQ(c.rfind("q", 0), 0u) << c;
            EXPECT_LT(c.find("Q"), scritto) << c;
            if (i == 0) {
                EXPECT_LT(c.find("0.9 g"), c.find("Q")) << c;
            }
        }
    }
}

// Without every character of the numbers in an embedded font of the composite kind, the pages
// stay as printed: nothing is written in a font the file does not carry.
TEST(NumeriPagina, NoneWhenTheFontsLackACharacter) {
    const std::string senzaTre =
        "8 beginbfchar\n<0003> <0020>\n<0044> <0061>\n<0047> <0064>\n<004A> <0067>\n"
        "<004C> <0069>\n<0051> <006E>\n<0053> <0070>\n<0060> <00B7>\nendbfchar\n"
        "1 beginbfrange\n<0010> <0012> <0030>\nendbfrange\n";
    const struct {
        const char* nome;
        int pagine;
        std::string mappa;
        bool numerate;
    } casi[] = {
        {"twoPagesWithoutAThree", 2, senzaTre, true},
        {"threePagesWithoutAThree", 3, senzaTre, false},
        {"emptyMap", 1, "", false},
        {"notHexadecimal", 1, "1 beginbfchar\n<zz> <0070>\nendbfchar\n", false},
    };
    for (const auto& caso : casi) {
        const auto pagina =
            contenuti(CompletaPdf(pdfStampato(caso.pagine, caso.mappa), {"T", "A", "S"}, {}));
        ASSERT_EQ(static_cast<int>(pagina.size()), caso.pagine) << caso.nome;
        for (const auto& c : pagina)
            EXPECT_EQ(c.find("OndivoNumeroPagina") != std::string::npos, caso.numerate)
                << caso.nome << ": " << c;
    }
    // A bold face alone still serves.
    const auto grassetto = contenuti(CompletaPdf(
        pdfStampato(1, kMappaCompleta, "BAAAAA+LiberationSans-Bold"), {"T", "A", "S"}, {}));
    EXPECT_NE(grassetto.at(0).find("OndivoNumeroPagina"), std::string::npos);
}

// The pages chosen are kept in order, each with the number it has in the whole; pages that do
// not exist are ignored, and a choice of none that exists is refused.
TEST(PagineScelte, KeptWithTheirNumberInTheWhole) {
    const struct {
        const char* nome;
        std::vector<int> pagine;
        std::vector<int> tenute; // their numbers in the whole; empty when refused
    } casi[] = {
        {"all", {}, {1, 2, 3, 4}},  {"secondAndThird", {2, 3}, {2, 3}},
        {"lastOnly", {4}, {4}},     {"pastTheEndIgnored", {3, 4, 5, 6}, {3, 4}},
        {"noneExists", {5, 9}, {}}, {"zeroAndNegative", {0, -1}, {}},
    };
    for (const auto& caso : casi) {
        if (caso.tenute.empty()) {
            try {
                CompletaPdf(pdfStampato(4), {"T", "A", "S"}, {}, caso.pagine);
                ADD_FAILURE() << caso.nome << ": accepted";
            } catch (const OndivoError& e) {
                EXPECT_EQ(std::string(e.what()),
                          "Impossibile preparare il PDF: nessuna delle pagine scelte esiste (il "
                          "documento ne ha 4)")
                    << caso.nome;
            }
            continue;
        }
        const auto pagina =
            contenuti(CompletaPdf(pdfStampato(4), {"T", "A", "S"}, {}, caso.pagine));
        ASSERT_EQ(pagina.size(), caso.tenute.size()) << caso.nome;
        for (std::size_t i = 0; i < pagina.size(); ++i)
            EXPECT_NE(pagina[i].find("<" + codiciNumero(caso.tenute[i], 4).first + ">"),
                      std::string::npos)
                << caso.nome << " page " << i;
    }
}

TEST(PdfIllegibile, RefusedWithItsMessage) {
    for (const std::string& rotto :
         {std::string(), std::string("non è un PDF"), pdfStampato().substr(0, 40)}) {
        try {
            CompletaPdf(rotto, {"T", "A", "S"}, {});
            ADD_FAILURE() << "accepted: " << rotto;
        } catch (const OndivoError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Impossibile preparare il PDF: ", 0), 0u)
                << e.what();
        }
    }
}

} // namespace
} // namespace ondivo
