#include "esportazionepdf.h"

#include "contenutopdf.h"
#include "documentoaperto.h"
#include "errors.h"
#include "executablepath.h"
#include "htmlview.h"
#include "layoutstampa.h"
#include "lctv.h"
#include "messages.h"
#include "stylesheetchoice.h"
#include "terminal.h"
#include "text.h"

#include <QEventLoop>
#include <QWebEnginePage>

#include <array>
#include <iostream>
#include <memory>
#include <optional>

namespace ondivo {

namespace {

// A message on one line, to stand after the file's name.
std::string suUnaRiga(const std::string& testo) {
    std::string riga;
    for (const char c : Trim(testo))
        riga += (c == '\n' || c == '\r') ? ' ' : c;
    return riga;
}

// The invoices go through two pages of the engine in turn: while one page prints, the other
// loads the next invoice. Each file is opened, loaded, printed, then completed and written.
class Esportatore {
public:
    explicit Esportatore(const std::vector<LavoroPdf>& lavori)
        : m_lavori(lavori), m_terminale(platform::ErroreStandardSuTerminale()) {
        for (auto& p : m_posti) {
            p.vista = std::make_unique<HtmlView>(); // the window's page, never shown
            p.vista->resize(1024, 1400);
            HtmlView* vista = p.vista.get();
            QObject::connect(vista, &QWebEngineView::loadFinished, vista,
                             [this, &p](bool ok) { caricata(p, ok); });
        }
    }

    int esegui() {
        for (auto& p : m_posti)
            avviaProssimo(p);
        if (m_attivi > 0)
            m_ciclo.exec();
        if (m_terminale)
            std::cerr << "\r\033[K";
        std::cerr << "PDF creati: " << m_riusciti << " su " << m_lavori.size();
        if (m_riusciti < m_lavori.size())
            std::cerr << "; non riusciti: " << m_lavori.size() - m_riusciti;
        std::cerr << ".\n";
        return m_riusciti == m_lavori.size() ? 0 : 1;
    }

private:
    struct Posto {
        std::unique_ptr<HtmlView> vista;
        std::size_t lavoro = 0;
        std::optional<ContenutoPdf> contenuto; // set while the page is loading or printing
    };

    // Opens the next invoice and loads its page on this page of the engine; a file that fails
    // before it reaches the engine is reported and the next one taken.
    void avviaProssimo(Posto& posto) {
        while (m_prossimo < m_lavori.size()) {
            const std::size_t i = m_prossimo++;
            const std::string& fattura = m_lavori[i].first;
            try {
                const DocumentoAperto documento = ApriDocumento(fattura, FoglioStilePredefinito());
                if (!documento.gestito) {
                    std::string motivo;
                    for (const auto& m : documento.messaggi)
                        motivo += (motivo.empty() ? "" : " ") + m;
                    throw OndivoError(motivo.empty() ? MsgDocumentoNonGestito : motivo);
                }
                posto.contenuto = PreparaContenutoPdf(documento, fattura);
                posto.lavoro = i;
                ++m_attivi;
                posto.vista->mostraHtml(QByteArray::fromStdString(documento.pagina));
                return;
            } catch (const std::exception& e) {
                fallito(i, e.what());
            }
        }
    }

    void caricata(Posto& posto, bool ok) {
        // A load overtaken by the page asked for later is not the one awaited.
        if (!posto.contenuto || posto.vista->page()->requestedUrl() != posto.vista->ultimaRichiesta())
            return;
        if (!ok) {
            concluso(posto, "Il motore di stampa non ha caricato la pagina della fattura");
            return;
        }
        posto.vista->page()->printToPdf(
            [this, &posto](const QByteArray& stampato) { stampata(posto, stampato); },
            LayoutStampa());
    }

    void stampata(Posto& posto, const QByteArray& stampato) {
        if (stampato.isEmpty()) {
            concluso(posto, "Il motore di stampa non ha prodotto il PDF");
            return;
        }
        try {
            ScriviPdf(stampato.toStdString(), *posto.contenuto, m_lavori[posto.lavoro].second);
            concluso(posto, {});
        } catch (const std::exception& e) {
            concluso(posto, e.what());
        }
    }

    // One file done, well or not: report it and give the page the next one.
    void concluso(Posto& posto, const std::string& errore) {
        posto.contenuto.reset();
        --m_attivi;
        if (errore.empty()) {
            ++m_riusciti;
            progresso(posto.lavoro);
        } else {
            fallito(posto.lavoro, errore);
        }
        avviaProssimo(posto);
        if (m_attivi == 0)
            m_ciclo.quit();
    }

    void progresso(std::size_t i) {
        ++m_fatti;
        if (m_terminale)
            std::cerr << "\r\033[K" << m_fatti << '/' << m_lavori.size() << ' '
                      << m_lavori[i].first << std::flush;
    }

    void fallito(std::size_t i, const std::string& errore) {
        ++m_fatti;
        if (m_terminale)
            std::cerr << "\r\033[K";
        std::cerr << "Non riuscito: " << m_lavori[i].first << ": " << suUnaRiga(errore) << '\n';
    }

    const std::vector<LavoroPdf>& m_lavori;
    const bool m_terminale;
    std::array<Posto, 2> m_posti;
    std::size_t m_prossimo = 0; // the next file to open
    std::size_t m_fatti = 0;
    std::size_t m_riusciti = 0;
    int m_attivi = 0; // files loading or printing
    QEventLoop m_ciclo;
};

} // namespace

void TaciMessaggiQt() {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

int EsportaPdfSenzaFinestra(const std::vector<LavoroPdf>& lavori) {
    ImpostaAppDir(CartellaProgramma(platform::PercorsoEseguibile()));
    PreparaAperture();
    return Esportatore(lavori).esegui();
}

} // namespace ondivo
