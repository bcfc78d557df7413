#include "contenutopdf.h"
#include "files.h"
#include "tempdir.h"

#include <gtest/gtest.h>

namespace ondivo {
namespace {

// Header values as the open gives them: ANSI (Windows-1252), several joined by CR LF.
struct Intestazione {
    const char* nome;
    std::optional<std::string> tipo, numero, data, fornitore;
    std::string scelto;
    std::string titolo;
    std::string proposto;
};

DocumentoAperto documento(const Intestazione& c) {
    DocumentoAperto d;
    d.gestito = true;
    d.tipoDocumento = c.tipo;
    d.numero = c.numero;
    d.data = c.data;
    d.fornitore = c.fornitore;
    return d;
}

class TitoloENome : public ::testing::TestWithParam<Intestazione> {};

TEST_P(TitoloENome, FromTheHeader) {
    const auto& c = GetParam();
    test::TempDir cartella;
    const std::string xml = cartella.write("f.xml", "<a/>");
    DocumentoAperto d = documento(c);
    d.fileXml = xml;
    const ContenutoPdf contenuto = PreparaContenutoPdf(d, xml);
    EXPECT_EQ(contenuto.metadati.titolo, c.titolo);
    EXPECT_EQ(NomePdfProposto(d, c.scelto), c.proposto);
}

INSTANTIATE_TEST_SUITE_P(
    Pdf, TitoloENome,
    ::testing::Values(
        Intestazione{"ordinary", "TD01 fattura", "FT 2024/0093", "2024-04-02",
                     "Nordest Software S.r.l.", "/x/IT01.xml",
                     "Fattura n. FT 2024/0093 del 02/04/2024",
                     "2024-04-02 Nordest Software S.r.l. FT 2024-0093.pdf"},
        Intestazione{"lotTakesTheFirst", std::nullopt, "PA-2024/011\r\nPA-2024/012",
                     "2024-02-29\r\n2024-02-29", "Scaligera Servizi", "/x/lotto.xml",
                     "Documento n. PA-2024/011 del 29/02/2024",
                     "2024-02-29 Scaligera Servizi PA-2024-011.pdf"},
        Intestazione{"accentsAndRefusedCharacters", "TD06 parcella", "a:b*c?d\"e<f>g|h\\i",
                     "2024-06-20", "Caff\xE8 \xABSi\xBB", "/x/p.xml",
                     "Parcella n. a:b*c?d\"e<f>g|h\\i del 20/06/2024",
                     "2024-06-20 Caffè «Si» a-b-c-d-e-f-g-h-i.pdf"},
        Intestazione{"dotsAndBlanksAtTheEnds", "TD01 fattura", "...", std::nullopt, " . Ditta. ",
                     "/x/f.xml", "Fattura n. ...", "Ditta.pdf"},
        Intestazione{"dateNotIsoKept", "TD01", "1", "02/04/2024", std::nullopt, "/x/f.xml",
                     "Documento n. 1 del 02/04/2024", "02-04-2024 1.pdf"},
        Intestazione{"emptyHeaderUsesTheFileName", std::nullopt, std::nullopt, std::nullopt,
                     std::nullopt, "/x/IT01234_abc.xml", "Documento", "IT01234_abc.pdf"},
        Intestazione{"emptyHeaderOfAnEnvelope", std::nullopt, "", "", "", "/x/IT01_b.xml.p7m",
                     "Documento", "IT01_b.pdf"},
        Intestazione{"controlCharactersInValues", "TD01 fattura", "12\t/3", "2024-01-05",
                     "A\x01"
                     "B",
                     "/x/f.xml", "Fattura n. 12\t/3 del 05/01/2024", "2024-01-05 A-B 12--3.pdf"}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(ContenutoPdf, InvoiceEnvelopeAndAttachmentsDecoded) {
    test::TempDir cartella;
    const std::string xml = cartella.write("IT01_b.xml", "<FatturaElettronica/>");
    const std::string p7m = cartella.write("IT01_b.xml.p7m", std::string("\x30\x80\x00firma", 8));
    DocumentoAperto d;
    d.gestito = true;
    d.fileXml = xml;
    d.fornitore = "Ditta \xE8";
    d.tipoDocumento = "TD01 fattura";
    const std::pair<const char*, const char*> allegati[] = {
        {"contratto.pdf", "JVBERi0xLjQK"}, // "%PDF-1.4\n"
        {"../../etc/passwd", "YWJj"},      // a name that would leave the folder
        {"spezzato.txt", "YW\r\n Jj\n"},   // text broken into lines
        {"rotto.bin", "YWJjZ"},            // uneven: kept as text
        {"data.txt", "data:text/plain;base64,eHl6"},
    };
    for (const auto& [nome, base64] : allegati)
        d.allegati.push_back(std::make_unique<TAllegatoItem>(TAllegatoItem{nome, base64}));

    const ContenutoPdf c = PreparaContenutoPdf(d, p7m);
    EXPECT_EQ(c.metadati.autore, "Ditta è");
    EXPECT_EQ(c.metadati.soggetto, "TD01 fattura");
    std::vector<std::pair<std::string, std::string>> file;
    for (const auto& f : c.file)
        file.emplace_back(f.nome, f.dati);
    const std::vector<std::pair<std::string, std::string>> attesi{
        {"IT01_b.xml", "<FatturaElettronica/>"},
        {"IT01_b.xml.p7m", std::string("\x30\x80\x00firma", 8)},
        {"contratto.pdf", "%PDF-1.4\n"},
        {"passwd", "abc"},
        {"spezzato.txt", "abc"},
        {"rotto.bin.base64", "YWJjZ"},
        {"data.txt", "xyz"},
    };
    EXPECT_EQ(file, attesi);
}

TEST(ContenutoPdf, WrittenWholeOrNotAtAll) {
    test::TempDir cartella;
    const std::string esistente = cartella.write("vecchio.pdf", "vecchio");
    EXPECT_THROW(ScriviPdf("non è un PDF", {}, esistente), OndivoError);
    EXPECT_EQ(platform::LeggiFile(esistente), "vecchio");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(cartella.path()),
                            std::filesystem::directory_iterator{}),
              1);
    try {
        ScriviPdf("%PDF", {}, (cartella.path() / "manca" / "x.pdf").string());
        ADD_FAILURE();
    } catch (const OndivoError&) {
    }
}

// A PDF never takes the place of a file it was made from, by whatever name that file is given.
TEST(ContenutoPdf, NeverReplacesItsSources) {
    test::TempDir cartella;
    const std::string fattura = cartella.write("fattura.xml", "<fattura/>");
    const std::string busta = cartella.write("fattura.xml.p7m", "busta");
    std::filesystem::create_directory(cartella.path() / "sotto");
    std::vector<std::string> destinazioni = {
        fattura, busta, (cartella.path() / "sotto" / ".." / "fattura.xml").string()};
    // Links where the file system has them.
    std::error_code ec;
    std::filesystem::create_hard_link(fattura, cartella.path() / "legame.xml", ec);
    if (!ec)
        destinazioni.push_back((cartella.path() / "legame.xml").string());
    std::filesystem::create_symlink(busta, cartella.path() / "simbolico.p7m", ec);
    if (!ec)
        destinazioni.push_back((cartella.path() / "simbolico.p7m").string());
    ContenutoPdf contenuto;
    contenuto.origini = {busta, fattura};
    for (const std::string& destinazione : destinazioni) {
        EXPECT_THROW(ScriviPdf("%PDF-1.4", contenuto, destinazione), OndivoError) << destinazione;
    }
    EXPECT_EQ(platform::LeggiFile(fattura), "<fattura/>");
    EXPECT_EQ(platform::LeggiFile(busta), "busta");
}

} // namespace
} // namespace ondivo
