#include "barraricerca.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QWebEngineFindTextResult>
#include <QWebEngineView>

namespace ondivo {

BarraRicerca::BarraRicerca(QWebEngineView* vista, QWidget* genitore)
    : CampiRicerca(genitore), m_vista(vista) {
    setObjectName(QStringLiteral("barraRicerca"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    connect(this, &CampiRicerca::testoCambiato, this, [this] { cerca(); });
    connect(this, &CampiRicerca::precedenteRichiesto, this, &BarraRicerca::precedente);
    connect(this, &CampiRicerca::successivoRichiesto, this, &BarraRicerca::successivo);
    connect(this, &CampiRicerca::chiusuraRichiesta, this, &BarraRicerca::chiudi);
    // Esc anywhere in the window while the bar shows, the page included: a shortcut of a
    // hidden widget does not fire.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &BarraRicerca::chiudi,
                              Qt::WindowShortcut);
    esc->setObjectName(QStringLiteral("escRicerca"));
    connect(m_vista, &QWebEngineView::loadStarted, this, &BarraRicerca::paginaNuova);
    connect(m_vista, &QWebEngineView::loadFinished, this, &BarraRicerca::paginaCaricata);
    setVisible(false);
}

void BarraRicerca::apri() {
    if (!aperta()) {
        setVisible(true);
        cerca();
    }
    m_testo->setFocus(Qt::ShortcutFocusReason);
    m_testo->selectAll();
}

void BarraRicerca::chiudi() {
    if (!aperta())
        return;
    const bool aveFuoco = isAncestorOf(QApplication::focusWidget());
    ++m_richiesta;
    // The marks go; the current match stays selected, as in a browser, and a search opened
    // again starts from it.
    m_vista->findText(QString());
    m_conteggio->clear();
    setVisible(false);
    if (aveFuoco)
        m_vista->setFocus(Qt::OtherFocusReason);
}

void BarraRicerca::successivo() {
    if (!aperta())
        apri();
    else
        cerca();
}

void BarraRicerca::precedente() {
    if (!aperta())
        apri();
    else
        cerca(QWebEnginePage::FindBackward);
}

void BarraRicerca::cerca(QWebEnginePage::FindFlags verso) {
    const quint64 richiesta = ++m_richiesta;
    const QString testo = m_testo->text();
    if (testo.isEmpty()) {
        m_vista->findText(QString());
        m_conteggio->clear();
        return;
    }
    // The same text again moves to the next match; another text begins a new search.
    m_vista->findText(testo, verso,
                      [bar = QPointer<BarraRicerca>(this), richiesta](const auto& esito) {
                          if (bar)
                              bar->mostraEsito(richiesta, esito);
                      });
}

void BarraRicerca::mostraEsito(quint64 richiesta, const QWebEngineFindTextResult& esito) {
    if (richiesta != m_richiesta)
        return;
    // activeMatch is 1-based.
    m_conteggio->setText(
        esito.numberOfMatches() > 0
            ? QStringLiteral("%1 di %2").arg(esito.activeMatch()).arg(esito.numberOfMatches())
            : QStringLiteral("Nessun risultato"));
}

void BarraRicerca::paginaNuova() {
    ++m_richiesta;
    m_conteggio->clear();
}

void BarraRicerca::paginaCaricata(bool riuscita) {
    if (!riuscita || !aperta())
        return;
    cerca();
}

} // namespace ondivo
