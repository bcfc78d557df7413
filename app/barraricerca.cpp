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
    : QFrame(genitore), m_vista(vista) {
    setObjectName(QStringLiteral("barraRicerca"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);

    auto* etichetta = new QLabel(QStringLiteral("Trova:"), this);
    m_testo = new QLineEdit(this);
    m_testo->setObjectName(QStringLiteral("testoRicerca"));
    m_testo->setPlaceholderText(QStringLiteral("Testo da cercare"));
    m_testo->setClearButtonEnabled(true);
    m_testo->setFixedWidth(260);
    etichetta->setBuddy(m_testo);
    btnPrecedente = new QPushButton(QStringLiteral("Precedente"), this);
    btnPrecedente->setObjectName(QStringLiteral("btnPrecedente"));
    btnPrecedente->setToolTip(QStringLiteral("Risultato precedente (Maiusc+Invio, Maiusc+F3)"));
    btnSuccessivo = new QPushButton(QStringLiteral("Successivo"), this);
    btnSuccessivo->setObjectName(QStringLiteral("btnSuccessivo"));
    btnSuccessivo->setToolTip(QStringLiteral("Risultato successivo (Invio, F3)"));
    m_conteggio = new QLabel(this);
    m_conteggio->setObjectName(QStringLiteral("conteggioRicerca"));
    m_conteggio->setTextFormat(Qt::PlainText);
    btnChiudi = new QPushButton(QStringLiteral("Chiudi"), this);
    btnChiudi->setObjectName(QStringLiteral("btnChiudiRicerca"));
    btnChiudi->setToolTip(QStringLiteral("Chiudi la ricerca (Esc)"));

    auto* riga = new QHBoxLayout(this);
    riga->setContentsMargins(6, 3, 6, 3);
    riga->setSpacing(6);
    riga->addWidget(etichetta);
    riga->addWidget(m_testo);
    riga->addWidget(btnPrecedente);
    riga->addWidget(btnSuccessivo);
    riga->addSpacing(6);
    riga->addWidget(m_conteggio, 1);
    riga->addWidget(btnChiudi);

    connect(m_testo, &QLineEdit::textEdited, this, [this] { cerca(); });
    connect(btnPrecedente, &QPushButton::clicked, this, &BarraRicerca::precedente);
    connect(btnSuccessivo, &QPushButton::clicked, this, &BarraRicerca::successivo);
    connect(btnChiudi, &QPushButton::clicked, this, &BarraRicerca::chiudi);
    // Esc anywhere in the window while the bar shows, the page included: a shortcut of a
    // hidden widget does not fire.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &BarraRicerca::chiudi,
                              Qt::WindowShortcut);
    esc->setObjectName(QStringLiteral("escRicerca"));
    m_testo->installEventFilter(this);
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

bool BarraRicerca::eventFilter(QObject* oggetto, QEvent* evento) {
    if (oggetto == m_testo && evento->type() == QEvent::KeyPress) {
        const auto* tasto = static_cast<QKeyEvent*>(evento);
        if (tasto->key() == Qt::Key_Return || tasto->key() == Qt::Key_Enter) {
            // Taken here, so Enter never reaches a button of the window.
            if (tasto->modifiers() & Qt::ShiftModifier)
                precedente();
            else
                successivo();
            return true;
        }
    }
    return QFrame::eventFilter(oggetto, evento);
}

} // namespace ondivo
