// The main window's PDF export.
#include "contenutopdf.h"
#include "errors.h"
#include "esploratore.h"
#include "htmlview.h"
#include "layoutstampa.h"
#include "text.h"
#include "tfondivo.h"

#include <QFileInfo>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>
#include <QThreadPool>
#include <QWebEnginePage>

namespace ondivo {

void TFONDIVO::esportaPdfClick() {
    if (!m_mostrato)
        return;
    const std::shared_ptr<const DocumentoAperto> documento = m_mostrato;
    const std::string scelto = m_sceltoMostrato;
    const std::string cartella = !m_cartellaPdf.empty() ? m_cartellaPdf : cartellaFatturaMostrata();
    const auto destinazione = m_prompts.ScegliFileDaSalvare(
        {cartella, "*.pdf", "documenti PDF (.pdf)|*.pdf", "Esporta PDF"},
        NomePdfProposto(*documento, scelto));
    if (!destinazione || Trim(*destinazione).empty())
        return;
    m_cartellaPdf = QFileInfo(QString::fromStdString(*destinazione)).absolutePath().toStdString();

    ++m_esportazioniInCorso;
    mostraOccupato();
    statusBar()->showMessage(QStringLiteral("Esportazione di %1 in corso…")
                                 .arg(QFileInfo(QString::fromStdString(*destinazione)).fileName()));
    // The engine prints on its own process; the bytes come back here, and the rest (reading the
    // invoice again, decoding attachments, writing) runs on the worker.
    QPointer<TFONDIVO> finestra(this);
    WebBrowser1->page()->printToPdf(
        [finestra, documento, scelto, destinazione = *destinazione](const QByteArray& stampato) {
            if (!finestra)
                return;
            if (stampato.isEmpty()) {
                finestra->fineEsportazionePdf(destinazione,
                                              "Il motore di stampa non ha prodotto il PDF.");
                return;
            }
            finestra->m_esportazioni->start([finestra, documento, scelto, destinazione, stampato] {
                std::string errore;
                try {
                    ScriviPdf(stampato.toStdString(), PreparaContenutoPdf(*documento, scelto),
                              destinazione);
                } catch (const std::exception& e) {
                    errore = e.what();
                    if (errore.empty())
                        errore = "Errore imprevisto.";
                }
                // The window waits for its worker before it goes, so it is still there.
                QMetaObject::invokeMethod(finestra.data(), [finestra, destinazione, errore] {
                    finestra->fineEsportazionePdf(destinazione, errore);
                });
            });
        },
        LayoutStampa());
}

void TFONDIVO::fineEsportazionePdf(const std::string& destinazione, const std::string& errore) {
    --m_esportazioniInCorso;
    mostraOccupato();
    statusBar()->clearMessage();
    if (!errore.empty()) {
        m_prompts.ShowError(MessaggioConFile("PDF non salvato: " + errore, destinazione));
        return;
    }
    statusBar()->showMessage(
        QStringLiteral("PDF salvato: %1").arg(QString::fromStdString(destinazione)), 10000);
}

} // namespace ondivo
