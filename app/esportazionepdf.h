#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ondivo {

// One invoice to turn into PDF: the file opened, the PDF written.
using LavoroPdf = std::pair<std::string, std::string>;

// Makes the PDF of every invoice with one page engine and no window: the open command, the
// page as the window shows it, printed to A4, then completed (ScriviPdf). Needs a running
// QApplication. On standard error: "n/tot nome" for each file when it is a terminal, a line
// naming each failure and its reason, a summary at the end. Returns 0 when every PDF was
// written, 1 otherwise; a failed file leaves no PDF behind.
int EsportaPdfSenzaFinestra(const std::vector<LavoroPdf>& lavori);

// Drops Qt's and the engine's own notes (graphics, folders), so that standard error carries
// only the lines above. Call before the QApplication is made.
void TaciMessaggiQt();

} // namespace ondivo
