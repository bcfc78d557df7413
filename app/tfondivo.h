#pragma once

#include "allegati.h"
#include "documentoaperto.h"
#include "prompts.h"
#include "statofirme.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QNetworkAccessManager;
class QDragEnterEvent;
class QDropEvent;
class QPlainTextEdit;
class QPrinter;
class QProgressBar;
class QPushButton;
class QToolButton;
class QThreadPool;
class QWidget;

namespace ondivo {

namespace platform {
class CartellaTemporanea;
}

class BarraRicerca;
class ClickableLabel;
class DialogoFirme;
class Fiducia;
struct EsitoAggiornamentoElenco;
class FinestraElenco;
class FinestraXml;
class HtmlView;
class RiquadroFirma;

// The bytes an open reads, once, for its page and for its signatures' verification.
using DatiLetti = std::shared_future<std::shared_ptr<const std::string>>;

// Where an invoice opened comes from: the user's own choice, whose envelope's XML goes
// beside it as the open command puts it, or a row of a list, which only reads; `nome` is
// what the window calls it ("mese.zip › sotto/f.xml" for an archive's entry, else the
// path) and `custode` keeps the list's private copy it was read from while it is shown.
struct ProvenienzaApertura {
    bool dallElenco = false;
    std::string nome;
    std::shared_ptr<const void> custode;
};

// The main window: the invoice view, its header labels and the attachment list.
class TFONDIVO : public QMainWindow {
    Q_OBJECT

public:
    explicit TFONDIVO(Prompts& prompts, QWidget* parent = nullptr);
    // Waits for an open still running: its thread must not outlive the window.
    ~TFONDIVO() override;

    // Opens a file as if it had been chosen in the open dialog (command line, drag and drop).
    void apriFile(const std::string& percorso);
    // Opens what the user gave at once (dialog, command line, drag and drop): one invoice file
    // as apriFile does; several files, a folder or a ZIP archive as the list of invoices
    // (FinestraElenco), whose rows open here.
    void apriPercorsi(const std::vector<std::string>& percorsi);

    // True while an open started here has not come back yet.
    bool aperturaInCorso() const { return m_apertureInCorso > 0; }

signals:
    // An open came back on this thread: its result has been shown, or dropped when a newer
    // open or the closing of the window superseded it.
    void aperturaConclusa();
    // The badge has changed: it shows another state of the signatures of the invoice shown.
    void firmeMostrate();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* oggetto, QEvent* evento) override;
    void dragEnterEvent(QDragEnterEvent* evento) override;
    void dragMoveEvent(QDragMoveEvent* evento) override;
    void dropEvent(QDropEvent* evento) override;

private:
    void creaControlli();
    // The commands of the page tools with their shortcuts, which work wherever the focus is
    // in the window, the page included.
    void creaAzioni();
    void collegaComandi();

    void FormCreate();
    void FormShow();
    void MostraDatiDocumento(const DocumentoAperto& documento);
    void CaricaListaAllegati(ListaAllegati allegati);

    // What an open on the worker thread brings back: the document, or the error it raised.
    struct EsitoApertura {
        DocumentoAperto documento;
        std::exception_ptr errore;
    };

    // Opening an invoice: the dialog, then ApriFattura on the chosen file. The file is opened
    // on a worker thread, one open at a time; a newer open supersedes one still running, whose
    // result is dropped. Only a successful open changes what the window shows, all of it at
    // once: the file label, the page, the attachment list and the header labels.
    void btnSelFileClick();
    void apriScelti(std::vector<std::string> percorsi);
    void ApriFattura(const std::string& scelto, ProvenienzaApertura provenienza = {});
    void fineApertura(const std::string& nome, const std::shared_ptr<std::atomic<bool>>& annulla,
                      EsitoApertura& esito);
    void mostraDocumento(const std::string& scelto, DocumentoAperto& documento);
    // The open being superseded or the window closing: what runs is told to stop and its
    // result will be dropped.
    void annullaApertura();
    // The moving bar and the busy cursor while any open runs.
    void mostraOccupato();
    void ButtonSaveClick();
    void ButtonOpenClick();
    // Beside the designed save: the attachment chosen opened with the system's application
    // (double-click, Enter, the context menu's "Apri") from a private copy, after a warning
    // for the types that can run code (TipoEseguibile); or saved under a name chosen in a save
    // dialog ("Salva con nome…"), written whole or not at all.
    void creaAzioniAllegati();
    void collegaComandiAllegati();
    const TAllegatoItem* allegatoScelto() const;
    void apriAllegatoClick();
    void salvaAllegatoComeClick();
    // The folder of the invoice shown as the user keeps it (an archive's entry: the archive's).
    std::string cartellaFatturaMostrata() const;
    // The folder attachments are saved in (created when missing); the first time it is the
    // user's own folder, a box says so. Throws when no folder can be made.
    std::string cartellaAllegati();
    void btnEstraiPM7Click();
    void btnCodificaFileClick();
    void btndecodificaClick();
    // Shows an ANSI (Windows-1252) HTML page in the view.
    void CaricaHtml(HtmlView* Browser, const std::string& Html);

