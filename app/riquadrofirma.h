#pragma once

#include "statofirme.h"

#include <QAbstractButton>
#include <QColor>

namespace ondivo {

// The colours a state of the signatures is shown in: green for a valid signature, amber for an
// intact one whose authority is not verified, red for the invalid ones, grey without a
// signature, a greyish red when the file could not be verified, neutral while verifying.
struct ColoriFirma {
    QColor sfondo;
    QColor testo;
};
ColoriFirma ColoriStato(const StatoFirme& stato);

// The verdict on the signatures of the invoice shown, at a glance: a coloured box of a fixed
// size with the verdict and, under it, who signed and when. Pressing it (click, Space, Enter)
// asks for the details; it is disabled while no invoice is shown. Every text is drawn as plain
// text; what does not fit is elided, and the tooltip holds it whole.
class RiquadroFirma : public QAbstractButton {
    Q_OBJECT

public:
    explicit RiquadroFirma(QWidget* genitore = nullptr);

    void mostra(const StatoFirme& stato);

    // What the box says, whole: the verdict and the signers' line.
    QString esito() const { return m_esito; }
    QString firmatari() const { return m_firmatari; }
    ColoriFirma colori() const { return m_colori; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;

private:
    QString m_esito;
    QString m_firmatari;
    ColoriFirma m_colori;
};

} // namespace ondivo
