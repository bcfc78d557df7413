#pragma once

#include "partifirmate.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <string_view>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace ondivo {

class CampiRicerca;

class AreaXml;
struct TestoMostrato;

// The XML of an invoice as text, read-only: a note line, the text with its line numbers and
// syntax colours, and a find bar under it.
//
// The text is decoded as the XML declares it (UTF-8 when it does not; ISO-8859-1, ISO-8859-15,
// windows-1252; UTF-16 with a byte order mark or starting with "<"). Bytes that are not valid
// for the encoding show as U+FFFD, and the note line says so.
//
// A text node longer than SogliaPiega characters made only of Base64 characters and white
// space (an attachment, a certificate) is shown folded: one short placeholder stands for it in
// the document, so even a text of hundreds of megabytes opens at once. A double click or Enter
// on it expands it, and on the expanded text folds it again; a run longer than
// LimiteEspansione is never expanded (the note line says so). Line numbers, copying and
// selecting all are those of the original text: a folded run counts its lines, and what is
// copied has every folded run in the selection back in full, line ends as in the original.
//
// Finding (Ctrl+F, F3, Shift+F3; Enter and Shift+Enter in the bar; Esc closes the bar) is
// case-insensitive and looks at the text as shown: folded runs are not searched (the bar says
// so while any is folded), an expanded one is.
//
// The signed parts are marked as their signatures declare them, with a light tint: what the
// references cover in green, the signature elements in grey, and a legend in the note line.
// That is what a signature says it covers, not whether it is valid.
class VistaXml : public QWidget {
    Q_OBJECT

public:
    static constexpr qsizetype SogliaPiega = 256;
    static constexpr qsizetype LimiteEspansione = 2 * 1024 * 1024;

    explicit VistaXml(QWidget* genitore = nullptr);
    ~VistaXml() override;

    // Shows `xml` in place of what was shown, folded runs folded. `parti` are the signed parts
    // to mark (TrovaPartiFirmate of the same bytes); `notaBusta`, when not empty, is shown in
    // the note line in their place and nothing is tinted, for the content of a signed
    // envelope.
    void mostra(std::string_view xml, const PartiFirmate& partiFirmate = {},
                const QString& notaBusta = {});

    // The original text from document position `inizio` to `fine`, with the folded runs they
    // hold in full; a position inside a placeholder takes in its whole run. Without arguments,
    // all of it.
    QString testoOriginale(int inizio, int fine) const;
    QString testoOriginale() const;

    // Expands the folded run whose placeholder holds document position `posizione` (its ends
    // included), or folds again the expanded run there. False when there is none, or when the
    // run is too long to expand.
    bool commutaPiega(int posizione);

    // The line of the original text, from 1, where document block `blocco` begins.
    qsizetype rigaOriginale(int blocco) const;

    void apriRicerca();
    // Hides the find bar and its highlights; false when it was not open.
    bool chiudiRicerca();
    bool ricercaAperta() const;
    // The next or previous match, wrapping; the bar opens when it is closed.
    void successivo();
    void precedente();

    QPlainTextEdit* testo() const;

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;

private:
    void aggiornaNota();
    void cerca(bool vaiAlPrimo);
    void vaiA(int indice);
    void evidenzia();

    std::unique_ptr<TestoMostrato> m_mostrato;
    QLabel* m_nota;
    AreaXml* m_area;
    CampiRicerca* m_barra;
    QString m_notaCodifica;
    QString m_notaFirme;
    QString m_avviso;
    QList<int> m_risultati; // document positions of the matches, ascending
    int m_corrente = -1;
};

} // namespace ondivo
