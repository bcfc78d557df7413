// The main window's page tools: find in the page, print, zoom, and their shortcuts.
#include "barraricerca.h"
#include "contenutopdf.h"
#include "errors.h"
#include "htmlview.h"
#include "layoutstampa.h"
#include "livellizoom.h"
#include "stampapagina.h"
#include "tfondivo.h"

#include <QAction>
#include <QKeyEvent>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QWheelEvent>

namespace ondivo {

namespace {

// Each sheet is printed as a picture at the printer's resolution: 300 dpi is sharp on paper
// and keeps a sheet's picture to some tens of megabytes.
constexpr int kRisoluzioneStampa = 300;

// One wheel notch, in eighths of a degree.
constexpr int kScattoRotella = 120;

} // namespace

void TFONDIVO::creaAzioni() {
    const auto azione = [this](const char* nome, QList<QKeySequence> scorciatoie) {
        auto* a = new QAction(this);
        a->setObjectName(QString::fromLatin1(nome));
        a->setShortcuts(scorciatoie);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
        return a;
    };
    const auto ctrl = Qt::ControlModifier;
    const auto tastierino = Qt::ControlModifier | Qt::KeypadModifier;
    azioneTrova = azione("azioneTrova", {QKeySequence(ctrl | Qt::Key_F)});
    azioneTrovaSuccessivo = azione("azioneTrovaSuccessivo", {QKeySequence(Qt::Key_F3)});
    azioneTrovaPrecedente =
        azione("azioneTrovaPrecedente", {QKeySequence(Qt::ShiftModifier | Qt::Key_F3)});
    azioneStampa = azione("azioneStampa", {QKeySequence(ctrl | Qt::Key_P)});
    azioneEsportaPdf = azione("azioneEsportaPdf", {QKeySequence(ctrl | Qt::Key_S)});
    // Ctrl and the key marked "+", wherever the keyboard puts it: unshifted (Italian), over
    // "=" (US, with or without Shift held), on the keypad. Shift is never part of a sequence:
    // the system also offers Ctrl+Shift+"=" as Ctrl++, and two sequences of one key press
    // make the shortcut ambiguous, which then fires nothing.
    azioneZoomAvanti = azione("azioneZoomAvanti", {QKeySequence(ctrl | Qt::Key_Plus),
                                                   QKeySequence(ctrl | Qt::Key_Equal),
                                                   QKeySequence(tastierino | Qt::Key_Plus)});
    // Ctrl+O: the open command, as the "Seleziona" button gives it.
    azioneApri = azione("azioneApri", {QKeySequence(ctrl | Qt::Key_O)});
    // F1: the guide, as the "Guida" button gives it.
    azioneGuida = azione("azioneGuida", {QKeySequence(Qt::Key_F1)});
    azioneZoomIndietro = azione("azioneZoomIndietro", {QKeySequence(ctrl | Qt::Key_Minus),
                                                       QKeySequence(tastierino | Qt::Key_Minus)});
    azioneZoomNormale = azione("azioneZoomNormale", {QKeySequence(ctrl | Qt::Key_0),
                                                     QKeySequence(tastierino | Qt::Key_0)});
    abilitaStrumentiPagina(false);
}

void TFONDIVO::abilitaStrumentiPagina(bool abilita) {
    for (QPushButton* b : {btnTrova, btnStampa, btnEsportaPdf, btnMostraXml})
        b->setEnabled(abilita);
    for (QAction* a : {azioneTrova, azioneTrovaSuccessivo, azioneTrovaPrecedente, azioneStampa,
                       azioneEsportaPdf, azioneMostraXml})
        a->setEnabled(abilita);
    if (!abilita)
        barraRicerca->chiudi();
}

void TFONDIVO::trovaClick() {
    barraRicerca->apri();
}

void TFONDIVO::trovaSuccessivoClick() {
    barraRicerca->successivo();
}

void TFONDIVO::trovaPrecedenteClick() {
    barraRicerca->precedente();
}

void TFONDIVO::stampaClick() {
    QPrinter stampante(QPrinter::HighResolution);
    stampante.setResolution(kRisoluzioneStampa);
    stampante.setPageLayout(LayoutStampa());
    QPrintPreviewDialog anteprima(&stampante, this);
    anteprima.setWindowTitle(QStringLiteral("Anteprima di stampa"));
    // The preview asks for the page, and so does printing from it. The handler runs inside
    // the dialog's event loop: its errors end in the box here.
    connect(&anteprima, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* scelta) { eseguiComando([this, scelta] { stampaPagina(*scelta); }); });
    anteprima.exec();
}

