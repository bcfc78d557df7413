#include "tfondivo.h"

#include "ansicodec.h"
#include "errors.h"
#include "executablepath.h"
#include "headerfields.h"
#include "htmlview.h"
#include "lctv.h"
#include "messages.h"
#include "text.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace ondivo {

namespace {

QLabel* etichettaValore(const char* nome, QWidget* genitore) {
    auto* etichetta = new QLabel(genitore);
    etichetta->setObjectName(QString::fromLatin1(nome));
    etichetta->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return etichetta;
}

} // namespace

TFONDIVO::TFONDIVO(Prompts& prompts, QWidget* parent) : QMainWindow(parent), m_prompts(prompts) {
    setObjectName(QStringLiteral("FONDIVO"));
    auto* centro = new QWidget(this);
    StFileXML = etichettaValore("StFileXML", centro);
    STTipoDoc = etichettaValore("STTipoDoc", centro);
    STNumDoc = etichettaValore("STNumDoc", centro);
    StDataDoc = etichettaValore("StDataDoc", centro);
    StFornitore = etichettaValore("StFornitore", centro);
    LBAlleg = new QListWidget(centro);
    LBAlleg->setObjectName(QStringLiteral("LBAlleg"));
    btnSelFile = new QPushButton(QStringLiteral("Seleziona"), centro);
    btnSelFile->setObjectName(QStringLiteral("btnSelFile"));
    WebBrowser1 = new HtmlView(centro);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));

    auto* campi = new QFormLayout;
    campi->addRow(QStringLiteral("Nome file"), StFileXML);
    campi->addRow(QStringLiteral("Tipo documento"), STTipoDoc);
    campi->addRow(QStringLiteral("Cedente/Prestatore"), StFornitore);
    campi->addRow(QStringLiteral("Numero"), STNumDoc);
    campi->addRow(QStringLiteral("Data"), StDataDoc);
    auto* layout = new QVBoxLayout(centro);
    auto* riga = new QHBoxLayout;
    riga->addLayout(campi, 1);
    riga->addWidget(btnSelFile, 0, Qt::AlignTop);
    layout->addLayout(riga);
    auto* corpo = new QHBoxLayout;
    corpo->addWidget(WebBrowser1, 4);
    corpo->addWidget(LBAlleg, 1);
    layout->addLayout(corpo, 1);
    setCentralWidget(centro);

    FormCreate();
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
    FFoglioStile = AppDir() + DirFogliStile + "Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl";
    FFileXml.clear();
    for (QLabel* etichetta : {StFileXML, STTipoDoc, STNumDoc, StDataDoc, StFornitore})
        etichetta->clear();
    LBAlleg->clear();
    btnSelFile->setFocus();
}

void TFONDIVO::impostaTesto(QLabel* etichetta, const std::string& ansi) {
    etichetta->setText(QString::fromStdString(AnsiToUtf8(ansi)));
}

void TFONDIVO::MostraDatiDocumento() {
    const std::pair<const CampoIntestazione&, QLabel*> righe[] = {
        {CampoFornitore, StFornitore},
        {CampoTipoDoc, STTipoDoc},
        {CampoData, StDataDoc},
        {CampoNumero, STNumDoc},
    };
    std::vector<std::string> lista;
    for (const auto& [campo, etichetta] : righe)
        if (const auto valore = LeggiCampoIntestazione(FFileXml, campo, lista, m_prompts))
            impostaTesto(etichetta, *valore);
}

void TFONDIVO::CaricaHtml(HtmlView* Browser, const std::string& Html) {
    Browser->mostraHtml(QByteArray::fromStdString(Html));
}

void TFONDIVO::eseguiComando(const std::function<void()>& comando) {
    try {
        comando();
    } catch (const ESilentAbort&) {
    } catch (const std::exception& e) {
        m_prompts.ShowError(TestoBoxErrore(e.what()));
    } catch (...) {
        m_prompts.ShowError("Errore imprevisto.");
    }
}

} // namespace ondivo