    // The PDF of the invoice shown: the save dialog (the name from the header, the folder of
    // the last PDF of this run, else the invoice's), then the engine prints the page and a
    // worker completes and writes the file, while the window stays usable.
    void esportaPdfClick();
    void fineEsportazionePdf(const std::string& destinazione, const std::string& errore);
    // The page tools: find, print, the PDF export and the zoom. Find, print and export work on
    // the page of an invoice and are enabled while one is shown.
    void abilitaStrumentiPagina(bool abilita);
    void trovaClick();
    void trovaSuccessivoClick();
    void trovaPrecedenteClick();
    // The print preview; printing from it prints the page on the chosen printer.
    void stampaClick();
    // Prints the page shown on `stampante` (StampaPagina), one print at a time.
    void stampaPagina(QPrinter& stampante);
    void zoomAvantiClick();
    void zoomIndietroClick();
    void zoomNormaleClick();
    // Sets the zoom of this page and of every page shown after it, and says it in the status
    // line.
    void impostaZoom(double fattore);

    // The signatures of every file opened are verified on a worker of their own, started with
    // the open and beside it. Each verification has a number: its result reaches the badge
    // only while its invoice is shown, is kept while its open still runs, and is dropped
    // otherwise.
    // The verification waits for `dati`, the bytes the open read, so that the verdict is on
    // what the page shows; without them (the file could not be read) it reads the file.
    std::uint64_t avviaVerificaFirme(const std::string& scelto, DatiLetti dati, bool rete = false);
    void fineVerificaFirme(std::uint64_t verifica, StatoFirme stato);
    // The invoice of the latest open is now shown: the badge shows the result of its
    // verification (m_verificaAttesa), or that it is being verified.
    void mostraFirmeAttese();
    // The badge and the details dialog show m_statoFirme.
    void mostraStatoFirme();
    // The details dialog, when made, shows m_statoFirme and the advice for it.
    void mostraDettagliFirme();
    // The trusted authorities, loaded the first time they are needed.
    const std::shared_ptr<const Fiducia>& fiducia();
    // The details dialog, with the trusted list.
    void riquadroFirmaClick();
    void aggiornaDialogoFirme();
    // A file chosen by the user taken in as the trusted list.
    void importaElencoClick();
    // The list downloaded from the dialog's address (kept as the address of the next updates).
    void aggiornaElencoClick();
    // The signatures of the invoice shown verified again, asking the network for revocation.
    void revocheInReteClick();
    void fineAggiornamentoElenco(const std::string& indirizzo, EsitoAggiornamentoElenco& esito);
    // A new list is kept: the authorities are loaded again and the invoice shown, and the one
    // being opened, verified again.
    void elencoCambiato();

    // "Mostra XML": the invoice shown as text, in a window of its own that follows the invoice
    // shown (FinestraXml); an envelope's signed content with a note saying so.
    void creaAzioniVista();
    void collegaComandiVista();
    void mostraXmlClick();
    void aggiornaFinestraXml();
    // "Foglio di stile": per format, Ondivo's stylesheet or one of the user's (remembered in
    // the user's settings folder); the invoice shown is made again with the choice.
    void preparaMenuFogli();
    void scegliFoglioPersonale(const std::string& formato);
    void tornaAlFoglioDiOndivo(const std::string& formato);
    // The invoice shown opened again, as it was opened.
    void riapriMostrata();
    // The user's stylesheets for the next open; a settings file that cannot be read is said
    // once, and Ondivo's stylesheets are used.
    std::map<std::string, std::string> fogliPersonali();
    // The menu of the files opened last (btnRecenti, and Seleziona's context menu).
    void preparaMenuRecenti(QMenu* menu);

    void btnEsciClick();
    void btnGuidaClick();
    void imgBannerClick();
    void lnkSitoClick();
    // Application-wide: right-button presses on the invoice view are discarded, so the page
    // shows no context menu. True when the event is to be dropped.
    bool ApplicationEvents1Message(QObject* destinatario, QEvent* evento);
    // Application-wide: Return or Enter on a focused button of this window presses it, as
    // Space does. True when the event is taken.
    bool invioSuPulsante(QObject* destinatario, QEvent* evento);
    // Application-wide: the wheel turned over the page with Ctrl held steps the zoom through
    // its levels instead of the engine's own. True when the event is taken.
    bool rotellaZoom(QObject* destinatario, QEvent* evento);

