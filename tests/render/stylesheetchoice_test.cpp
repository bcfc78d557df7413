#include "elementpath.h"
#include "fakesink.h"
#include "headerfields.h"
#include "lctv.h"
#include "stylesheetchoice.h"
#include "tempdir.h"
#include "text.h"

#include <gtest/gtest.h>

using namespace ondivo;
using ondivo::test::FakeSink;
using ondivo::test::TempDir;

namespace {

const std::string kPrecedente = "/precedente/foglio.xsl";

// Runs with a known program folder and puts the previous one back.
class ConAppDir : public testing::Test {
protected:
    void SetUp() override {
        m_salvata = AppDir();
        ImpostaAppDir("/opt/ondivo/");
    }
    void TearDown() override { ImpostaAppDir(m_salvata); }

private:
    std::string m_salvata;
};

// The format text as the open command builds it: the query's entries joined and trimmed.
struct ChoiceCase {
    const char* name;
    std::string formatElements; // the FormatoTrasmissione elements of the test invoice
    std::string expected;       // the stylesheet afterwards
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.name;
}

class ScegliFoglioStileTest : public ConAppDir, public testing::WithParamInterface<ChoiceCase> {};

TEST_P(ScegliFoglioStileTest, PicksTheStylesheetOfAKnownFormatOnly) {
    const auto& c = GetParam();
    TempDir dir;
    const std::string fattura = dir.write(
        "fattura.xml", "<p:FatturaElettronica xmlns:p=\"urn:x\"><FatturaElettronicaHeader>"
                       "<DatiTrasmissione>" +
                           c.formatElements +
                           "</DatiTrasmissione></FatturaElettronicaHeader></p:FatturaElettronica>");
    FakeSink avvisi;
    std::vector<std::string> lista;
    ASSERT_TRUE(LeggiValoriXml(fattura, PercorsoFormato, lista, avvisi));

    std::string fogliostile = kPrecedente;
    ScegliFoglioStile(UnisciValori(lista), fogliostile);
    EXPECT_EQ(fogliostile, c.expected);
    EXPECT_TRUE(avvisi.messaggi.empty());
}

const std::string kFPA = "/opt/ondivo/FODISTILE/Foglio_di_stile_fatturaPA_v1.2.3.xsl";
const std::string kFPR = "/opt/ondivo/FODISTILE/Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl";
const std::string kFSM = "/opt/ondivo/FODISTILE/Foglio_di_stile_VFSM10_v1.0.2.xsl";

INSTANTIATE_TEST_SUITE_P(
    Formats, ScegliFoglioStileTest,
    testing::Values(
        ChoiceCase{"fpa12", "<FormatoTrasmissione>FPA12</FormatoTrasmissione>", kFPA},
        ChoiceCase{"fpr12", "<FormatoTrasmissione>FPR12</FormatoTrasmissione>", kFPR},
        ChoiceCase{"fsm10", "<FormatoTrasmissione>FSM10</FormatoTrasmissione>", kFSM},
        ChoiceCase{"prefixedElement", "<p:FormatoTrasmissione>FSM10</p:FormatoTrasmissione>", kFSM},
        ChoiceCase{"blanksAndLineBreaksAround",
                   "<FormatoTrasmissione>\r\n\t FPA12 \n</FormatoTrasmissione>", kFPA},
        ChoiceCase{"lowerCase", "<FormatoTrasmissione>fpa12</FormatoTrasmissione>", kPrecedente},
        ChoiceCase{"oldFormat", "<FormatoTrasmissione>SDI11</FormatoTrasmissione>", kPrecedente},
        ChoiceCase{"longer", "<FormatoTrasmissione>FPA123</FormatoTrasmissione>", kPrecedente},
        ChoiceCase{"blankInside", "<FormatoTrasmissione>FPA 12</FormatoTrasmissione>", kPrecedente},
        ChoiceCase{"emptyElement", "<FormatoTrasmissione/>", kPrecedente},
        ChoiceCase{"twoAlike",
                   "<FormatoTrasmissione>FPA12</FormatoTrasmissione>"
                   "<FormatoTrasmissione>FPA12</FormatoTrasmissione>",
                   kPrecedente},
        ChoiceCase{"oneBesideAnEmptyOne",
                   "<FormatoTrasmissione>FPA12</FormatoTrasmissione><FormatoTrasmissione> "
                   "</FormatoTrasmissione><FormatoTrasmissione/>",
                   kFPA},
        ChoiceCase{"emptyOneFirst",
                   "<FormatoTrasmissione/><FormatoTrasmissione>FPR12</FormatoTrasmissione>", kFPR}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConAppDir, AnUnknownFormatKeepsTheStylesheetOfTheInvoiceBefore) {
    std::string fogliostile = FoglioStilePredefinito();
    ScegliFoglioStile("SDI11", fogliostile);
    EXPECT_EQ(fogliostile, kFPR); // the first invoice after start-up
    ScegliFoglioStile("FSM10", fogliostile);
    ScegliFoglioStile("fsm10", fogliostile);
    ScegliFoglioStile("", fogliostile);
    EXPECT_EQ(fogliostile, kFSM);
}

// The window keeps the stylesheet of the document shown before: after a receipt it is the
// messages' one, which shows no invoice.
TEST_F(ConAppDir, AnUnknownFormatAfterAReceiptGetsTheDefaultStylesheet) {
    std::string fogliostile = FoglioStileMessaggi();
    ScegliFoglioStile("SDI11", fogliostile);
    EXPECT_EQ(fogliostile, kFPR);
    fogliostile = FoglioStileMessaggi();
    ScegliFoglioStile("FSM10", fogliostile);
    EXPECT_EQ(fogliostile, kFSM);
}

} // namespace
