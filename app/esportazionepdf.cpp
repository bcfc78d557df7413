#include "esportazionepdf.h"

#include "contenutopdf.h"
#include "documentoaperto.h"
#include "errors.h"
#include "executablepath.h"
#include "files.h"
#include "fileutil.h"
#include "htmlview.h"
#include "layoutstampa.h"
#include "lctv.h"
#include "messages.h"
#include "safename.h"
#include "stylesheetchoice.h"
#include "terminal.h"
#include "text.h"

#include <QEventLoop>
#include <QThreadPool>
#include <QWebEnginePage>

#include <iostream>

namespace ondivo {

namespace {

// A message on one line, to stand after the file's name.
std::string suUnaRiga(const std::string& testo) {
    std::string riga;
    for (const char c : Trim(testo))
        riga += (c == '\n' || c == '\r') ? ' ' : c;
    return riga;
}

// The text of an error for the report: never empty.
std::string motivo(const std::exception& e) {
    const std::string testo = e.what();
    return testo.empty() ? std::string("Errore imprevisto.") : testo;
}

} // namespace

// What the worker brings back of an invoice opened: what its PDF holds and its page, or the
// reason it cannot be made.
struct EsportazionePdf::Aperta {
    std::shared_ptr<const ContenutoPdf> contenuto;
    std::string pagina;
    std::string pdf;
    std::string errore;
    std::string avvisoFoglio;
    bool annullata = false;
};

EsportazionePdf::EsportazionePdf(std::vector<LavoroPdf> lavori, QObject* parent)
    : QObject(parent), m_lavori(std::move(lavori)), m_lavoratore(std::make_unique<QThreadPool>()),
      m_annulla(std::make_shared<std::atomic<bool>>(false)) {
    m_lavoratore->setMaxThreadCount(1);
    // libxslt recurses with the stylesheet's templates: as much stack as the main thread has.
    m_lavoratore->setStackSize(8u << 20);
    for (auto& p : m_posti) {
        p.vista = std::make_unique<HtmlView>(); // the window's page, never shown
        p.vista->resize(1024, 1400);
        HtmlView* vista = p.vista.get();
        connect(vista, &QWebEngineView::loadFinished, this,
                [this, &p](bool ok) { caricata(p, ok); });
    }
}

EsportazionePdf::~EsportazionePdf() {
    m_chiusura = true;
    m_annulla->store(true);
    // The worker hands its results to this object: it ends while the object is whole; the
    // results are dropped with the object's pending events.
    m_lavoratore->waitForDone();
    for (auto& p : m_posti)
        p.vista.reset();
}

void EsportazionePdf::avvia() {
    if (m_avviata)
        return;
    m_avviata = true;
    for (auto& p : m_posti)
        avviaProssimo(p);
    if (m_attivi == 0 && !m_finita) {
        m_finita = true;
        // Said from the event loop, as when there is work: the caller connects after avvia().
        QMetaObject::invokeMethod(this, &EsportazionePdf::finita, Qt::QueuedConnection);
    }
}

void EsportazionePdf::annulla() {
    m_annullata = true;
    m_annulla->store(true);
}

void EsportazionePdf::avviaProssimo(Posto& posto) {
    if (m_annullata || m_prossimo >= m_lavori.size())
        return;
    posto.lavoro = m_prossimo++;
    ++m_attivi;
    const LavoroPdf lavoro = m_lavori[posto.lavoro];
    m_lavoratore->start([this, &posto, lavoro, annulla = m_annulla] {
        auto esito = std::make_shared<Aperta>();
        try {
            const DocumentoAperto documento = ApriDocumento(
                lavoro.fattura, FoglioStilePredefinito(),
                {.estraiAccanto = false, .fogliPersonali = &m_fogliPersonali}, annulla.get());
            esito->avvisoFoglio = documento.avvisoFoglio;
            if (documento.annullato) {
                esito->annullata = true;
            } else if (!documento.gestito) {
                std::string perche;
                for (const auto& m : documento.messaggi)
                    perche += (perche.empty() ? "" : " ") + m;
                esito->errore = perche.empty() ? MsgDocumentoNonGestito : perche;
            } else {
                esito->contenuto = std::make_shared<const ContenutoPdf>(
                    PreparaContenutoPdf(documento, lavoro.fattura));
                esito->pdf = destinazione(lavoro, NomePdfProposto(documento, lavoro.fattura));
                esito->pagina = documento.pagina;
            }
        } catch (const std::exception& e) {
            esito->errore = motivo(e);
        }
        QMetaObject::invokeMethod(
            this, [this, &posto, esito] { aperta(posto, *esito); }, Qt::QueuedConnection);
    });
}

std::string EsportazionePdf::destinazione(const LavoroPdf& lavoro,
                                          const std::string& nomeProposto) {
    if (lavoro.cartella.empty()) {
        // An output never takes the place of an input: not of any invoice of the run, not of a
        // file the user has, unless asked, nor of a PDF this run has already written.
        for (const LavoroPdf& altro : m_lavori)
            if (altro.fattura == lavoro.pdf || platform::StessoFile(altro.fattura, lavoro.pdf))
                throw OndivoError("Il PDF sostituirebbe la fattura " + altro.fattura +
                                  ": scegliere un altro nome");
        if (m_riservati.count(lavoro.pdf))
            throw OndivoError("Il PDF " + lavoro.pdf +
                              " \xC3\xA8 gi\xC3\xA0 stato scritto in "
                              "questa esecuzione");
        if (!lavoro.sovrascrivi && (FileEsiste(lavoro.pdf) || platform::ECartella(lavoro.pdf)))
            throw OndivoError("Il file " + lavoro.pdf +
                              " esiste gi\xC3\xA0: per sostituirlo usare --sovrascrivi");
        m_riservati.insert(lavoro.pdf);
        return lavoro.pdf;
    }
    // A name of this run or a file already there is never taken: the next number is.
    for (int n = 1; n < 10000; ++n) {
        const std::string nome = n == 1 ? nomeProposto : NomeNumerato(nomeProposto, n);
        const std::string percorso = PercorsoAllegato(lavoro.cartella, nome);
        if (m_riservati.count(percorso) || FileEsiste(percorso) || platform::ECartella(percorso))
            continue;
        m_riservati.insert(percorso);
        return percorso;
    }
    throw OndivoError("Troppi file con il nome " + nomeProposto + " in " + lavoro.cartella);
}

void EsportazionePdf::aperta(Posto& posto, Aperta& esito) {
    if (m_chiusura)
        return;
    if (esito.annullata) {
        concluso(posto, {}, false);
        return;
    }
    if (!esito.avvisoFoglio.empty())
        emit avvisoFoglio(static_cast<int>(posto.lavoro),
                          QString::fromStdString(esito.avvisoFoglio));
    if (!esito.errore.empty()) {
        concluso(posto, esito.errore);
        return;
    }
    posto.contenuto = std::move(esito.contenuto);
    posto.pdf = std::move(esito.pdf);
    posto.vista->mostraHtml(QByteArray::fromStdString(esito.pagina));
}

void EsportazionePdf::caricata(Posto& posto, bool ok) {
    // A load overtaken by the page asked for later is not the one awaited.
    if (m_chiusura || !posto.contenuto ||
        posto.vista->page()->requestedUrl() != posto.vista->ultimaRichiesta())
        return;
    if (!ok) {
        concluso(posto, "Il motore di stampa non ha caricato la pagina della fattura");
        return;
    }
    posto.vista->page()->printToPdf(
        [this, &posto](const QByteArray& stampato) {
            if (!m_chiusura)
                stampata(posto, stampato);
        },
        LayoutStampa());
}

void EsportazionePdf::stampata(Posto& posto, const QByteArray& stampato) {
    if (stampato.isEmpty()) {
        concluso(posto, "Il motore di stampa non ha prodotto il PDF");
        return;
    }
    m_lavoratore->start([this, &posto, contenuto = posto.contenuto, pdf = posto.pdf, stampato] {
        std::string errore;
        try {
            ScriviPdf(stampato.toStdString(), *contenuto, pdf);
        } catch (const std::exception& e) {
            errore = motivo(e);
        }
        QMetaObject::invokeMethod(
            this, [this, &posto, errore] { concluso(posto, errore); }, Qt::QueuedConnection);
    });
}

// One file done, well or not: report it and give the page the next one.
void EsportazionePdf::concluso(Posto& posto, const std::string& errore, bool riporta) {
    if (m_chiusura)
        return;
    posto.contenuto.reset();
    --m_attivi;
    if (riporta) {
        if (errore.empty())
            ++m_riusciti;
        emit fileConcluso(static_cast<int>(posto.lavoro),
                          errore.empty() ? QString::fromStdString(posto.pdf) : QString(),
                          QString::fromStdString(errore));
    }
    posto.pdf.clear();
    avviaProssimo(posto);
    if (m_attivi == 0 && !m_finita) {
        m_finita = true;
        emit finita();
    }
}

void TaciMessaggiQt() {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

int EsportaPdfSenzaFinestra(const std::vector<LavoroPdf>& lavori, const std::string& foglio) {
    ImpostaAppDir(CartellaProgramma(platform::PercorsoEseguibile()));
    PreparaAperture();
    const bool terminale = platform::ErroreStandardSuTerminale();
    EsportazionePdf esportazione(lavori);
    esportazione.impostaFogliPersonali(
        foglio.empty() ? std::map<std::string, std::string>()
                       : std::map<std::string, std::string>{{OgniFormato, foglio}});
    std::size_t fatti = 0;
    QObject::connect(&esportazione, &EsportazionePdf::fileConcluso, &esportazione,
                     [&](int i, const QString&, const QString& errore) {
                         ++fatti;
                         if (terminale)
                             std::cerr << "\r\033[K";
                         if (!errore.isEmpty())
                             std::cerr << "Non riuscito: " << lavori[i].fattura << ": "
                                       << suUnaRiga(errore.toStdString()) << '\n';
                         else if (terminale)
                             std::cerr << fatti << '/' << lavori.size() << ' ' << lavori[i].fattura
                                       << std::flush;
                     });
    QObject::connect(&esportazione, &EsportazionePdf::avvisoFoglio, &esportazione,
                     [&](int, const QString& avviso) {
                         if (terminale)
                             std::cerr << "\r\033[K";
                         std::cerr << avviso.toStdString() << '\n';
                     });
    QEventLoop ciclo;
    QObject::connect(&esportazione, &EsportazionePdf::finita, &ciclo, &QEventLoop::quit);
    esportazione.avvia();
    ciclo.exec();
    if (terminale)
        std::cerr << "\r\033[K";
    const std::size_t riusciti = esportazione.riusciti();
    std::cerr << "PDF creati: " << riusciti << " su " << lavori.size();
    if (riusciti < lavori.size())
        std::cerr << "; non riusciti: " << lavori.size() - riusciti;
    std::cerr << ".\n";
    return riusciti == lavori.size() ? 0 : 1;
}

} // namespace ondivo