void TFONDIVO::stampaPagina(QPrinter& stampante) {
    // Printing waits in an event loop of its own, where the preview may ask for the page
    // again.
    if (m_stampaInCorso)
        throw OndivoError("Stampa già in corso: attendere che finisca");
    m_stampaInCorso = true;
    const auto fine = qScopeGuard([this] { m_stampaInCorso = false; });
    // Printed to a PDF file, the page is the exported PDF: the same vector pages, numbered,
    // with the invoice's files inside.
    const std::shared_ptr<const DocumentoAperto> documento = m_mostrato;
    const std::string scelto = m_sceltoMostrato;
    StampaPagina(
        *WebBrowser1->page(), stampante,
        [&](const std::string& stampato, const std::string& file, const std::vector<int>& pagine) {
            if (!documento)
                throw OndivoError("Stampa non riuscita: nessuna fattura mostrata");
            try {
                ScriviPdf(stampato, PreparaContenutoPdf(*documento, scelto), file, pagine);
            } catch (const std::exception& e) {
                // The reason comes from the layer below; the command is named here.
                throw OndivoError(std::string("Stampa non riuscita: ") + e.what());
            }
        });
}

void TFONDIVO::zoomAvantiClick() {
    impostaZoom(ZoomSuccessivo(WebBrowser1->zoom()));
}

void TFONDIVO::zoomIndietroClick() {
    impostaZoom(ZoomPrecedente(WebBrowser1->zoom()));
}

void TFONDIVO::zoomNormaleClick() {
    impostaZoom(ZoomNormale);
}

void TFONDIVO::impostaZoom(double fattore) {
    WebBrowser1->impostaZoom(fattore);
    statusBar()->showMessage(QStringLiteral("Zoom %1 %").arg(qRound(fattore * 100)), 2000);
}

bool TFONDIVO::invioSuPulsante(QObject* destinatario, QEvent* evento) {
    if (evento->type() != QEvent::KeyPress)
        return false;
    const auto* tasto = static_cast<QKeyEvent*>(evento);
    if (tasto->key() != Qt::Key_Return && tasto->key() != Qt::Key_Enter)
        return false;
    auto* pulsante = qobject_cast<QPushButton*>(destinatario);
    if (!pulsante || pulsante->window() != this || !pulsante->isEnabled())
        return false;
    if (!tasto->isAutoRepeat())
        pulsante->click();
    return true;
}

bool TFONDIVO::rotellaZoom(QObject* destinatario, QEvent* evento) {
    if (evento->type() != QEvent::Wheel)
        return false;
    const auto* rotella = static_cast<QWheelEvent*>(evento);
    if (!(rotella->modifiers() & Qt::ControlModifier))
        return false;
    auto* widget = qobject_cast<QWidget*>(destinatario);
    if (!widget || (widget != WebBrowser1 && !WebBrowser1->isAncestorOf(widget)))
        return false;
    // A touchpad turns in small steps: they add up to a notch. Turning back starts over.
    const int giro = rotella->angleDelta().y();
    if ((giro > 0) != (m_rotella > 0))
        m_rotella = 0;
    m_rotella += giro;
    while (m_rotella >= kScattoRotella) {
        m_rotella -= kScattoRotella;
        eseguiComando([this] { zoomAvantiClick(); });
    }
    while (m_rotella <= -kScattoRotella) {
        m_rotella += kScattoRotella;
        eseguiComando([this] { zoomIndietroClick(); });
    }
    return true;
}

} // namespace ondivo
