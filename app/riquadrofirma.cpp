#include "riquadrofirma.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QTextLayout>

namespace ondivo {

namespace {

constexpr int kRighe = 3;   // lines of text the box has room for
constexpr int kMargine = 5; // inside the border

// `testo` broken into lines of at most `larghezza` pixels, no more than `massimo` of them: the
// last one allowed takes the rest, elided.
QStringList inRighe(const QString& testo, const QFont& carattere, int larghezza, int massimo) {
    QStringList righe;
    const QFontMetrics metrica(carattere);
    QTextLayout impaginazione(testo, carattere);
    QTextOption opzioni;
    opzioni.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    impaginazione.setTextOption(opzioni);
    impaginazione.beginLayout();
    for (QTextLine riga = impaginazione.createLine(); riga.isValid();
         riga = impaginazione.createLine()) {
        riga.setLineWidth(larghezza);
        if (righe.size() + 1 == massimo) {
            righe << metrica.elidedText(testo.mid(riga.textStart()).trimmed(), Qt::ElideRight,
                                        larghezza);
            break;
        }
        righe << testo.mid(riga.textStart(), riga.textLength()).trimmed();
    }
    impaginazione.endLayout();
    return righe;
}

} // namespace

ColoriFirma ColoriStato(const StatoFirme& stato) {
    switch (stato.fase) {
    case StatoFirme::Fase::Nessuna:
    case StatoFirme::Fase::InCorso:
        return {QColor(0xe4, 0xe4, 0xe4), QColor(0x40, 0x40, 0x40)};
    case StatoFirme::Fase::Fallita:
        return {QColor(0x9c, 0x6e, 0x6e), Qt::white};
    case StatoFirme::Fase::Conclusa:
        break;
    }
    switch (stato.firme.esito) {
    case EsitoFirma::Valida:
        return {QColor(0x2e, 0x7d, 0x32), Qt::white};
    case EsitoFirma::Integra:
    case EsitoFirma::NonVerificabile:
        return {QColor(0xf0, 0xb0, 0x30), QColor(0x30, 0x20, 0x00)};
    case EsitoFirma::NonAncoraValida:
    case EsitoFirma::Scaduta:
    case EsitoFirma::Revocata:
    case EsitoFirma::NonValida:
        return {QColor(0xc6, 0x28, 0x28), Qt::white};
    case EsitoFirma::Assente:
        break;
    }
    return {QColor(0xbd, 0xbd, 0xbd), QColor(0x20, 0x20, 0x20)};
}

RiquadroFirma::RiquadroFirma(QWidget* genitore) : QAbstractButton(genitore) {
    setFocusPolicy(Qt::StrongFocus);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    mostra({});
}

void RiquadroFirma::mostra(const StatoFirme& stato) {
    m_esito = TestoStato(stato);
    m_firmatari = stato.fase == StatoFirme::Fase::Conclusa ? RigaFirmatari(stato.firme) : QString();
    m_colori = ColoriStato(stato);
    const QString tutto =
        m_firmatari.isEmpty() ? m_esito : m_esito + QLatin1Char('\n') + m_firmatari;
    setText(tutto);
    setEnabled(stato.fase != StatoFirme::Fase::Nessuna);
    setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    // A tooltip is read as rich text when it looks like markup: escaped, it shows as written.
    setToolTip(stato.fase == StatoFirme::Fase::Nessuna
                   ? QString()
                   : tutto.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
                         QStringLiteral("<br><i>Fare clic per i dettagli</i>"));
    update();
}

QSize RiquadroFirma::sizeHint() const {
    return {200, kRighe * QFontMetrics(font()).height() + 2 * kMargine};
}

void RiquadroFirma::paintEvent(QPaintEvent*) {
    QPainter pittore(this);
    pittore.setRenderHint(QPainter::Antialiasing);
    const QRectF bordo = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    pittore.setPen(m_colori.sfondo.darker(130));
    pittore.setBrush(m_colori.sfondo);
    pittore.drawRoundedRect(bordo, 3, 3);

    const QRect area = rect().adjusted(kMargine + 2, kMargine, -kMargine - 2, -kMargine);
    QFont grassetto = font();
    grassetto.setBold(true);
    // The verdict takes the lines the signers' line leaves.
    const int righeEsito = m_firmatari.isEmpty() ? kRighe : kRighe - 1;
    const QStringList esito = inRighe(m_esito.simplified(), grassetto, area.width(), righeEsito);
    const QString firmatari =
        QFontMetrics(font()).elidedText(m_firmatari.simplified(), Qt::ElideRight, area.width());
    const int altezza = QFontMetrics(font()).height();
    const int usate = static_cast<int>(esito.size()) + (firmatari.isEmpty() ? 0 : 1);
    int y = area.top() + (area.height() - usate * altezza) / 2;
    pittore.setPen(m_colori.testo);
    pittore.setFont(grassetto);
    for (const QString& riga : esito) {
        pittore.drawText(QRect(area.left(), y, area.width(), altezza),
                         Qt::AlignLeft | Qt::AlignVCenter, riga);
        y += altezza;
    }
    pittore.setFont(font());
    if (!firmatari.isEmpty())
        pittore.drawText(QRect(area.left(), y, area.width(), altezza),
                         Qt::AlignLeft | Qt::AlignVCenter, firmatari);

    if (hasFocus()) {
        QStyleOptionFocusRect opzione;
        opzione.initFrom(this);
        opzione.rect = rect().adjusted(2, 2, -2, -2);
        opzione.backgroundColor = m_colori.sfondo;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opzione, &pittore, this);
    }
}

void RiquadroFirma::keyPressEvent(QKeyEvent* evento) {
    if ((evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter) &&
        !evento->isAutoRepeat()) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(evento);
}

} // namespace ondivo
