#include "tfondivo.h"

#include "ansicodec.h"
#include "clickablelabel.h"
#include "errors.h"
#include "executablepath.h"
#include "htmlview.h"
#include "lctv.h"
#include "linkaddress.h"
#include "messages.h"
#include "riquadrofirma.h"
#include "stylesheetchoice.h"
#include "tempfile.h"
#include "text.h"
#include "vendor.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QThreadPool>
#include <QUrl>

namespace ondivo {

TFONDIVO::TFONDIVO(Prompts& prompts, QWidget* parent)
    : QMainWindow(parent), m_prompts(prompts), m_aperture(std::make_unique<QThreadPool>()),
      m_esportazioni(std::make_unique<QThreadPool>()), m_verifiche(std::make_unique<QThreadPool>()),
      m_tempi(qEnvironmentVariableIsSet("ONDIVO_TEMPI")) {
    setObjectName(QStringLiteral("FONDIVO"));
    PreparaAperture();
    m_aperture->setMaxThreadCount(1);
    m_esportazioni->setMaxThreadCount(1);
    m_verifiche->setMaxThreadCount(1);
    // libxslt recurses with the stylesheet's templates: as much stack as the main thread has.
    m_aperture->setStackSize(8u << 20);
    creaControlli();
    creaAzioniVista();
    creaAzioni();
    creaAzioniAllegati();
    collegaComandi();
    collegaComandiAllegati();
    collegaComandiVista();
    qApp->installEventFilter(this);
    setAcceptDrops(true);
    FormCreate();
}

TFONDIVO::~TFONDIVO() {
    annullaApertura();
    // The open still running hands its result to this window: it must end while the window
    // is whole. Its result is then dropped with the window's pending events.
    m_aperture->waitForDone();
    // A PDF being written is finished: the file is either whole or not there.
    m_esportazioni->waitForDone();
    // A verification reads the file and hands its result to this window, like an open.
    m_verifiche->waitForDone();
}

void TFONDIVO::collegaComandi() {
    collega(btnSelFile, &QPushButton::clicked, &TFONDIVO::btnSelFileClick);
    collega(ButtonSave, &QPushButton::clicked, &TFONDIVO::ButtonSaveClick);
    collega(ButtonOpen, &QPushButton::clicked, &TFONDIVO::ButtonOpenClick);
    collega(btnEstraiPM7, &QPushButton::clicked, &TFONDIVO::btnEstraiPM7Click);
    collega(btnCodificaFile, &QPushButton::clicked, &TFONDIVO::btnCodificaFileClick);
    collega(btndecodifica, &QPushButton::clicked, &TFONDIVO::btndecodificaClick);
    collega(btnEsci, &QPushButton::clicked, &TFONDIVO::btnEsciClick);
    collega(btnTrova, &QPushButton::clicked, &TFONDIVO::trovaClick);
    collega(btnStampa, &QPushButton::clicked, &TFONDIVO::stampaClick);
    collega(btnEsportaPdf, &QPushButton::clicked, &TFONDIVO::esportaPdfClick);
    collega(azioneTrova, &QAction::triggered, &TFONDIVO::trovaClick);
    collega(azioneTrovaSuccessivo, &QAction::triggered, &TFONDIVO::trovaSuccessivoClick);
    collega(azioneTrovaPrecedente, &QAction::triggered, &TFONDIVO::trovaPrecedenteClick);
    collega(azioneStampa, &QAction::triggered, &TFONDIVO::stampaClick);
    collega(azioneEsportaPdf, &QAction::triggered, &TFONDIVO::esportaPdfClick);
    collega(azioneApri, &QAction::triggered, &TFONDIVO::btnSelFileClick);
    collega(azioneGuida, &QAction::triggered, &TFONDIVO::btnGuidaClick);
    collega(azioneZoomAvanti, &QAction::triggered, &TFONDIVO::zoomAvantiClick);
    collega(azioneZoomIndietro, &QAction::triggered, &TFONDIVO::zoomIndietroClick);
    collega(azioneZoomNormale, &QAction::triggered, &TFONDIVO::zoomNormaleClick);
    connect(WebBrowser1, &QWebEngineView::loadFinished, this, [this] {
        if (m_tempi && m_cronometro.isValid())
            qInfo("pagina mostrata dopo %lld ms", static_cast<long long>(m_cronometro.elapsed()));
    });
    collega(StFirma, &QAbstractButton::clicked, &TFONDIVO::riquadroFirmaClick);
    collega(btnGuida, &QPushButton::clicked, &TFONDIVO::btnGuidaClick);
    collega(imgBanner, &ClickableLabel::clicked, &TFONDIVO::imgBannerClick);
    collega(lnkSito, &ClickableLabel::clicked, &TFONDIVO::lnkSitoClick);
}

void TFONDIVO::FormCreate() {
    ImpostaAppDir(CartellaProgramma(platform::PercorsoEseguibile()));
    if (AppDir().empty())
        m_prompts.ShowMessage(MsgErroreAvvio);
}

void TFONDIVO::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Restoring a minimised window is a spontaneous show; only a real show resets the viewer.
    if (!event->spontaneous())
        FormShow();
}

