#pragma once

#include "allegati.h"
#include "prompts.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <functional>
#include <string>

class QFrame;
class QLabel;
class QListWidget;
class QDragEnterEvent;
class QDropEvent;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace ondivo {

class ClickableLabel;
class HtmlView;

// The main window: the invoice view, its header labels and the attachment list.
class TFONDIVO : public QMainWindow {
    Q_OBJECT

public:
    explicit TFONDIVO(Prompts& prompts, QWidget* parent = nullptr);

    // Opens a file as if it had been chosen in the open dialog (command line, drag and drop).
    void apriFile(const std::string& percorso);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* oggetto, QEvent* evento) override;
    void dragEnterEvent(QDragEnterEvent* evento) override;
    void dropEvent(QDropEvent* evento) override;

private:
    void creaControlli();
    void collegaComandi();

    void FormCreate();
    void FormShow();
    void MostraDatiDocumento();
    void CaricaListaAllegati(const std::string& file);

    // Opening an invoice: the dialog, then ApriFattura on the chosen file.
    void btnSelFileClick();
    void ApriFattura(const std::string& scelto);
    void ButtonSaveClick();
    void ButtonOpenClick();
    // The folder attachments are saved in (created when missing); the first time it is the
    // user's own folder, a box says so. Throws when no folder can be made.
    std::string cartellaAllegati();
    void btnEstraiPM7Click();
    void btnCodificaFileClick();
    void btndecodificaClick();
    // Shows an ANSI (Windows-1252) HTML page in the view.
    void CaricaHtml(HtmlView* Browser, const std::string& Html);

    void btnEsciClick();
    void btnGuidaClick();
    void imgBannerClick();
    void lnkSitoClick();
    // Application-wide: right-button presses on the invoice view are discarded, so the page
    // shows no context menu. True when the event is to be dropped.
    bool ApplicationEvents1Message(QObject* destinatario, QEvent* evento);

    // Runs a command handler; an error escaping it ends the command in the error box.
    void eseguiComando(const std::function<void()>& comando);

    // Every command handler is connected through eseguiComando.
    template <class Sorgente, class Segnale>
    void collega(Sorgente* sorgente, Segnale segnale, void (TFONDIVO::*gestore)()) {
        connect(sorgente, segnale, this,
                [this, gestore] { eseguiComando([this, gestore] { (this->*gestore)(); }); });
    }

    static void impostaTesto(QLabel* etichetta, const std::string& ansi);
    // Every label that may show an invoice's text or a file name: plain text, never markup.
    QList<QLabel*> etichetteValori() const;

    Prompts& m_prompts;

    QFrame* panTop;
    QFrame* PanBottom;
    QFrame* PanRight;
    QFrame* PanClient;
    QFrame* pnlLogo;
    QFrame* panDocumento;
    QFrame* panAllegati;
    QFrame* panUtili;

    QLabel* StFileXML;
    QLabel* STTipoDoc;
    QLabel* STNumDoc;
    QLabel* StDataDoc;
    QLabel* StFornitore;
    QLabel* STAllegati;
    QListWidget* LBAlleg;
    QPushButton* btnSelFile;
    QPushButton* btnEsci;
    QPushButton* btnGuida;
    QPushButton* ButtonSave;
    QPushButton* ButtonOpen;
    QPushButton* btnEstraiPM7;
    QPushButton* btnCodificaFile;
    QPushButton* btndecodifica;
    HtmlView* WebBrowser1;
    QPlainTextEdit* MemoXCodifica;
    ClickableLabel* lnkSito;
    QLabel* imgLogo;
    ClickableLabel* imgBanner;

    // Viewer state. Paths are native narrow strings.
    std::string FFileXml;
    std::string FFoglioStile;
    ListaAllegati FAllegati;

    // With ONDIVO_TEMPI set, how long an open takes until its page is shown goes to stderr.
    bool m_cartellaUtenteDetta = false;
    bool m_tempi;
    QElapsedTimer m_cronometro;

    friend class TestTFONDIVO;
    friend class TestOpenCommand;
    friend class TestHostileWindow;
};

} // namespace ondivo
