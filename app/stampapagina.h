#pragma once

class QPrinter;
class QWebEnginePage;

namespace ondivo {

// Prints the page on the printer, laid out on the printer's sheet and margins (the page's own
// @page margins give way to them), and returns once it is printed. Throws OndivoError naming
// the printer when it refuses the page.
//
// The engine lays the page out as a PDF, whose sheets are then drawn whole on the printer's
// paper. QWebEngineView::print is not used: Qt 6.4 stretches its sheet to the height of the
// printable area whatever the width, so with margins other than a sheet's own proportions the
// page runs into the right margin and off the paper.
void StampaPagina(QWebEnginePage& pagina, QPrinter& stampante);

} // namespace ondivo
