#include "headerfields.h"
#include "lctv.h"
#include "tempdir.h"
#include "xmldocument.h"

#include <gtest/gtest.h>

using namespace ondivo;
using ondivo::test::TempDir;

namespace {

struct TipoCase {
    const char* name;
    std::string code;
    std::string expected;
};

void PrintTo(const TipoCase& c, std::ostream* os) {
    *os << c.name;
}

class DescrTipoDocTest : public testing::TestWithParam<TipoCase> {};

TEST_P(DescrTipoDocTest, LooksUpExactCodes) {
    EXPECT_EQ(DescrTipoDoc(GetParam().code), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, DescrTipoDocTest,
    testing::Values(TipoCase{"first", "TD01", "TD01 fattura"},
                    TipoCase{"creditNote", "TD04", "TD04 nota di credito"},
                    TipoCase{"last", "TD29",
                             "TD29 comunicazione per omessa o irregolare fatturazione (art. 6 c. "
                             "8 D.Lgs. 471/97)"},
                    // Regularisation under c. 9-bis only: c. 8 is TD29's since 2023.
                    TipoCase{"selfInvoiceRegularisation", "TD20",
                             "TD20 autofattura per regolarizzazione e integrazione delle fatture "
                             "(ex art. 6 c. 9-bis D.Lgs. 471/97 o art. 46 c. 5 D.L. 331/93)"},
                    TipoCase{"gapInTable", "TD10", ""}, TipoCase{"smallLetters", "td01", ""},
                    TipoCase{"notTrimmed", " TD01", ""}, TipoCase{"empty", "", ""},
                    TipoCase{"twoCodesJoined", "TD01\r\nTD01", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The four header fields of one file: what each label would show, or nothing.
struct HeaderCase {
    const char* name;
    std::string body;
    std::optional<std::string> fornitore, tipo, data, numero;
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << c.name;
}

class HeaderTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTest, GivesWhatTheLabelsShow) {
    const auto& c = GetParam();
    TempDir dir;
    const XmlDocPtr fattura =
        CaricaXml(dir.write("f.xml", "<p:F xmlns:p=\"urn:p\">" + c.body + "</p:F>"));
    EXPECT_EQ(LeggiCampoIntestazione(fattura.get(), CampoFornitore), c.fornitore);
    EXPECT_EQ(LeggiCampoIntestazione(fattura.get(), CampoTipoDoc), c.tipo);
    EXPECT_EQ(LeggiCampoIntestazione(fattura.get(), CampoData), c.data);
    EXPECT_EQ(LeggiCampoIntestazione(fattura.get(), CampoNumero), c.numero);
}

const std::string kSupplier = "<CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>"
                              " Rossi  S.r.l. </Denominazione></Anagrafica></DatiAnagrafici>"
                              "</CedentePrestatore>";

std::string documento(const std::string& tipo, const std::string& data, const std::string& num) {
    return "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>" + tipo +
           "</TipoDocumento><Data>" + data + "</Data><Numero>" + num +
           "</Numero></DatiGeneraliDocumento></DatiGenerali></FatturaElettronicaBody>";
}

INSTANTIATE_TEST_SUITE_P(
    Files, HeaderTest,
    testing::Values(
        HeaderCase{"oneDocument", kSupplier + documento("TD01", "2024-01-31", "12/A"),
                   "Rossi  S.r.l.", "TD01 fattura", "2024-01-31", "12/A"},
        HeaderCase{"codeWithBlanksAround", documento("\n  TD04\n ", "31.01.24", " 7 "),
                   std::nullopt, "TD04 nota di credito", "31.01.24", "7"},
        HeaderCase{"unknownCode", documento("TD10", "x", "1"), std::nullopt, "", "x", "1"},
        HeaderCase{"lowerCaseCode", documento("td01", "x", "1"), std::nullopt, "", "x", "1"},
        HeaderCase{"twoDocuments",
                   documento("TD01", "2024-01-01", "1") + documento("TD01", "2024-02-01", "2"),
                   std::nullopt, "", "2024-01-01\r\n2024-02-01", "1\r\n2"},
        HeaderCase{"emptyElementsAreFound", documento("", "", ""), std::nullopt, "", "", ""},
        HeaderCase{"supplierIsAPerson",
                   "<CedentePrestatore><DatiAnagrafici><Anagrafica><Titolo>Dott.</Titolo><Nome>Anna"
                   "</Nome><Cognome> Bianchi </Cognome></Anagrafica></DatiAnagrafici>"
                   "</CedentePrestatore><CessionarioCommittente><DatiAnagrafici><Anagrafica>"
                   "<Denominazione>Cliente</Denominazione></Anagrafica></DatiAnagrafici>"
                   "</CessionarioCommittente>",
                   "Anna Bianchi", std::nullopt, std::nullopt, std::nullopt},
        HeaderCase{"simplifiedInvoiceSupplier",
                   "<CedentePrestatore><IdFiscaleIVA/><Denominazione>Bar Sport</Denominazione>"
                   "</CedentePrestatore>",
                   "Bar Sport", std::nullopt, std::nullopt, std::nullopt},
        HeaderCase{"simplifiedInvoicePerson",
                   "<p:CedentePrestatore><p:Cognome>Verdi</p:Cognome><p:Nome>Luca</p:Nome>"
                   "</p:CedentePrestatore>",
                   "Luca Verdi", std::nullopt, std::nullopt, std::nullopt},
        HeaderCase{"supplierWithoutAnyName",
                   "<CedentePrestatore><Sede><Comune>Roma</Comune></Sede></CedentePrestatore>"
                   "<Denominazione>not a supplier</Denominazione>",
                   std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        HeaderCase{"supplierAccentsToAnsi",
                   "<CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>Caff\xC3\xA8 "
                   "\xE2\x82\xAC</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore>",
                   "Caff\xE8 \x80", std::nullopt, std::nullopt, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct FolderCase {
    const char* name;
    std::string exe;
    std::string expected;
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name;
}

class CartellaProgrammaTest : public testing::TestWithParam<FolderCase> {};

TEST_P(CartellaProgrammaTest, KeepsTheFolderWithOneDelimiter) {
    EXPECT_EQ(CartellaProgramma(GetParam().exe), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Paths, CartellaProgrammaTest,
                         testing::Values(FolderCase{"usual", "/opt/ondivo/ondivo", "/opt/ondivo/"},
                                         FolderCase{"root", "/ondivo", "/"},
                                         FolderCase{"noFolder", "ondivo", ""},
                                         FolderCase{"empty", "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
