#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWebEngineView>

namespace ondivo {

class InvoiceSchemeHandler;

// Call before the QApplication is created: registers the scheme the invoice pages are served
// from and, as root, the flags Chromium needs to start.
void PreparaWebEngine();

// Shows an invoice page and nothing else: the page comes from memory, JavaScript is off, no
// request leaves the machine, nothing navigates away, there is no context menu, and a link
// the user clicks opens in the system's browser.
class HtmlView : public QWebEngineView {
    Q_OBJECT

public:
    explicit HtmlView(QWidget* parent = nullptr);
    ~HtmlView() override;

    // Shows the bytes of an HTML page, decoded as Windows-1252 unless the page itself says
    // otherwise. Returns at once; the page replaces the current one when loaded.
    void mostraHtml(const QByteArray& ansi);

    // The address of the page last asked for: a load that finishes with another address was
    // overtaken.
    const QUrl& ultimaRichiesta() const { return m_ultima; }
    // The zoom of the page shown and of every page shown after it; zoom() is the factor as
    // set, before the engine rounds it.
    void impostaZoom(qreal fattore);
    qreal zoom() const { return m_zoom; }

private:
    InvoiceSchemeHandler* m_schema;
    quint64 m_generazione = 0;
    QUrl m_ultima; // the page last asked for
    qreal m_zoom = 1.0;
};

} // namespace ondivo
