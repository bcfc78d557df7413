#pragma once

#include <functional>
#include <string>
#include <vector>

class QPrinter;
class QWebEnginePage;

namespace ondivo {

// Writes the engine's PDF of the page (`stampato`) to `file`, completed as an exported PDF is,
// keeping only `pagine` (1-based) when not empty.
using ScritturaPdf = std::function<void(const std::string& stampato, const std::string& file,
                                        const std::vector<int>& pagine)>;

// Prints the page on the printer, laid out on the printer's sheet and margins (the page's own
// @page margins give way to them), and returns once it is printed. Throws OndivoError naming
// the printer when it refuses the page.
// A printer that writes a PDF file (not a preview) gets the engine's own vector PDF, through
// `scriviPdf`: text stays text, as in an exported PDF.
//
// The engine lays the page out as a PDF, whose sheets are then drawn whole on the printer's
// paper. QWebEngineView::print is not used: Qt 6.4 stretches its sheet to the height of the
// printable area whatever the width, so with margins other than a sheet's own proportions the
// page runs into the right margin and off the paper.
void StampaPagina(QWebEnginePage& pagina, QPrinter& stampante, const ScritturaPdf& scriviPdf);

} // namespace ondivo
