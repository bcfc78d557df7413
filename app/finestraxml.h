#pragma once

#include <QString>
#include <QWidget>

#include <string>

namespace ondivo {

class VistaXml;

// The "Mostra XML" window: the invoice's XML as text (VistaXml), read-only, beside the main
// window and not modal. Esc closes the find bar when it is open, else the window; Ctrl+W
// closes the window.
class FinestraXml : public QWidget {
    Q_OBJECT

public:
    explicit FinestraXml(QWidget* genitore = nullptr);

    // Shows `xml` under the title "XML – <nome>". For a plain XML (`notaBusta` empty) what its
    // signatures declare to cover is marked; for the content of a signed envelope `notaBusta`
    // is shown instead ("Tutto il testo mostrato è il contenuto firmato della busta.").
    void mostra(const std::string& xml, const QString& nome, const QString& notaBusta = {});

    // A new window showing `xml`, deleted when it is closed; shown and brought to the front.
    // With a `genitore`, it closes with it.
    static FinestraXml* apri(const std::string& xml, const QString& nome,
                             const QString& notaBusta = {}, QWidget* genitore = nullptr);

    VistaXml* vista() const { return m_vista; }

private:
    void esc();

    VistaXml* m_vista;
};

} // namespace ondivo
