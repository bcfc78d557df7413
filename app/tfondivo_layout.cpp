// The main window's panels and controls: sizes, captions and look.
#include "barraricerca.h"
#include "clickablelabel.h"
#include "htmlview.h"
#include "riquadrofirma.h"
#include "tfondivo.h"
#include "vendor.h"

#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

// Resources of a static library must be registered by hand.
static void registraRisorse() {
    Q_INIT_RESOURCE(resources);
}

namespace ondivo {

namespace {

constexpr const char* kDidascalia =
    "Ondivo Vers.1.0 - Visualizzatore fatture elettroniche (fatture ITA in formato xml/p7m)";

// "MS Sans Serif" where installed, otherwise the system's sans serif, at the given pixel size.
QFont carattere(int pixel, bool grassetto = false) {
    QFont f = QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))
                  ? QFont(QStringLiteral("MS Sans Serif"))
                  : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setPixelSize(pixel);
    f.setBold(grassetto);
    return f;
}

QFrame* pannello(const char* nome, QWidget* genitore) {
    auto* p = new QFrame(genitore);
    p->setObjectName(QString::fromLatin1(nome));
    return p;
}

QLabel* didascalia(const QString& testo, QWidget* genitore) {
    auto* l = new QLabel(testo, genitore);
    l->setFont(carattere(11));
    l->setFixedHeight(13);
    return l;
}

// A single-line value: white, bevelled, 16-pixel text, fixed width where one is given.
QLabel* valore(const char* nome, int larghezza, QWidget* genitore) {
    auto* l = new QLabel(genitore);
    l->setObjectName(QString::fromLatin1(nome));
    l->setFont(carattere(16));
    l->setStyleSheet(
        QStringLiteral("QLabel { background-color: white; color: black; border: 2px inset #a0a0a0; "
                       "padding: 0 2px; }"));
    l->setFixedHeight(24);
    // Values come from invoices and file names: shown as they are, never read as markup.
    l->setTextFormat(Qt::PlainText);
    if (larghezza > 0)
        l->setFixedWidth(larghezza);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QLabel* barra(const QString& testo, QWidget* genitore) {
    auto* l = new QLabel(testo, genitore);
    l->setAlignment(Qt::AlignCenter);
    l->setFont(carattere(16, true));
    l->setFixedHeight(22);
    return l;
}

QPushButton* pulsante(const char* nome, const QString& testo, QWidget* genitore) {
    auto* b = new QPushButton(testo, genitore);
    b->setObjectName(QString::fromLatin1(nome));
    b->setFont(carattere(13));
    return b;
}

} // namespace

