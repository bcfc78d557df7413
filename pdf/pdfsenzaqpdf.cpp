#include "errors.h"
#include "pdfcompleto.h"

namespace ondivo {

std::string CompletaPdf(const std::string&, const MetadatiPdf&, const std::vector<FileIncorporato>&,
                        const std::vector<int>&) {
    throw OndivoError("Impossibile preparare il PDF: questa versione del programma è priva della "
                      "libreria PDF (qpdf)");
}

} // namespace ondivo
