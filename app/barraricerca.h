#pragma once

#include "campiricerca.h"

#include <QWebEnginePage>

class QWebEngineFindTextResult;
class QWebEngineView;

namespace ondivo {

// The find bar of the invoice page: the text to find, the previous and the next match, and
// where the current match stands among all ("3 di 12", "Nessun risultato"). Hidden until
// opened; closing it (Esc) clears the highlight. Searching starts as the text is typed; Enter
// goes to the next match, Shift+Enter to the previous one, both wrapping at the ends of the
// page. While it is open, each page shown is searched anew for the same text.
class BarraRicerca : public CampiRicerca {
    Q_OBJECT

public:
    BarraRicerca(QWebEngineView* vista, QWidget* genitore);

    // Shows the bar with its text selected, to be typed over; a bar that was closed shows the
    // matches of its text again.
    void apri();
    // Hides the bar and clears the highlight; the focus goes back to the page.
    void chiudi();
    // The next or previous match. A closed bar opens instead, on the first match.
    void successivo();
    void precedente();

    // Open, whether or not the window shows now.
    bool aperta() const { return !isHidden(); }

private:
    void cerca(QWebEnginePage::FindFlags verso = {});
    void mostraEsito(quint64 richiesta, const QWebEngineFindTextResult& esito);
    // The page is replaced: what the count said belongs to the page before.
    void paginaNuova();
    void paginaCaricata(bool riuscita);

    QWebEngineView* m_vista;
    // Numbers the searches: an answer to any but the latest one is dropped, since the engine
    // answers a search that a newer one superseded too.
    quint64 m_richiesta = 0;

    friend class TestStrumentiPagina;
};

} // namespace ondivo
