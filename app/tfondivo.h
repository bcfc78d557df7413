#pragma once

#include "prompts.h"

#include <QMainWindow>

#include <functional>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace ondivo {
class HtmlView;
}

namespace ondivo {

// The main window: the invoice view, its header labels and the attachment list.
class TFONDIVO : public QMainWindow {
    Q_OBJECT

public:
    explicit TFONDIVO(Prompts& prompts, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void MostraDatiDocumento();
    // Shows an ANSI (Windows-1252) HTML page in the view.
    void CaricaHtml(HtmlView* Browser, const std::string& Html);

    // Runs a command handler; an error escaping it ends the command in the error box.
    void eseguiComando(const std::function<void()>& comando);

    static void impostaTesto(QLabel* etichetta, const std::string& ansi);

    Prompts& m_prompts;

    QLabel* StFileXML;
    QLabel* STTipoDoc;
    QLabel* STNumDoc;
    QLabel* StDataDoc;
    QLabel* StFornitore;
    QListWidget* LBAlleg;
    QPushButton* btnSelFile;
    HtmlView* WebBrowser1;

    // Viewer state. Paths are native narrow strings.
    std::string FFileXml;
    std::string FFoglioStile;

    friend class TestTFONDIVO;
};

} // namespace ondivo