    // Runs a command handler; an error escaping it ends the command in the error box. An error
    // about a file that could not be opened names it (MessaggioConFile).
    void eseguiComando(const std::function<void()>& comando, const std::string& fileInCausa = {});

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
    QToolButton* btnRecenti;     // the files opened last, beside btnSelFile
    QPushButton* btnMostraXml;   // the invoice's XML as text (FinestraXml)
    QToolButton* btnFoglioStile; // Ondivo's stylesheets or the user's, per format
    QPushButton* btnEsci;
    QPushButton* btnTrova;
    QPushButton* btnStampa;
    QPushButton* btnEsportaPdf;
    QPushButton* btnGuida;
    QPushButton* ButtonSave;
    QPushButton* ButtonOpen;
    QPushButton* btnEstraiPM7;
    QPushButton* btnCodificaFile;
    QPushButton* btndecodifica;
    HtmlView* WebBrowser1;
    BarraRicerca* barraRicerca;
    QPlainTextEdit* MemoXCodifica;
    ClickableLabel* lnkSito;
    QLabel* imgLogo;
    ClickableLabel* imgBanner;
    QProgressBar* m_occupato; // in the status line while an open runs
    RiquadroFirma* StFirma;   // the verdict on the signatures, under the document's date

    QAction* azioneTrova;
    QAction* azioneTrovaSuccessivo;
    QAction* azioneTrovaPrecedente;
    QAction* azioneStampa;
    QAction* azioneEsportaPdf;
    QAction* azioneApri;
    QAction* azioneGuida;
    QAction* azioneMostraXml;
    QAction* azioneZoomAvanti;
    QAction* azioneZoomIndietro;
    QAction* azioneZoomNormale;
    QAction* azioneApriAllegato;
    QAction* azioneSalvaAllegatoCome;
    QAction* azioneSalvaAllegato;
    int m_rotella = 0;            // Ctrl+wheel turned since the last zoom step, in 1/8 degree
    bool m_stampaInCorso = false; // a print waits for the page, in an event loop of its own

    // Viewer state. Paths are native narrow strings.
    std::string FFileXml;
    std::string FFoglioStile;
    ListaAllegati FAllegati;

    // Opens run here, one at a time; a newer one supersedes the one running.
    std::unique_ptr<QThreadPool> m_aperture;
    std::shared_ptr<std::atomic<bool>> m_annulla; // the latest open's cancellation flag
    int m_apertureInCorso = 0;
    QString m_messaggioApertura; // the status line while the latest open runs

    // What the page shown was made from (the header, the invoice file, the attachments), for
    // its PDF; empty while nothing is shown.
    std::shared_ptr<const DocumentoAperto> m_mostrato;
    std::string m_sceltoMostrato;
    ProvenienzaApertura m_provenienzaMostrata;
    std::string m_cartellaPdf;       // where the last PDF of this run went
    std::string m_cartellaSalvaCome; // where the last "Salva con nome…" went
    // The copies of the attachments opened, removed with the window.
    std::unique_ptr<platform::CartellaTemporanea> m_copieAllegati;
    std::unique_ptr<QThreadPool> m_esportazioni; // PDFs are completed and written here
    int m_esportazioniInCorso = 0;

    // The signatures (avviaVerificaFirme): one verification at a time, beside the opens.
    std::unique_ptr<QThreadPool> m_verifiche;
    std::shared_ptr<const Fiducia> m_fiducia;
    std::uint64_t m_ultimaVerifica = 0;      // the number of the latest verification started
    std::uint64_t m_verificaMostrata = 0;    // the verification of the invoice shown
    std::uint64_t m_verificaAttesa = 0;      // the verification of the open still running
    std::string m_sceltoAtteso;              // the file of that open
    DatiLetti m_datiAttesi;                  // its bytes, once read
    ProvenienzaApertura m_provenienzaAttesa; // where it comes from
    std::optional<StatoFirme> m_statoAtteso; // its result, come before its invoice was shown
    StatoFirme m_statoFirme;                 // of the invoice shown
    DialogoFirme* m_dialogoFirme = nullptr;
    QNetworkAccessManager* m_rete = nullptr; // made at the first update of the trusted list
    bool m_aggiornamentoInCorso = false;
    QPointer<FinestraElenco> m_elenco;         // the list of many invoices, made when first needed
    QPointer<FinestraXml> m_finestraXml;       // "Mostra XML", made when first asked for
    bool m_problemaFogliDetto = false;         // the unreadable settings file has been said
    std::set<std::string> m_avvisiFoglioDetti; // a failing user stylesheet is boxed once

    bool m_cartellaUtenteDetta = false;
    // With ONDIVO_TEMPI set, how long an open takes until its page is shown goes to stderr.
    bool m_tempi;
    QElapsedTimer m_cronometro;

    friend class TestTFONDIVO;
    friend class TestOpenCommand;
    friend class TestHostileWindow;
    friend class TestStrumentiPagina;
    friend class TestFirma;
    friend class TestElenco;
    friend class TestVistaFattura;
};

} // namespace ondivo
