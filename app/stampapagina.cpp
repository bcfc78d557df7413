#include "stampapagina.h"

#include "errors.h"
#include "pdfcompleto.h"

#include <QBuffer>
#include <QEventLoop>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>
#include <QScopeGuard>
#include <QWebEnginePage>

#include <memory>

namespace ondivo {

namespace {

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

} // namespace

void StampaPagina(QWebEnginePage& pagina, QPrinter& stampante) {
    const auto nonImpaginata = [] {
        throw OndivoError("Stampa non riuscita: la pagina non si è potuta impaginare");
    };
    // The whole page is printed and numbered as an exported PDF is; the pages chosen are then
    // put on paper with the numbers they have in the whole.
    const QByteArray stampato = paginaInPdf(pagina, stampante.pageLayout(), {});
    if (stampato.isEmpty())
        nonImpaginata();
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

    // The PDF sheets carry the margins: each is drawn from the corner of the paper.
    const bool pienaPrima = stampante.fullPage();
    stampante.setFullPage(true);
    const auto ripristina = qScopeGuard([&] { stampante.setFullPage(pienaPrima); });
    QPainter pittore;
    if (!pittore.begin(&stampante))
        rifiutata(stampante);
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
        pittore.drawImage(QRect(QPoint(0, 0), pixel), documento.render(i, pixel));
    }
    if (!pittore.end() || stampante.printerState() == QPrinter::Error)
        rifiutata(stampante);
}

} // namespace ondivo
