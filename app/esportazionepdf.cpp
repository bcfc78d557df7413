#include "esportazionepdf.h"

#include "contenutopdf.h"
#include "documentoaperto.h"
#include "errors.h"
#include "executablepath.h"
#include "htmlview.h"
#include "lctv.h"
#include "layoutstampa.h"
#include "messages.h"
#include "stylesheetchoice.h"
#include "terminal.h"
#include "text.h"

#include <QEventLoop>
#include <QWebEnginePage>

#include <iostream>

namespace ondivo {

namespace {

// Shows the page and waits until the engine has it: false when the load failed.
bool carica(HtmlView& vista, const std::string& pagina) {
    QEventLoop attesa;
    bool riuscito = false;
    const auto collegamento =
        QObject::connect(&vista, &QWebEngineView::loadFinished, &attesa, [&](bool ok) {
            // A load overtaken by the page asked for later is not the one awaited.
            if (vista.page()->requestedUrl() != vista.ultimaRichiesta())
                return;
            riuscito = ok;
            attesa.quit();
        });
    vista.mostraHtml(QByteArray::fromStdString(pagina));
    attesa.exec();
    QObject::disconnect(collegamento);
    return riuscito;
}

QByteArray stampa(QWebEnginePage& pagina) {
    QEventLoop attesa;
    QByteArray pdf;
    pagina.printToPdf(
        [&](const QByteArray& byte) {
            pdf = byte;
            attesa.quit();
        },
        LayoutStampa());
    attesa.exec();
    return pdf;
}

// A message on one line, to stand after the file's name.
std::string suUnaRiga(const std::string& testo) {
    std::string riga;
    for (const char c : Trim(testo))
        riga += (c == '\n' || c == '\r') ? ' ' : c;
    return riga;
}

void esporta(HtmlView& vista, const LavoroPdf& lavoro) {
    const auto& [fattura, destinazione] = lavoro;
    const DocumentoAperto documento = ApriDocumento(fattura, FoglioStilePredefinito());
    if (!documento.gestito) {
        std::string motivo;
        for (const auto& m : documento.messaggi)
            motivo += (motivo.empty() ? "" : " ") + m;
        throw OndivoError(motivo.empty() ? MsgDocumentoNonGestito : motivo);
    }
    const ContenutoPdf contenuto = PreparaContenutoPdf(documento, fattura);
    if (!carica(vista, documento.pagina))
        throw OndivoError("Il motore di stampa non ha caricato la pagina della fattura");
    const QByteArray stampato = stampa(*vista.page());
    if (stampato.isEmpty())
        throw OndivoError("Il motore di stampa non ha prodotto il PDF");
    ScriviPdf(stampato.toStdString(), contenuto, destinazione);
}

} // namespace

void TaciMessaggiQt() {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

int EsportaPdfSenzaFinestra(const std::vector<LavoroPdf>& lavori) {
    ImpostaAppDir(CartellaProgramma(platform::PercorsoEseguibile()));
    PreparaAperture();
    HtmlView vista; // the window's page, never shown
    vista.resize(1024, 1400);
    const bool terminale = platform::ErroreStandardSuTerminale();
    std::size_t riusciti = 0;
    for (std::size_t i = 0; i < lavori.size(); ++i) {
        const auto& [fattura, destinazione] = lavori[i];
        if (terminale)
            std::cerr << "\r\033[K" << (i + 1) << '/' << lavori.size() << ' ' << fattura
                      << std::flush;
        try {
            esporta(vista, lavori[i]);
            ++riusciti;
        } catch (const std::exception& e) {
            if (terminale)
                std::cerr << "\r\033[K";
            std::cerr << "Non riuscito: " << fattura << ": " << suUnaRiga(e.what()) << '\n';
        }
    }
    if (terminale)
        std::cerr << "\r\033[K";
    std::cerr << "PDF creati: " << riusciti << " su " << lavori.size();
    if (riusciti < lavori.size())
        std::cerr << "; non riusciti: " << lavori.size() - riusciti;
    std::cerr << ".\n";
    return riusciti == lavori.size() ? 0 : 1;
}

} // namespace ondivo
