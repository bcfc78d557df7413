#include "campiricerca.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ondivo {

CampiRicerca::CampiRicerca(QWidget* genitore) : QFrame(genitore) {
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
    m_nota = new QLabel(this);
    m_nota->setObjectName(QStringLiteral("notaRicerca"));
    m_nota->setTextFormat(Qt::PlainText);
    m_nota->setStyleSheet(QStringLiteral("color: #666666;"));
    m_nota->setVisible(false);
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
    riga->addWidget(m_conteggio);
    riga->addSpacing(6);
    riga->addWidget(m_nota, 1);
    riga->addWidget(btnChiudi);

    connect(m_testo, &QLineEdit::textEdited, this, &CampiRicerca::testoCambiato);
    connect(btnPrecedente, &QPushButton::clicked, this, &CampiRicerca::precedenteRichiesto);
    connect(btnSuccessivo, &QPushButton::clicked, this, &CampiRicerca::successivoRichiesto);
    connect(btnChiudi, &QPushButton::clicked, this, &CampiRicerca::chiusuraRichiesta);
    m_testo->installEventFilter(this);
}

bool CampiRicerca::eventFilter(QObject* oggetto, QEvent* evento) {
    if (oggetto == m_testo && evento->type() == QEvent::KeyPress) {
        const auto* tasto = static_cast<QKeyEvent*>(evento);
        if (tasto->key() == Qt::Key_Return || tasto->key() == Qt::Key_Enter) {
            if (tasto->modifiers() & Qt::ShiftModifier)
                emit precedenteRichiesto();
            else
                emit successivoRichiesto();
            return true;
        }
    }
    return QFrame::eventFilter(oggetto, evento);
}

} // namespace ondivo
