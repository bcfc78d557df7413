#include "errors.h"
#include "pdfcompleto.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>

#include <map>
#include <random>

namespace ondivo {
namespace {

// A one-page PDF as a printing engine leaves it, with a title of its own and XMP metadata.
std::string pdfStampato() {
    const std::string oggetti[] = {
        "<< /Type /Catalog /Pages 2 0 R /Metadata 5 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.28 841.89] >>",
        "<< /Title (Pagina del motore) /Producer (motore) >>",
        "<< /Type /Metadata /Subtype /XML /Length 10 >>\nstream\n<x:xmpmeta>\nendstream",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> posizioni;
    for (std::size_t i = 0; i < std::size(oggetti); ++i) {
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
        l.file.emplace_back(voce->getFilename(),
                            std::string(reinterpret_cast<const char*>(dati->getBuffer()),
                                        dati->getSize()));
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
                 {{"Relazione Città € 2024.pdf", "x", "", ""}, {"(parentesi) [quadre].txt", "y", "", ""}},
                 {{"(parentesi) [quadre].txt", "y"}, {"Relazione Città € 2024.pdf", "x"}}},
        CasoFile{"sameNameNumbered",
                 {{"a.txt", "1", "", ""}, {"a.txt", "2", "", ""}, {"a.txt", "3", "", ""}},
                 {{"a (2).txt", "2"}, {"a (3).txt", "3"}, {"a.txt", "1"}}},
        CasoFile{"emptyAndLarge",
                 {{"vuoto.bin", "", "", ""}, {"grande.bin", kGrande, "application/octet-stream", ""}},
                 {{"grande.bin", kGrande}, {"vuoto.bin", ""}}}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(Metadati, SetAsGivenAndEngineCopyDropped) {
    const Letto l = leggi(CompletaPdf(
        pdfStampato(), {"Fattura n. 12/A del 02/04/2024", "Società Caffè «Sì» S.r.l.", "TD01 fattura"}, {}));
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

TEST(PdfIllegibile, RefusedWithItsMessage) {
    for (const std::string& rotto : {std::string(), std::string("non è un PDF"),
                                     pdfStampato().substr(0, 40)}) {
        try {
            CompletaPdf(rotto, {"T", "A", "S"}, {});
            ADD_FAILURE() << "accepted: " << rotto;
        } catch (const OndivoError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Impossibile preparare il PDF: ", 0), 0u) << e.what();
        }
    }
}

} // namespace
} // namespace ondivo