void TFONDIVO::FormShow() {
    FFoglioStile = FoglioStilePredefinito();
    FFileXml.clear();
    m_mostrato.reset();
    m_sceltoMostrato.clear();
    m_provenienzaMostrata = {};
    for (QLabel* etichetta : etichetteValori())
        etichetta->clear();
    LBAlleg->clear();
    abilitaStrumentiPagina(false);
    aggiornaFinestraXml();
    m_verificaMostrata = 0;
    m_statoFirme = {};
    mostraStatoFirme();
    btnSelFile->setFocus();
}

QList<QLabel*> TFONDIVO::etichetteValori() const {
    return {StFileXML, STTipoDoc, STNumDoc, StDataDoc, StFornitore};
}

void TFONDIVO::impostaTesto(QLabel* etichetta, const std::string& ansi) {
    etichetta->setText(QString::fromStdString(AnsiToUtf8(ansi)));
}

void TFONDIVO::CaricaHtml(HtmlView* Browser, const std::string& Html) {
    Browser->mostraHtml(QByteArray::fromStdString(Html));
}

void TFONDIVO::btnEsciClick() {
    close();
}

void TFONDIVO::closeEvent(QCloseEvent* event) {
    // Closing never waits for an open: it is told to stop and its result is dropped.
    annullaApertura();
    QMainWindow::closeEvent(event);
}

void TFONDIVO::btnGuidaClick() {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QString::fromStdString(AppDir() + vendor::Guida)));
}

void TFONDIVO::imgBannerClick() {
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(vendor::PaginaProdotto)));
}

void TFONDIVO::lnkSitoClick() {
    const std::string indirizzo =
        IndirizzoLink(lnkSito->text().toStdString(), vendor::PrefissoLink);
    if (!indirizzo.empty())
        QDesktopServices::openUrl(QUrl(QString::fromStdString(indirizzo)));
}

void TFONDIVO::apriFile(const std::string& percorso) {
    eseguiComando([this, percorso] { ApriFattura(percorso); });
}

namespace {

// Files dropped are only read: the drop is taken as a copy, or a link, never as a move, which
// a file manager would finish by deleting the source. False when neither is offered.
bool soloCopia(QDropEvent* evento) {
    const auto urls = evento->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return false;
    const Qt::DropActions possibili = evento->possibleActions();
    if (possibili & Qt::CopyAction)
        evento->setDropAction(Qt::CopyAction);
    else if (possibili & Qt::LinkAction)
        evento->setDropAction(Qt::LinkAction);
    else
        return false;
    evento->accept();
    return true;
}

} // namespace

void TFONDIVO::dragEnterEvent(QDragEnterEvent* evento) {
    if (!soloCopia(evento))
        evento->ignore();
}

void TFONDIVO::dragMoveEvent(QDragMoveEvent* evento) {
    if (!soloCopia(evento))
        evento->ignore();
}

void TFONDIVO::dropEvent(QDropEvent* evento) {
    if (!soloCopia(evento)) {
        evento->ignore();
        return;
    }
    const auto urls = evento->mimeData()->urls();
    std::vector<std::string> percorsi;
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            percorsi.push_back(url.toLocalFile().toStdString());
    apriPercorsi(percorsi);
}

bool TFONDIVO::eventFilter(QObject* oggetto, QEvent* evento) {
    return ApplicationEvents1Message(oggetto, evento) || invioSuPulsante(oggetto, evento) ||
           rotellaZoom(oggetto, evento) || QMainWindow::eventFilter(oggetto, evento);
}

bool TFONDIVO::ApplicationEvents1Message(QObject* destinatario, QEvent* evento) {
    if (evento->type() != QEvent::MouseButtonPress && evento->type() != QEvent::MouseButtonDblClick)
        return false;
    if (static_cast<QMouseEvent*>(evento)->button() != Qt::RightButton)
        return false;
    auto* widget = qobject_cast<QWidget*>(destinatario);
    return widget && (widget == WebBrowser1 || WebBrowser1->isAncestorOf(widget));
}

void TFONDIVO::eseguiComando(const std::function<void()>& comando, const std::string& fileInCausa) {
    try {
        comando();
    } catch (const ESilentAbort&) {
    } catch (const std::exception& e) {
        m_prompts.ShowError(MessaggioConFile(TestoBoxErrore(e.what()), fileInCausa));
    } catch (...) {
        m_prompts.ShowError("Errore imprevisto.");
    }
}

} // namespace ondivo
