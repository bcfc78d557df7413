#include "tipoeseguibile.h"

#include <gtest/gtest.h>

#include <string>

namespace ondivo {
namespace {

struct CasoTipo {
    const char* nome; // of the row
    const char* file;
    bool eseguibile;
};

class TipoEseguibileTest : public testing::TestWithParam<CasoTipo> {};

// Judged by the last extension as the system judges it: letter case, a document's extension
// before the real one and the dots and blanks Windows drops at the end do not hide a program.
TEST_P(TipoEseguibileTest, JudgedAsTheSystemJudgesIt) {
    EXPECT_EQ(TipoEseguibile(GetParam().file), GetParam().eseguibile) << GetParam().file;
}

INSTANTIATE_TEST_SUITE_P(
    Nomi, TipoEseguibileTest,
    testing::Values(CasoTipo{"pdf", "fattura.pdf", false}, CasoTipo{"xml", "dettaglio.xml", false},
                    CasoTipo{"noExtension", "LEGGIMI", false}, CasoTipo{"dotOnly", "nome.", false},
                    CasoTipo{"empty", "", false}, CasoTipo{"exe", "setup.exe", true},
                    CasoTipo{"capitals", "SETUP.EXE", true},
                    CasoTipo{"doubleExtension", "fattura.pdf.exe", true},
                    CasoTipo{"trailingDotsAndBlanks", "fattura.pdf.exe . ", true},
                    CasoTipo{"exeInTheMiddle", "programma.exe.pdf", false},
                    CasoTipo{"script", "avvia.vbs", true}, CasoTipo{"shell", "avvia.sh", true},
                    CasoTipo{"shortcut", "collegamento.lnk", true},
                    CasoTipo{"macroWorkbook", "conti.xlsm", true},
                    CasoTipo{"plainWorkbook", "conti.xlsx", false},
                    CasoTipo{"macroDocument", "lettera.DocM", true},
                    CasoTipo{"diskImage", "fattura.iso", true},
                    CasoTipo{"javaArchive", "firma.jar", true},
                    CasoTipo{"htmlApplication", "pagina.hta", true},
                    CasoTipo{"zip", "documenti.zip", false}),
    [](const auto& info) { return std::string(info.param.nome); });

} // namespace
} // namespace ondivo