void TFONDIVO::creaControlli() {
    registraRisorse();
    setWindowTitle(QString::fromUtf8(kDidascalia) + QStringLiteral(" - ") +
                   QString::fromUtf8(vendor::Avviso));
    setFont(carattere(11));
    resize(1083, 652);

    auto* centro = new QWidget(this);
    setCentralWidget(centro);
    centro->setBackgroundRole(QPalette::Button);
    centro->setAutoFillBackground(true);

    // Top: file name, document type and supplier, with the open and exit buttons.
    panTop = pannello("panTop", centro);
    panTop->setFixedHeight(113);
    StFileXML = valore("StFileXML", 937, panTop);
    STTipoDoc = valore("STTipoDoc", 809, panTop);
    StFornitore = valore("StFornitore", 809, panTop);
    btnSelFile = pulsante("btnSelFile", QStringLiteral("Seleziona"), panTop);
    btnEsci = pulsante("btnEsci", QStringLiteral("Esci"), panTop);
    auto* griglia = new QGridLayout(panTop);
    griglia->setContentsMargins(6, 1, 6, 1);
    griglia->setVerticalSpacing(0);
    griglia->addWidget(didascalia(QStringLiteral("Nome file"), panTop), 0, 0);
    griglia->addWidget(StFileXML, 1, 0, Qt::AlignLeft);
    // Beside "Seleziona", its menu of the files opened last.
    btnRecenti = new QToolButton(panTop);
    btnRecenti->setObjectName(QStringLiteral("btnRecenti"));
    btnRecenti->setArrowType(Qt::DownArrow);
    btnRecenti->setToolTip(QStringLiteral("Aperti di recente"));
    btnRecenti->setPopupMode(QToolButton::InstantPopup);
    btnRecenti->setMenu(new QMenu(btnRecenti));
    auto* rigaSeleziona = new QHBoxLayout;
    rigaSeleziona->setSpacing(0);
    rigaSeleziona->addWidget(btnSelFile, 1);
    rigaSeleziona->addWidget(btnRecenti);
    griglia->addLayout(rigaSeleziona, 1, 1);
    griglia->addWidget(didascalia(QStringLiteral("Tipo documento"), panTop), 2, 0);
    griglia->addWidget(STTipoDoc, 3, 0, Qt::AlignLeft);
    griglia->addWidget(didascalia(QStringLiteral("Cedente/Prestatore"), panTop), 4, 0);
    griglia->addWidget(btnEsci, 3, 1, 2, 1);
    griglia->setColumnStretch(0, 1);
    // The page tools in the supplier's row, under Esci: in the space the shorter labels
    // leave, so the designed controls keep their places and sizes.
    btnTrova = pulsante("btnTrova", QStringLiteral("Trova"), panTop);
    btnTrova->setToolTip(QStringLiteral("Trova nella pagina (Ctrl+F)"));
    btnStampa = pulsante("btnStampa", QStringLiteral("Stampa"), panTop);
    btnStampa->setToolTip(QStringLiteral("Stampa (Ctrl+P)"));
    btnEsportaPdf = pulsante("btnEsportaPdf", QStringLiteral("Esporta PDF"), panTop);
    btnEsportaPdf->setToolTip(QStringLiteral("Esporta PDF (Ctrl+S)"));
    auto* rigaFornitore = new QHBoxLayout;
    rigaFornitore->setSpacing(4);
    rigaFornitore->addWidget(StFornitore);
    rigaFornitore->addStretch(1);
    for (QPushButton* b : {btnTrova, btnStampa, btnEsportaPdf}) {
        b->setFixedHeight(24);
        rigaFornitore->addWidget(b);
    }
    griglia->addLayout(rigaFornitore, 5, 0, 1, 2);

    // Bottom: help, the vendor's name and address, the banner.
    PanBottom = pannello("PanBottom", centro);
    PanBottom->setFixedHeight(43);
    PanBottom->setToolTip(QStringLiteral("Guida"));
    PanBottom->setFont(carattere(11, true));
    btnGuida = pulsante("btnGuida", QStringLiteral("?"), PanBottom);
    btnGuida->setFont(carattere(24, true));
    btnGuida->setStyleSheet(QStringLiteral("color: grey;"));
    btnGuida->setCursor(Qt::PointingHandCursor);
    btnGuida->setFixedSize(36, 36);
    auto* nomeFornitore = new QLabel(QString::fromUtf8(vendor::Nome), PanBottom);
    lnkSito = new ClickableLabel(QString::fromUtf8(vendor::Sito), PanBottom);
    lnkSito->setObjectName(QStringLiteral("lnkSito"));
    lnkSito->setToolTip(QString::fromUtf8(vendor::SuggerimentoSito));
    lnkSito->setStyleSheet(QStringLiteral("color: green; text-decoration: underline;"));
    lnkSito->setCursor(Qt::PointingHandCursor);
    lnkSito->setFocusPolicy(Qt::NoFocus);
    auto* panBanner = pannello("panBanner", PanBottom);
    panBanner->setFixedWidth(362);
    imgBanner = new ClickableLabel(panBanner);
    imgBanner->setObjectName(QStringLiteral("imgBanner"));
    imgBanner->setPixmap(QPixmap(QString::fromUtf8(vendor::Banner)));
    imgBanner->setFixedSize(348, 30);
    imgBanner->setCursor(Qt::PointingHandCursor);
    imgBanner->setToolTip(QString::fromUtf8(vendor::SuggerimentoBanner));
    auto* rigaBanner = new QHBoxLayout(panBanner);
    rigaBanner->setContentsMargins(7, 0, 7, 0);
    rigaBanner->addWidget(imgBanner);
    auto* rigaBasso = new QHBoxLayout(PanBottom);
    rigaBasso->setContentsMargins(4, 2, 0, 2);
    rigaBasso->addWidget(btnGuida);
    rigaBasso->addSpacing(8);
    rigaBasso->addWidget(nomeFornitore);
    rigaBasso->addSpacing(16);
    rigaBasso->addWidget(lnkSito);
    rigaBasso->addStretch(1);
    rigaBasso->addWidget(panBanner);

    // Right: logo, document number and date, attachments, and the hidden utilities.
    PanRight = pannello("PanRight", centro);
    PanRight->setFixedWidth(251);
    pnlLogo = pannello("pnlLogo", PanRight);
    imgLogo = new QLabel(pnlLogo);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(QPixmap(QString::fromUtf8(vendor::Logo)));
    imgLogo->setAlignment(Qt::AlignCenter);
    auto* rigaLogo = new QVBoxLayout(pnlLogo);
    rigaLogo->setContentsMargins(2, 4, 2, 4);
    rigaLogo->addWidget(imgLogo);

    panDocumento = pannello("panDocumento", PanRight);
    panDocumento->setFrameStyle(QFrame::Panel | QFrame::Raised);
    STNumDoc = valore("STNumDoc", 0, panDocumento);
    StDataDoc = valore("StDataDoc", 0, panDocumento);
    auto* colDoc = new QVBoxLayout(panDocumento);
    colDoc->setContentsMargins(4, 2, 4, 6);
    colDoc->setSpacing(1);
    colDoc->addWidget(barra(QStringLiteral("D O C U M E N T O"), panDocumento));
    colDoc->addWidget(didascalia(QStringLiteral("Numero"), panDocumento));
    colDoc->addWidget(STNumDoc);
    colDoc->addWidget(didascalia(QStringLiteral("Data"), panDocumento));
    colDoc->addWidget(StDataDoc);
    // The verdict on the signatures, as a property of the document. Its height is fixed,
    // whatever it says, so nothing moves from one invoice to the next; it takes its room from
    // the attachment list, which stretches.
    StFirma = new RiquadroFirma(panDocumento);
    StFirma->setObjectName(QStringLiteral("StFirma"));
    StFirma->setFont(carattere(12));
    StFirma->setFixedHeight(StFirma->sizeHint().height());
    colDoc->addWidget(didascalia(QStringLiteral("Firma"), panDocumento));
    colDoc->addWidget(StFirma);
    // The invoice as text, and the stylesheet its page is made with.
    btnMostraXml = pulsante("btnMostraXml", QStringLiteral("Mostra XML"), panDocumento);
    btnMostraXml->setToolTip(QStringLiteral("Il testo XML della fattura (Ctrl+U)"));
    btnFoglioStile = new QToolButton(panDocumento);
    btnFoglioStile->setObjectName(QStringLiteral("btnFoglioStile"));
    btnFoglioStile->setText(QStringLiteral("Foglio di stile"));
    btnFoglioStile->setFont(carattere(13));
    btnFoglioStile->setPopupMode(QToolButton::InstantPopup);
    btnFoglioStile->setMenu(new QMenu(btnFoglioStile));
    auto* rigaVista = new QHBoxLayout;
    rigaVista->setContentsMargins(0, 4, 0, 0);
    rigaVista->setSpacing(4);
    rigaVista->addWidget(btnMostraXml, 1);
    rigaVista->addWidget(btnFoglioStile, 1);
    colDoc->addLayout(rigaVista);

    panAllegati = pannello("panAllegati", PanRight);
    panAllegati->setFrameStyle(QFrame::Panel | QFrame::Raised);
    STAllegati = barra(QStringLiteral("A L L E G A T I"), panAllegati);
    STAllegati->setObjectName(QStringLiteral("STAllegati"));
    LBAlleg = new QListWidget(panAllegati);
    LBAlleg->setObjectName(QStringLiteral("LBAlleg"));
    LBAlleg->setSelectionMode(QAbstractItemView::SingleSelection);
    LBAlleg->setSortingEnabled(true);
    ButtonSave = pulsante("ButtonSave", QStringLiteral("Salva allegato"), panAllegati);
    ButtonOpen = pulsante("ButtonOpen", QStringLiteral("Apri cartella allegati"), panAllegati);
    auto* colAlleg = new QVBoxLayout(panAllegati);
    colAlleg->setContentsMargins(4, 2, 4, 4);
    colAlleg->addWidget(STAllegati);
    colAlleg->addWidget(LBAlleg, 1);
    colAlleg->addWidget(ButtonSave);
    colAlleg->addWidget(ButtonOpen);

    panUtili = pannello("panUtili", PanRight);
    btnEstraiPM7 =
        pulsante("btnEstraiPM7", QStringLiteral("Estrazione file .xml\nda file .p7m"), panUtili);
    btnCodificaFile =
        pulsante("btnCodificaFile", QStringLiteral("Codica file in Base64"), panUtili);
    btndecodifica =
        pulsante("btndecodifica", QStringLiteral("Decodifica e salva\nfile Base64"), panUtili);
    auto* colUtili = new QVBoxLayout(panUtili);
    colUtili->addWidget(btnEstraiPM7);
    colUtili->addWidget(btnCodificaFile);
    colUtili->addWidget(btndecodifica);
    panUtili->setVisible(false); // maintenance commands, never shown in the normal window

    auto* colDestra = new QVBoxLayout(PanRight);
    colDestra->setContentsMargins(0, 0, 0, 0);
    colDestra->addWidget(pnlLogo);
    colDestra->addWidget(panDocumento);
    colDestra->addWidget(panAllegati, 1);
    colDestra->addWidget(panUtili);

    // Centre: the invoice, and under it the hidden memo of the encode command.
    PanClient = pannello("PanClient", centro);
    WebBrowser1 = new HtmlView(PanClient);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    MemoXCodifica = new QPlainTextEdit(QStringLiteral("MemoXCodica"), PanClient);
    MemoXCodifica->setObjectName(QStringLiteral("MemoXCodifica"));
    MemoXCodifica->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoXCodifica->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoXCodifica->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoXCodifica->setVisible(false);
    barraRicerca = new BarraRicerca(WebBrowser1, PanClient);
    barraRicerca->setFont(carattere(13));
    auto* colCentro = new QVBoxLayout(PanClient);
    colCentro->setContentsMargins(0, 0, 0, 0);
    colCentro->setSpacing(0);
    colCentro->addWidget(barraRicerca);
    colCentro->addWidget(WebBrowser1, 1);
    colCentro->addWidget(MemoXCodifica);

    auto* mezzo = new QHBoxLayout;
    mezzo->setSpacing(2);
    mezzo->addWidget(PanClient, 1);
    mezzo->addWidget(PanRight);
    auto* tutto = new QVBoxLayout(centro);
    tutto->setContentsMargins(0, 0, 0, 0);
    tutto->setSpacing(2);
    tutto->addWidget(panTop);
    tutto->addLayout(mezzo, 1);
    tutto->addWidget(PanBottom);

    // The status line: what the last command did, and a moving bar while an open runs.
    m_occupato = new QProgressBar(this);
    m_occupato->setObjectName(QStringLiteral("occupato"));
    m_occupato->setRange(0, 0);
    m_occupato->setFixedWidth(160);
    m_occupato->setVisible(false);
    statusBar()->addPermanentWidget(m_occupato);
}

} // namespace ondivo
