#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ondivo {

// The controls of a find bar, the same wherever text is found (the invoice page, its XML): the
// text to find, "Precedente" and "Successivo", where the current match stands ("3 di 12",
// "Nessun risultato"), an optional note, and "Chiudi". It only asks: who owns it searches.
// Enter in the text asks for the next match and Shift+Enter for the previous one, taken here so
// that Enter never reaches a button of the window.
class CampiRicerca : public QFrame {
    Q_OBJECT

public:
    explicit CampiRicerca(QWidget* genitore);

    QLineEdit* campo() const { return m_testo; }
    QLabel* conteggio() const { return m_conteggio; }
    // Hidden until given a text.
    QLabel* nota() const { return m_nota; }

signals:
    void testoCambiato();
    void successivoRichiesto();
    void precedenteRichiesto();
    void chiusuraRichiesta();

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;

    QLineEdit* m_testo;
    QPushButton* btnPrecedente;
    QPushButton* btnSuccessivo;
    QPushButton* btnChiudi;
    QLabel* m_conteggio;
    QLabel* m_nota;
};

} // namespace ondivo
