#include "stampapagina.h"

#include "errors.h"
#include "pdfcompleto.h"

#include <QBuffer>
#include <QEventLoop>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>
#include <QWebEnginePage>

#include <memory>

namespace ondivo {

namespace {

// More pages than any invoice prints: a range "1-" ends here.
constexpr int kPagineMassime = 100000;

// The page as the engine prints it to PDF, waited for: the engine answers asynchronously.
QByteArray paginaInPdf(QWebEnginePage& pagina, const QPageLayout& layout,
                       const QPageRanges& intervalli) {
    // Shared with the callback, which may come after this returns if the application quits
    // while waiting.
    struct Attesa {
        QEventLoop ciclo;
        QByteArray pdf;
        bool finita = false;
    };
    auto attesa = std::make_shared<Attesa>();
    pagina.printToPdf(
        [attesa](const QByteArray& pdf) {
            attesa->pdf = pdf;
            attesa->finita = true;
            attesa->ciclo.quit();
        },
        layout, intervalli);
    if (!attesa->finita)
        attesa->ciclo.exec();
    return attesa->pdf;
}

[[noreturn]] void rifiutata(const QPrinter& stampante) {
    // A PDF printer has no name: its file stands for it.
    const QString nome =
        stampante.printerName().isEmpty() ? stampante.outputFileName() : stampante.printerName();
    throw OndivoError("Stampa non riuscita: la stampante \"" + nome.toStdString() +
                      "\" ha rifiutato la pagina");
}

// The pages chosen in the print dialog, 1-based; empty for all.
std::vector<int> pagineScelte(const QPrinter& stampante) {
    std::vector<int> pagine;
    for (const QPageRanges::Range& r : stampante.pageRanges().toRangeList())
        for (int n = r.from; n <= r.to && n <= kPagineMassime; ++n)
            pagine.push_back(n);
    return pagine;
}

} // namespace

void StampaPagina(QWebEnginePage& pagina, QPrinter& stampante, const ScritturaPdf& scriviPdf) {
    const auto nonImpaginata = [] {
        throw OndivoError("Stampa non riuscita: la pagina non si è potuta impaginare");
    };
    // The whole page is printed and numbered as an exported PDF is; the pages chosen are then
    // put on paper with the numbers they have in the whole.
    const QByteArray stampato = paginaInPdf(pagina, stampante.pageLayout(), {});
    if (stampato.isEmpty())
        nonImpaginata();
    // The preview records what is drawn on a picture of its own, whatever the output format.
    const bool anteprima =
        stampante.paintEngine() && stampante.paintEngine()->type() == QPaintEngine::Picture;
    if (!anteprima && stampante.outputFormat() == QPrinter::PdfFormat &&
        !stampante.outputFileName().isEmpty()) {
        scriviPdf(std::string(stampato.constData(), static_cast<std::size_t>(stampato.size())),
                  stampante.outputFileName().toStdString(), pagineScelte(stampante));
        return;
    }
    QByteArray pdf;
    try {
        const std::string numerato = CompletaPdf(
            std::string(stampato.constData(), static_cast<std::size_t>(stampato.size())), {}, {});
        pdf = QByteArray(numerato.data(), static_cast<qsizetype>(numerato.size()));
    } catch (const OndivoError&) {
        nonImpaginata();
    }
    QBuffer dati(&pdf);
    dati.open(QIODevice::ReadOnly);
    QPdfDocument documento;
    documento.load(&dati);
    if (documento.status() != QPdfDocument::Status::Ready)
        nonImpaginata();

    // The PDF sheets carry the margins: each is drawn from the corner of the paper. The
    // painter's origin is the corner of the printable area unless the printer prints the full
    // page, so the sheet starts that far up and left of it. (Switching the printer to the full
    // page for the drawing instead would shift the preview, which places what was drawn at the
    // printable area's corner as the printer is set when it shows it.)
    QPainter pittore;
    if (!pittore.begin(&stampante))
        rifiutata(stampante);
    const QPoint angolo =
        stampante.fullPage()
            ? QPoint(0, 0)
            : -stampante.pageLayout().paintRectPixels(stampante.resolution()).topLeft();
    const qreal pixelPerPunto = stampante.resolution() / 72.0;
    const QSizeF carta = stampante.pageLayout().fullRectPixels(stampante.resolution()).size();
    const QPageRanges intervalli = stampante.pageRanges();
    bool prima = true;
    for (int i = 0; i < documento.pageCount(); ++i) {
        if (!intervalli.isEmpty() && !intervalli.contains(i + 1))
            continue;
        if (!prima && !stampante.newPage())
            rifiutata(stampante);
        prima = false;
        QSizeF misura = documento.pagePointSize(i) * pixelPerPunto;
        // A sheet larger than the paper (a page that sets its own size) is shrunk onto it.
        if (misura.width() > carta.width() + 1 || misura.height() > carta.height() + 1)
            misura.scale(carta, Qt::KeepAspectRatio);
        const QSize pixel = misura.toSize();
        pittore.drawImage(QRect(angolo, pixel), documento.render(i, pixel));
    }
    if (!pittore.end() || stampante.printerState() == QPrinter::Error)
        rifiutata(stampante);
}

} // namespace ondivo
